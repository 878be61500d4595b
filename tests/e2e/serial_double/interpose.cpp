// The preload library (README.md): a descriptor is a served device when its
// file is one (st_dev, st_ino), however it came (Wine's server hands it over
// by SCM_RIGHTS). The fortified inline open() would collide with this one.
#undef _FORTIFY_SOURCE

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device_state.h"

#define ZIV_EXPORT extern "C" __attribute__((visibility("default")))

using ziv::e2e::TDevice;

namespace {

constexpr int kMaxFds = 16384;

// The process that opened each descriptor: a forked child's copy is not its own.
pid_t g_opens[kMaxFds];

int Fail(int error) {
    errno = error;
    return -1;
}

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

int SysFstatAt(int dirfd, const char* path, struct stat* st, int flags) {
    return static_cast<int>(::syscall(SYS_newfstatat, dirfd, path, st, flags));
}

// The served device whose file `st` describes, or empty.
std::string DeviceOf(const struct stat& st) {
    const char* list = std::getenv("ZIV_SERIAL_DOUBLE_DEVICES");
    while (list && *list) {
        const char* end = std::strchr(list, ':');
        const std::string path(list,
                               end ? static_cast<std::size_t>(end - list) : std::strlen(list));
        struct stat device {};
        if (!path.empty() && SysFstatAt(AT_FDCWD, path.c_str(), &device, 0) == 0 &&
            device.st_dev == st.st_dev && device.st_ino == st.st_ino && S_ISREG(st.st_mode))
            return path;
        list = end ? end + 1 : nullptr;
    }
    return {};
}

std::string DeviceOf(int fd) {
    struct stat st {};
    if (fd < 0 || !std::getenv("ZIV_SERIAL_DOUBLE_DEVICES") ||
        SysFstatAt(fd, "", &st, AT_EMPTY_PATH) != 0)
        return {};
    return DeviceOf(st);
}

bool OwnOpen(int fd) {
    return fd >= 0 && fd < kMaxFds && g_opens[fd] == ::getpid();
}

// A served file is a tty: Wine's server takes a character device on which
// tcgetattr() works for a serial port, and ntdll a tty major for one.
int AsCharDevice(int result, struct stat* st) {
    if (result == 0 && !DeviceOf(*st).empty()) {
        st->st_mode = (st->st_mode & 07777) | S_IFCHR;
        st->st_rdev = makedev(4, 64);
        st->st_size = 0;
    }
    return result;
}

// A tty call: `op` on the locked record of a served device, else libc's own.
template <typename N, typename F, typename... A>
int Tty(int fd, N next, F op, A... args) {
    const std::string device = DeviceOf(fd);
    if (device.empty())
        return next(fd, args...);
    TDevice d(device.c_str());
    return op(d);
}

int DeviceIoctl(TDevice& d, unsigned long request, void* arg) {
    const int bits = request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC
                         ? *static_cast<int*>(arg)
                         : 0;
    switch (request) {
        case TIOCMGET:
            *static_cast<int*>(arg) = (d.r.rts ? TIOCM_RTS : 0) | (d.r.dtr ? TIOCM_DTR : 0) |
                                      TIOCM_CAR | TIOCM_DSR | TIOCM_CTS;
            break;
        case TIOCMSET:
            d.Lines(bits & TIOCM_RTS, bits & TIOCM_DTR);
            break;
        case TIOCMBIS:
            d.Lines(d.r.rts || (bits & TIOCM_RTS), d.r.dtr || (bits & TIOCM_DTR));
            break;
        case TIOCMBIC:
            d.Lines(d.r.rts && !(bits & TIOCM_RTS), d.r.dtr && !(bits & TIOCM_DTR));
            break;
        case TIOCEXCL:
        case TIOCNXCL:
            d.r.exclusive = request == TIOCEXCL;
            d.Commit();
            return 0;
        case FIONREAD:
        case TIOCOUTQ:
            *static_cast<int*>(arg) = 0;
            return 0;
        case TCFLSH:
            return 0;
        default:
            return Fail(ENOTTY);
    }
    return 0;
}

// The kernel closes the files of a process that exits; a killed one is
// left to the harness's reap (harness/lines.py).
__attribute__((destructor)) void CloseAtExit() {
    for (int fd = 0; fd < kMaxFds; ++fd)
        if (OwnOpen(fd))
            ::close(fd);
}

}  // namespace

ZIV_EXPORT int open(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const bool takesMode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t mode = takesMode ? va_arg(ap, mode_t) : 0;
    va_end(ap);
    const int fd = static_cast<int>(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
    if (fd < 0 || fd >= kMaxFds)
        return fd;
    g_opens[fd] = 0;
    const std::string device = flags & O_PATH ? "" : DeviceOf(fd);
    if (device.empty())
        return fd;
    if (const int error = TDevice(device.c_str()).Open(::getpid()); error != 0) {
        ::syscall(SYS_close, fd);
        return Fail(error);
    }
    g_opens[fd] = ::getpid();
    return fd;
}

ZIV_EXPORT int close(int fd) {
    const std::string device = OwnOpen(fd) ? DeviceOf(fd) : std::string();
    if (fd >= 0 && fd < kMaxFds)
        g_opens[fd] = 0;
    const int result = static_cast<int>(::syscall(SYS_close, fd));
    // After the file, as the kernel drops flock()s before the tty's release.
    if (!device.empty()) {
        const int error = errno;
        TDevice(device.c_str()).Close(::getpid());
        errno = error;
    }
    return result;
}

ZIV_EXPORT int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    const std::string device = request == FIONBIO || request == FIOCLEX ? "" : DeviceOf(fd);
    if (device.empty())
        return static_cast<int>(::syscall(SYS_ioctl, fd, request, arg));
    TDevice d(device.c_str());
    return DeviceIoctl(d, request, arg);
}

// glibc's tc*() and isatty() issue their ioctls without going through ioctl().
ZIV_EXPORT int tcgetattr(int fd, termios* t) {
    return Tty(
        fd, Next<decltype(&tcgetattr)>("tcgetattr"),
        [&](TDevice& d) {
            *t = d.r.tio;
            return 0;
        },
        t);
}

ZIV_EXPORT int tcsetattr(int fd, int actions, const termios* t) {
    return Tty(
        fd, Next<decltype(&tcsetattr)>("tcsetattr"),
        [&](TDevice& d) {
            d.SetTermios(*t);
            return 0;
        },
        actions, t);
}

ZIV_EXPORT int tcflush(int fd, int queue) {
    return Tty(
        fd, Next<decltype(&tcflush)>("tcflush"), [](TDevice&) { return 0; }, queue);
}

ZIV_EXPORT int isatty(int fd) {
    return Tty(fd, Next<decltype(&isatty)>("isatty"), [](TDevice&) { return 1; }) == 1;
}

// What Wine's server asks of a file it opened.
ZIV_EXPORT int fstat(int fd, struct stat* st) {
    return AsCharDevice(SysFstatAt(fd, "", st, AT_EMPTY_PATH), st);
}
