// The open family, close(), the dups and fcntl(): which fds are served
// devices, and the device's open and last close.
//
// The fortified inline open() of <fcntl.h> would collide with the
// definitions here.
#undef _FORTIFY_SOURCE

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>

#include "next_libc.h"
#include "open_files.h"
#include "served_paths.h"

namespace ziv::e2e::serial_double {

namespace {

bool TakesMode(int flags) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

mode_t ModeArgument(int flags, va_list ap) {
    return TakesMode(flags) ? static_cast<mode_t>(va_arg(ap, unsigned int)) : 0;
}

// `realOpen` opens the file as the caller asked.
template <typename F>
int OpenPath(int dirfd, const char* path, int flags, F realOpen) {
    int slot = -1;
    if (path && (flags & O_PATH) == 0 && (dirfd == AT_FDCWD || path[0] == '/'))
        slot = MatchDevice(path);
    const int fd = realOpen();
    if (fd < 0)
        return fd;
    ForgetStale(fd);
    return slot < 0 ? fd : AttachDevice(fd, slot);
}

// After a dup call that returned `result` for `fd`.
int AfterDup(int fd, int result) {
    if (result >= 0) {
        const int error = errno;
        Duplicated(fd, result);
        errno = error;
    }
    return result;
}

// fcntl() passes its one argument on whatever its type; only the dups
// concern the double.
int Fcntl(TFcntlFn realFcntl, int fd, int command, va_list ap) {
    void* arg = va_arg(ap, void*);
    const int result = NextFcntl(realFcntl, fd, command, arg);
    return command == F_DUPFD || command == F_DUPFD_CLOEXEC ? AfterDup(fd, result) : result;
}

}  // namespace

}  // namespace ziv::e2e::serial_double

using namespace ziv::e2e::serial_double;

ZIV_EXPORT int open(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = ModeArgument(flags, ap);
    va_end(ap);
    return OpenPath(AT_FDCWD, path, flags,
                    [&] { return NextOpen(Real().open, path, flags, mode); });
}

ZIV_EXPORT int open64(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = ModeArgument(flags, ap);
    va_end(ap);
    return OpenPath(AT_FDCWD, path, flags,
                    [&] { return NextOpen(Real().open64, path, flags, mode); });
}

ZIV_EXPORT int openat(int dirfd, const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = ModeArgument(flags, ap);
    va_end(ap);
    return OpenPath(dirfd, path, flags,
                    [&] { return NextOpenAt(Real().openat, dirfd, path, flags, mode); });
}

ZIV_EXPORT int openat64(int dirfd, const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = ModeArgument(flags, ap);
    va_end(ap);
    return OpenPath(dirfd, path, flags,
                    [&] { return NextOpenAt(Real().openat64, dirfd, path, flags, mode); });
}

ZIV_EXPORT int __open_2(const char* path, int flags) {
    return OpenPath(AT_FDCWD, path, flags, [&] { return NextOpen2(Real().open2, path, flags); });
}

ZIV_EXPORT int __open64_2(const char* path, int flags) {
    return OpenPath(AT_FDCWD, path, flags, [&] { return NextOpen2(Real().open64_2, path, flags); });
}

ZIV_EXPORT int __openat_2(int dirfd, const char* path, int flags) {
    return OpenPath(dirfd, path, flags,
                    [&] { return NextOpenAt2(Real().openat2, dirfd, path, flags); });
}

ZIV_EXPORT int __openat64_2(int dirfd, const char* path, int flags) {
    return OpenPath(dirfd, path, flags,
                    [&] { return NextOpenAt2(Real().openat64_2, dirfd, path, flags); });
}

ZIV_EXPORT int close(int fd) {
    TOpenFile last{};
    if (!Unpublish(fd, last))
        return NextClose(fd);
    // The file first, as the kernel drops flock()s before the tty's release.
    const int result = NextClose(fd);
    const int error = errno;
    CloseFile(last);
    errno = error;
    return result;
}

ZIV_EXPORT int dup(int fd) {
    const TReal& real = Real();
    return AfterDup(fd, real.dup ? real.dup(fd) : static_cast<int>(::syscall(SYS_dup, fd)));
}

ZIV_EXPORT int dup2(int fd, int copy) {
    const TReal& real = Real();
    return AfterDup(
        fd, real.dup2 ? real.dup2(fd, copy) : static_cast<int>(::syscall(SYS_dup2, fd, copy)));
}

ZIV_EXPORT int dup3(int fd, int copy, int flags) {
    const TReal& real = Real();
    return AfterDup(fd, real.dup3 ? real.dup3(fd, copy, flags)
                                  : static_cast<int>(::syscall(SYS_dup3, fd, copy, flags)));
}

ZIV_EXPORT int fcntl(int fd, int command, ...) {
    va_list ap;
    va_start(ap, command);
    const int result = Fcntl(Real().fcntl, fd, command, ap);
    va_end(ap);
    return result;
}

ZIV_EXPORT int fcntl64(int fd, int command, ...) {
    va_list ap;
    va_start(ap, command);
    const int result = Fcntl(Real().fcntl64, fd, command, ap);
    va_end(ap);
    return result;
}
