#include "serial/comm_platform_posix.h"

#include "base/diagnostics.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ziv {

namespace {

int Fd(TCommHandle handle) {
    return static_cast<int>(handle);
}

struct SpeedEntry {
    std::uint32_t rate;
    speed_t speed;
};

// The speeds termios names. Rates of the component without a termios
// speed (14400, 56000, 128000, 256000) are refused.
constexpr SpeedEntry Speeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400},
};

bool RateToSpeed(std::uint32_t rate, speed_t& speed) {
    for (const SpeedEntry& e : Speeds)
        if (e.rate == rate) {
            speed = e.speed;
            return true;
        }
    return false;
}

std::uint32_t SpeedToRate(speed_t speed) {
    for (const SpeedEntry& e : Speeds)
        if (e.speed == speed)
            return e.rate;
    return 0;
}

std::uint32_t DtrControl(std::uint32_t flags) {
    return (flags & DCB_fDtrControlMask) >> DCB_fDtrControlShift;
}
std::uint32_t RtsControl(std::uint32_t flags) {
    return (flags & DCB_fRtsControlMask) >> DCB_fRtsControlShift;
}

// Ptys and some virtual ports have no modem lines; their drivers refuse
// the line ioctls with these.
bool NoModemLines(int error) {
    return error == ENOTTY || error == EINVAL;
}

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

    TDCB d = Remembered(handle);
    d.DCBlength = sizeof(TDCB);
    d.BaudRate = SpeedToRate(::cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
        case CS5:
            d.ByteSize = 5;
            break;
        case CS6:
            d.ByteSize = 6;
            break;
        case CS7:
            d.ByteSize = 7;
            break;
        default:
            d.ByteSize = 8;
            break;
    }
    d.Parity = 0;
    if (t.c_cflag & PARENB) {
        const bool odd = (t.c_cflag & PARODD) != 0;
        d.Parity = odd ? 1 : 2;
#ifdef CMSPAR
        if (t.c_cflag & CMSPAR)
            d.Parity = odd ? 3 : 4;
#endif
    }
    d.StopBits = (t.c_cflag & CSTOPB) ? (d.ByteSize == 5 ? 1 : 2) : 0;
    d.XonChar = t.c_cc[VSTART];
    d.XoffChar = t.c_cc[VSTOP];

    // Termios holds the flow control and parity check; the rest of the
    // flags word is as last written.
    std::uint32_t flags = d.Flags & ~(DCB_fParity | DCB_fOutX | DCB_fInX | DCB_fOutxCtsFlow);
    flags |= DCB_fBinary;
    if (t.c_iflag & INPCK)
        flags |= DCB_fParity;
    if (t.c_iflag & IXON)
        flags |= DCB_fOutX;
    if (t.c_iflag & IXOFF)
        flags |= DCB_fInX;
#ifdef CRTSCTS
    if (t.c_cflag & CRTSCTS) {
        flags |= DCB_fOutxCtsFlow;
        flags = (flags & ~DCB_fRtsControlMask) | (RTS_CONTROL_HANDSHAKE << DCB_fRtsControlShift);
    } else if (RtsControl(flags) == RTS_CONTROL_HANDSHAKE) {
        flags &= ~DCB_fRtsControlMask;
    }
#endif
    d.Flags = flags;
    dcb = d;
    return 0;
}

