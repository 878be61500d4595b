#include "ui_win32/ui_gate_win32.h"

#include "base/windows_api.h"

namespace ziv {

namespace {

constexpr UINT kPostedMessage = WM_APP + 1;
constexpr UINT kFlushMessage = WM_APP + 2;
constexpr wchar_t kClassName[] = L"ZivSoundGate";

bool IsMouseButtonMessage(UINT m) {
    return (m >= WM_LBUTTONDOWN && m <= WM_MOUSELAST) ||
           (m >= WM_NCLBUTTONDOWN && m <= WM_NCXBUTTONDBLCLK);
}

}  // namespace

// A keyer timer on the gate's window. Ticks that come while the gate holds
// wait as one held tick; a restart or stop meanwhile cancels it.
class TWin32Timer : public TTimer {
public:
    TWin32Timer(TWin32UiGate& gate, std::uintptr_t id)
        : gate_(gate), id_(id), self_(std::make_shared<TWin32Timer*>(this)) {
        gate_.timers_[id_] = this;
    }
    ~TWin32Timer() override {
        *self_ = nullptr;
        KillTimer(gate_.window_, id_);
        gate_.timers_.erase(id_);
    }

    void Tick() {
        if (!gate_.Holding()) {
            Deliver();
            return;
        }
        if (held_)
            return;  // ticks are not accumulated
        held_ = true;
        std::weak_ptr<TWin32Timer*> self = self_;
        const unsigned generation = generation_;
        gate_.Hold([self, generation] {
            auto timer = self.lock();
            if (!timer || !*timer)
                return;
            TWin32Timer& t = **timer;
            if (t.generation_ != generation || !t.held_)
                return;
            t.held_ = false;
            t.Deliver();
        });
    }

protected:
    void Start() override {
        ++generation_;
        held_ = false;
        SetTimer(gate_.window_, id_, static_cast<UINT>(Interval()), nullptr);
    }
    void Stop() override {
        ++generation_;
        held_ = false;
        KillTimer(gate_.window_, id_);
    }

private:
    void Deliver() {
        try {
            Fire();
        } catch (...) {
            ReportCurrentException(gate_.report_);
        }
    }

    TWin32UiGate& gate_;
    std::uintptr_t id_;
    unsigned generation_ = 0;
    bool held_ = false;
    std::shared_ptr<TWin32Timer*> self_;
};

TWin32UiGate::TWin32UiGate(HINSTANCE instance)
    : held_([this] { PostMessageW(window_, kFlushMessage, 0, 0); }),
      threadId_(GetCurrentThreadId()) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = reinterpret_cast<WNDPROC>(&TWin32UiGate::WindowProc);
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // fails harmlessly when already registered
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                              nullptr);
    if (!window_)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CreateWindowExW");
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TWin32UiGate::~TWin32UiGate() {
    {
        // Calls still queued are dropped; later posts find no window.
        const std::lock_guard lock(mutex_);
        posted_.clear();
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    }
    DestroyWindow(window_);
}

std::intptr_t __stdcall TWin32UiGate::WindowProc(HWND window, unsigned message,
                                                 std::uintptr_t wParam, std::intptr_t lParam) {
    auto* gate = reinterpret_cast<TWin32UiGate*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (gate) {
        switch (message) {
            case kPostedMessage:
                gate->OnPosted();
                return 0;
            case kFlushMessage:
                gate->held_.FlushOne();
                return 0;
            case WM_TIMER:
                gate->OnTimer(wParam);
                return 0;
            default:
                break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void TWin32UiGate::Post(std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    if (GetWindowLongPtrW(window_, GWLP_USERDATA) == 0)
        return;
    posted_.push_back(std::move(work));
    PostMessageW(window_, kPostedMessage, 0, 0);
}

void TWin32UiGate::OnPosted() {
    std::function<void()> work;
    {
        const std::lock_guard lock(mutex_);
        if (posted_.empty())
            return;
        work = std::move(posted_.front());
        posted_.pop_front();
    }
    held_.RunOrHold(std::move(work));
}

void TWin32UiGate::OnTimer(std::uintptr_t id) {
    if (auto it = timers_.find(id); it != timers_.end())
        it->second->Tick();
}

std::unique_ptr<TTimer> TWin32UiGate::CreateTimer() {
    return std::make_unique<TWin32Timer>(*this, nextTimerId_++);
}

bool TWin32UiGate::IsHeldMessage(const MSG& msg) {
    const UINT m = msg.message;
    if (m >= WM_KEYFIRST && m <= WM_KEYLAST)
        return true;
    // Plain pointer moves change nothing but hover looks; they need not wait.
    if (m == WM_MOUSEMOVE)
        return (msg.wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
    return IsMouseButtonMessage(m) || m == WM_MOUSEWHEEL || m == WM_CLOSE || m == WM_CONTEXTMENU;
}

void TWin32UiGate::Dispatch(MSG& msg) {
    if (dispatch_) {
        dispatch_(msg);
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void TWin32UiGate::PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
}

int TWin32UiGate::RunLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        Dispatch(msg);
    return static_cast<int>(msg.wParam);
}

void TWin32UiGate::LocalLoop(void* done) {
    bool quit = false;
    WPARAM quitCode = 0;
    for (;;) {
        const DWORD r =
            MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0)
            break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = msg.wParam;
            } else if (msg.message == WM_CLOSE) {
                // A close ends the message at once and comes first after it.
                if (closeWhileBusy_)
                    closeWhileBusy_();
                held_.HoldFirst([this, msg]() mutable { Dispatch(msg); });
            } else if (IsHeldMessage(msg)) {
                if (isCut_ && cut_ && isCut_(msg))
                    cut_();
                held_.Hold([this, msg]() mutable {
                    // Input for a window that is gone, or that a modal
                    // window now blocks, is dropped as the system would.
                    if (msg.hwnd &&
                        (!IsWindow(msg.hwnd) || !IsWindowEnabled(GetAncestor(msg.hwnd, GA_ROOT))))
                        return;
                    Dispatch(msg);
                });
            } else {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
}

void TWin32UiGate::RunBlocking(const std::function<void()>& job) {
    if (held_.Busy() || GetCurrentThreadId() != threadId_) {
        job();
        return;
    }
    // Without an event to wait on, the job runs here: the window waits.
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    held_.SetBusy(true);
    const auto reopen = [&] {
        if (done)
            CloseHandle(done);
        held_.SetBusy(false);
    };
    try {
        if (done)
            RunOnWorkerThread(
                job, [done] { SetEvent(done); }, [this, done] { LocalLoop(done); });
        else
            job();
    } catch (...) {
        reopen();
        throw;
    }
    reopen();
}

}  // namespace ziv
