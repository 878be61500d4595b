#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include "serial/sync_objects.h"

namespace ziv {

TVaHandleObject::~TVaHandleObject() {
    if (FHandle != INVALID_HANDLE_VALUE)
        ::close(static_cast<int>(FHandle));
}

TVaEvent::~TVaEvent() {
    if (FSignalHandle != INVALID_HANDLE_VALUE)
        ::close(static_cast<int>(FSignalHandle));
}

// The event is a pipe: signalled while a byte waits in it, so poll() can
// watch it beside other descriptors.
TVaSimpleEvent::TVaSimpleEvent() {
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    for (int fd : fds) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    FHandle = fds[0];
    FSignalHandle = fds[1];
}

TWaitResult TVaEvent::WaitFor(std::uint32_t timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
    pollfd pfd{static_cast<int>(FHandle), POLLIN, 0};
    for (;;) {
        int ms = -1;
        if (timeout != INFINITE) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            ms = left > 0 ? static_cast<int>(std::min<long long>(left, 0x7FFFFFFF)) : 0;
        }
        const int n = ::poll(&pfd, 1, ms);
        if (n > 0) {
            if (pfd.revents & POLLIN)
                return wrSignaled;
            FLastError = EBADF;
            return wrError;
        }
        if (n == 0)
            return wrTimeout;
        if (errno != EINTR) {
            FLastError = static_cast<std::uint32_t>(errno);
            return wrError;
        }
    }
}

void TVaEvent::SetEvent() {
    const char byte = 1;
    // A full pipe is signalled already.
    [[maybe_unused]] const auto n = ::write(static_cast<int>(FSignalHandle), &byte, 1);
}

void TVaEvent::ResetEvent() {
    char buffer[64];
    while (::read(static_cast<int>(FHandle), buffer, sizeof buffer) > 0) {
    }
}

void SetCurrentThreadPriority(int value) {
#if defined(__linux__)
    // Linux gives each thread its own nice value; the scale is mirrored
    // (higher priority, lower nice).
    int nice = 0;
    if (value <= -15)
        nice = 19;
    else if (value >= 15)
        nice = -20;
    else
        nice = -5 * value;
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    ::setpriority(PRIO_PROCESS, tid, nice);
#else
    (void)value;
#endif
}

}  // namespace ziv
