// A preload library that makes configured regular files behave like Linux
// serial ports: the modem lines, the exclusive flag, the line settings and
// a hang-up, kept in a state shared by all processes (device_state.h) and
// logged with the time of every change of RTS and DTR.
//
// The fortified inline open() of <fcntl.h> would collide with the
// definitions here.
#undef _FORTIFY_SOURCE

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "device_state.h"

#define ZIV_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using ziv::e2e::kMaxPath;
using ziv::e2e::TDeviceRecord;
using ziv::e2e::TLockedDevice;

// ---- The functions of the next library (libc) ----

using TOpenFn = int (*)(const char*, int, ...);
using TOpenAtFn = int (*)(int, const char*, int, ...);
using TOpen2Fn = int (*)(const char*, int);
using TOpenAt2Fn = int (*)(int, const char*, int);

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
    int (*fcntl)(int, int, ...);
    int (*fcntl64)(int, int, ...);
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

TReal g_real{};
pthread_once_t g_realOnce = PTHREAD_ONCE_INIT;
pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;

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
    // child with the mutex held.
    ::pthread_atfork([] { ::pthread_mutex_lock(&g_mutex); },
                     [] { ::pthread_mutex_unlock(&g_mutex); },
                     [] { ::pthread_mutex_unlock(&g_mutex); });
    t_resolving = false;
}

const TReal& Real() {
    static const TReal none{};
    if (t_resolving)
        return none;
    ::pthread_once(&g_realOnce, ResolveAll);
    return g_real;
}

bool TakesMode(int flags) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

// ---- The served devices ----

constexpr int kMaxDevices = 16;
constexpr int kMaxSlots = 64;
constexpr int kMaxFds = 4096;

// The paths of the devices; a slot outlives its place in the list while an
// open refers to it, so that the open keeps its device when the list changes.
struct TSlot {
    char path[kMaxPath];
    const char* base;
};

TSlot g_slots[kMaxSlots];
int g_slotCount = 0;
int g_active[kMaxDevices];
int g_activeCount = 0;
char g_devicesSeen[kMaxDevices * kMaxPath];

// An open of a device, shared by the fds dup()ed from it: the device is
// closed with the last of them, as the kernel releases a tty only with
// its open file.
struct TOpenFile {
    int refs;
    int slot;
    pid_t pid;
    long eioAfter;
    long modemCalls;
};

struct TFdEntry {
    std::atomic<bool> served;
    int file;
};

// Changed under g_mutex; `served` lets the calls on other fds pass
// without taking it.
TOpenFile g_files[kMaxFds];
TFdEntry g_fds[kMaxFds];

const char* BaseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Called with g_mutex held.
bool SlotInUse(int slot) {
    for (int i = 0; i < g_activeCount; ++i)
        if (g_active[i] == slot)
            return true;
    for (const TOpenFile& f : g_files)
        if (f.refs > 0 && f.slot == slot)
            return true;
    return false;
}

// Called with g_mutex held.
int SlotFor(const char* path, std::size_t length) {
    if (length >= kMaxPath)
        return -1;
    for (int i = 0; i < g_slotCount; ++i)
        if (std::strlen(g_slots[i].path) == length &&
            std::strncmp(g_slots[i].path, path, length) == 0)
            return i;
    int slot = g_slotCount < kMaxSlots ? g_slotCount++ : -1;
    for (int i = 0; i < kMaxSlots && slot < 0; ++i)
        if (!SlotInUse(i))
            slot = i;
    if (slot < 0)
        return -1;
    TSlot& s = g_slots[slot];
    std::memcpy(s.path, path, length);
    s.path[length] = '\0';
    s.base = BaseName(s.path);
    return slot;
}

// Called with g_mutex held. The list is read at each open, so that a
// process may set it after it started.
void RefreshDevices(const char* list) {
    if (std::strcmp(list, g_devicesSeen) == 0)
        return;
    std::strncpy(g_devicesSeen, list, sizeof g_devicesSeen - 1);
    g_activeCount = 0;
    const char* p = list;
    while (*p && g_activeCount < kMaxDevices) {
        const char* end = std::strchr(p, ':');
        const std::size_t length = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        if (length > 0 && p[0] == '/') {
            const int slot = SlotFor(p, length);
            if (slot >= 0)
                g_active[g_activeCount++] = slot;
        }
        if (!end)
            break;
        p = end + 1;
    }
}

