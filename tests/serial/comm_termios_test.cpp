#include <gtest/gtest.h>

#include "serial/comm_termios.h"

namespace ziv {
namespace {

constexpr std::uint32_t Dtr(std::uint32_t control) {
    return control << DCB_fDtrControlShift;
}
constexpr std::uint32_t Rts(std::uint32_t control) {
    return control << DCB_fRtsControlShift;
}

TDCB Record(std::uint32_t rate, std::uint8_t size, std::uint8_t parity, std::uint8_t stop,
            std::uint32_t flags) {
    TDCB dcb;
    dcb.BaudRate = rate;
    dcb.ByteSize = size;
    dcb.Parity = parity;
    dcb.StopBits = stop;
    dcb.Flags = DCB_fBinary | flags;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

TTermiosPlan Plan(speed_t speed, tcflag_t cflag, tcflag_t iflag, bool dtr,
                  std::optional<bool> rts) {
    return {speed, cflag, iflag, 0x11, 0x13, dtr, rts};
}

// Each record gives its plan or is refused; a plan written over any
// earlier settings reads back as the record that made it.
TEST(TermiosPlan, RecordsTranslateReadBackOrAreRefused) {
    termios busy{};
    busy.c_iflag = busy.c_oflag = busy.c_cflag = busy.c_lflag = ~tcflag_t{0};
    constexpr std::uint32_t ctsFlow = DCB_fOutxCtsFlow | Rts(RTS_CONTROL_HANDSHAKE);
    const std::nullopt_t refused = std::nullopt;
    const struct {
        const char* what;
        TDCB dcb;
        std::optional<TTermiosPlan> plan;
    } rows[] = {
        {"keyer", Record(1200, 8, 0, 0, DCB_fOutX | DCB_fInX),
         Plan(B1200, CS8, IXON | IXOFF, false, false)},
        {"lines enabled", Record(9600, 8, 0, 0, Dtr(DTR_CONTROL_ENABLE) | Rts(RTS_CONTROL_ENABLE)),
         Plan(B9600, CS8, 0, true, true)},
        {"hardware flow", Record(115200, 8, 2, 2, DCB_fParity | ctsFlow),
         Plan(B115200, CS8 | PARENB | CSTOPB | CRTSCTS, INPCK, false, std::nullopt)},
        {"5 odd 1.5", Record(110, 5, 1, 1, 0),
         Plan(B110, CS5 | PARENB | PARODD | CSTOPB, 0, false, false)},
        {"7 mark", Record(300, 7, 3, 0, 0),
         Plan(B300, CS7 | PARENB | PARODD | CMSPAR, 0, false, false)},
        {"6 space", Record(230400, 6, 4, 0, 0),
         Plan(B230400, CS6 | PARENB | CMSPAR, 0, false, false)},
        {"14400", Record(14400, 8, 0, 0, 0), refused},
        {"4 bits", Record(1200, 4, 0, 0, 0), refused},
        {"parity 5", Record(1200, 8, 5, 0, 0), refused},
        {"1.5 stop of 8 bits", Record(1200, 8, 0, 1, 0), refused},
        {"2 stop of 5 bits", Record(1200, 5, 0, 2, 0), refused},
        {"stop 3", Record(1200, 8, 0, 3, 0), refused},
        {"DSR flow", Record(1200, 8, 0, 0, DCB_fOutxDsrFlow), refused},
        {"DSR sensitivity", Record(1200, 8, 0, 0, DCB_fDsrSensitivity), refused},
        {"error char", Record(1200, 8, 0, 0, DCB_fErrorChar), refused},
        {"null strip", Record(1200, 8, 0, 0, DCB_fNull), refused},
        {"abort on error", Record(1200, 8, 0, 0, DCB_fAbortOnError), refused},
        {"DTR handshake", Record(1200, 8, 0, 0, Dtr(DTR_CONTROL_HANDSHAKE)), refused},
        {"RTS toggle", Record(1200, 8, 0, 0, Rts(RTS_CONTROL_TOGGLE)), refused},
        {"CTS flow alone", Record(1200, 8, 0, 0, DCB_fOutxCtsFlow), refused},
        {"RTS handshake alone", Record(1200, 8, 0, 0, Rts(RTS_CONTROL_HANDSHAKE)), refused},
    };
    for (const auto& row : rows) {
        const std::optional<TTermiosPlan> plan = PlanTermios(row.dcb);
        EXPECT_EQ(plan, row.plan) << row.what;
        if (!plan)
            continue;
        // Only what termios does not hold is remembered.
        TDCB remembered;
        remembered.Flags = row.dcb.Flags & (DCB_fDtrControlMask | DCB_fRtsControlMask);
        EXPECT_EQ(DCBFromTermios(ApplyTermiosPlan(*plan, busy), remembered), row.dcb) << row.what;
    }
}

}  // namespace
}  // namespace ziv
