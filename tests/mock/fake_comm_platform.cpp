#include "mock/fake_comm_platform.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include "base/windows_api.h"
// The fake's method and the project's constant of these names are meant below.
#undef CreateFile
#undef INVALID_HANDLE_VALUE
#else
#include <poll.h>
#endif

namespace ziv::test {

int TFakeLineEvents::Wait(std::uint32_t& eventMask, TCommHandle wake) {
    ++Waits;
    eventMask = 0;
    if (const int code = FailAtOnce.load(); code != 0)
        return code;
#ifdef _WIN32
    ::WaitForSingleObject(reinterpret_cast<HANDLE>(wake), INFINITE);
#else
    pollfd fd{static_cast<int>(wake), POLLIN, 0};
    while (::poll(&fd, 1, -1) <= 0) {
    }
#endif
    return 0;
}

namespace {

class TFakeEventWait : public TCommEventWait {
public:
    explicit TFakeEventWait(std::shared_ptr<TFakeLineEvents> events) : events_(std::move(events)) {
        ++events_->LiveWaits;
    }
    ~TFakeEventWait() override { --events_->LiveWaits; }
    int Wait(std::uint32_t& eventMask, TCommHandle wake) override {
        return events_->Wait(eventMask, wake);
    }

private:
    std::shared_ptr<TFakeLineEvents> events_;
};

}  // namespace

TFakeCommPlatform::~TFakeCommPlatform() {
    for (int i = 0; i < 500 && Events->LiveWaits.load() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
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

TDroppingInvoker TTestComm::invoker_;
TRecordingErrorReport TTestComm::report_;

TTestComm::TTestComm(TCommPlatform& platform) : TVaComm(platform, invoker_, report_) {
    SetDTREnable(false);
    SetRTSEnable(false);
}

}  // namespace ziv::test
