#include "mock/fake_comm_platform.h"

#include <stdexcept>

#ifdef _WIN32
#include "base/windows_api.h"
// The fake's method and the project's constant of these names are meant below.
#undef CreateFile
#undef INVALID_HANDLE_VALUE
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace ziv::test {

#ifdef _WIN32
// A semaphore counts the pushed completions, as the pipe's bytes do on POSIX.
TFakeLineEvents::TFakeLineEvents() {
    semaphore_ = ::CreateSemaphoreW(nullptr, 0, 0x7FFFFFFF, nullptr);
    if (semaphore_ == nullptr)
        throw std::runtime_error("CreateSemaphore");
}

TFakeLineEvents::~TFakeLineEvents() {
    ::CloseHandle(semaphore_);
}

void TFakeLineEvents::Push(std::uint32_t mask, int result) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({mask, result});
    }
    ::ReleaseSemaphore(semaphore_, 1, nullptr);
}

int TFakeLineEvents::Wait(std::uint32_t& eventMask, TCommHandle wake) {
    if (Waits.fetch_add(1) == 0)
        FirstWaitNice.store(::GetThreadPriority(::GetCurrentThread()));
    if (const int code = FailAtOnce.load(); code != 0)
        return code;

    ++Blocked;
    // The wake event first: when both are signalled, the wake wins.
    const HANDLE handles[2] = {reinterpret_cast<HANDLE>(wake), semaphore_};
    const DWORD which = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    --Blocked;
    if (which == WAIT_OBJECT_0) {
        eventMask = 0;
        return 0;
    }
    if (which != WAIT_OBJECT_0 + 1)
        return static_cast<int>(::GetLastError());
    std::lock_guard lock(mutex_);
    const Completion next = queue_.front();
    queue_.pop_front();
    eventMask = next.mask;
    return next.result;
}
#else

TFakeLineEvents::TFakeLineEvents() {
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("pipe");
    readFd_ = fds[0];
    writeFd_ = fds[1];
    ::fcntl(readFd_, F_SETFL, O_NONBLOCK);
}

TFakeLineEvents::~TFakeLineEvents() {
    ::close(readFd_);
    ::close(writeFd_);
}

void TFakeLineEvents::Push(std::uint32_t mask, int result) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({mask, result});
    }
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(writeFd_, &byte, 1);
}

int TFakeLineEvents::Wait(std::uint32_t& eventMask, TCommHandle wake) {
    if (Waits.fetch_add(1) == 0) {
        errno = 0;
        FirstWaitNice.store(::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid))));
    }
    if (const int code = FailAtOnce.load(); code != 0)
        return code;

    ++Blocked;
    pollfd fds[2] = {{static_cast<int>(wake), POLLIN, 0}, {readFd_, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            --Blocked;
            return errno;
        }
        if (fds[0].revents) {
            --Blocked;
            eventMask = 0;
            return 0;
        }
        char byte;
        if (::read(readFd_, &byte, 1) != 1)
            continue;
        std::lock_guard lock(mutex_);
        const Completion next = queue_.front();
        queue_.pop_front();
        --Blocked;
        eventMask = next.mask;
        return next.result;
    }
}
#endif

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

int TFakeCommPlatform::GetCommState(TCommHandle, TDCB& dcb) {
    const int error = Record({.name = "GetCommState"});
    if (!error)
        dcb = DeviceDCB;
    return error;
}

int TFakeCommPlatform::SetCommState(TCommHandle, const TDCB& dcb) {
    const int error = Record({.name = "SetCommState", .arg = dcb.Flags, .dcb = dcb});
    if (!error)
        DeviceDCB = dcb;
    return error;
}

int TFakeCommPlatform::ClearCommError(TCommHandle, std::uint32_t& errors, TComStat& stat) {
    const int error = Record({.name = "ClearCommError"});
    if (!error) {
        errors = DeviceErrors;
        stat = DeviceStat;
    }
    return error;
}

int TFakeCommPlatform::EscapeCommFunction(TCommHandle, std::uint32_t function) {
    static const char* const names[] = {"", "", "", "SETRTS", "CLRRTS", "SETDTR", "CLRDTR"};
    const std::string name = function < 7 ? names[function] : "ESCAPE?";
    return Record({.name = name, .arg = function});
}

std::unique_ptr<TCommEventWait> TFakeCommPlatform::CreateEventWait(TCommHandle) {
    Record({.name = "CreateEventWait"});
    return std::make_unique<TFakeEventWait>(Events);
}

std::string TFakeCommPlatform::ErrorText(int code) {
    const auto it = Texts.find(code);
    return it != Texts.end() ? it->second : "Error " + std::to_string(code) + ".\r\n";
}

std::vector<std::string> TFakeCommPlatform::LineCalls() const {
    std::vector<std::string> out;
    for (const Call& c : Calls)
        if (c.name == "SETRTS" || c.name == "CLRRTS" || c.name == "SETDTR" || c.name == "CLRDTR")
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

TTestComm::TTestComm(TCommPlatform& platform)
    : TVaComm(platform, Unused().invoker, Unused().report) {}

TTestComm::Collaborators& TTestComm::Unused() {
    static Collaborators collaborators;
    return collaborators;
}

}  // namespace ziv::test