// The slot of a served path, or -1. The program opens many files at start;
// only a path with the base name of a device costs a realpath().
int MatchDevice(const char* path) {
    const char* list = std::getenv("ZIV_SERIAL_DOUBLE_DEVICES");
    if (!list || !*list || !path)
        return -1;
    ::pthread_mutex_lock(&g_mutex);
    RefreshDevices(list);
    int found = -1;
    for (int i = 0; i < g_activeCount && found < 0; ++i)
        if (std::strcmp(g_slots[g_active[i]].path, path) == 0)
            found = g_active[i];
    const char* base = BaseName(path);
    char resolved[PATH_MAX];
    bool haveResolved = false;
    for (int i = 0; i < g_activeCount && found < 0; ++i) {
        const TSlot& s = g_slots[g_active[i]];
        if (std::strcmp(s.base, base) != 0)
            continue;
        if (!haveResolved) {
            if (!::realpath(path, resolved))
                break;
            haveResolved = true;
        }
        char device[PATH_MAX];
        if (::realpath(s.path, device) && std::strcmp(device, resolved) == 0)
            found = g_active[i];
    }
    ::pthread_mutex_unlock(&g_mutex);
    return found;
}

TOpenFile* Served(int fd) {
    if (fd < 0 || fd >= kMaxFds || !g_fds[fd].served.load(std::memory_order_acquire))
        return nullptr;
    return &g_files[g_fds[fd].file];
}

const char* DevicePath(const TOpenFile& f) {
    return g_slots[f.slot].path;
}

// Called with g_mutex held.
void Publish(int fd, int file) {
    ++g_files[file].refs;
    g_fds[fd].file = file;
    g_fds[fd].served.store(true, std::memory_order_release);
}

// Forgets `fd`; true, with the open it referred to, when it was the last
// fd of a served open.
bool Unpublish(int fd, TOpenFile& last) {
    if (fd < 0 || fd >= kMaxFds || !g_fds[fd].served.load(std::memory_order_acquire))
        return false;
    ::pthread_mutex_lock(&g_mutex);
    bool isLast = false;
    if (g_fds[fd].served.exchange(false, std::memory_order_acq_rel)) {
        TOpenFile& f = g_files[g_fds[fd].file];
        isLast = --f.refs == 0;
        last = f;
    }
    ::pthread_mutex_unlock(&g_mutex);
    return isLast;
}

// The device side of the last close of a served open.
void CloseDevice(const TOpenFile& f) {
    // A forked child's copy shares the parent's open: its close does not
    // close the device.
    if (f.pid != ::getpid())
        return;
    TLockedDevice device(DevicePath(f));
    if (device.Error() != 0)
        return;
    TDeviceRecord& r = device.Record();
    const bool wasOpen = r.opens > 0;
    device.RemoveOwner(f.pid);
    if (wasOpen && r.opens == 0)
        device.LastClose();
    device.Commit();
    device.Log("close", f.pid);
}

// An fd that was closed where the double does not see it (close_range(),
// a raw system call) and has come back from a new open.
void ForgetStale(int fd) {
    TOpenFile last{};
    if (Unpublish(fd, last))
        CloseDevice(last);
}

// After a dup of `fd` to `copy`, which the kernel closed first if open.
void Duplicated(int fd, int copy) {
    if (copy < 0 || copy == fd)
        return;
    ForgetStale(copy);
    if (copy >= kMaxFds)
        return;
    ::pthread_mutex_lock(&g_mutex);
    if (fd >= 0 && fd < kMaxFds && g_fds[fd].served.load(std::memory_order_acquire))
        Publish(copy, g_fds[fd].file);
    ::pthread_mutex_unlock(&g_mutex);
}

long EioAfterFromEnvironment() {
    const char* text = std::getenv("ZIV_SERIAL_DOUBLE_EIO_AFTER");
    if (!text || !*text)
        return -1;
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    return (*end == '\0' && n >= 0) ? n : -1;
}

int Fail(int error) {
    errno = error;
    return -1;
}

void HangUp(TLockedDevice& device) {
    TDeviceRecord& r = device.Record();
    if (r.hungUp)
        return;
    r.hungUp = 1;
    device.Commit();
    device.Log("hangup", ::getpid());
}

