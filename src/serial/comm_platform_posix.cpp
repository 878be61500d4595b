#include "serial/comm_platform_posix.h"

#include "base/diagnostics.h"
#include "serial/comm_termios.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace ziv {

namespace {

int Fd(TCommHandle handle) {
    return static_cast<int>(handle);
}

// Ptys and some virtual ports have no modem lines; their drivers refuse
// the line ioctls with these.
bool NoModemLines(int error) {
    return error == ENOTTY || error == EINVAL;
}

// Lowers or raises one modem line, leaving the other as it is.
int SetLine(int fd, int bit, bool high) {
    if (::ioctl(fd, high ? TIOCMBIS : TIOCMBIC, &bit) != 0)
        return errno;
    return 0;
}

// A terminal that was hung up (a USB adapter unplugged) refuses every
// call with EIO from then on and reports a hang-up to poll().
bool HungUp(int fd) {
    pollfd pfd{fd, 0, 0};
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLHUP) != 0;
}

int CheckHandle(TCommHandle handle) {
    if (::fcntl(Fd(handle), F_GETFD) < 0)
        return errno;
    return 0;
}

// Writes a plan to the terminal and reads it back: tcsetattr succeeds when
// any part was taken, so a speed or framing the device could not take shows
// only in what it reads back. Such a write is undone.
int WritePlan(int fd, const TTermiosPlan& plan) {
    termios before{};
    if (::tcgetattr(fd, &before) != 0)
        return errno;

    // The lines first: Linux raised both at open, and a transmitter keyed
    // by one must drop again before anything slower (a speed change on a
    // USB adapter) is done.
    if (const int error = SetLine(fd, TIOCM_DTR, plan.dtrHigh); error != 0 && !NoModemLines(error))
        return error;
    if (plan.rtsHigh) {
        if (const int error = SetLine(fd, TIOCM_RTS, *plan.rtsHigh);
            error != 0 && !NoModemLines(error))
            return error;
    }

    const termios wanted = ApplyTermiosPlan(plan, before);
    if (::tcsetattr(fd, TCSANOW, &wanted) != 0)
        return errno;
    termios back{};
    if (::tcgetattr(fd, &back) != 0)
        return errno;
    const tcflag_t framing = TermiosFramingBits();
    if (::cfgetospeed(&back) != plan.speed ||
        (back.c_cflag & framing) != (wanted.c_cflag & framing)) {
        ::tcsetattr(fd, TCSANOW, &before);
        return EINVAL;
    }
    return 0;
}

// The wait of a port without line events: it only ends when woken.
class TPosixEventWait : public TCommEventWait {
public:
    int Wait(std::uint32_t& eventMask, TCommHandle wake) override {
        eventMask = 0;
        pollfd pfd{Fd(wake), POLLIN, 0};
        for (;;) {
            const int n = ::poll(&pfd, 1, -1);
            if (n > 0)
                return (pfd.revents & POLLIN) ? 0 : EBADF;
            if (n < 0 && errno != EINTR)
                return errno;
        }
    }
};

}  // namespace

std::string DefaultPortPath(const std::string& comName) {
    if (comName.size() < 4 || comName.size() > 12 || comName.compare(0, 3, "COM") != 0)
        return {};
    long number = 0;
    for (std::size_t i = 3; i < comName.size(); ++i) {
        if (comName[i] < '0' || comName[i] > '9')
            return {};
        number = number * 10 + (comName[i] - '0');
    }
    if (number < 1)
        return {};
    return "/dev/ttyS" + std::to_string(number - 1);
}

TPosixCommPlatform::TPosixCommPlatform(TPortResolver resolver,
                                       std::function<void(const std::string&)> log)
    : resolver_(std::move(resolver)), log_(std::move(log)) {
    if (!log_)
        log_ = [](const std::string& line) { WriteDiagnostic(line); };
}

int TPosixCommPlatform::CreateFile(const std::string& name, TCommHandle& handle) {
    handle = INVALID_HANDLE_VALUE;
    const std::string path = resolver_ ? resolver_(name) : std::string();
    if (path.empty()) {
        log_(name + ": no device path for this port (see the Ports section of the settings file)");
        return ERROR_FILE_NOT_FOUND;
    }

    auto fail = [&](int fd, int error) {
        if (fd >= 0)
            ::close(fd);
        std::string reason = name + " (" + path + "): " + ErrorText(error);
        if (error == EACCES || error == EPERM)
            reason += "; the user may need to be in the dialout group";
        else if (error == EBUSY)
            reason += "; the port is in use by another program";
        else if (error == ENOENT)
            reason += "; map the port to a device in the Ports section of the settings file";
        log_(reason);
        return error == ENOENT ? ERROR_FILE_NOT_FOUND : error;
    };

    // Non-blocking, so that a modem port without carrier does not hang here.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(-1, errno);
    if (!::isatty(fd))
        return fail(fd, ENOTTY);
    // The lock first: a failed TIOCEXCL must not be undone on a port that
    // another program holds.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        return fail(fd, error == EWOULDBLOCK ? EBUSY : error);
    }
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(fd, errno);

    handle = fd;
    std::lock_guard lock(mutex_);
    written_.erase(handle);
    return 0;
}

