#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "serial/comm_platform.h"

namespace ziv {

// Maps a port name ("COM3") to a device path; "" when there is none.
using TPortResolver = std::function<std::string(const std::string& comName)>;

// COMn is /dev/ttyS(n-1), as Linux numbers its built-in ports.
std::string DefaultPortPath(const std::string& comName);

// Serial devices of a POSIX system; the handle is the file descriptor.
//
// Opening is exclusive against this and other programs: TIOCEXCL, and an
// flock() that also holds against root, whom TIOCEXCL does not refuse.
// The DTR and RTS control fields of the line settings are applied when the
// settings are written (disabled lowers the line, enabled raises it), so a
// port opened with both disabled ends up with both lines low whatever the
// driver did at open. No line events are reported: SetCommMask takes only
// an empty mask, and the event wait sleeps until it is woken.
class TPosixCommPlatform : public TCommPlatform {
public:
    // `log` receives the real reason of a failed open (the window shows
    // only that the port is busy); by default it goes to standard error.
    explicit TPosixCommPlatform(TPortResolver resolver = DefaultPortPath,
                                std::function<void(const std::string&)> log = {});

    int CreateFile(const std::string& name, TCommHandle& handle) override;
    int GetCommState(TCommHandle handle, TDCB& dcb) override;
    int SetCommState(TCommHandle handle, const TDCB& dcb) override;
    int SetCommTimeouts(TCommHandle handle, const TCommTimeouts& timeouts) override;
    int SetupComm(TCommHandle handle, std::uint32_t inQueue, std::uint32_t outQueue) override;
    int SetCommMask(TCommHandle handle, std::uint32_t eventMask) override;
    int PurgeComm(TCommHandle handle, std::uint32_t flags) override;
    int ClearCommError(TCommHandle handle, std::uint32_t& errors, TComStat& stat) override;
    int EscapeCommFunction(TCommHandle handle, std::uint32_t function) override;
    int CloseHandle(TCommHandle handle) override;
    int SetHangUpOnClose(TCommHandle handle, bool drop) override;
    std::unique_ptr<TCommEventWait> CreateEventWait(TCommHandle handle) override;
    std::string ErrorText(int code) override;

private:
    // What termios does not hold (the control fields, limits, spare
    // characters), as last written, so that reading the record back gives
    // what was written.
    TDCB Remembered(TCommHandle handle);

    TPortResolver resolver_;
    std::function<void(const std::string&)> log_;
    std::mutex mutex_;
    std::map<TCommHandle, TDCB> written_;
};

}  // namespace ziv