void CloseQuietly(int fd) {
    const int saved = errno;
    ::syscall(SYS_close, fd);
    errno = saved;
}

// The device side of an open of a served path whose file is open as `fd`.
int AttachDevice(int fd, int slot) {
    if (fd >= kMaxFds) {
        CloseQuietly(fd);
        return Fail(EMFILE);
    }
    const pid_t pid = ::getpid();
    TLockedDevice device(g_slots[slot].path);
    if (device.Error() != 0) {
        CloseQuietly(fd);
        return Fail(device.Error());
    }
    TDeviceRecord& r = device.Record();
    if (r.hungUp) {
        CloseQuietly(fd);
        return Fail(EIO);
    }
    if (r.exclusive) {
        CloseQuietly(fd);
        return Fail(EBUSY);
    }
    const bool first = r.opens <= 0;
    if (first) {
        r.opens = 0;
        if ((r.tio.c_cflag & CBAUD) != B0) {
            r.rts = 1;
            r.dtr = 1;
        }
    }
    if (!device.AddOwner(pid)) {
        CloseQuietly(fd);
        return Fail(ENFILE);
    }
    if (!device.Commit()) {
        CloseQuietly(fd);
        return Fail(EIO);
    }
    device.Log("open", pid);

    const long eioAfter = EioAfterFromEnvironment();
    ::pthread_mutex_lock(&g_mutex);
    // Each open in use holds an fd below kMaxFds, so one is free.
    int file = 0;
    while (file < kMaxFds - 1 && g_files[file].refs > 0)
        ++file;
    g_files[file] = TOpenFile{0, slot, pid, eioAfter, 0};
    Publish(fd, file);
    ::pthread_mutex_unlock(&g_mutex);
    if (eioAfter == 0)
        HangUp(device);
    return fd;
}

// The open family: `realOpen` opens the file as the caller asked.
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

int RawOpenAt(int dirfd, const char* path, int flags, mode_t mode) {
    return static_cast<int>(::syscall(SYS_openat, dirfd, path, flags, mode));
}

mode_t ModeArgument(int flags, va_list ap) {
    return TakesMode(flags) ? static_cast<mode_t>(va_arg(ap, unsigned int)) : 0;
}

// ---- The tty side ----

// The kernel's struct termios and struct termios2, which the ioctls take.
constexpr int kKernelNccs = 19;
struct TKernelTermios {
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[kKernelNccs];
};
struct TKernelTermios2 {
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[kKernelNccs];
    speed_t c_ispeed;
    speed_t c_ospeed;
};
static_assert(sizeof(TKernelTermios) == 36);
static_assert(sizeof(TKernelTermios2) == 44);

constexpr unsigned long kTcGets2 = _IOR('T', 0x2A, TKernelTermios2);
constexpr unsigned long kTcSets2 = _IOW('T', 0x2B, TKernelTermios2);
constexpr unsigned long kTcSetsW2 = _IOW('T', 0x2C, TKernelTermios2);
constexpr unsigned long kTcSetsF2 = _IOW('T', 0x2D, TKernelTermios2);
constexpr tcflag_t kBOther = 0010000;
constexpr int kIbShift = 16;

struct TRate {
    tcflag_t code;
    speed_t rate;
};
constexpr TRate kRates[] = {
    {B0, 0},
    {B50, 50},
    {B75, 75},
    {B110, 110},
    {B134, 134},
    {B150, 150},
    {B200, 200},
    {B300, 300},
    {B600, 600},
    {B1200, 1200},
    {B1800, 1800},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
    {B230400, 230400},
    {B460800, 460800},
    {B500000, 500000},
    {B576000, 576000},
    {B921600, 921600},
    {B1000000, 1000000},
    {B1152000, 1152000},
    {B1500000, 1500000},
    {B2000000, 2000000},
    {B2500000, 2500000},
    {B3000000, 3000000},
    {B3500000, 3500000},
    {B4000000, 4000000},
};

speed_t CodeToRate(tcflag_t code, speed_t other) {
    if (code == kBOther)
        return other;
    for (const TRate& r : kRates)
        if (r.code == code)
            return r.rate;
    return 0;
}

// A rate with a code of its own is stored as that code, as the kernel
// reports it; any other stays BOTHER with the rate beside it.
tcflag_t RateToCode(speed_t rate) {
    for (const TRate& r : kRates)
        if (r.rate == rate)
            return r.code;
    return kBOther;
}