TDCB TPosixCommPlatform::Remembered(TCommHandle handle) {
    std::lock_guard lock(mutex_);
    if (const auto it = written_.find(handle); it != written_.end())
        return it->second;
    // A port not yet written: Linux raised both lines at open.
    TDCB dcb;
    dcb.Flags =
        (DTR_CONTROL_ENABLE << DCB_fDtrControlShift) | (RTS_CONTROL_ENABLE << DCB_fRtsControlShift);
    return dcb;
}

int TPosixCommPlatform::GetCommState(TCommHandle handle, TDCB& dcb) {
    termios t{};
    if (::tcgetattr(Fd(handle), &t) != 0)
        return errno;
    dcb = DCBFromTermios(t, Remembered(handle));
    return 0;
}

int TPosixCommPlatform::SetCommState(TCommHandle handle, const TDCB& dcb) {
    // Everything is checked before anything changes, so that a refused
    // record leaves the device as it was.
    const std::optional<TTermiosPlan> plan = PlanTermios(dcb);
    if (!plan)
        return EINVAL;
    if (const int error = WritePlan(Fd(handle), *plan); error != 0)
        return error;
    std::lock_guard lock(mutex_);
    written_[handle] = dcb;
    return 0;
}

int TPosixCommPlatform::SetCommTimeouts(TCommHandle handle, const TCommTimeouts&) {
    // Reads return at once with what is there; other timeouts have no
    // counterpart here and nothing in this program reads.
    const int fd = Fd(handle);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return errno;
    if (!(flags & O_NONBLOCK) && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        return errno;
    return 0;
}

int TPosixCommPlatform::SetupComm(TCommHandle handle, std::uint32_t, std::uint32_t) {
    // The kernel's queues have fixed sizes.
    return CheckHandle(handle);
}

int TPosixCommPlatform::SetCommMask(TCommHandle handle, std::uint32_t eventMask) {
    if (eventMask != 0)
        return EINVAL;
    return CheckHandle(handle);
}

int TPosixCommPlatform::PurgeComm(TCommHandle handle, std::uint32_t flags) {
    const bool tx = (flags & (PURGE_TXABORT | PURGE_TXCLEAR)) != 0;
    const bool rx = (flags & (PURGE_RXABORT | PURGE_RXCLEAR)) != 0;
    if (!tx && !rx)
        return CheckHandle(handle);
    if (::tcflush(Fd(handle), tx && rx ? TCIOFLUSH : tx ? TCOFLUSH : TCIFLUSH) != 0) {
        const int error = errno;
        // The hang-up discarded both queues already. Refusing here would
        // keep the port from ever being closed (and opened again once the
        // adapter is back).
        if (error == EIO && HungUp(Fd(handle)))
            return 0;
        return error;
    }
    return 0;
}

int TPosixCommPlatform::ClearCommError(TCommHandle handle, std::uint32_t& errors, TComStat& stat) {
    errors = 0;
    stat = TComStat{};
    int count = 0;
    if (::ioctl(Fd(handle), FIONREAD, &count) != 0)
        return errno;
    stat.cbInQue = static_cast<std::uint32_t>(count);
    if (::ioctl(Fd(handle), TIOCOUTQ, &count) != 0)
        return errno;
    stat.cbOutQue = static_cast<std::uint32_t>(count);
    return 0;
}

int TPosixCommPlatform::EscapeCommFunction(TCommHandle handle, std::uint32_t function) {
    // Switch the one line alone, so that the other keeps its level.
    switch (function) {
        case SETRTS:
            return SetLine(Fd(handle), TIOCM_RTS, true);
        case CLRRTS:
            return SetLine(Fd(handle), TIOCM_RTS, false);
        case SETDTR:
            return SetLine(Fd(handle), TIOCM_DTR, true);
        case CLRDTR:
            return SetLine(Fd(handle), TIOCM_DTR, false);
        default:
            return EINVAL;
    }
}

int TPosixCommPlatform::CloseHandle(TCommHandle handle) {
    {
        std::lock_guard lock(mutex_);
        written_.erase(handle);
    }
    // The exclusive flag stays on the terminal after the close (a pty's
    // while its master is open), and would refuse the next open.
    ::ioctl(Fd(handle), TIOCNXCL);
    if (::close(Fd(handle)) != 0)
        return errno;
    return 0;
}

int TPosixCommPlatform::SetHangUpOnClose(TCommHandle handle, bool drop) {
    termios t{};
    if (::tcgetattr(Fd(handle), &t) != 0)
        return errno;
    const tcflag_t wanted =
        drop ? (t.c_cflag | HUPCL) : (t.c_cflag & ~static_cast<tcflag_t>(HUPCL));
    if (wanted == t.c_cflag)
        return 0;
    t.c_cflag = wanted;
    if (::tcsetattr(Fd(handle), TCSANOW, &t) != 0)
        return errno;
    return 0;
}

std::unique_ptr<TCommEventWait> TPosixCommPlatform::CreateEventWait(TCommHandle) {
    return std::make_unique<TPosixEventWait>();
}

std::string TPosixCommPlatform::ErrorText(int code) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static string instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return ::strerror_r(code, buffer, sizeof buffer);
#else
    if (::strerror_r(code, buffer, sizeof buffer) != 0)
        return "Unknown error " + std::to_string(code);
    return buffer;
#endif
}

}  // namespace ziv
