#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace ziv {

// A device handle of the serial platform layer: a file descriptor on POSIX.
using TCommHandle = std::intptr_t;
inline constexpr TCommHandle INVALID_HANDLE_VALUE = -1;

// Line functions of EscapeCommFunction, with the platform's values.
enum TCommFunction : std::uint32_t {
    SETRTS = 3,
    CLRRTS = 4,
    SETDTR = 5,
    CLRDTR = 6,
};

// "Not found", as the open reports it (ENOENT has the same value).
inline constexpr int ERROR_FILE_NOT_FOUND = 2;

// The line-settings record (device control block). The flags word holds
// the bit fields of the record at their usual positions.
struct TDCB {
    std::uint32_t DCBlength = sizeof(TDCB);
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
    std::uint8_t XonChar = 0;
    std::uint8_t XoffChar = 0;
    std::uint8_t ErrorChar = 0;
    std::uint8_t EofChar = 0;
    std::uint8_t EvtChar = 0;
    std::uint16_t wReserved1 = 0;

    bool operator==(const TDCB&) const = default;
};

// Bits and fields of TDCB::Flags.
inline constexpr std::uint32_t DCB_fBinary = 0x1;
inline constexpr std::uint32_t DCB_fParity = 0x2;
inline constexpr std::uint32_t DCB_fOutxCtsFlow = 0x4;
inline constexpr std::uint32_t DCB_fOutxDsrFlow = 0x8;
inline constexpr std::uint32_t DCB_fDtrControlMask = 0x30;
inline constexpr int DCB_fDtrControlShift = 4;
inline constexpr std::uint32_t DCB_fDsrSensitivity = 0x40;
inline constexpr std::uint32_t DCB_fTXContinueOnXoff = 0x80;
inline constexpr std::uint32_t DCB_fOutX = 0x100;
inline constexpr std::uint32_t DCB_fInX = 0x200;
inline constexpr std::uint32_t DCB_fErrorChar = 0x400;
inline constexpr std::uint32_t DCB_fNull = 0x800;
inline constexpr std::uint32_t DCB_fRtsControlMask = 0x3000;
inline constexpr int DCB_fRtsControlShift = 12;
inline constexpr std::uint32_t DCB_fAbortOnError = 0x4000;

// Values of the DTR and RTS control fields.
inline constexpr std::uint32_t DTR_CONTROL_DISABLE = 0;
inline constexpr std::uint32_t DTR_CONTROL_ENABLE = 1;
inline constexpr std::uint32_t DTR_CONTROL_HANDSHAKE = 2;
inline constexpr std::uint32_t RTS_CONTROL_DISABLE = 0;
inline constexpr std::uint32_t RTS_CONTROL_ENABLE = 1;
inline constexpr std::uint32_t RTS_CONTROL_HANDSHAKE = 2;
inline constexpr std::uint32_t RTS_CONTROL_TOGGLE = 3;

struct TCommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;

    bool operator==(const TCommTimeouts&) const = default;
};
inline constexpr std::uint32_t MAXDWORD = 0xFFFFFFFF;

// The device status that ClearCommError gives.
struct TComStat {
    std::uint32_t Flags = 0;
    std::uint32_t cbInQue = 0;
    std::uint32_t cbOutQue = 0;
};

// Line events of the event mask.
inline constexpr std::uint32_t EV_RXCHAR = 0x1;
inline constexpr std::uint32_t EV_RXFLAG = 0x2;
inline constexpr std::uint32_t EV_TXEMPTY = 0x4;
inline constexpr std::uint32_t EV_CTS = 0x8;
inline constexpr std::uint32_t EV_DSR = 0x10;
inline constexpr std::uint32_t EV_RLSD = 0x20;
inline constexpr std::uint32_t EV_BREAK = 0x40;
inline constexpr std::uint32_t EV_ERR = 0x80;
inline constexpr std::uint32_t EV_RING = 0x100;

// Flags of PurgeComm.
inline constexpr std::uint32_t PURGE_TXABORT = 0x1;
inline constexpr std::uint32_t PURGE_RXABORT = 0x2;
inline constexpr std::uint32_t PURGE_TXCLEAR = 0x4;
inline constexpr std::uint32_t PURGE_RXCLEAR = 0x8;

// The wait for line events of one open device. The event thread owns it,
// so it stays valid however long the thread takes to finish; it must not
// depend on the platform object that made it.
class TCommEventWait {
public:
    virtual ~TCommEventWait() = default;

    // Blocks until a line event selected by the device's event mask
    // happens (0, with `eventMask` set) or until the event `wake` is
    // signalled (0, with `eventMask` left 0). Another result is the error
    // code of a failed wait.
    virtual int Wait(std::uint32_t& eventMask, TCommHandle wake) = 0;
};

// The serial calls the port component makes. Each call returns 0 on
// success or the platform's error code (errno on POSIX), taken at once
// inside the call, so that nothing can overwrite it before it is reported.
class TCommPlatform {
public:
    virtual ~TCommPlatform() = default;

    // Opens the port "COM<n>" for exclusive reading and writing.
    virtual int CreateFile(const std::string& name, TCommHandle& handle) = 0;
    virtual int GetCommState(TCommHandle handle, TDCB& dcb) = 0;
    virtual int SetCommState(TCommHandle handle, const TDCB& dcb) = 0;
    virtual int SetCommTimeouts(TCommHandle handle, const TCommTimeouts& timeouts) = 0;
    virtual int SetupComm(TCommHandle handle, std::uint32_t inQueue, std::uint32_t outQueue) = 0;
    virtual int SetCommMask(TCommHandle handle, std::uint32_t eventMask) = 0;
    virtual int PurgeComm(TCommHandle handle, std::uint32_t flags) = 0;
    virtual int ClearCommError(TCommHandle handle, std::uint32_t& errors, TComStat& stat) = 0;
    virtual int EscapeCommFunction(TCommHandle handle, std::uint32_t function) = 0;
    virtual int CloseHandle(TCommHandle handle) = 0;
    // Whether closing the device (or the end of the process) drops both
    // control lines, as POSIX's HUPCL does. Platforms that leave the lines
    // alone at close have nothing to do.
    virtual int SetHangUpOnClose(TCommHandle handle, bool drop) {
        (void)handle;
        (void)drop;
        return 0;
    }

    // A wait for the line events of an open device; see TCommEventWait.
    virtual std::unique_ptr<TCommEventWait> CreateEventWait(TCommHandle handle) = 0;

    // The platform's text for an error code, as the platform gives it
    // (possibly with a trailing full stop or line break).
    virtual std::string ErrorText(int code) = 0;
};

}  // namespace ziv
