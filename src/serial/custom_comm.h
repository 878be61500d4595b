#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/diagnostics.h"
#include "base/ui_invoker.h"
#include "serial/comm_error.h"
#include "serial/comm_platform.h"
#include "serial/comm_thread.h"
#include "serial/comm_types.h"
#include "serial/component_base.h"
#include "serial/critical_section.h"
#include "serial/event_chars.h"

namespace ziv {

using TVaCommErrorEvent = std::function<void(TObject* Sender, std::uint32_t Errors)>;
using TVaCommDataEvent = std::function<void(TObject* Sender, std::int32_t Count)>;

// The serial port component: opens a port by number, writes its line
// settings, switches its RTS and DTR lines, closes it, and runs an event
// thread while it is open. Every call comes on the user-interface thread;
// every failure raises EVaCommError. The properties are published by
// TVaComm.
class TVaCustomComm : public TVaSharedComponent {
public:
    // The platform, the invoker and the error report must outlive the
    // component; the event thread it starts does not need them after Close.
    TVaCustomComm(TCommPlatform& platform, TUiInvoker& invoker, TErrorReport& errorReport,
                  TVaComponent* Owner = nullptr);
    // Closes the port; a failure to close is not raised from here, and the
    // device is let go of all the same.
    ~TVaCustomComm() override;

    bool Active() const { return FHandle != INVALID_HANDLE_VALUE; }

    // Opens "COM<PortNum>", writes the line settings, timeouts, queue sizes
    // and event mask, and starts the event thread. A failure after the
    // device is open leaves it open, without an event thread.
    void Open();
    // Stops the event thread, clears the queues, lowers DTR and RTS where
    // enabled and closes the device. Nothing happens when it is closed.
    void Close();

    // Set (true) or clear (false) the line at once. Every call goes to the
    // device, also when the level is unchanged; nothing happens while the
    // port is closed. A refusal raises EVaCommError.
    void SetRTS(bool value);
    void SetDTR(bool value);

    void Lock() { FLock->Enter(); }
    void Unlock() { FLock->Leave(); }

    // Writes the line settings to the open device; does nothing while the
    // port is closed or the component is loading.
    void UpdateDCB();
    // Raises "Can't perform this operation when port is open" when open.
    void CheckClosed() const;

    // The event thread's handler: one completed wait with its event mask.
    void HandleEvent(TObject* Sender, std::uint32_t EventMask);

protected:
    // Opens the device; called only by Open.
    virtual void CreateHandle();
    void DropLinesIdlingLow();

    // --- Properties (published by TVaComm) ---
    std::int32_t PortNum() const { return FPortNum; }
    void SetPortNum(std::int32_t value);
    TVaCommEvents MonitorEvents() const { return FMonitorEvents; }
    void SetMonitorEvents(TVaCommEvents value);
    TVaBaudrate Baudrate() const { return FBaudrate; }
    void SetBaudrate(TVaBaudrate value);
    TVaParity Parity() const { return FParity; }
    void SetParity(TVaParity value);
    TVaDatabits Databits() const { return FDatabits; }
    void SetDatabits(TVaDatabits value);
    TVaStopbits Stopbits() const { return FStopbits; }
    void SetStopbits(TVaStopbits value);
    std::int32_t ReadBufSize() const { return FReadBufSize; }
    void SetReadBufSize(std::int32_t value);
    std::int32_t WriteBufSize() const { return FWriteBufSize; }
    void SetWriteBufSize(std::int32_t value);
    std::int32_t ReadTimeout() const { return FReadTimeout; }
    void SetReadTimeout(std::int32_t value) { FReadTimeout = value; }
    std::int32_t WriteTimeout() const { return FWriteTimeout; }
    void SetWriteTimeout(std::int32_t value) { FWriteTimeout = value; }
    TVaCommOptions Options() const { return FOptions; }
    void SetOptions(TVaCommOptions value);
    TVaFlowControl FlowControl() const { return FFlowControl; }
    void SetFlowControl(TVaFlowControl value);
    TVaEventChars& EventChars() { return *FEventChars; }
    const TVaEventChars& EventChars() const { return *FEventChars; }
    // Copies the four characters, then writes the line settings once.
    void SetEventChars(const TVaEventChars& value) { FEventChars->Assign(value); }
    std::int32_t XonLim() const { return FXonLim; }
    void SetXonLim(std::int32_t value);
    std::int32_t XoffLim() const { return FXoffLim; }
    void SetXoffLim(std::int32_t value);
    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority value);
    bool DTREnable() const { return FDTREnable; }
    void SetDTREnable(bool value);
    bool RTSEnable() const { return FRTSEnable; }
    void SetRTSEnable(bool value);
    // Whether closing the port, or the end of the process, drops RTS and
    // DTR (Linux's default). A dropped line keys an inverted PTT, so the
    // keyer turns this off for that polarity. Applied to an open port at
    // once.
    bool HangUpOnClose() const { return FHangUpOnClose; }
    void SetHangUpOnClose(bool value);

