#pragma once

#include <termios.h>

#include <cstdint>
#include <optional>

#include "serial/comm_platform.h"

namespace ziv {

// What writing a line-settings record does to a terminal: the termios
// fields it sets and the levels it gives the two modem lines. Worked out
// before the device is touched, so that a record termios cannot express
// is refused with the device left as it was.
struct TTermiosPlan {
    speed_t speed = 0;
    tcflag_t cflag = 0;  // within TermiosFramingBits()
    tcflag_t iflag = 0;  // within IXON | IXOFF | INPCK
    cc_t xonChar = 0;
    cc_t xoffChar = 0;
    bool dtrHigh = false;
    // Empty when the driver drives RTS (hardware flow control).
    std::optional<bool> rtsHigh;

    bool operator==(const TTermiosPlan&) const = default;
};

// The plan of a record; empty when termios cannot do what it asks (a rate
// without a termios speed, DSR flow, error or null replacement, abort on
// error, DTR handshake, RTS toggle, CTS flow apart from RTS handshake).
std::optional<TTermiosPlan> PlanTermios(const TDCB& dcb);

// The c_cflag bits a plan owns: what reads back different from what was
// written was not taken by the device.
tcflag_t TermiosFramingBits();

// `current` with the plan written in, in raw mode: no line editing, echo,
// signals or output processing, and reads that return at once.
termios ApplyTermiosPlan(const TTermiosPlan& plan, termios current);

// The record a terminal's settings give back. Termios holds the speed,
// framing, flow control and parity check; the rest comes from
// `remembered`, the record as last written.
TDCB DCBFromTermios(const termios& t, const TDCB& remembered);

}  // namespace ziv
