#include "audio/pulse_connection.h"

#include <string_view>

namespace ziv::pulse {
namespace {

constexpr char kAppName[] = "ZIVSound";
constexpr auto kTick = std::chrono::milliseconds(100);

pa_context* NewContext(pa_mainloop_api* api) {
    const TProplistPtr props(pa_proplist_new());
    pa_proplist_sets(props.get(), PA_PROP_APPLICATION_NAME, kAppName);
    pa_proplist_sets(props.get(), PA_PROP_APPLICATION_ICON_NAME, "audio-input-microphone");
    return pa_context_new_with_proplist(api, kAppName, props.get());
}

}  // namespace

TPulseConnection::TPulseConnection(TListener& listener, int connectMs)
    : listener_(listener), connectMs_(connectMs), loop_(pa_threaded_mainloop_new()) {
    if (!loop_)
        return;
    api_ = pa_threaded_mainloop_get_api(loop_.get());
    if (pa_threaded_mainloop_start(loop_.get()) < 0)
        loop_.reset();
}

TPulseConnection::~TPulseConnection() {
    if (!loop_)
        return;
    const TLock lock(loop_.get());
    Close();
}

bool TPulseConnection::Connect(std::string* error) {
    if (context_ && (suspect_ || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_.get()))))
        Drop();
    if (!context_ && !StartConnecting(error))
        return false;
    return WaitConnected(error);
}

bool TPulseConnection::StartConnecting(std::string* error) {
    context_.reset(NewContext(api_));
    if (!context_) {
        *error = "cannot create a connection";
        return false;
    }
    pa_context_set_state_callback(context_.get(), &TPulseConnection::OnState, this);
    // No autospawn: a desktop starts its own server, and a server spawned
    // behind the operator's back would play nowhere useful.
    if (pa_context_connect(context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        *error = pa_strerror(Errno());
        Drop();
        return false;
    }
    suspect_ = false;
    connectStarted_ = Clock::now();
    return true;
}

bool TPulseConnection::WaitConnected(std::string* error) {
    const auto deadline = connectStarted_ + std::chrono::milliseconds(connectMs_);
    // Another call may give up on the connection while this one waits (the
    // lock is released meanwhile) and drop it.
    WaitFor(
        [this] {
            if (!context_)
                return true;
            const auto st = pa_context_get_state(context_.get());
            return (st == PA_CONTEXT_READY && serverKnown_) || !PA_CONTEXT_IS_GOOD(st);
        },
        deadline);
    if (!context_) {
        *error = pa_strerror(PA_ERR_CONNECTIONTERMINATED);
        return false;
    }
    const auto st = pa_context_get_state(context_.get());
    if (st == PA_CONTEXT_READY && serverKnown_)
        return true;
    *error = pa_strerror(PA_CONTEXT_IS_GOOD(st) ? PA_ERR_TIMEOUT : Errno());
    Drop();
    return false;
}

void TPulseConnection::Drop() {
    if (!context_)
        return;
    listener_.OnConnectionDropping();
    context_.reset();
}

void TPulseConnection::Close() {
    Drop();
    ticker_.reset();
}

void TPulseConnection::OnState(pa_context* context, void* userdata) {
    auto* self = static_cast<TPulseConnection*>(userdata);
    self->serverKnown_ = false;
    // Ready only once the server has said what it is: a stream is made to
    // its rate, and cued by its kind.
    if (pa_context_get_state(context) == PA_CONTEXT_READY) {
        self->onPipeWire_ = false;
        self->serverRate_ = 0;
        pa_operation* asked =
            pa_context_get_server_info(context, &TPulseConnection::OnServerInfo, self);
        if (asked != nullptr) {
            pa_operation_unref(asked);
            return;
        }
        self->serverKnown_ = true;
    }
    self->listener_.OnConnectionState(context);
    self->Signal();
}

void TPulseConnection::OnServerInfo(pa_context* context, const pa_server_info* info,
                                    void* userdata) {
    auto* self = static_cast<TPulseConnection*>(userdata);
    if (context != self->context_.get())
        return;
    if (info != nullptr) {
        self->serverRate_ = info->sample_spec.rate;
        if (info->server_name != nullptr)
            self->onPipeWire_ =
                std::string_view(info->server_name).find("PipeWire") != std::string_view::npos;
    }
    self->serverKnown_ = true;
    self->listener_.OnConnectionState(context);
    self->Signal();
}

void TPulseConnection::ArmTicker() {
    if (tickerArmed_)
        return;
    timeval at{};
    pa_gettimeofday(&at);
    pa_timeval_add(&at, std::chrono::duration_cast<std::chrono::microseconds>(kTick).count());
    if (!ticker_) {
        ticker_ = NewTimeEvent(api_, &at, &TPulseConnection::OnTickEvent, this);
    } else {
        api_->time_restart(ticker_.get(), &at);
    }
    tickerArmed_ = ticker_ != nullptr;
}

// Finds stalled streams (through the listener) and wakes the waiters, so
// that they can time out.
void TPulseConnection::OnTickEvent(pa_mainloop_api*, pa_time_event*, const timeval*,
                                   void* userdata) {
    auto* self = static_cast<TPulseConnection*>(userdata);
    self->tickerArmed_ = false;
    const bool busy = self->listener_.OnTick();
    self->Signal();
    if (busy || self->waiters_ > 0)
        self->ArmTicker();
}

bool TPulseConnection::WaitFor(const std::function<bool()>& done,
                               std::optional<Clock::time_point> deadline) {
    ++waiters_;
    ArmTicker();
    bool reached = true;
    while (!done()) {
        if (deadline && Clock::now() >= *deadline) {
            reached = false;
            break;
        }
        pa_threaded_mainloop_wait(loop_.get());
    }
    --waiters_;
    return reached;
}

}  // namespace ziv::pulse
