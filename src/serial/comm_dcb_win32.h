#pragma once

#include <cstdint>

#include "serial/comm_platform.h"

namespace ziv {

// Field-by-field translation between the project's records and the
// system's (DCB, COMSTAT). The system records hold their flags as bit
// fields, whose packing is the compiler's business, so nothing is copied
// as memory. Templates over the system record, so that this header needs
// no <windows.h>; comm_platform_win32.cpp and the tests instantiate them.

template <typename Dcb>
Dcb ToSystemDcb(const TDCB& in) {
    Dcb out{};
    out.DCBlength = sizeof(Dcb);
    out.BaudRate = in.BaudRate;
    const std::uint32_t f = in.Flags;
    out.fBinary = (f & DCB_fBinary) != 0;
    out.fParity = (f & DCB_fParity) != 0;
    out.fOutxCtsFlow = (f & DCB_fOutxCtsFlow) != 0;
    out.fOutxDsrFlow = (f & DCB_fOutxDsrFlow) != 0;
    out.fDtrControl = (f & DCB_fDtrControlMask) >> DCB_fDtrControlShift;
    out.fDsrSensitivity = (f & DCB_fDsrSensitivity) != 0;
    out.fTXContinueOnXoff = (f & DCB_fTXContinueOnXoff) != 0;
    out.fOutX = (f & DCB_fOutX) != 0;
    out.fInX = (f & DCB_fInX) != 0;
    out.fErrorChar = (f & DCB_fErrorChar) != 0;
    out.fNull = (f & DCB_fNull) != 0;
    out.fRtsControl = (f & DCB_fRtsControlMask) >> DCB_fRtsControlShift;
    out.fAbortOnError = (f & DCB_fAbortOnError) != 0;
    out.fDummy2 = f >> 15;
    out.wReserved = in.wReserved;
    out.XonLim = in.XonLim;
    out.XoffLim = in.XoffLim;
    out.ByteSize = in.ByteSize;
    out.Parity = in.Parity;
    out.StopBits = in.StopBits;
    out.XonChar = static_cast<char>(in.XonChar);
    out.XoffChar = static_cast<char>(in.XoffChar);
    out.ErrorChar = static_cast<char>(in.ErrorChar);
    out.EofChar = static_cast<char>(in.EofChar);
    out.EvtChar = static_cast<char>(in.EvtChar);
    out.wReserved1 = in.wReserved1;
    return out;
}

template <typename Dcb>
TDCB FromSystemDcb(const Dcb& in) {
    auto bit = [](unsigned value, std::uint32_t flag) { return value ? flag : 0u; };
    TDCB out;
    out.DCBlength = in.DCBlength;
    out.BaudRate = in.BaudRate;
    out.Flags =
        bit(in.fBinary, DCB_fBinary) | bit(in.fParity, DCB_fParity) |
        bit(in.fOutxCtsFlow, DCB_fOutxCtsFlow) | bit(in.fOutxDsrFlow, DCB_fOutxDsrFlow) |
        (static_cast<std::uint32_t>(in.fDtrControl) << DCB_fDtrControlShift) |
        bit(in.fDsrSensitivity, DCB_fDsrSensitivity) |
        bit(in.fTXContinueOnXoff, DCB_fTXContinueOnXoff) | bit(in.fOutX, DCB_fOutX) |
        bit(in.fInX, DCB_fInX) | bit(in.fErrorChar, DCB_fErrorChar) | bit(in.fNull, DCB_fNull) |
        (static_cast<std::uint32_t>(in.fRtsControl) << DCB_fRtsControlShift) |
        bit(in.fAbortOnError, DCB_fAbortOnError) | (static_cast<std::uint32_t>(in.fDummy2) << 15);
    out.wReserved = in.wReserved;
    out.XonLim = in.XonLim;
    out.XoffLim = in.XoffLim;
    out.ByteSize = in.ByteSize;
    out.Parity = in.Parity;
    out.StopBits = in.StopBits;
    out.XonChar = static_cast<std::uint8_t>(in.XonChar);
    out.XoffChar = static_cast<std::uint8_t>(in.XoffChar);
    out.ErrorChar = static_cast<std::uint8_t>(in.ErrorChar);
    out.EofChar = static_cast<std::uint8_t>(in.EofChar);
    out.EvtChar = static_cast<std::uint8_t>(in.EvtChar);
    out.wReserved1 = in.wReserved1;
    return out;
}

// COMSTAT's hold and state bits, in their order, make TComStat::Flags.
template <typename ComStat>
TComStat FromSystemComStat(const ComStat& in) {
    TComStat out;
    const unsigned bits[] = {in.fCtsHold,  in.fDsrHold, in.fRlsdHold, in.fXoffHold,
                             in.fXoffSent, in.fEof,     in.fTxim};
    for (unsigned i = 0; i < sizeof bits / sizeof bits[0]; ++i)
        out.Flags |= bits[i] ? (1u << i) : 0u;
    out.cbInQue = in.cbInQue;
    out.cbOutQue = in.cbOutQue;
    return out;
}

}  // namespace ziv
