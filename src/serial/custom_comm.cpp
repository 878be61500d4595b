#include "serial/custom_comm.h"

#include <system_error>

namespace ziv {

namespace {

// Deliberately one place off the names, as in the component this follows:
// the default fcRtsCts gives XON/XOFF, which leaves RTS free to key PTT.
constexpr std::uint32_t FlowBits[] = {
    0,                                                                   // fcNone
    DCB_fOutX | DCB_fInX,                                                // fcRtsCts
    DCB_fOutxCtsFlow | (RTS_CONTROL_HANDSHAKE << DCB_fRtsControlShift),  // fcDtrDsr
    DCB_fOutxDsrFlow | (DTR_CONTROL_HANDSHAKE << DCB_fDtrControlShift),  // fcXonXoff
};

constexpr std::uint32_t PurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

}  // namespace

TVaCustomComm::TVaCustomComm(TCommPlatform& platform, TUiInvoker& invoker,
                             TErrorReport& errorReport, TVaComponent* Owner)
    : TVaSharedComponent(Owner),
      FLock(std::make_unique<TVaCriticalSection>()),
      FPlatform(platform),
      FInvoker(invoker),
      FErrorReport(errorReport),
      FEventChars(std::make_unique<TVaEventChars>()) {
    FEventChars->OnChange = [this](TObject*) { UpdateDCB(); };
}

TVaCustomComm::~TVaCustomComm() {
    Destroying();
    try {
        Close();
    } catch (...) {
        // A destructor cannot raise; the device must not stay held (and
        // locked against other programs) until the process ends.
        if (Active()) {
            FPlatform.CloseHandle(FHandle);
            FHandle = INVALID_HANDLE_VALUE;
        }
    }
}

void TVaCustomComm::RaiseCommError(const std::string& pattern, int code) {
    throw EVaCommError(
        FormatCommMessage(pattern, code, TrimPlatformErrorText(FPlatform.ErrorText(code))));
}

void TVaCustomComm::CheckClosed() const {
    if (Active())
        throw EVaCommError("Can't perform this operation when port is open");
}

void TVaCustomComm::CreateHandle() {
    TCommHandle handle = INVALID_HANDLE_VALUE;
    const int error = FPlatform.CreateFile("COM" + std::to_string(FPortNum), handle);
    if (error != 0 || handle == INVALID_HANDLE_VALUE) {
        if (error == ERROR_FILE_NOT_FOUND)
            throw EVaCommError(FormatCommMessage("Invalid port number (COM%d)", FPortNum));
        throw EVaCommError(FormatCommMessage("Can't open device COM%d", FPortNum));
    }
    FHandle = handle;
}

void TVaCustomComm::Open() {
    CheckClosed();
    CreateHandle();
    DropLinesIdlingLow();

    UpdateDCB();
    ApplyHangUpOnClose();

    TCommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (const int error = FPlatform.SetCommTimeouts(FHandle, timeouts); error != 0)
        RaiseCommError("Error setting timeouts (%d), %s", error);

    if (const int error = FPlatform.SetupComm(FHandle, static_cast<std::uint32_t>(FReadBufSize),
                                              static_cast<std::uint32_t>(FWriteBufSize));
        error != 0)
        RaiseCommError("Error initializing buffers (%d), %s", error);

    const std::uint32_t eventMask = CommEventMask(FMonitorEvents);
    {
        TVaLockGuard guard(*FLock);
        if (Active()) {
            if (const int error = FPlatform.SetCommMask(FHandle, eventMask); error != 0)
                RaiseCommError(" Error setting EventMask (%d), %s", error);
        }
    }

    try {
        FThread = TVaCommThread::Create(FPlatform, FHandle, FPriority, FInvoker, FErrorReport);
    } catch (const std::system_error& error) {
        RaiseCommError("Error starting event thread (%d), %s", error.code().value());
    }
    FThread->SetOnEvent(
        [this](TObject* Sender, std::uint32_t EventMask) { HandleEvent(Sender, EventMask); });

    if (FOnOpen)
        FOnOpen(this);
}

void TVaCustomComm::Close() {
    if (!Active())
        return;

    if (FThread) {
        FThread->Stop();
        FThread.reset();
    }

    {
        TVaLockGuard guard(*FLock);
        if (Active()) {
            if (const int error = FPlatform.PurgeComm(FHandle, PurgeAll); error != 0)
                RaiseCommError("Error clearing buffers (%d), %s", error);
        }
    }

    if (FDTREnable)
        SetDTR(false);
    if (FRTSEnable)
        SetRTS(false);

    FPlatform.CloseHandle(FHandle);
    FHandle = INVALID_HANDLE_VALUE;
    FDtrHigh = false;
    FRtsHigh = false;

    if (FOnClose && !ComponentState().Contains(csDestroying))
        FOnClose(this);
}

void TVaCustomComm::UpdateDCB() {
    // Values read from stored settings reach no device.
    if (ComponentState().Contains(csLoading))
        return;

    TVaLockGuard guard(*FLock);
    if (!Active())
        return;

    TDCB dcb;
    if (const int error = FPlatform.GetCommState(FHandle, dcb); error != 0)
        RaiseCommError("Error reading dcb (%d), %s", error);

    dcb.BaudRate = BaudrateValue(FBaudrate);
    dcb.Parity = ParityValue(FParity);
    dcb.StopBits = StopbitsValue(FStopbits);
    dcb.ByteSize = DatabitsValue(FDatabits);
    dcb.XonChar = FEventChars->XonChar();
    dcb.XoffChar = FEventChars->XoffChar();
    dcb.ErrorChar = FEventChars->ErrorChar();
    dcb.EvtChar = FEventChars->EventChar();
    dcb.XonLim = static_cast<std::uint16_t>(FXonLim & 0xFFFF);
    dcb.XoffLim = static_cast<std::uint16_t>(FXoffLim & 0xFFFF);

    std::uint32_t flags = FlowBits[FFlowControl] | DCB_fBinary;
    if (FDTREnable && FFlowControl != fcDtrDsr)
        flags |= DTR_CONTROL_ENABLE << DCB_fDtrControlShift;
    if (FRTSEnable && FFlowControl != fcRtsCts)
        flags |= RTS_CONTROL_ENABLE << DCB_fRtsControlShift;
    // A line held high stays high through the new settings, unless the
    // flow control drives it.
    if (FDtrHigh && (flags & DCB_fDtrControlMask) == 0)
        flags |= DTR_CONTROL_ENABLE << DCB_fDtrControlShift;
    if (FRtsHigh && (flags & DCB_fRtsControlMask) == 0)
        flags |= RTS_CONTROL_ENABLE << DCB_fRtsControlShift;
    for (int o = coContinueOnXOff; o <= coDsrSensitivity; ++o) {
        const auto option = static_cast<TVaCommOption>(o);
        if (FOptions.Contains(option))
            flags |= CommOptionFlag(option);
        else
            flags &= ~CommOptionFlag(option);
    }
    dcb.Flags = flags;

    if (const int error = FPlatform.SetCommState(FHandle, dcb); error != 0)
        RaiseCommError("Error writing dcb (%d), %s", error);
}

void TVaCustomComm::HandleEvent(TObject*, std::uint32_t EventMask) {
    std::uint32_t errors = 0;
    TComStat stat;
    {
        TVaLockGuard guard(*FLock);
        // A closed port has no events to tell.
        if (!Active())
            return;
        if (const int error = FPlatform.ClearCommError(FHandle, errors, stat); error != 0)
            RaiseCommError("Error retrieving statistics (%d), %s", error);
    }

    if ((EventMask & EV_ERR) && FOnError)
        FOnError(this, errors);
    if ((EventMask & EV_RXCHAR) && FOnData)
        FOnData(this, static_cast<std::int32_t>(stat.cbInQue));
    if ((EventMask & EV_RXFLAG) && FOnEvent)
        FOnEvent(this);
    if ((EventMask & EV_CTS) && FOnCts)
        FOnCts(this);
    if ((EventMask & EV_DSR) && FOnDsr)
        FOnDsr(this);
    if ((EventMask & EV_RING) && FOnRing)
        FOnRing(this);
    if ((EventMask & EV_RLSD) && FOnRlsd)
        FOnRlsd(this);
    if ((EventMask & EV_TXEMPTY) && FOnTxEmpty)
        FOnTxEmpty(this);
    if ((EventMask & EV_BREAK) && FOnBreak)
        FOnBreak(this);

    NotifyClients(EventMask);
}

void TVaCustomComm::DropLinesIdlingLow() {
    // The device raises both lines as it opens. A line that the settings
    // written next leave low (no handshake drives it) is dropped first, in
    // one call: a Normal PTT is then keyed for that call's time, not for the
    // whole set-up's (under Wine 0.3-0.5 ms, and more on a busy machine). A
    // failure here shows in the set-up that follows.
    // The line written last (the one the program keys) goes first: under
    // Wine a call takes 0.1-0.3 ms.
    const std::uint32_t flow = FlowBits[FFlowControl];
    const bool dropDtr = !FDtrHigh && !FDTREnable && (flow & DCB_fDtrControlMask) == 0;
    const bool dropRts = !FRtsHigh && !FRTSEnable && (flow & DCB_fRtsControlMask) == 0;
    if (dropRts && FRtsWrittenLast)
        FPlatform.EscapeCommFunction(FHandle, CLRRTS);
    if (dropDtr)
        FPlatform.EscapeCommFunction(FHandle, CLRDTR);
    if (dropRts && !FRtsWrittenLast)
        FPlatform.EscapeCommFunction(FHandle, CLRRTS);
}

void TVaCustomComm::EscapeComm(std::uint32_t function) {
    TVaLockGuard guard(*FLock);
    if (!Active())
        return;
    if (const int error = FPlatform.EscapeCommFunction(FHandle, function); error != 0)
        RaiseCommError("Error calling comm function (%d), %s", error);
}

void TVaCustomComm::ApplyHangUpOnClose() {
    TVaLockGuard guard(*FLock);
    if (!Active())
        return;
    if (const int error = FPlatform.SetHangUpOnClose(FHandle, FHangUpOnClose); error != 0)
        RaiseCommError("Error setting hang-up on close (%d), %s", error);
}

void TVaCustomComm::SetHangUpOnClose(bool value) {
    if (value == FHangUpOnClose)
        return;
    FHangUpOnClose = value;
    ApplyHangUpOnClose();
}

void TVaCustomComm::SetRTS(bool value) {
    FRtsHigh = value;
    FRtsWrittenLast = true;
    EscapeComm(value ? SETRTS : CLRRTS);
}

void TVaCustomComm::SetDTR(bool value) {
    FDtrHigh = value;
    FRtsWrittenLast = false;
    EscapeComm(value ? SETDTR : CLRDTR);
}

// --- Property setters: an equal value does nothing at all ---

void TVaCustomComm::SetPortNum(std::int32_t value) {
    if (value == FPortNum)
        return;
    CheckClosed();
    FPortNum = value;
}

void TVaCustomComm::SetMonitorEvents(TVaCommEvents value) {
    if (value == FMonitorEvents)
        return;
    CheckClosed();
    FMonitorEvents = value;
}

void TVaCustomComm::SetReadBufSize(std::int32_t value) {
    if (value == FReadBufSize)
        return;
    CheckClosed();
    FReadBufSize = value;
}

void TVaCustomComm::SetWriteBufSize(std::int32_t value) {
    if (value == FWriteBufSize)
        return;
    CheckClosed();
    FWriteBufSize = value;
}

void TVaCustomComm::SetPriority(TThreadPriority value) {
    if (value == FPriority)
        return;
    CheckClosed();
    FPriority = value;
}

void TVaCustomComm::SetBaudrate(TVaBaudrate value) {
    StoreAndUpdateDCB(FBaudrate, value);
}
void TVaCustomComm::SetParity(TVaParity value) {
    StoreAndUpdateDCB(FParity, value);
}
void TVaCustomComm::SetDatabits(TVaDatabits value) {
    StoreAndUpdateDCB(FDatabits, value);
}
void TVaCustomComm::SetStopbits(TVaStopbits value) {
    StoreAndUpdateDCB(FStopbits, value);
}
void TVaCustomComm::SetFlowControl(TVaFlowControl value) {
    StoreAndUpdateDCB(FFlowControl, value);
}
void TVaCustomComm::SetOptions(TVaCommOptions value) {
    StoreAndUpdateDCB(FOptions, value);
}
void TVaCustomComm::SetXonLim(std::int32_t value) {
    StoreAndUpdateDCB(FXonLim, value);
}
void TVaCustomComm::SetXoffLim(std::int32_t value) {
    StoreAndUpdateDCB(FXoffLim, value);
}
void TVaCustomComm::SetDTREnable(bool value) {
    StoreAndUpdateDCB(FDTREnable, value);
}
void TVaCustomComm::SetRTSEnable(bool value) {
    StoreAndUpdateDCB(FRTSEnable, value);
}

}  // namespace ziv
