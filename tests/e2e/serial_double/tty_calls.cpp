// The tty calls on a served device: ioctl() and glibc's tc*() and
// isatty(), which issue their ioctls without going through ioctl().
#undef _FORTIFY_SOURCE

#include <sys/ioctl.h>
#include <termios.h>

#include <cstdarg>
#include <cstring>
#include <optional>

#include "kernel_termios.h"
#include "line_model.h"
#include "next_libc.h"
#include "open_files.h"
#include "pulled_adapter.h"

namespace ziv::e2e::serial_double {

namespace {

// Runs `op` on the locked device of a served open, refusing with EIO once
// the device is hung up.
template <typename F>
int WithDevice(TOpenFile& file, F op) {
    TLockedDevice device(DevicePath(file));
    if (device.Error() != 0 || device.Record().hungUp)
        return Fail(EIO);
    return op(device);
}

bool IsFileLayerRequest(unsigned long request) {
    return request == FIONBIO || request == FIOCLEX || request == FIONCLEX || request == FIOASYNC;
}

bool IsQueue(long queue) {
    return queue == TCIFLUSH || queue == TCOFLUSH || queue == TCIOFLUSH;
}

bool IsFlowAction(long action) {
    return action == TCOOFF || action == TCOON || action == TCIOFF || action == TCION;
}

// The requests a tty answers without looking at its line state.
std::optional<int> StatelessIoctl(unsigned long request, void* arg) {
    switch (request) {
        case FIONREAD:
        case TIOCOUTQ:
            if (!arg)
                return Fail(EFAULT);
            *static_cast<int*>(arg) = 0;
            return 0;
        case TCFLSH:
            return IsQueue(reinterpret_cast<long>(arg)) ? 0 : Fail(EINVAL);
        case TCXONC:
            return IsFlowAction(reinterpret_cast<long>(arg)) ? 0 : Fail(EINVAL);
        case TIOCGWINSZ:
            if (!arg)
                return Fail(EFAULT);
            std::memset(arg, 0, sizeof(winsize));
            return 0;
        case TIOCSWINSZ:
        case TCSBRK:
        case TCSBRKP:
        case TIOCSBRK:
        case TIOCCBRK:
            return 0;
        default:
            return std::nullopt;
    }
}

// The line settings, in the kernel's structures.
std::optional<int> TermiosIoctl(TLockedDevice& device, unsigned long request, void* arg) {
    const bool get = request == TCGETS || request == kTcGets2;
    const bool set = request == TCSETS || request == TCSETSW || request == TCSETSF;
    const bool set2 = request == kTcSets2 || request == kTcSetsW2 || request == kTcSetsF2;
    if (!get && !set && !set2)
        return std::nullopt;
    if (!arg)
        return Fail(EFAULT);
    if (request == TCGETS)
        ToKernel(device.Record().tio, *static_cast<TKernelTermios*>(arg));
    else if (request == kTcGets2)
        ToKernel2(device.Record().tio, *static_cast<TKernelTermios2*>(arg));
    else if (set)
        ApplyTermios(device, FromKernel(*static_cast<const TKernelTermios*>(arg)));
    else
        ApplyTermios(device, FromKernel2(*static_cast<const TKernelTermios2*>(arg)));
    return 0;
}

int DeviceIoctl(TOpenFile& file, TLockedDevice& device, unsigned long request, void* arg) {
    if (IsModemRequest(request)) {
        if (ModemIoctl(device, request, arg) != 0)
            return -1;
        CountModemCall(file, device);
        return 0;
    }
    if (request == TIOCEXCL || request == TIOCNXCL) {
        device.Record().exclusive = request == TIOCEXCL ? 1 : 0;
        device.Commit();
        return 0;
    }
    if (const std::optional<int> result = StatelessIoctl(request, arg))
        return *result;
    if (const std::optional<int> result = TermiosIoctl(device, request, arg))
        return *result;
    return Fail(ENOTTY);
}

}  // namespace

}  // namespace ziv::e2e::serial_double

using namespace ziv::e2e::serial_double;
using ziv::e2e::TLockedDevice;

ZIV_EXPORT int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    TOpenFile* file = Served(fd);
    // The file layer above any tty handles some requests itself.
    if (!file || IsFileLayerRequest(request))
        return NextIoctl(fd, request, arg);
    return WithDevice(
        *file, [&](TLockedDevice& device) { return DeviceIoctl(*file, device, request, arg); });
}

ZIV_EXPORT int tcgetattr(int fd, termios* t) {
    if (TOpenFile* file = Served(fd))
        return WithDevice(*file, [&](TLockedDevice& device) {
            if (!t)
                return Fail(EFAULT);
            *t = device.Record().tio;
            return 0;
        });
    const TReal& real = Real();
    return real.tcgetattr ? real.tcgetattr(fd, t) : Fail(ENOSYS);
}

ZIV_EXPORT int tcsetattr(int fd, int actions, const termios* t) {
    if (TOpenFile* file = Served(fd))
        return WithDevice(*file, [&](TLockedDevice& device) {
            if (actions != TCSANOW && actions != TCSADRAIN && actions != TCSAFLUSH)
                return Fail(EINVAL);
            if (!t)
                return Fail(EFAULT);
            ApplyTermios(device, *t);
            return 0;
        });
    const TReal& real = Real();
    return real.tcsetattr ? real.tcsetattr(fd, actions, t) : Fail(ENOSYS);
}

ZIV_EXPORT int tcflush(int fd, int queue) {
    if (TOpenFile* file = Served(fd))
        return WithDevice(*file, [&](TLockedDevice&) { return IsQueue(queue) ? 0 : Fail(EINVAL); });
    const TReal& real = Real();
    return real.tcflush ? real.tcflush(fd, queue) : Fail(ENOSYS);
}

ZIV_EXPORT int tcdrain(int fd) {
    if (TOpenFile* file = Served(fd))
        return WithDevice(*file, [](TLockedDevice&) { return 0; });
    const TReal& real = Real();
    return real.tcdrain ? real.tcdrain(fd) : Fail(ENOSYS);
}

ZIV_EXPORT int tcsendbreak(int fd, int duration) {
    if (TOpenFile* file = Served(fd))
        return WithDevice(*file, [](TLockedDevice&) { return 0; });
    const TReal& real = Real();
    return real.tcsendbreak ? real.tcsendbreak(fd, duration) : Fail(ENOSYS);
}

ZIV_EXPORT int tcflow(int fd, int action) {
    if (TOpenFile* file = Served(fd))
        return WithDevice(*file,
                          [&](TLockedDevice&) { return IsFlowAction(action) ? 0 : Fail(EINVAL); });
    const TReal& real = Real();
    return real.tcflow ? real.tcflow(fd, action) : Fail(ENOSYS);
}

// glibc's isatty() asks its internal tcgetattr, which is not interposed.
ZIV_EXPORT int isatty(int fd) {
    if (TOpenFile* file = Served(fd))
        return WithDevice(*file, [](TLockedDevice&) { return 1; }) == 1 ? 1 : 0;
    const TReal& real = Real();
    return real.isatty ? real.isatty(fd) : Fail(ENOSYS);
}
