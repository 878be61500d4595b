#pragma once

// The kernel's struct termios and struct termios2, which the tty ioctls
// take, and their conversion to and from glibc's struct termios.

#include <sys/ioctl.h>
#include <termios.h>

namespace ziv::e2e::serial_double {

constexpr int kKernelNccs = 19;
struct TKernelTermios {
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[kKernelNccs];
};
struct TKernelTermios2 : TKernelTermios {
    speed_t c_ispeed;
    speed_t c_ospeed;
};
static_assert(sizeof(TKernelTermios) == 36);
static_assert(sizeof(TKernelTermios2) == 44);

constexpr unsigned long kTcGets2 = _IOR('T', 0x2A, TKernelTermios2);
constexpr unsigned long kTcSets2 = _IOW('T', 0x2B, TKernelTermios2);
constexpr unsigned long kTcSetsW2 = _IOW('T', 0x2C, TKernelTermios2);
constexpr unsigned long kTcSetsF2 = _IOW('T', 0x2D, TKernelTermios2);

void ToKernel(const termios& t, TKernelTermios& k);
void ToKernel2(const termios& t, TKernelTermios2& k);
termios FromKernel(const TKernelTermios& k);
termios FromKernel2(const TKernelTermios2& k);

}  // namespace ziv::e2e::serial_double
