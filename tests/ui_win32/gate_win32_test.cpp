#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "base/held_work.h"
#include "ui_win32/ui_gate_win32.h"

#include "base/windows_api.h"

namespace ziv::test {
namespace {

// The shared queue alone: what is held, in which order it comes out, and
// that delivered work does not hold what it starts.
TEST(HeldWork, HoldsDuringAJobAndDeliversInOrderOnePerPass) {
    int scheduled = 0;
    THeldWork held([&] { ++scheduled; });
    std::vector<std::string> ran;
    held.RunOrHold([&] { ran.push_back("idle"); });
    EXPECT_EQ(ran, std::vector<std::string>{"idle"});

    held.SetBusy(true);
    held.RunOrHold([&] { ran.push_back("click"); });
    held.RunOrHold([&] { ran.push_back("tick"); });
    held.HoldFirst([&] { ran.push_back("close"); });
    EXPECT_EQ(scheduled, 0) << "nothing is delivered while the job runs";
    held.FlushOne();
    EXPECT_EQ(ran.size(), 1u);

    held.SetBusy(false);
    EXPECT_EQ(scheduled, 1);
    EXPECT_TRUE(held.Holding()) << "new work waits behind the held work";
    held.RunOrHold([&] { ran.push_back("late"); });
    held.FlushOne();
    EXPECT_EQ(ran.back(), "close");
    // Work that a delivered piece starts runs at once, not behind the queue.
    held.Hold([&] { held.RunOrHold([&] { ran.push_back("nested"); }); });
    while (!held.Empty())
        held.FlushOne();
    EXPECT_EQ(ran, (std::vector<std::string>{"idle", "close", "click", "tick", "late", "nested"}));
    EXPECT_FALSE(held.Holding());
}

void PumpFor(TWin32UiGate& gate, int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    while (static_cast<int>(end - GetTickCount()) > 0) {
        gate.PumpPending();
        Sleep(1);
    }
}

TEST(Win32Gate, TimerTicksDoNotPileUpWhileTheThreadIsBusy) {
    TWin32UiGate gate(GetModuleHandleW(nullptr));
    auto timer = gate.CreateTimer();
    int ticks = 0;
    timer->OnTimer = [&] { ++ticks; };
    timer->SetInterval(10);
    timer->SetEnabled(true);
    Sleep(150);  // busy: some fifteen intervals pass
    gate.PumpPending();
    EXPECT_EQ(ticks, 1);
    PumpFor(gate, 100);
    EXPECT_GE(ticks, 3) << "the timer goes on ticking";
    timer->SetEnabled(false);
    const int stopped = ticks;
    PumpFor(gate, 50);
    EXPECT_EQ(ticks, stopped);
}

// A plain window that records the input it gets and its paints.
struct TRecorder {
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<TRecorder*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (self && (m == WM_KEYDOWN || m == WM_LBUTTONDOWN))
            self->events->push_back(m == WM_KEYDOWN ? "key" : "click");
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

// A call from the job's thread comes to this thread.
TEST(Win32Gate, AJobHoldsInputCallsAndTicksButKeepsPaintingThenDeliversInOrder) {
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
    timer->OnTimer = [&] {
        events.push_back("tick");
        timer->SetEnabled(false);
    };
    timer->SetInterval(10);
    timer->SetEnabled(true);
    int paintsDuringJob = 0;
    const DWORD uiThread = GetCurrentThreadId();
    gate.RunBlocking([&] {
        const int before = recorder.paints;
        PostMessageW(window, WM_KEYDOWN, 'A', 0);
        gate.InvokeAsync([&] {
            events.push_back(GetCurrentThreadId() == uiThread ? "call" : "call off the thread");
        });
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        InvalidateRect(window, nullptr, TRUE);
        Sleep(150);
        paintsDuringJob = recorder.paints - before;
    });
    EXPECT_TRUE(events.empty()) << "nothing ran during the job";
    EXPECT_GE(paintsDuringJob, 1) << "the window painted during the job";
    EXPECT_FALSE(gate.Busy());
    PumpFor(gate, 50);
    EXPECT_EQ(events, (std::vector<std::string>{"key", "call", "click", "tick"}))
        << "held in the order they came, one tick for the whole job";
    DestroyWindow(window);
}

TEST(Win32Gate, AJobsErrorComesBackToItsCaller) {
    TWin32UiGate gate(GetModuleHandleW(nullptr));
    EXPECT_THROW(gate.RunBlocking([] { throw std::runtime_error("no sound"); }),
                 std::runtime_error);
    EXPECT_FALSE(gate.Holding());
}

}  // namespace
}  // namespace ziv::test
