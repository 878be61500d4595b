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

// The records the component writes (the keyer's framing, each control
// line off or held at its idle level) give their plans, and a plan written
// over any earlier settings reads back as the record that made it; what
// termios cannot do is refused.
TEST(TermiosPlan, RecordsTranslateReadBackOrAreRefused) {
    termios busy{};
    busy.c_iflag = busy.c_oflag = busy.c_cflag = busy.c_lflag = ~tcflag_t{0};
    constexpr std::uint32_t xon = DCB_fOutX | DCB_fInX;
    const struct {
        const char* what;
        TDCB dcb;
        std::optional<TTermiosPlan> plan;
    } rows[] = {
        {"keyer", Record(1200, 8, 0, 0, xon), Plan(B1200, CS8, IXON | IXOFF, false, false)},
        {"DTR held high", Record(1200, 8, 0, 0, xon | Dtr(DTR_CONTROL_ENABLE)),
         Plan(B1200, CS8, IXON | IXOFF, true, false)},
        {"RTS held high", Record(1200, 8, 0, 0, xon | Rts(RTS_CONTROL_ENABLE)),
         Plan(B1200, CS8, IXON | IXOFF, false, true)},
        {"14400", Record(14400, 8, 0, 0, 0), std::nullopt},
        {"DSR flow", Record(1200, 8, 0, 0, DCB_fOutxDsrFlow), std::nullopt},
        {"RTS toggle", Record(1200, 8, 0, 0, Rts(RTS_CONTROL_TOGGLE)), std::nullopt},
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
