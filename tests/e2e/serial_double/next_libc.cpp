#include "next_libc.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "open_files.h"

namespace ziv::e2e::serial_double {

namespace {

TReal g_real{};
pthread_once_t g_realOnce = PTHREAD_ONCE_INIT;

// dlsym() may open or allocate on its first use; calls that come back here
// meanwhile take the raw system calls instead of waiting on the once.
__thread bool t_resolving __attribute__((tls_model("initial-exec"))) = false;

template <typename T>
void Resolve(T& fn, const char* name) {
    fn = reinterpret_cast<T>(::dlsym(RTLD_NEXT, name));
}

void ResolveAll() {
    t_resolving = true;
    TReal r{};
    Resolve(r.open, "open");
    Resolve(r.open64, "open64");
    Resolve(r.openat, "openat");
    Resolve(r.openat64, "openat64");
    Resolve(r.open2, "__open_2");
    Resolve(r.open64_2, "__open64_2");
    Resolve(r.openat2, "__openat_2");
    Resolve(r.openat64_2, "__openat64_2");
    Resolve(r.close, "close");
    Resolve(r.dup, "dup");
    Resolve(r.dup2, "dup2");
    Resolve(r.dup3, "dup3");
    Resolve(r.fcntl, "fcntl");
    Resolve(r.fcntl64, "fcntl64");
    Resolve(r.ioctl, "ioctl");
    Resolve(r.poll, "poll");
    Resolve(r.tcgetattr, "tcgetattr");
    Resolve(r.tcsetattr, "tcsetattr");
    Resolve(r.tcflush, "tcflush");
    Resolve(r.tcdrain, "tcdrain");
    Resolve(r.tcsendbreak, "tcsendbreak");
    Resolve(r.tcflow, "tcflow");
    Resolve(r.isatty, "isatty");
    g_real = r;
    // A fork while another thread matches a path must not leave the
    // child with the tables locked.
    ::pthread_atfork(LockTables, UnlockTables, UnlockTables);
    t_resolving = false;
}

int RawOpenAt(int dirfd, const char* path, int flags, mode_t mode) {
    return static_cast<int>(::syscall(SYS_openat, dirfd, path, flags, mode));
}

}  // namespace

const TReal& Real() {
    static const TReal none{};
    if (t_resolving)
        return none;
    ::pthread_once(&g_realOnce, ResolveAll);
    return g_real;
}

int NextOpen(TOpenFn fn, const char* path, int flags, mode_t mode) {
    return fn ? fn(path, flags, mode) : RawOpenAt(AT_FDCWD, path, flags, mode);
}

int NextOpenAt(TOpenAtFn fn, int dirfd, const char* path, int flags, mode_t mode) {
    return fn ? fn(dirfd, path, flags, mode) : RawOpenAt(dirfd, path, flags, mode);
}

int NextOpen2(TOpen2Fn fn, const char* path, int flags) {
    return fn ? fn(path, flags) : RawOpenAt(AT_FDCWD, path, flags, 0);
}

int NextOpenAt2(TOpenAt2Fn fn, int dirfd, const char* path, int flags) {
    return fn ? fn(dirfd, path, flags) : RawOpenAt(dirfd, path, flags, 0);
}

int NextClose(int fd) {
    const TReal& real = Real();
    return real.close ? real.close(fd) : static_cast<int>(::syscall(SYS_close, fd));
}

int NextIoctl(int fd, unsigned long request, void* arg) {
    const TReal& real = Real();
    return real.ioctl ? real.ioctl(fd, request, arg)
                      : static_cast<int>(::syscall(SYS_ioctl, fd, request, arg));
}

int NextPoll(pollfd* fds, nfds_t count, int timeout) {
    const TReal& real = Real();
    return real.poll ? real.poll(fds, count, timeout)
                     : static_cast<int>(::syscall(SYS_poll, fds, count, timeout));
}

int NextFcntl(TFcntlFn fn, int fd, int command, void* arg) {
    return fn ? fn(fd, command, arg) : static_cast<int>(::syscall(SYS_fcntl, fd, command, arg));
}

void CloseQuietly(int fd) {
    const int saved = errno;
    ::syscall(SYS_close, fd);
    errno = saved;
}

}  // namespace ziv::e2e::serial_double
