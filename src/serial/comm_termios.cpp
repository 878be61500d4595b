#include "serial/comm_termios.h"

namespace ziv {

namespace {

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

std::optional<speed_t> RateToSpeed(std::uint32_t rate) {
    for (const SpeedEntry& e : Speeds)
        if (e.rate == rate)
            return e.speed;
    return std::nullopt;
}

std::uint32_t SpeedToRate(speed_t speed) {
    for (const SpeedEntry& e : Speeds)
        if (e.speed == speed)
            return e.rate;
    return 0;
}

std::optional<tcflag_t> SizeBits(std::uint8_t byteSize) {
    switch (byteSize) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        case 8:
            return CS8;
        default:
            return std::nullopt;
    }
}

std::optional<tcflag_t> ParityBits(std::uint8_t parity) {
    switch (parity) {
        case 0:
            return 0;
        case 1:
            return PARENB | PARODD;
        case 2:
            return PARENB;
#ifdef CMSPAR
        case 3:
            return PARENB | PARODD | CMSPAR;
        case 4:
            return PARENB | CMSPAR;
#endif
        default:
            return std::nullopt;
    }
}

// Two stop bits of a UART are one and a half with five data bits.
std::optional<tcflag_t> StopBits(std::uint8_t stopBits, std::uint8_t byteSize) {
    switch (stopBits) {
        case 0:
            return 0;
        case 1:
            return byteSize == 5 ? std::optional<tcflag_t>(CSTOPB) : std::nullopt;
        case 2:
            return byteSize != 5 ? std::optional<tcflag_t>(CSTOPB) : std::nullopt;
        default:
            return std::nullopt;
    }
}

std::uint32_t DtrControl(std::uint32_t flags) {
    return (flags & DCB_fDtrControlMask) >> DCB_fDtrControlShift;
}
std::uint32_t RtsControl(std::uint32_t flags) {
    return (flags & DCB_fRtsControlMask) >> DCB_fRtsControlShift;
}

// The control fields and hardware flow of the flags word; false for what
// termios cannot express.
bool PlanLines(std::uint32_t flags, TTermiosPlan& plan) {
    constexpr std::uint32_t unsupported =
        DCB_fOutxDsrFlow | DCB_fDsrSensitivity | DCB_fErrorChar | DCB_fNull | DCB_fAbortOnError;
    if (flags & unsupported)
        return false;
    const std::uint32_t dtr = DtrControl(flags);
    const std::uint32_t rts = RtsControl(flags);
    if (dtr > DTR_CONTROL_ENABLE || rts == RTS_CONTROL_TOGGLE)
        return false;
    // Termios has one switch for CTS output flow and RTS input flow.
    const bool ctsFlow = (flags & DCB_fOutxCtsFlow) != 0;
    if (ctsFlow != (rts == RTS_CONTROL_HANDSHAKE))
        return false;
    if (ctsFlow) {
#ifdef CRTSCTS
        plan.cflag |= CRTSCTS;
#else
        return false;
#endif
    }
    plan.dtrHigh = dtr == DTR_CONTROL_ENABLE;
    if (!ctsFlow)
        plan.rtsHigh = rts == RTS_CONTROL_ENABLE;
    return true;
}

}  // namespace

std::optional<TTermiosPlan> PlanTermios(const TDCB& dcb) {
    TTermiosPlan plan;
    const std::optional<speed_t> speed = RateToSpeed(dcb.BaudRate);
    const std::optional<tcflag_t> size = SizeBits(dcb.ByteSize);
    const std::optional<tcflag_t> parity = ParityBits(dcb.Parity);
    const std::optional<tcflag_t> stop = StopBits(dcb.StopBits, dcb.ByteSize);
    if (!speed || !size || !parity || !stop || !PlanLines(dcb.Flags, plan))
        return std::nullopt;

    plan.speed = *speed;
    plan.cflag |= *size | *parity | *stop;
    if (dcb.Flags & DCB_fParity)
        plan.iflag |= INPCK;
    if (dcb.Flags & DCB_fOutX)
        plan.iflag |= IXON;
    if (dcb.Flags & DCB_fInX)
        plan.iflag |= IXOFF;
    plan.xonChar = static_cast<cc_t>(dcb.XonChar);
    plan.xoffChar = static_cast<cc_t>(dcb.XoffChar);
    return plan;
}

tcflag_t TermiosFramingBits() {
    tcflag_t bits = CSIZE | PARENB | PARODD | CSTOPB;
#ifdef CMSPAR
    bits |= CMSPAR;
#endif
#ifdef CRTSCTS
    bits |= CRTSCTS;
#endif
    return bits;
}

termios ApplyTermiosPlan(const TTermiosPlan& plan, termios t) {
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK);
    t.c_iflag |= plan.iflag;
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~TermiosFramingBits();
    t.c_cflag |= CLOCAL | CREAD | plan.cflag;
    t.c_cc[VSTART] = plan.xonChar;
    t.c_cc[VSTOP] = plan.xoffChar;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    // The speed is one termios names, which these take.
    ::cfsetispeed(&t, plan.speed);
    ::cfsetospeed(&t, plan.speed);
    return t;
}

TDCB DCBFromTermios(const termios& t, const TDCB& remembered) {
    TDCB d = remembered;
    d.DCBlength = sizeof(TDCB);
    d.BaudRate = SpeedToRate(::cfgetospeed(&t));
    const tcflag_t size = t.c_cflag & CSIZE;
    d.ByteSize = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
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
    return d;
}

}  // namespace ziv
