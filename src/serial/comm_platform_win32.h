#pragma once

#include <functional>
#include <string>

#include "serial/comm_platform.h"

namespace ziv {

// Serial ports of Windows; the handle is the system's file handle.
//
// "COMn" is opened as \\.\COMn, the device namespace, so that COM10 and up
// open too; exclusively (no sharing) and for overlapped use, which the
// event wait needs. Every call returns GetLastError() taken at once. The
// lines keep their levels at close, so SetHangUpOnClose has nothing to do.
//
// The event wait runs WaitCommEvent overlapped beside the thread's wake
// event. A port with an empty event mask (the keyer's) cannot be waited on
// (WaitCommEvent refuses it), so its wait sleeps until it is woken.
class TWin32CommPlatform : public TCommPlatform {
public:
    // `log` receives the reason of a failed open (the window shows only
    // that the port is busy); by default it goes to the diagnostics.
    explicit TWin32CommPlatform(std::function<void(const std::string&)> log = {});

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
    std::unique_ptr<TCommEventWait> CreateEventWait(TCommHandle handle) override;
    std::string ErrorText(int code) override;

private:
    std::function<void(const std::string&)> log_;
};

// The device path a port name opens: "COM12" -> "\\.\COM12".
std::string Win32DevicePath(const std::string& comName);

}  // namespace ziv
