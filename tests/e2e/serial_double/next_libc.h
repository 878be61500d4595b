#pragma once

// The functions the double stands in front of, as the next library (libc)
// offers them, with a raw system call where libc's is not resolved yet.

#include <poll.h>
#include <sys/types.h>
#include <termios.h>

#include <cerrno>

#define ZIV_EXPORT extern "C" __attribute__((visibility("default")))

namespace ziv::e2e::serial_double {

using TOpenFn = int (*)(const char*, int, ...);
using TOpenAtFn = int (*)(int, const char*, int, ...);
using TOpen2Fn = int (*)(const char*, int);
using TOpenAt2Fn = int (*)(int, const char*, int);
using TFcntlFn = int (*)(int, int, ...);

struct TReal {
    TOpenFn open;
    TOpenFn open64;
    TOpenAtFn openat;
    TOpenAtFn openat64;
    TOpen2Fn open2;
    TOpen2Fn open64_2;
    TOpenAt2Fn openat2;
    TOpenAt2Fn openat64_2;
    int (*close)(int);
    int (*dup)(int);
    int (*dup2)(int, int);
    int (*dup3)(int, int, int);
    TFcntlFn fcntl;
    TFcntlFn fcntl64;
    int (*ioctl)(int, unsigned long, ...);
    int (*poll)(pollfd*, nfds_t, int);
    int (*tcgetattr)(int, termios*);
    int (*tcsetattr)(int, int, const termios*);
    int (*tcflush)(int, int);
    int (*tcdrain)(int);
    int (*tcsendbreak)(int, int);
    int (*tcflow)(int, int);
    int (*isatty)(int);
};

// All null while the functions are being looked up, on the thread that
// looks them up: dlsym() may open or allocate, and come back here.
const TReal& Real();

// The call through libc, or its raw system call.
int NextOpen(TOpenFn fn, const char* path, int flags, mode_t mode);
int NextOpenAt(TOpenAtFn fn, int dirfd, const char* path, int flags, mode_t mode);
int NextOpen2(TOpen2Fn fn, const char* path, int flags);
int NextOpenAt2(TOpenAt2Fn fn, int dirfd, const char* path, int flags);
int NextClose(int fd);
int NextIoctl(int fd, unsigned long request, void* arg);
int NextPoll(pollfd* fds, nfds_t count, int timeout);
int NextFcntl(TFcntlFn fn, int fd, int command, void* arg);

// Closes a file without the double seeing it, keeping errno.
void CloseQuietly(int fd);

inline int Fail(int error) {
    errno = error;
    return -1;
}

}  // namespace ziv::e2e::serial_double