int TPosixCommPlatform::SetCommState(TCommHandle handle, const TDCB& dcb) {
    const int fd = Fd(handle);

    // Everything is checked before anything changes, so that a refused
    // record leaves the device as it was.
    speed_t speed{};
    if (!RateToSpeed(dcb.BaudRate, speed))
        return EINVAL;

    tcflag_t size = 0;
    switch (dcb.ByteSize) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return EINVAL;
    }

    tcflag_t parity = 0;
    switch (dcb.Parity) {
        case 0:
            break;
        case 1:
            parity = PARENB | PARODD;
            break;
        case 2:
            parity = PARENB;
            break;
#ifdef CMSPAR
        case 3:
            parity = PARENB | PARODD | CMSPAR;
            break;
        case 4:
            parity = PARENB | CMSPAR;
            break;
#endif
        default:
            return EINVAL;
    }

    // Two stop bits of a UART are one and a half with five data bits.
    tcflag_t stop = 0;
    switch (dcb.StopBits) {
        case 0:
            break;
        case 1:
            if (dcb.ByteSize != 5)
                return EINVAL;
            stop = CSTOPB;
            break;
        case 2:
            if (dcb.ByteSize == 5)
                return EINVAL;
            stop = CSTOPB;
            break;
        default:
            return EINVAL;
    }

    // Asks that termios cannot express: DSR flow and sensitivity, error
    // and null replacement, abort on error, DTR handshake, RTS toggle.
    constexpr std::uint32_t unsupported =
        DCB_fOutxDsrFlow | DCB_fDsrSensitivity | DCB_fErrorChar | DCB_fNull | DCB_fAbortOnError;
    if (dcb.Flags & unsupported)
        return EINVAL;
    const std::uint32_t dtr = DtrControl(dcb.Flags);
    const std::uint32_t rts = RtsControl(dcb.Flags);
    if (dtr > DTR_CONTROL_ENABLE || rts == RTS_CONTROL_TOGGLE)
        return EINVAL;
    // Termios has one switch for CTS output flow and RTS input flow.
    const bool ctsFlow = (dcb.Flags & DCB_fOutxCtsFlow) != 0;
    if (ctsFlow != (rts == RTS_CONTROL_HANDSHAKE))
        return EINVAL;
    tcflag_t hardwareFlow = 0;
    if (ctsFlow) {
#ifdef CRTSCTS
        hardwareFlow = CRTSCTS;
#else
        return EINVAL;
#endif
    }

    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return errno;
    const termios before = t;

    // The lines first: Linux raised both at open, and a transmitter keyed
    // by one must drop again before anything slower (a speed change on a
    // USB adapter) is done.
    if (int error = SetLine(fd, TIOCM_DTR, dtr == DTR_CONTROL_ENABLE);
        error != 0 && !NoModemLines(error))
        return error;
    if (rts != RTS_CONTROL_HANDSHAKE) {
        if (int error = SetLine(fd, TIOCM_RTS, rts == RTS_CONTROL_ENABLE);
            error != 0 && !NoModemLines(error))
            return error;
    }

    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK);
    if (dcb.Flags & DCB_fParity)
        t.c_iflag |= INPCK;
    if (dcb.Flags & DCB_fOutX)
        t.c_iflag |= IXON;
    if (dcb.Flags & DCB_fInX)
        t.c_iflag |= IXOFF;
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tcflag_t cleared = CSIZE | PARENB | PARODD | CSTOPB;
#ifdef CMSPAR
    cleared |= CMSPAR;
#endif
#ifdef CRTSCTS
    cleared |= CRTSCTS;
#endif
    t.c_cflag &= ~cleared;
    t.c_cflag |= CLOCAL | CREAD | size | parity | stop | hardwareFlow;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0)
        return errno;
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return errno;

    // tcsetattr succeeds when any part was taken: a speed or framing the
    // device could not take shows only in what it reads back.
    termios back{};
    if (::tcgetattr(fd, &back) != 0)
        return errno;
    if (::cfgetospeed(&back) != speed || (back.c_cflag & cleared) != (t.c_cflag & cleared)) {
        ::tcsetattr(fd, TCSANOW, &before);
        return EINVAL;
    }

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
    int bit = 0;
    unsigned long request = 0;
    switch (function) {
        case SETRTS:
            bit = TIOCM_RTS;
            request = TIOCMBIS;
            break;
        case CLRRTS:
            bit = TIOCM_RTS;
            request = TIOCMBIC;
            break;
        case SETDTR:
            bit = TIOCM_DTR;
            request = TIOCMBIS;
            break;
        case CLRDTR:
            bit = TIOCM_DTR;
            request = TIOCMBIC;
            break;
        default:
            return EINVAL;
    }
    // Switch the one line alone, so that the other keeps its level.
    if (::ioctl(Fd(handle), request, &bit) != 0)
        return errno;
    return 0;
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