template <typename K>
void ToKernel(const termios& t, K& k) {
    std::memset(&k, 0, sizeof k);
    k.c_iflag = t.c_iflag;
    k.c_oflag = t.c_oflag;
    k.c_cflag = t.c_cflag;
    k.c_lflag = t.c_lflag;
    k.c_line = t.c_line;
    std::memcpy(k.c_cc, t.c_cc, sizeof k.c_cc);
}

template <typename K>
termios FromKernel(const K& k) {
    termios t{};
    t.c_iflag = k.c_iflag;
    t.c_oflag = k.c_oflag;
    t.c_cflag = k.c_cflag;
    t.c_lflag = k.c_lflag;
    t.c_line = k.c_line;
    std::memcpy(t.c_cc, k.c_cc, sizeof k.c_cc);
    // What glibc's tcgetattr() makes of the kernel's answer.
    t.c_ispeed = t.c_ospeed = t.c_cflag & CBAUD;
    return t;
}

termios FromKernel2(const TKernelTermios2& k) {
    termios t = FromKernel(k);
    if ((t.c_cflag & CBAUD) == kBOther) {
        const tcflag_t code = RateToCode(k.c_ospeed);
        t.c_cflag = (t.c_cflag & ~CBAUD) | code;
        t.c_ospeed = code == kBOther ? k.c_ospeed : code;
    }
    if (((t.c_cflag >> kIbShift) & CBAUD) == kBOther) {
        const tcflag_t code = RateToCode(k.c_ispeed);
        t.c_cflag = (t.c_cflag & ~(CBAUD << kIbShift)) | (code << kIbShift);
        t.c_ispeed = code == kBOther ? k.c_ispeed : code;
    }
    return t;
}

void ToKernel2(const termios& t, TKernelTermios2& k) {
    ToKernel(t, k);
    k.c_ospeed = CodeToRate(t.c_cflag & CBAUD, t.c_ospeed);
    const tcflag_t input = (t.c_cflag >> kIbShift) & CBAUD;
    k.c_ispeed = input == B0 ? k.c_ospeed : CodeToRate(input, t.c_ispeed);
}

void SetLevels(TLockedDevice& device, bool rts, bool dtr) {
    TDeviceRecord& r = device.Record();
    if ((r.rts != 0) == rts && (r.dtr != 0) == dtr)
        return;
    r.rts = rts ? 1 : 0;
    r.dtr = dtr ? 1 : 0;
    device.Commit();
    device.Log("lines", ::getpid());
}

// The serial core's handling of new settings: only a change to or from
// B0 moves the lines.
void ApplyTermios(TLockedDevice& device, const termios& t) {
    TDeviceRecord& r = device.Record();
    const bool wasB0 = (r.tio.c_cflag & CBAUD) == B0;
    const bool isB0 = (t.c_cflag & CBAUD) == B0;
    r.tio = t;
    device.Commit();
    if (!wasB0 && isB0)
        SetLevels(device, false, false);
    else if (wasB0 && !isB0)
        SetLevels(device, (t.c_cflag & CRTSCTS) == 0 || r.rts, true);
}

// Runs `op` on the locked device of a served fd, refusing with EIO once
// the device is hung up.
template <typename F>
int WithDevice(TOpenFile& e, F op) {
    TLockedDevice device(DevicePath(e));
    if (device.Error() != 0)
        return Fail(EIO);
    if (device.Record().hungUp)
        return Fail(EIO);
    return op(device);
}

bool IsModemRequest(unsigned long request) {
    return request == TIOCMBIS || request == TIOCMBIC || request == TIOCMSET || request == TIOCMGET;
}

int ModemIoctl(TLockedDevice& device, unsigned long request, void* arg) {
    if (!arg)
        return Fail(EFAULT);
    int* bits = static_cast<int*>(arg);
    TDeviceRecord& r = device.Record();
    bool rts = r.rts != 0;
    bool dtr = r.dtr != 0;
    switch (request) {
        case TIOCMGET:
            *bits =
                (rts ? TIOCM_RTS : 0) | (dtr ? TIOCM_DTR : 0) | TIOCM_CAR | TIOCM_DSR | TIOCM_CTS;
            return 0;
        case TIOCMBIS:
            rts = rts || (*bits & TIOCM_RTS);
            dtr = dtr || (*bits & TIOCM_DTR);
            break;
        case TIOCMBIC:
            rts = rts && !(*bits & TIOCM_RTS);
            dtr = dtr && !(*bits & TIOCM_DTR);
            break;
        default:
            rts = (*bits & TIOCM_RTS) != 0;
            dtr = (*bits & TIOCM_DTR) != 0;
            break;
    }
    SetLevels(device, rts, dtr);
    return 0;
}