    // --- Events ---
    const TNotifyEvent& OnOpen() const { return FOnOpen; }
    void SetOnOpen(TNotifyEvent value) { FOnOpen = std::move(value); }
    const TNotifyEvent& OnClose() const { return FOnClose; }
    void SetOnClose(TNotifyEvent value) { FOnClose = std::move(value); }
    const TVaCommErrorEvent& OnError() const { return FOnError; }
    void SetOnError(TVaCommErrorEvent value) { FOnError = std::move(value); }
    const TVaCommDataEvent& OnData() const { return FOnData; }
    void SetOnData(TVaCommDataEvent value) { FOnData = std::move(value); }
    const TNotifyEvent& OnEvent() const { return FOnEvent; }
    void SetOnEvent(TNotifyEvent value) { FOnEvent = std::move(value); }
    const TNotifyEvent& OnCts() const { return FOnCts; }
    void SetOnCts(TNotifyEvent value) { FOnCts = std::move(value); }
    const TNotifyEvent& OnDsr() const { return FOnDsr; }
    void SetOnDsr(TNotifyEvent value) { FOnDsr = std::move(value); }
    const TNotifyEvent& OnRing() const { return FOnRing; }
    void SetOnRing(TNotifyEvent value) { FOnRing = std::move(value); }
    const TNotifyEvent& OnRlsd() const { return FOnRlsd; }
    void SetOnRlsd(TNotifyEvent value) { FOnRlsd = std::move(value); }
    const TNotifyEvent& OnTxEmpty() const { return FOnTxEmpty; }
    void SetOnTxEmpty(TNotifyEvent value) { FOnTxEmpty = std::move(value); }
    const TNotifyEvent& OnBreak() const { return FOnBreak; }
    void SetOnBreak(TNotifyEvent value) { FOnBreak = std::move(value); }

    // Raises EVaCommError with the pattern filled from the failed call's code.
    [[noreturn]] void RaiseCommError(const std::string& pattern, int code);
    void ApplyHangUpOnClose();
    void EscapeComm(std::uint32_t function);

    TCommHandle FHandle = INVALID_HANDLE_VALUE;
    std::unique_ptr<TVaCriticalSection> FLock;
    std::shared_ptr<TVaCommThread> FThread;  // only between Open and Close
    TCommPlatform& FPlatform;
    TUiInvoker& FInvoker;
    TErrorReport& FErrorReport;

private:
    // A setter of a line setting: a new value is stored, then written.
    template <typename T>
    void StoreAndUpdateDCB(T& field, T value) {
        if (value == field)
            return;
        field = value;
        UpdateDCB();
    }

    std::int32_t FPortNum = 0;
    TVaCommEvents FMonitorEvents;
    TVaBaudrate FBaudrate = br1200;
    TVaParity FParity = paNone;
    TVaDatabits FDatabits = db8;
    TVaStopbits FStopbits = sb1;
    std::int32_t FReadBufSize = 4096;
    std::int32_t FWriteBufSize = 2048;
    std::int32_t FReadTimeout = 1000;
    std::int32_t FWriteTimeout = 1000;
    TVaCommOptions FOptions;
    TVaFlowControl FFlowControl = fcRtsCts;
    std::unique_ptr<TVaEventChars> FEventChars;
    std::int32_t FXonLim = 1024;
    std::int32_t FXoffLim = 1024;
    TThreadPriority FPriority = tpNormal;
    bool FDTREnable = true;
    bool FHangUpOnClose = true;
    bool FRTSEnable = true;
    // The level last asked of each line. One asked high before the port
    // opens goes into the first line settings written: those drop every
    // line whose control is off, and an Inverted PTT would be keyed from
    // the open until its idle level came. A new open starts from both low.
    bool FDtrHigh = false;
    bool FRtsHigh = false;
    bool FRtsWrittenLast = false;  // of the two lines

    TNotifyEvent FOnOpen, FOnClose, FOnEvent, FOnCts, FOnDsr, FOnRing, FOnRlsd, FOnTxEmpty,
        FOnBreak;
    TVaCommErrorEvent FOnError;
    TVaCommDataEvent FOnData;
};

}  // namespace ziv
