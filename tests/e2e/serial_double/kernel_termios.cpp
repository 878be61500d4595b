#include "kernel_termios.h"

#include <cstring>

namespace ziv::e2e::serial_double {

namespace {

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

}  // namespace

void ToKernel(const termios& t, TKernelTermios& k) {
    std::memset(&k, 0, sizeof k);
    k.c_iflag = t.c_iflag;
    k.c_oflag = t.c_oflag;
    k.c_cflag = t.c_cflag;
    k.c_lflag = t.c_lflag;
    k.c_line = t.c_line;
    std::memcpy(k.c_cc, t.c_cc, sizeof k.c_cc);
}

termios FromKernel(const TKernelTermios& k) {
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

void ToKernel2(const termios& t, TKernelTermios2& k) {
    ToKernel(t, k);
    k.c_ospeed = CodeToRate(t.c_cflag & CBAUD, t.c_ospeed);
    const tcflag_t input = (t.c_cflag >> kIbShift) & CBAUD;
    k.c_ispeed = input == B0 ? k.c_ospeed : CodeToRate(input, t.c_ispeed);
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

}  // namespace ziv::e2e::serial_double
