#pragma once

#include <memory>
#include <string>

#include "serial/comm_error.h"
#include "serial/comm_platform.h"
#include "serial/critical_section.h"

namespace ziv {

// The core of the serial port component: the device handle, the lock,
// and switching the RTS and DTR lines of an open port.
class TVaCustomComm {
public:
    explicit TVaCustomComm(TCommPlatform& platform);
    virtual ~TVaCustomComm();
    TVaCustomComm(const TVaCustomComm&) = delete;
    TVaCustomComm& operator=(const TVaCustomComm&) = delete;

    bool Active() const { return FHandle != INVALID_HANDLE_VALUE; }

    // Set (true) or clear (false) the line at once. Every call goes to the
    // device, also when the level is unchanged; nothing happens while the
    // port is closed. A refusal raises EVaCommError.
    void SetRTS(bool value);
    void SetDTR(bool value);

    void Lock() { FLock->Enter(); }
    void Unlock() { FLock->Leave(); }

protected:
    // Raises EVaCommError with the pattern filled from the failed call's code.
    [[noreturn]] void RaiseCommError(const std::string& pattern, int code);
    void EscapeComm(std::uint32_t function);

    TCommHandle FHandle = INVALID_HANDLE_VALUE;
    std::unique_ptr<TVaCriticalSection> FLock;
    TCommPlatform& FPlatform;
};

}  // namespace ziv
