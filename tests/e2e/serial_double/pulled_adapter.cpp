// The fortified inline poll() of <poll.h> would collide with the one here.
#undef _FORTIFY_SOURCE

#include "pulled_adapter.h"

#include <poll.h>
#include <unistd.h>

#include <cstdlib>

#include "next_libc.h"

namespace ziv::e2e::serial_double {

namespace {

bool DeviceHungUp(const TOpenFile& file) {
    TLockedDevice device(DevicePath(file), true);
    return device.Error() == 0 && device.Record().hungUp;
}

bool AnyHungUp(const pollfd* fds, nfds_t count) {
    for (nfds_t i = 0; i < count; ++i)
        if (const TOpenFile* file = Served(fds[i].fd); file && DeviceHungUp(*file))
            return true;
    return false;
}

// A hung-up tty reports the hang-up to poll() whatever was asked; a served
// device that is not hung up polls as its regular file does. Kept apart
// from poll() itself: glibc declares poll's array write-only, and GCC
// would take every read of it there for a read of uninitialized memory.
int PollDevices(pollfd* fds, nfds_t count, int timeout) {
    if (!AnyHungUp(fds, count))
        return NextPoll(fds, count, timeout);
    const int n = NextPoll(fds, count, 0);
    if (n < 0)
        return n;
    int ready = 0;
    for (nfds_t i = 0; i < count; ++i) {
        if (const TOpenFile* file = Served(fds[i].fd); file && DeviceHungUp(*file))
            fds[i].revents = static_cast<short>(
                POLLHUP | POLLERR | (fds[i].events & (POLLIN | POLLRDNORM | POLLOUT | POLLWRNORM)));
        if (fds[i].revents != 0)
            ++ready;
    }
    return ready;
}

}  // namespace

long EioAfterFromEnvironment() {
    const char* text = std::getenv("ZIV_SERIAL_DOUBLE_EIO_AFTER");
    if (!text || !*text)
        return -1;
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    return (*end == '\0' && n >= 0) ? n : -1;
}

void HangUp(TLockedDevice& device) {
    TDeviceRecord& r = device.Record();
    if (r.hungUp)
        return;
    r.hungUp = 1;
    device.Commit();
    device.Log("hangup", ::getpid());
}

void CountModemCall(TOpenFile& file, TLockedDevice& device) {
    ++file.modemCalls;
    if (file.eioAfter >= 0 && file.modemCalls >= file.eioAfter)
        HangUp(device);
}

}  // namespace ziv::e2e::serial_double

using namespace ziv::e2e::serial_double;

ZIV_EXPORT int poll(pollfd* fds, nfds_t count, int timeout) {
    return PollDevices(fds, count, timeout);
}

ZIV_EXPORT int __poll_chk(pollfd* fds, nfds_t count, int timeout, std::size_t) {
    return poll(fds, count, timeout);
}