int ServedIoctl(TOpenFile& e, int fd, unsigned long request, void* arg) {
    // Handled by the file layer above any tty.
    if (request == FIONBIO || request == FIOCLEX || request == FIONCLEX || request == FIOASYNC) {
        const TReal& real = Real();
        return real.ioctl ? real.ioctl(fd, request, arg)
                          : static_cast<int>(::syscall(SYS_ioctl, fd, request, arg));
    }
    return WithDevice(e, [&](TLockedDevice& device) -> int {
        TDeviceRecord& r = device.Record();
        if (IsModemRequest(request)) {
            if (ModemIoctl(device, request, arg) != 0)
                return -1;
            ++e.modemCalls;
            if (e.eioAfter >= 0 && e.modemCalls >= e.eioAfter)
                HangUp(device);
            return 0;
        }
        switch (request) {
            case TIOCEXCL:
            case TIOCNXCL:
                r.exclusive = request == TIOCEXCL ? 1 : 0;
                device.Commit();
                return 0;
            case FIONREAD:
            case TIOCOUTQ:
                if (!arg)
                    return Fail(EFAULT);
                *static_cast<int*>(arg) = 0;
                return 0;
            case TCFLSH: {
                const long queue = reinterpret_cast<long>(arg);
                return queue == TCIFLUSH || queue == TCOFLUSH || queue == TCIOFLUSH ? 0
                                                                                    : Fail(EINVAL);
            }
            case TCXONC: {
                const long action = reinterpret_cast<long>(arg);
                return action == TCOOFF || action == TCOON || action == TCIOFF || action == TCION
                           ? 0
                           : Fail(EINVAL);
            }
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
            case TCGETS:
                if (!arg)
                    return Fail(EFAULT);
                ToKernel(r.tio, *static_cast<TKernelTermios*>(arg));
                return 0;
            case TCSETS:
            case TCSETSW:
            case TCSETSF:
                if (!arg)
                    return Fail(EFAULT);
                ApplyTermios(device, FromKernel(*static_cast<const TKernelTermios*>(arg)));
                return 0;
            default:
                break;
        }
        if (request == kTcGets2) {
            if (!arg)
                return Fail(EFAULT);
            ToKernel2(r.tio, *static_cast<TKernelTermios2*>(arg));
            return 0;
        }
        if (request == kTcSets2 || request == kTcSetsW2 || request == kTcSetsF2) {
            if (!arg)
                return Fail(EFAULT);
            ApplyTermios(device, FromKernel2(*static_cast<const TKernelTermios2*>(arg)));
            return 0;
        }
        return Fail(ENOTTY);
    });
}

bool DeviceHungUp(const TOpenFile& e) {
    TLockedDevice device(DevicePath(e), true);
    return device.Error() == 0 && device.Record().hungUp;
}

// The kernel closes the files of a process that exits; exit() runs this
// after the program's own destructors. A process killed by a signal, or
// leaving by _exit(), is left to ReapDeadOwners().
__attribute__((destructor)) void CloseAtExit() {
    const int saved = errno;
    for (int fd = 0; fd < kMaxFds; ++fd) {
        TOpenFile last{};
        if (Unpublish(fd, last))
            CloseDevice(last);
    }
    errno = saved;
}

}  // namespace

// ---- The interposed functions ----

ZIV_EXPORT int open(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = ModeArgument(flags, ap);
    va_end(ap);
    return OpenPath(AT_FDCWD, path, flags, [&] {
        const TReal& real = Real();
        return real.open ? real.open(path, flags, mode) : RawOpenAt(AT_FDCWD, path, flags, mode);
    });
}

ZIV_EXPORT int open64(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = ModeArgument(flags, ap);
    va_end(ap);
    return OpenPath(AT_FDCWD, path, flags, [&] {
        const TReal& real = Real();
        return real.open64 ? real.open64(path, flags, mode)
                           : RawOpenAt(AT_FDCWD, path, flags, mode);
    });
}

