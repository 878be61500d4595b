#include "serial/comm_platform_win32.h"

#include "base/diagnostics.h"
#include "serial/comm_dcb_win32.h"

#include <system_error>

namespace ziv {
namespace {
// The project's name, kept before <windows.h> turns it into its macro.
constexpr TCommHandle kNoHandle = INVALID_HANDLE_VALUE;
}  // namespace
}  // namespace ziv

#include "base/windows_api.h"
// The platform's method has this name; the system call is CreateFileA.
#undef CreateFile

namespace ziv {

namespace {

HANDLE Win32Handle(TCommHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The error of the call that just failed. A failure that left no code
// still must not read as success.
int LastError() {
    const DWORD error = ::GetLastError();
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

int Result(BOOL ok) {
    return ok ? 0 : LastError();
}

// The wait of one open device. It holds its own event for the overlapped
// WaitCommEvent and nothing of the platform object.
class TWin32EventWait : public TCommEventWait {
public:
    explicit TWin32EventWait(HANDLE device) : device_(device) {
        done_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (done_ == nullptr)
            throw std::system_error(LastError(), std::system_category(), "CreateEvent");
    }
    ~TWin32EventWait() override { ::CloseHandle(done_); }
    TWin32EventWait(const TWin32EventWait&) = delete;
    TWin32EventWait& operator=(const TWin32EventWait&) = delete;

    int Wait(std::uint32_t& eventMask, TCommHandle wake) override {
        eventMask = 0;
        DWORD selected = 0;
        if (!::GetCommMask(device_, &selected))
            return LastError();
        if (selected == 0)
            return WaitForWake(Win32Handle(wake));

        // Both live until the wait is over: the driver writes into them.
        OVERLAPPED overlapped{};
        overlapped.hEvent = done_;
        DWORD mask = 0;
        ::ResetEvent(done_);
        if (!::WaitCommEvent(device_, &mask, &overlapped)) {
            if (::GetLastError() != ERROR_IO_PENDING)
                return LastError();
            const HANDLE handles[2] = {Win32Handle(wake), done_};
            const DWORD which = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
            if (which != WAIT_OBJECT_0 + 1) {
                const int error = which == WAIT_OBJECT_0 ? 0 : LastError();
                Cancel(overlapped);
                return error;
            }
            DWORD unused = 0;
            if (!::GetOverlappedResult(device_, &overlapped, &unused, FALSE))
                return LastError();
        }
        eventMask = mask;
        return 0;
    }

private:
    static int WaitForWake(HANDLE wake) {
        return ::WaitForSingleObject(wake, INFINITE) == WAIT_OBJECT_0 ? 0 : LastError();
    }

    // Ends the pending wait and waits until the driver lets go of it.
    void Cancel(OVERLAPPED& overlapped) {
        if (!::CancelIoEx(device_, &overlapped) && ::GetLastError() != ERROR_NOT_FOUND) {
            // Where cancelling is refused, a new event mask completes it.
            DWORD selected = 0;
            if (::GetCommMask(device_, &selected))
                ::SetCommMask(device_, selected);
        }
        DWORD unused = 0;
        ::GetOverlappedResult(device_, &overlapped, &unused, TRUE);
    }

    HANDLE device_;
    HANDLE done_ = nullptr;
};

}  // namespace

std::string Win32DevicePath(const std::string& comName) {
    return "\\\\.\\" + comName;
}

TWin32CommPlatform::TWin32CommPlatform(std::function<void(const std::string&)> log)
    : log_(std::move(log)) {
    if (!log_)
        log_ = [](const std::string& line) { WriteDiagnostic(line); };
}

int TWin32CommPlatform::CreateFile(const std::string& name, TCommHandle& handle) {
    handle = kNoHandle;
    const std::string path = Win32DevicePath(name);
    const HANDLE device = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        const int error = LastError();
        std::string reason = name + " (" + path + "): " + ErrorText(error);
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            reason += "; the port may be in use by another program";
        log_(reason);
        return error;
    }
    handle = reinterpret_cast<TCommHandle>(device);
    return 0;
}

int TWin32CommPlatform::GetCommState(TCommHandle handle, TDCB& dcb) {
    DCB system{};
    system.DCBlength = sizeof system;
    if (!::GetCommState(Win32Handle(handle), &system))
        return LastError();
    dcb = FromSystemDcb(system);
    return 0;
}

int TWin32CommPlatform::SetCommState(TCommHandle handle, const TDCB& dcb) {
    DCB system = ToSystemDcb<DCB>(dcb);
    return Result(::SetCommState(Win32Handle(handle), &system));
}

int TWin32CommPlatform::SetCommTimeouts(TCommHandle handle, const TCommTimeouts& timeouts) {
    COMMTIMEOUTS system{};
    system.ReadIntervalTimeout = timeouts.ReadIntervalTimeout;
    system.ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier;
    system.ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant;
    system.WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier;
    system.WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant;
    return Result(::SetCommTimeouts(Win32Handle(handle), &system));
}

int TWin32CommPlatform::SetupComm(TCommHandle handle, std::uint32_t inQueue,
                                  std::uint32_t outQueue) {
    return Result(::SetupComm(Win32Handle(handle), inQueue, outQueue));
}

int TWin32CommPlatform::SetCommMask(TCommHandle handle, std::uint32_t eventMask) {
    return Result(::SetCommMask(Win32Handle(handle), eventMask));
}

int TWin32CommPlatform::PurgeComm(TCommHandle handle, std::uint32_t flags) {
    return Result(::PurgeComm(Win32Handle(handle), flags));
}

int TWin32CommPlatform::ClearCommError(TCommHandle handle, std::uint32_t& errors, TComStat& stat) {
    errors = 0;
    stat = TComStat{};
    DWORD systemErrors = 0;
    COMSTAT systemStat{};
    if (!::ClearCommError(Win32Handle(handle), &systemErrors, &systemStat))
        return LastError();
    errors = systemErrors;
    stat = FromSystemComStat(systemStat);
    return 0;
}

int TWin32CommPlatform::EscapeCommFunction(TCommHandle handle, std::uint32_t function) {
    return Result(::EscapeCommFunction(Win32Handle(handle), function));
}

int TWin32CommPlatform::CloseHandle(TCommHandle handle) {
    return Result(::CloseHandle(Win32Handle(handle)));
}

std::unique_ptr<TCommEventWait> TWin32CommPlatform::CreateEventWait(TCommHandle handle) {
    return std::make_unique<TWin32EventWait>(Win32Handle(handle));
}

std::string TWin32CommPlatform::ErrorText(int code) {
    // The system's text as it comes, full stop and line break included:
    // the component trims them.
    char buffer[256] = {};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
    if (length == 0)
        return "Unknown error " + std::to_string(code);
    return std::string(buffer, length);
}

}  // namespace ziv
