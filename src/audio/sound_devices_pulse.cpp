#include <mutex>

#include "audio/pulse_connection.h"
#include "audio/sound_devices.h"

namespace ziv {
namespace {

using pulse::Clock;

constexpr int kAnswerMs = 2000;

// The sinks and sources on a connection of their own (a listing must not
// wait behind a playback's server round trips, nor a playback behind it).
class TPulseSoundDevices final : public TSoundDevices, pulse::TPulseConnection::TListener {
public:
    TPulseSoundDevices() : connection_(*this, kAnswerMs) {}

    ~TPulseSoundDevices() override {
        if (!connection_.Started())
            return;
        const auto lock = connection_.Lock();
        StopWatching();
        connection_.Close();
    }

    TPulseSoundDevices(const TPulseSoundDevices&) = delete;
    TPulseSoundDevices& operator=(const TPulseSoundDevices&) = delete;

    std::vector<TSoundDevice> Outputs() override { return List(false); }
    std::vector<TSoundDevice> Inputs() override { return List(true); }

    void Watch(std::function<void()> changed) override {
        {
            const std::lock_guard guard(changedLock_);
            changed_ = std::move(changed);
        }
        if (!connection_.Started())
            return;
        const auto lock = connection_.Lock();
        std::string ignored;
        if (!HasWatcher() || !connection_.Connect(&ignored))
            return StopWatching();
        pa_context_set_subscribe_callback(connection_.Context(), &OnEvent, this);
        const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK |
                                                              PA_SUBSCRIPTION_MASK_SOURCE);
        if (pa_operation* op = pa_context_subscribe(connection_.Context(), mask, nullptr, nullptr))
            pa_operation_unref(op);
    }

    bool CanWatch() const override { return true; }

private:
    struct TListing {
        pulse::TPulseConnection* connection;
        std::vector<TSoundDevice> devices;
        bool done = false;
        void End() {
            done = true;
            connection->Signal();
        }
    };

    std::vector<TSoundDevice> List(bool inputs) {
        if (!connection_.Started())
            return {};
        const auto lock = connection_.Lock();
        std::string ignored;
        if (!connection_.Connect(&ignored))
            return {};
        TListing listing{&connection_, {}, false};
        pa_operation* op =
            inputs ? pa_context_get_source_info_list(connection_.Context(), &OnSource, &listing)
                   : pa_context_get_sink_info_list(connection_.Context(), &OnSink, &listing);
        if (op == nullptr)
            return {};
        pulse::TOperationPtr pending(op);
        connection_.ArmTicker();
        const bool answered =
            connection_.WaitFor([&listing] { return listing.done; },
                                Clock::now() + std::chrono::milliseconds(kAnswerMs));
        if (!answered) {
            connection_.MarkSuspect();
            return {};
        }
        pulse::ForgetCompleted(pending);
        return listing.devices;
    }

    static void Add(TListing* listing, const char* name, const char* description) {
        listing->devices.push_back(
            {name ? name : "", description && *description ? description : (name ? name : "")});
    }

    static void OnSink(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
        auto* listing = static_cast<TListing*>(userdata);
        if (eol != 0)
            listing->End();
        else if (info != nullptr)
            Add(listing, info->name, info->description);
    }

    static void OnSource(pa_context*, const pa_source_info* info, int eol, void* userdata) {
        auto* listing = static_cast<TListing*>(userdata);
        if (eol != 0)
            listing->End();
        // An output's monitor records what the keyer itself sends.
        else if (info != nullptr && info->monitor_of_sink == PA_INVALID_INDEX)
            Add(listing, info->name, info->description);
    }

    static void OnEvent(pa_context*, pa_subscription_event_type_t type, std::uint32_t,
                        void* userdata) {
        const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (kind != PA_SUBSCRIPTION_EVENT_NEW && kind != PA_SUBSCRIPTION_EVENT_REMOVE)
            return;
        auto* self = static_cast<TPulseSoundDevices*>(userdata);
        const std::lock_guard guard(self->changedLock_);
        if (self->changed_)
            self->changed_();
    }

    bool HasWatcher() {
        const std::lock_guard guard(changedLock_);
        return static_cast<bool>(changed_);
    }

    void StopWatching() {
        if (connection_.Context() != nullptr)
            pa_context_set_subscribe_callback(connection_.Context(), nullptr, nullptr);
    }

    // --- What the connection tells: nothing to do here ---
    void OnConnectionState(pa_context*) override { connection_.Signal(); }
    void OnConnectionDropping() override {}
    bool OnTick() override { return false; }

    pulse::TPulseConnection connection_;
    std::mutex changedLock_;
    std::function<void()> changed_;
};

}  // namespace

std::unique_ptr<TSoundDevices> CreateSoundDevices() {
    return std::make_unique<TPulseSoundDevices>();
}

}  // namespace ziv