ZIV_EXPORT int openat(int dirfd, const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = ModeArgument(flags, ap);
    va_end(ap);
    return OpenPath(dirfd, path, flags, [&] {
        const TReal& real = Real();
        return real.openat ? real.openat(dirfd, path, flags, mode)
                           : RawOpenAt(dirfd, path, flags, mode);
    });
}

ZIV_EXPORT int openat64(int dirfd, const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = ModeArgument(flags, ap);
    va_end(ap);
    return OpenPath(dirfd, path, flags, [&] {
        const TReal& real = Real();
        return real.openat64 ? real.openat64(dirfd, path, flags, mode)
                             : RawOpenAt(dirfd, path, flags, mode);
    });
}

ZIV_EXPORT int __open_2(const char* path, int flags) {
    return OpenPath(AT_FDCWD, path, flags, [&] {
        const TReal& real = Real();
        return real.open2 ? real.open2(path, flags) : RawOpenAt(AT_FDCWD, path, flags, 0);
    });
}

ZIV_EXPORT int __open64_2(const char* path, int flags) {
    return OpenPath(AT_FDCWD, path, flags, [&] {
        const TReal& real = Real();
        return real.open64_2 ? real.open64_2(path, flags) : RawOpenAt(AT_FDCWD, path, flags, 0);
    });
}

ZIV_EXPORT int __openat_2(int dirfd, const char* path, int flags) {
    return OpenPath(dirfd, path, flags, [&] {
        const TReal& real = Real();
        return real.openat2 ? real.openat2(dirfd, path, flags) : RawOpenAt(dirfd, path, flags, 0);
    });
}

ZIV_EXPORT int __openat64_2(int dirfd, const char* path, int flags) {
    return OpenPath(dirfd, path, flags, [&] {
        const TReal& real = Real();
        return real.openat64_2 ? real.openat64_2(dirfd, path, flags)
                               : RawOpenAt(dirfd, path, flags, 0);
    });
}

ZIV_EXPORT int close(int fd) {
    const TReal& real = Real();
    auto realClose = [&] {
        return real.close ? real.close(fd) : static_cast<int>(::syscall(SYS_close, fd));
    };
    TOpenFile last{};
    if (!Unpublish(fd, last))
        return realClose();
    // The file first, as the kernel drops flock()s before the tty's release.
    const int result = realClose();
    const int error = errno;
    CloseDevice(last);
    errno = error;
    return result;
}

ZIV_EXPORT int dup(int fd) {
    const TReal& real = Real();
    const int copy = real.dup ? real.dup(fd) : static_cast<int>(::syscall(SYS_dup, fd));
    if (copy >= 0) {
        const int error = errno;
        Duplicated(fd, copy);
        errno = error;
    }
    return copy;
}

ZIV_EXPORT int dup2(int fd, int copy) {
    const TReal& real = Real();
    const int result =
        real.dup2 ? real.dup2(fd, copy) : static_cast<int>(::syscall(SYS_dup2, fd, copy));
    if (result >= 0) {
        const int error = errno;
        Duplicated(fd, result);
        errno = error;
    }
    return result;
}

ZIV_EXPORT int dup3(int fd, int copy, int flags) {
    const TReal& real = Real();
    const int result = real.dup3 ? real.dup3(fd, copy, flags)
                                 : static_cast<int>(::syscall(SYS_dup3, fd, copy, flags));
    if (result >= 0) {
        const int error = errno;
        Duplicated(fd, result);
        errno = error;
    }
    return result;
}

namespace {

// fcntl() passes its one argument on whatever its type; only the dups
// concern the double.
int Fcntl(int (*realFcntl)(int, int, ...), int fd, int command, void* arg) {
    const int result = realFcntl ? realFcntl(fd, command, arg)
                                 : static_cast<int>(::syscall(SYS_fcntl, fd, command, arg));
    if (result >= 0 && (command == F_DUPFD || command == F_DUPFD_CLOEXEC)) {
        const int error = errno;
        Duplicated(fd, result);
        errno = error;
    }
    return result;
}

}  // namespace

ZIV_EXPORT int fcntl(int fd, int command, ...) {
    va_list ap;
    va_start(ap, command);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    return Fcntl(Real().fcntl, fd, command, arg);
}

