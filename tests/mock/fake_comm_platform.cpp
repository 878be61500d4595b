#include "mock/fake_comm_platform.h"

#ifdef _WIN32
#include "base/windows_api.h"
// The fake's method and the project's constant of these names are meant below.
#undef CreateFile
#undef INVALID_HANDLE_VALUE
#else
#include <poll.h>
#endif

namespace ziv::test {

void TFakeLineEvents::Push(std::uint32_t mask, int result) {
    std::lock_guard lock(mutex_);
    queue_.emplace_back(mask, result);
}

// Blocks until woken (the wake wins when both are there) or until an event
// is pushed, looking every two milliseconds.
int TFakeLineEvents::Wait(std::uint32_t& eventMask, TCommHandle wake) {
    ++Waits;
    if (const int code = FailAtOnce.load(); code != 0)
        return code;
    for (;;) {
#ifdef _WIN32
        const bool woken =
            ::WaitForSingleObject(reinterpret_cast<HANDLE>(wake), 2) == WAIT_OBJECT_0;
#else
        pollfd fd{static_cast<int>(wake), POLLIN, 0};
        const bool woken = ::poll(&fd, 1, 2) > 0;
#endif
        std::lock_guard lock(mutex_);
        if (woken || !queue_.empty()) {
            const auto [mask, result] = woken ? std::pair(0u, 0) : queue_.front();
            if (!woken)
                queue_.pop_front();
            eventMask = mask;
            return result;
        }
    }
}

namespace {

class TFakeEventWait : public TCommEventWait {
public:
    explicit TFakeEventWait(std::shared_ptr<TFakeLineEvents> events) : events_(std::move(events)) {}
    int Wait(std::uint32_t& eventMask, TCommHandle wake) override {
        return events_->Wait(eventMask, wake);
    }

private:
    std::shared_ptr<TFakeLineEvents> events_;
};

}  // namespace

int TFakeCommPlatform::Record(Call call) {
    call.time = Clock ? Clock() : 0;
    const auto it = FailWith.find(call.name);
    Calls.push_back(std::move(call));
    return it == FailWith.end() ? 0 : it->second;
}

int TFakeCommPlatform::CreateFile(const std::string& name, TCommHandle& handle) {
    OpenedNames.push_back(name);
    const int error = Record({.name = "CreateFile"});
    handle = error ? INVALID_HANDLE_VALUE : 100;
    return error;
}

int TFakeCommPlatform::EscapeCommFunction(TCommHandle, std::uint32_t function) {
    static const char* const names[] = {"", "", "", "SETRTS", "CLRRTS", "SETDTR", "CLRDTR"};
    return Record({.name = function < 7 ? names[function] : "ESCAPE?", .arg = function});
}

std::unique_ptr<TCommEventWait> TFakeCommPlatform::CreateEventWait(TCommHandle) {
    Record({.name = "CreateEventWait"});
    return std::make_unique<TFakeEventWait>(Events);
}

std::vector<std::string> TFakeCommPlatform::LineCalls() const {
    std::vector<std::string> out;
    for (const Call& c : Calls)
        if (c.name.ends_with("RTS") || c.name.ends_with("DTR"))
            out.push_back(c.name);
    return out;
}

std::vector<std::string> TFakeCommPlatform::CallNames() const {
    std::vector<std::string> out;
    for (const Call& c : Calls)
        out.push_back(c.name);
    return out;
}

std::vector<TFakeCommPlatform::Call> TFakeCommPlatform::CallsNamed(const std::string& name) const {
    std::vector<Call> out;
    for (const Call& c : Calls)
        if (c.name == name)
            out.push_back(c);
    return out;
}

void TRecordingErrorReport::ReportException(const std::exception& error) {
    std::lock_guard lock(mutex_);
    messages_.push_back(error.what());
}

std::vector<std::string> TRecordingErrorReport::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

TDroppingInvoker TTestComm::invoker_;
TRecordingErrorReport TTestComm::report_;

TTestComm::TTestComm(TCommPlatform& platform) : TVaComm(platform, invoker_, report_) {}

}  // namespace ziv::test
