#include "device_state.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ziv::e2e {

namespace {

constexpr std::uint32_t kMagic = 0x5a495644;  // "ZIVD"

// Raw system calls: inside the preload library open(), close() and the
// rest are the double's own wrappers.
int SysOpen(const char* path, int flags, mode_t mode = 0) {
    for (;;) {
        const long fd = ::syscall(SYS_openat, AT_FDCWD, path, flags, mode);
        if (fd >= 0 || errno != EINTR)
            return static_cast<int>(fd);
    }
}

void SysClose(int fd) {
    const int saved = errno;
    ::syscall(SYS_close, fd);
    errno = saved;
}

int SysFlock(int fd, int operation) {
    for (;;) {
        const long r = ::syscall(SYS_flock, fd, operation);
        if (r == 0 || errno != EINTR)
            return static_cast<int>(r);
    }
}

bool SysPreadAll(int fd, void* buffer, std::size_t size) {
    const long n = ::syscall(SYS_pread64, fd, buffer, size, 0L);
    return n == static_cast<long>(size);
}

bool SysPwriteAll(int fd, const void* buffer, std::size_t size) {
    const long n = ::syscall(SYS_pwrite64, fd, buffer, size, 0L);
    return n == static_cast<long>(size);
}

bool StatePath(const char* devicePath, char (&out)[kMaxPath]) {
    const int n = std::snprintf(out, sizeof out, "%s.state", devicePath);
    return n > 0 && n < static_cast<int>(sizeof out);
}

// kill(pid, 0) still succeeds for a zombie, whose files the kernel has
// already closed; its state in /proc tells.
bool ProcessGone(pid_t pid) {
    if (pid <= 0)
        return false;
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    const int fd = SysOpen(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    char text[512] = {};
    const long n = ::syscall(SYS_read, fd, text, sizeof text - 1);
    SysClose(fd);
    if (n <= 0)
        return false;
    // The command name in parentheses may itself hold ") ".
    const char* end = std::strrchr(text, ')');
    return end && end[1] == ' ' && (end[2] == 'Z' || end[2] == 'X');
}

}  // namespace

termios DefaultTermios() {
    termios t{};
    t.c_iflag = ICRNL | IXON;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS8 | CREAD | CLOCAL | HUPCL;
    t.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHOCTL | ECHOKE | IEXTEN;
    t.c_cc[VINTR] = 0x03;
    t.c_cc[VQUIT] = 0x1c;
    t.c_cc[VERASE] = 0x7f;
    t.c_cc[VKILL] = 0x15;
    t.c_cc[VEOF] = 0x04;
    t.c_cc[VMIN] = 1;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    t.c_cc[VSUSP] = 0x1a;
    t.c_cc[VREPRINT] = 0x12;
    t.c_cc[VDISCARD] = 0x0f;
    t.c_cc[VWERASE] = 0x17;
    t.c_cc[VLNEXT] = 0x16;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    return t;
}

TDeviceRecord FreshRecord() {
    TDeviceRecord r;
    std::memset(&r, 0, sizeof r);
    r.magic = kMagic;
    r.size = sizeof r;
    r.initialised = 1;
    r.tio = DefaultTermios();
    return r;
}

TLockedDevice::TLockedDevice(const char* devicePath, bool shared) : record_(FreshRecord()) {
    path_[0] = '\0';
    if (std::snprintf(path_, sizeof path_, "%s", devicePath) >= static_cast<int>(sizeof path_)) {
        error_ = ENAMETOOLONG;
        return;
    }
    char statePath[kMaxPath];
    if (!StatePath(devicePath, statePath)) {
        error_ = ENAMETOOLONG;
        return;
    }
    fd_ = shared ? SysOpen(statePath, O_RDONLY | O_CLOEXEC)
                 : SysOpen(statePath, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    if (SysFlock(fd_, shared ? LOCK_SH : LOCK_EX) != 0) {
        error_ = errno;
        SysClose(fd_);
        fd_ = -1;
        return;
    }
    TDeviceRecord stored;
    if (SysPreadAll(fd_, &stored, sizeof stored) && stored.magic == kMagic &&
        stored.size == sizeof stored && stored.initialised)
        record_ = stored;
}

TLockedDevice::~TLockedDevice() {
    if (fd_ < 0)
        return;
    // Explicitly: a child forked meanwhile shares the open file and would
    // otherwise keep the lock until it exits or execs.
    const int saved = errno;
    SysFlock(fd_, LOCK_UN);
    SysClose(fd_);
    errno = saved;
}

bool TLockedDevice::Commit() {
    if (fd_ < 0)
        return false;
    record_.magic = kMagic;
    record_.size = sizeof record_;
    record_.initialised = 1;
    return SysPwriteAll(fd_, &record_, sizeof record_);
}

void TLockedDevice::Log(const char* event, pid_t pid, const char* logPath) const {
    AppendLog(logPath ? logPath : LogPathFromEnvironment(), path_, event, record_.rts != 0,
              record_.dtr != 0, pid);
}

bool TLockedDevice::AddOwner(pid_t pid) {
    TOwner* slot = nullptr;
    for (TOwner& o : record_.owners) {
        if (o.pid == pid && o.opens > 0) {
            slot = &o;
            break;
        }
        if (!slot && o.opens <= 0)
            slot = &o;
    }
    if (!slot)
        return false;
    if (slot->pid != pid || slot->opens <= 0)
        *slot = TOwner{pid, 0};
    ++slot->opens;
    ++record_.opens;
    return true;
}

void TLockedDevice::RemoveOwner(pid_t pid) {
    for (TOwner& o : record_.owners)
        if (o.pid == pid && o.opens > 0) {
            if (--o.opens == 0)
                o = TOwner{0, 0};
            break;
        }
    if (record_.opens > 0)
        --record_.opens;
}

void TLockedDevice::LastClose() {
    // A hung-up device is replugged by its last close, and a new adapter
    // starts with its lines low whatever HUPCL says.
    if ((record_.tio.c_cflag & HUPCL) || record_.hungUp) {
        record_.rts = 0;
        record_.dtr = 0;
    }
    record_.exclusive = 0;
    record_.hungUp = 0;
}

void AppendLog(const char* logPath, const char* devicePath, const char* event, bool rts, bool dtr,
               pid_t pid) {
    if (!logPath || !*logPath)
        return;
    const int saved = errno;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const long long ns = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    char line[kMaxPath + 128];
    int n = std::snprintf(line, sizeof line, "%lld %s %s rts=%d dtr=%d pid=%d\n", ns, devicePath,
                          event, rts ? 1 : 0, dtr ? 1 : 0, static_cast<int>(pid));
    if (n <= 0)
        return;
    if (n >= static_cast<int>(sizeof line))
        n = static_cast<int>(sizeof line) - 1;
    // One write on an O_APPEND file: lines of several processes never mix.
    const int fd = SysOpen(logPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::syscall(SYS_write, fd, line, static_cast<std::size_t>(n));
        SysClose(fd);
    }
    errno = saved;
}

const char* LogPathFromEnvironment() {
    return std::getenv("ZIV_SERIAL_DOUBLE_LOG");
}

bool ResetDevice(const std::string& path) {
    const int fd = SysOpen(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    SysClose(fd);
    TLockedDevice device(path.c_str());
    if (device.Error() != 0)
        return false;
    device.Record() = FreshRecord();
    return device.Commit();
}

bool ReadDevice(const std::string& path, TDeviceLevels& out) {
    TLockedDevice device(path.c_str(), true);
    if (device.Error() != 0)
        return false;
    const TDeviceRecord& r = device.Record();
    out.rts = r.rts != 0;
    out.dtr = r.dtr != 0;
    out.opens = r.opens;
    out.exclusive = r.exclusive != 0;
    out.hungUp = r.hungUp != 0;
    return true;
}

int ReapDeadOwners(const std::string& path, const std::string& logPath) {
    TLockedDevice device(path.c_str());
    if (device.Error() != 0)
        return -1;
    const char* log = logPath.empty() ? nullptr : logPath.c_str();
    TDeviceRecord& r = device.Record();
    int reaped = 0;
    for (TOwner& o : r.owners) {
        if (o.opens <= 0 || !ProcessGone(o.pid))
            continue;
        const pid_t pid = o.pid;
        reaped += o.opens;
        r.opens = r.opens > o.opens ? r.opens - o.opens : 0;
        o = TOwner{0, 0};
        if (r.opens == 0)
            device.LastClose();
        device.Log("reap", pid, log);
    }
    if (reaped > 0 && !device.Commit())
        return -1;
    return reaped;
}

}  // namespace ziv::e2e