ZIV_EXPORT int fcntl64(int fd, int command, ...) {
    va_list ap;
    va_start(ap, command);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    return Fcntl(Real().fcntl64, fd, command, arg);
}

ZIV_EXPORT int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (TOpenFile* e = Served(fd))
        return ServedIoctl(*e, fd, request, arg);
    const TReal& real = Real();
    return real.ioctl ? real.ioctl(fd, request, arg)
                      : static_cast<int>(::syscall(SYS_ioctl, fd, request, arg));
}

ZIV_EXPORT int tcgetattr(int fd, termios* t) {
    if (TOpenFile* e = Served(fd))
        return WithDevice(*e, [&](TLockedDevice& device) {
            if (!t)
                return Fail(EFAULT);
            *t = device.Record().tio;
            return 0;
        });
    const TReal& real = Real();
    return real.tcgetattr ? real.tcgetattr(fd, t) : Fail(ENOSYS);
}

ZIV_EXPORT int tcsetattr(int fd, int actions, const termios* t) {
    if (TOpenFile* e = Served(fd))
        return WithDevice(*e, [&](TLockedDevice& device) {
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
    if (TOpenFile* e = Served(fd))
        return WithDevice(*e, [&](TLockedDevice&) {
            return queue == TCIFLUSH || queue == TCOFLUSH || queue == TCIOFLUSH ? 0 : Fail(EINVAL);
        });
    const TReal& real = Real();
    return real.tcflush ? real.tcflush(fd, queue) : Fail(ENOSYS);
}

ZIV_EXPORT int tcdrain(int fd) {
    if (TOpenFile* e = Served(fd))
        return WithDevice(*e, [](TLockedDevice&) { return 0; });
    const TReal& real = Real();
    return real.tcdrain ? real.tcdrain(fd) : Fail(ENOSYS);
}

ZIV_EXPORT int tcsendbreak(int fd, int duration) {
    if (TOpenFile* e = Served(fd))
        return WithDevice(*e, [](TLockedDevice&) { return 0; });
    const TReal& real = Real();
    return real.tcsendbreak ? real.tcsendbreak(fd, duration) : Fail(ENOSYS);
}

ZIV_EXPORT int tcflow(int fd, int action) {
    if (TOpenFile* e = Served(fd))
        return WithDevice(*e, [&](TLockedDevice&) {
            return action == TCOOFF || action == TCOON || action == TCIOFF || action == TCION
                       ? 0
                       : Fail(EINVAL);
        });
    const TReal& real = Real();
    return real.tcflow ? real.tcflow(fd, action) : Fail(ENOSYS);
}

// glibc's isatty() asks its internal tcgetattr, which is not interposed.
ZIV_EXPORT int isatty(int fd) {
    if (TOpenFile* e = Served(fd))
        return WithDevice(*e, [](TLockedDevice&) { return 1; }) == 1 ? 1 : 0;
    const TReal& real = Real();
    return real.isatty ? real.isatty(fd) : Fail(ENOSYS);
}

// A hung-up tty reports the hang-up to poll() whatever was asked; a served
// device that is not hung up polls as its regular file does.
ZIV_EXPORT int poll(pollfd* fds, nfds_t count, int timeout) {
    const TReal& real = Real();
    auto realPoll = [&](int t) {
        return real.poll ? real.poll(fds, count, t)
                         : static_cast<int>(::syscall(SYS_poll, fds, count, t));
    };
    bool anyHungUp = false;
    for (nfds_t i = 0; i < count && !anyHungUp; ++i)
        if (const TOpenFile* e = Served(fds[i].fd))
            anyHungUp = DeviceHungUp(*e);
    if (!anyHungUp)
        return realPoll(timeout);

    const int n = realPoll(0);
    if (n < 0)
        return n;
    int ready = 0;
    for (nfds_t i = 0; i < count; ++i) {
        if (const TOpenFile* e = Served(fds[i].fd); e && DeviceHungUp(*e))
            fds[i].revents = static_cast<short>(
                POLLHUP | POLLERR | (fds[i].events & (POLLIN | POLLRDNORM | POLLOUT | POLLWRNORM)));
        if (fds[i].revents != 0)
            ++ready;
    }
    return ready;
}

ZIV_EXPORT int __poll_chk(pollfd* fds, nfds_t count, int timeout, std::size_t) {
    return poll(fds, count, timeout);
}
