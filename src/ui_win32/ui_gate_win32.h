#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "base/blocking_runner.h"
#include "base/held_work.h"
#include "base/timer.h"
#include "base/ui_invoker.h"
#include "ui_win32/win32_handles.h"

namespace ziv {

class TWin32Timer;

// The user-interface thread's gate on Win32, and the glue that needs a
// window of the thread: a hidden message-only window carries the calls
// handed over from other threads (a locked queue and a posted message),
// the keyer's timers (SetTimer: at most one WM_TIMER waits per timer, the
// coalescing TTimer asks for) and the delivery of held work.
//
// The rule is the Linux gate's: a blocking job (a message that plays) runs
// on a worker thread while this thread runs a local message loop that
// keeps painting and answering the system, and holds clicks, keys, closes,
// timer ticks and handed-over calls until the job has ended; then they are
// delivered in the order they came.
class TWin32UiGate : public TUiInvoker, public TTimerFactory, public TBlockingRunner {
public:
    explicit TWin32UiGate(HINSTANCE instance);
    ~TWin32UiGate() override;
    TWin32UiGate(const TWin32UiGate&) = delete;
    TWin32UiGate& operator=(const TWin32UiGate&) = delete;

    void SetErrorReport(TErrorReport* report) {
        report_ = report;
        held_.SetErrorReport(report);
    }
    // How a message is dispatched, by this gate's loops and when held input
    // is delivered: the program adds its key preview and dialog keys.
    // Without one: TranslateMessage and DispatchMessageW.
    void SetDispatcher(std::function<void(tagMSG&)> dispatch) { dispatch_ = std::move(dispatch); }

    bool Busy() const { return held_.Busy(); }
    bool Holding() const { return held_.Holding(); }

    // Called when a close arrives while a job runs, before the close is
    // held (first of all held work): the program stops the message there,
    // so that a close never waits for a whole message to be sent.
    void SetCloseWhileBusy(std::function<void()> stop) { closeWhileBusy_ = std::move(stop); }
    // Called for input that arrives while a job runs, before it is held:
    // `cut` runs when `isCut` says the input asks to cut the message.
    void SetCutWhileBusy(std::function<bool(const tagMSG&)> isCut, std::function<void()> cut) {
        isCut_ = std::move(isCut);
        cut_ = std::move(cut);
    }

    // Runs `job` on a worker thread while this thread paints; rethrows what
    // it threw. Runs it directly when already busy, when called off this
    // thread, or when no thread can be started.
    void RunBlocking(const std::function<void()>& job) override;

    void Hold(std::function<void()> work) { held_.Hold(std::move(work)); }
    void HoldFirst(std::function<void()> work) { held_.HoldFirst(std::move(work)); }
    void RunOrHold(std::function<void()> work) { held_.RunOrHold(std::move(work)); }
    // From any thread: runs work on this thread in its turn.
    void Post(std::function<void()> work);

    // --- TUiInvoker, TTimerFactory ---
    void InvokeAsync(std::function<void()> call) override { Post(std::move(call)); }
    std::unique_ptr<TTimer> CreateTimer() override;

    // Dispatches one message through the dispatcher.
    void Dispatch(tagMSG& msg);
    // The program's message loop: until WM_QUIT, whose code it returns.
    int RunLoop();
    // Dispatches every message waiting now (tests, and the end of a session).
    void PumpPending();

    // Input and closes: what a running job holds back.
    static bool IsHeldMessage(const tagMSG& msg);

    HWND Window() const { return window_; }

private:
    friend class TWin32Timer;
    static std::intptr_t __stdcall WindowProc(HWND window, unsigned message, std::uintptr_t wParam,
                                              std::intptr_t lParam);
    void OnPosted();
    void OnTimer(std::uintptr_t id);
    void LocalLoop(void* done);

    HWND window_ = nullptr;
    THeldWork held_;
    TErrorReport* report_ = nullptr;
    std::function<void(tagMSG&)> dispatch_;
    std::function<void()> closeWhileBusy_;
    std::function<bool(const tagMSG&)> isCut_;
    std::function<void()> cut_;
    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
    std::map<std::uintptr_t, TWin32Timer*> timers_;
    std::uintptr_t nextTimerId_ = 1;
    unsigned long threadId_ = 0;
};

}  // namespace ziv
