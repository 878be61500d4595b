#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "win32_window_test_support.h"

namespace ziv::test {
namespace {

// A plain window that records the input it gets, its close and its paints.
struct TRecorder {
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<TRecorder*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (self && (m == WM_KEYDOWN || m == WM_LBUTTONDOWN || m == WM_CLOSE)) {
            self->events->push_back(m == WM_KEYDOWN ? "key" : m == WM_CLOSE ? "close" : "click");
            return 0;
        }
        if (m == WM_PAINT) {
            PAINTSTRUCT ps;
            BeginPaint(w, &ps);
            EndPaint(w, &ps);
            if (self)
                ++self->paints;
            return 0;
        }
        return DefWindowProcW(w, m, wp, lp);
    }
    std::vector<std::string>* events = nullptr;
    std::atomic<int> paints{0};
};

// A call from the job's thread comes to this thread. Held work comes out in
// the order it came, a close first, one tick for the whole job; work that a
// delivered piece starts runs at once, and new work waits behind the held.
TEST(Win32Gate, AJobHoldsInputCallsAndTicksButKeepsPaintingThenDeliversInOrderOrItsError) {
    TWin32UiGate gate(GetModuleHandleW(nullptr));
    std::vector<std::string> events;
    TRecorder recorder;
    recorder.events = &events;
    WNDCLASSW wc{};
    wc.lpfnWndProc = &TRecorder::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZivGateTestRecorder";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&recorder));
    ShowWindow(window, SW_SHOWNOACTIVATE);
    gate.PumpPending();

    auto timer = gate.CreateTimer();
    timer->OnTimer = [&] { events.push_back("tick"); };
    timer->SetInterval(10);
    timer->SetEnabled(true);
    int paintsDuringJob = 0;
    const DWORD uiThread = GetCurrentThreadId();
    gate.RunBlocking([&] {
        const int before = recorder.paints;
        PostMessageW(window, WM_KEYDOWN, 'A', 0);
        gate.InvokeAsync([&] {
            events.push_back(GetCurrentThreadId() == uiThread ? "call" : "call off the thread");
            gate.RunOrHold([&] { events.push_back("nested"); });
        });
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        PostMessageW(window, WM_CLOSE, 0, 0);
        InvalidateRect(window, nullptr, TRUE);
        Sleep(150);
        paintsDuringJob = recorder.paints - before;
    });
    EXPECT_TRUE(events.empty()) << "nothing ran during the job";
    EXPECT_GE(paintsDuringJob, 1) << "the window painted during the job";
    EXPECT_FALSE(gate.Busy());
    gate.RunOrHold([&] { events.push_back("late"); });
    const DWORD jobEnd = GetTickCount();
    PumpFor(gate, std::chrono::milliseconds(100));
    timer->SetEnabled(false);
    const auto ticks = std::count(events.begin(), events.end(), "tick");
    const DWORD pumped = GetTickCount() - jobEnd;
    const std::size_t stopped = events.size();
    PumpFor(gate, std::chrono::milliseconds(50));
    EXPECT_EQ(events.size(), stopped) << "a stopped timer ticks no more";
    EXPECT_GE(ticks, 2) << "the timer goes on ticking";
    ASSERT_GE(stopped, 7u);
    EXPECT_EQ(
        std::vector<std::string>(events.begin(), events.begin() + 7),
        (std::vector<std::string>{"close", "key", "call", "nested", "click", "tick", "late"}));
    // Some fifteen fell due in the job: they came as one, then one an interval.
    EXPECT_LE(static_cast<DWORD>(ticks), 3 + pumped / 10);
    DestroyWindow(window);

    // A job's error comes back to its caller, the gate open again.
    EXPECT_THROW(gate.RunBlocking([] { throw std::runtime_error("no sound"); }),
                 std::runtime_error);
    EXPECT_FALSE(gate.Holding());
}

}  // namespace
}  // namespace ziv::test
