#include "device_state.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace ziv::e2e {

namespace {

int SysOpen(const char* path, int flags) {
    return static_cast<int>(::syscall(SYS_openat, AT_FDCWD, path, flags | O_CLOEXEC, 0666));
}

TDeviceRecord Fresh() {
    TDeviceRecord r{};
    r.tio.c_iflag = ICRNL | IXON;
    r.tio.c_oflag = OPOST | ONLCR;
    r.tio.c_cflag = B9600 | CS8 | CREAD | CLOCAL | HUPCL;
    r.tio.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | IEXTEN;
    r.tio.c_cc[VMIN] = 1;
    r.tio.c_ispeed = r.tio.c_ospeed = B9600;
    return r;
}

bool IsB0(const termios& t) {
    return (t.c_cflag & CBAUD) == B0;
}

}  // namespace

TDevice::TDevice(const char* path) : r(Fresh()), path_(path) {
    const int saved = errno;
    const std::string state = std::string(path) + ".state";
    fd_ = SysOpen(state.c_str(), O_RDWR | O_CREAT);
    while (fd_ >= 0 && ::syscall(SYS_flock, fd_, LOCK_EX) != 0)
        if (errno != EINTR) {
            ::syscall(SYS_close, fd_);
            fd_ = -1;
        }
    TDeviceRecord stored;
    if (fd_ >= 0 && ::syscall(SYS_pread64, fd_, &stored, sizeof stored, 0L) == sizeof stored)
        r = stored;
    errno = saved;
}

TDevice::~TDevice() {
    // Unlocked explicitly: a child forked meanwhile shares the open file.
    if (fd_ >= 0) {
        ::syscall(SYS_flock, fd_, LOCK_UN);
        ::syscall(SYS_close, fd_);
    }
}

void TDevice::Commit() {
    if (fd_ >= 0)
        ::syscall(SYS_pwrite64, fd_, &r, sizeof r, 0L);
}

void TDevice::Note(const char* event, pid_t pid) {
    Commit();
    const char* logPath = std::getenv("ZIV_SERIAL_DOUBLE_LOG");
    if (!logPath || !*logPath)
        return;
    const int saved = errno;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    char line[1200];
    const int n = std::snprintf(line, sizeof line, "%lld %s %s rts=%d dtr=%d pid=%d\n",
                                now.tv_sec * 1000000000LL + now.tv_nsec, path_, event,
                                r.rts ? 1 : 0, r.dtr ? 1 : 0, static_cast<int>(pid));
    if (const int fd = SysOpen(logPath, O_WRONLY | O_APPEND | O_CREAT); fd >= 0) {
        ::syscall(SYS_write, fd, line, static_cast<std::size_t>(n > 0 ? n : 0));
        ::syscall(SYS_close, fd);
    }
    errno = saved;
}

void TDevice::Lines(bool rts, bool dtr) {
    if (r.rts == rts && r.dtr == dtr)
        return;
    r.rts = rts;
    r.dtr = dtr;
    Note("lines", ::getpid());
}

int TDevice::Open(pid_t pid) {
    if (fd_ < 0)
        return EIO;
    if (r.exclusive)
        return EBUSY;
    int* slot = nullptr;
    for (int* o : r.owners)
        if ((o[0] == pid && o[1] > 0) || (!slot && o[1] <= 0))
            slot = o;
    if (!slot)
        return ENFILE;
    slot[1] = slot[0] == pid ? slot[1] + 1 : 1;
    slot[0] = pid;
    // The serial core raises both lines at the first open, unless at B0.
    if (r.opens++ == 0 && !IsB0(r.tio))
        r.rts = r.dtr = true;
    Note("open", pid);
    return 0;
}

void TDevice::Close(pid_t pid) {
    for (int* o : r.owners)
        if (o[0] == pid && o[1] > 0) {
            --o[1];
            break;
        }
    if (r.opens > 0 && --r.opens == 0)
        LastClose();
    Note("close", pid);
}

void TDevice::LastClose() {
    if (r.tio.c_cflag & HUPCL)
        r.rts = r.dtr = false;
    r.exclusive = false;
}

// Only a change to or from B0 moves the lines.
void TDevice::SetTermios(const termios& t) {
    const bool wasB0 = IsB0(r.tio);
    r.tio = t;
    Commit();
    if (wasB0 != IsB0(t))
        Lines(!IsB0(t) && ((t.c_cflag & CRTSCTS) == 0 || r.rts), !IsB0(t));
}

}  // namespace ziv::e2e
