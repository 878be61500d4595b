// How the Win32 window ends: a close, or the end of the session (log-off,
// shutdown), never leaves the transmitter keyed, always saves, and never
// waits for someone to press OK.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "ui_win32/files/form_failai_win32.h"

#include "win32_window_test_support.h"

namespace ziv::test {
namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

// The main window with its settings loaded (none: no message chosen) and
// COM2 open with the PTT line and polarity chosen.
struct TEndingRig : TWin32FormRig {
    TEndingRig(bool dtr, bool inverted) {
        CreateForm();
        gate.SetDispatcher([this](MSG& msg) {
            form->PreviewKey(msg);
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        });
        form->FormShow();
        slots.SetPath(1, "msg1.wav");
        (dtr ? keyer.rbDTR : keyer.rbRTS).SetChecked(true);
        (inverted ? keyer.rbInv : keyer.rbNorm).SetChecked(true);
        form->Presenter().SetPortText("COM2");
        form->ComboBox1Change();
    }

    // Keys the transmitter for message 1 and pumps until the play, which
    // runs `during` on its own thread, has ended.
    void PlayWhile(const std::function<void()>& during) {
        std::atomic<bool> done = false;
        sound.During = [&] {
            during();
            done = true;
        };
        SendMessageW(form->Control("BtnPlay1"), BM_CLICK, 0, 0);
        SendMessageW(form->Control("BtnStart"), BM_CLICK, 0, 0);
        for (const auto end = TClock::now() + 6s; !done && TClock::now() < end; Sleep(1))
            gate.PumpPending();  // the play runs in here
        sound.During = nullptr;
        PumpFor(gate, 100ms);
    }
    std::string Saved() const { return ReadBytes(settingsPath); }
    // What the line was when the port closed: "keyed", "unkeyed", "never
    // keyed", or "open" when it never closed.
    std::string LineAtClose(bool dtr, bool inverted) const {
        const std::string line = dtr ? "DTR" : "RTS", key = (inverted ? "CLR" : "SET") + line;
        std::string was = "never keyed";
        for (const std::string& call : platform.CallNames()) {
            if (call == key)
                was = "keyed";
            else if (call == (inverted ? "SET" : "CLR") + line && was == "keyed")
                was = "unkeyed";
            else if (call == "CloseHandle")
                return was;
        }
        return "open";
    }
};

constexpr std::pair<bool, bool> kPolarities[] = {{false, false}, {true, true}};  // dtr, inverted

// A message plays when the session ends: before the end returns the
// message stops, the line is unkeyed before the port closes, the settings
// are saved, no box waits for OK, and the window goes. (A close during a
// play is the Wine end-to-end run's.)
TEST(Win32Ending, TheSessionsEndDuringAPlayStopsItUnkeysClosesAndSaves) {
    for (const auto& [dtr, inverted] : kPolarities) {
        SCOPED_TRACE(testing::Message() << "dtr " << dtr);
        TEndingRig rig(dtr, inverted);
        LRESULT query = TRUE;
        TClock::duration took{};
        std::string lineThen;
        bool savedThen = false;
        int stopsThen = 0;
        rig.PlayWhile([&] {
            HWND main = rig.form->Window();
            const auto start = TClock::now();
            query = SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
            SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
            took = TClock::now() - start;
            // The play is still on: the window's thread waits in the gate
            // and touches nothing, so this is what the system leaves.
            lineThen = rig.LineAtClose(dtr, inverted);
            savedThen = rig.Saved().find("COM2") != std::string::npos;
            stopsThen = rig.sound.Stops;
        });
        EXPECT_EQ(query, TRUE);
        EXPECT_LT(took, 1s);
        EXPECT_GT(stopsThen, 0) << "the message is stopped";
        EXPECT_EQ(lineThen, "unkeyed");  // what the first close found: nothing can change it
        EXPECT_TRUE(savedThen);
        EXPECT_EQ(rig.platform.CallsNamed("CloseHandle").size(), 1u);
        EXPECT_TRUE(rig.boxes.Shown.empty());
        EXPECT_FALSE(rig.errors.FailedQuietly());
        EXPECT_FALSE(IsWindow(rig.form->Window()));
    }
}

// A modal window is open when the session ends: the files window, or a
// message box such as "Prievadas užimtas". Nobody will press OK.
TEST(Win32Ending, EndOfSessionUnderAModalWindowClosesItWithoutWaitingForOk) {
    for (const bool box : {true, false}) {
        SCOPED_TRACE(box ? "message box" : "files window");
        TEndingRig rig(false, false);
        TFormFailaiWin32 files(GetModuleHandleW(nullptr), rig.slots, rig.keyer, [] {});
        rig.form->SetFilesWindow(
            {[&files](HWND owner) { files.ShowModal(owner); },
             [&files](int n) { return files.LabelText(n); },
             [&files](int n, const std::string& t) { files.SetLabelText(n, t); }});
        HWND main = rig.form->Window();
        std::atomic<bool> modalEnded = false;
        TClock::duration took{};
        bool forced = false;
        std::thread system([&] {
            for (int i = 0; i < 300 && IsWindowEnabled(main); ++i)
                Sleep(10);
            SendMessageW(main, WM_QUERYENDSESSION, 0, 0);
            const auto start = TClock::now();
            SendMessageW(main, WM_ENDSESSION, TRUE, 0);
            took = TClock::now() - start;
            for (int i = 0; i < 200 && !modalEnded; ++i)
                Sleep(10);
            if (!modalEnded) {  // left open: close it so that the test ends
                forced = true;
                EnableWindow(main, TRUE);
                PostMessageW(files.Window(), WM_CLOSE, 0, 0);
                if (HWND open = FindWindowW(L"#32770", L"Zivsound"))
                    PostMessageW(open, WM_CLOSE, 0, 0);
            }
        });
        if (box)
            MessageBoxW(main, L"Prievadas u\u017eimtas", L"Zivsound", MB_OK | MB_TOPMOST);
        else
            SendMessageW(rig.form->Control("BitBtn1"), BM_CLICK, 0, 0);
        modalEnded = true;
        system.join();
        PumpFor(rig.gate, 200ms);
        EXPECT_FALSE(forced) << "the modal window waited for OK";
        EXPECT_LT(took, 1s);
        EXPECT_EQ(rig.LineAtClose(false, false), "never keyed");
        EXPECT_EQ(rig.platform.LineCalls().back(), "CLRRTS");
        EXPECT_EQ(rig.platform.CallNames().back(), "CloseHandle");
        EXPECT_NE(rig.Saved().find("COM2"), std::string::npos);
        EXPECT_FALSE(IsWindow(main)) << "the program goes on to its end";
    }
}

}  // namespace
}  // namespace ziv::test
