// How the Win32 program ends: a close, or the end of the session (log-off,
// shutdown), never leaves the transmitter keyed, always saves, and never
// waits for someone to press OK.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/wave_player.h"
#include "core/keyer.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "settings/ini_ctrl.h"
#include "settings/station_settings.h"
#include "ui_win32/boxes_win32.h"
#include "ui_win32/files/form_failai_win32.h"
#include "ui_win32/form_sound_win32.h"
#include "ui_win32/ui_gate_win32.h"

#include "win32_window_test_support.h"

namespace ziv::test {
namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

// A message that plays in real time until the test lets it end, so that
// the end of a session can come in the middle of it.
class TBlockingSound : public TSoundService {
public:
    bool PlaySound(const std::string&, std::uint32_t) override {
        std::unique_lock lock(mutex_);
        playing_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, 5s, [this] { return released_; });
        playing_ = false;
        return true;
    }
    void StopSound() override { ++Stops; }
    bool PrepareSound(const std::string&) override { return true; }

    bool WaitPlaying() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 3s, [this] { return playing_; });
    }
    void Release() {
        const std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    std::atomic<int> Stops{0};

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool playing_ = false;
    bool released_ = false;
};

std::string TempSettingsPath() {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    std::string path = std::string(dir) + "ziv-ending-" + std::to_string(GetCurrentProcessId()) +
                       "-" + std::to_string(GetTickCount()) + ".ini";
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

// The main window over the fake port, its settings in a file of its own,
// the port COM2 open with the PTT line and polarity chosen.
struct TEndingRig {
    TEndingRig(bool dtr, bool inverted) {
        ConfigureStationIni(ini, settingsPath);
        // As the program sets the component: its close leaves the lines as
        // they are (one dropped there would key an Inverted PTT).
        com.SetDTREnable(false);
        com.SetRTSEnable(false);
        form = std::make_unique<TFormSoundWin32>(GetModuleHandleW(nullptr), keyer, port, ini, slots,
                                                 boxes, errors, &gate, "Zivsound");
        gate.SetDispatcher([this](MSG& msg) {
            form->PreviewKey(msg);
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        });
        form->FormShow();  // loads the (missing) settings: no message chosen
        slots.SetPath(1, "msg1.wav");
        (dtr ? keyer.rbDTR : keyer.rbRTS).SetChecked(true);
        (inverted ? keyer.rbInv : keyer.rbNorm).SetChecked(true);
        form->SetPortText("COM2");
        form->ComboBox1Change();
    }
    ~TEndingRig() {
        form.reset();
        DeleteFileA(settingsPath.c_str());
    }

    // Keys the transmitter for message 1 and pumps until the play has
    // ended, while `during` runs on another thread once the play is on.
    void PlayWhile(const std::function<void()>& during) {
        SendMessageW(form->Control("BtnPlay1"), BM_CLICK, 0, 0);
        SendMessageW(form->Control("BtnStart"), BM_CLICK, 0, 0);
        std::atomic<bool> done = false;
        std::thread other([&] {
            if (sound.WaitPlaying())
                during();
            sound.Release();
            done = true;
        });
        const auto end = TClock::now() + 6s;
        while (!done && TClock::now() < end) {
            gate.PumpPending();  // the play runs in here
            Sleep(1);
        }
        other.join();
        Pump(100ms);
    }

    void Pump(std::chrono::milliseconds time) {
        const auto end = TClock::now() + time;
        while (TClock::now() < end) {
            gate.PumpPending();
            Sleep(1);
        }
    }

    std::string SavedSettings() const {
        std::ifstream in(settingsPath, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string settingsPath = TempSettingsPath();
    TWin32UiGate gate{GetModuleHandleW(nullptr)};
    TFakeCommPlatform platform;
    TRecordingBoxes boxes;
    TWin32ErrorReport errors{boxes, "Zivsound"};
    TVaComm com{platform, gate, errors};
    TCommPort<TVaComm> port{com};
    TBlockingSound sound;
    TWin32ResponsiveSound responsive{sound, gate};
    TSRWavePlayer player{responsive};
    TCountingBeep beep;
    TMessageSlots slots;
    TKeyer keyer{com, player, gate, beep, slots};
    TLMDIniCtrl ini;
    std::unique_ptr<TFormSoundWin32> form;
};

struct TPolarity {
    const char* name;
    bool dtr;
    bool inverted;
    const char* key;
    const char* unkey;
};

constexpr TPolarity kPolarities[] = {
    {"RTS normal", false, false, "SETRTS", "CLRRTS"},
    {"DTR inverted", true, true, "CLRDTR", "SETDTR"},
};

// What the line was when the port closed: "keyed", "unkeyed", or "open"
// when it never closed. `calls` is the fake port's log.
std::string LineAtClose(const std::vector<std::string>& calls, const TPolarity& p) {
    bool keyed = false;
    bool wasKeyed = false;
    for (const std::string& call : calls) {
        if (call == p.key)
            keyed = wasKeyed = true;
        else if (call == p.unkey)
            keyed = false;
        else if (call == "CloseHandle")
            return !wasKeyed ? "never keyed" : keyed ? "keyed" : "unkeyed";
    }
    return "open";
}

std::string Joined(const std::vector<std::string>& calls) {
    std::string text;
    for (const std::string& call : calls)
        text += call + " ";
    return text;
}

TEST(Win32Ending, EndOfSessionDuringAPlayUnkeysClosesAndSavesBeforeItReturns) {
    for (const TPolarity& p : kPolarities) {
        SCOPED_TRACE(p.name);
        TEndingRig rig(p.dtr, p.inverted);
        LRESULT query = 0;
        TClock::duration took{};
        std::string lineAtEnd;
        std::string savedAtEnd;
        int stopsAtEnd = 0;
        rig.PlayWhile([&] {
            HWND main = rig.form->Window();
            query = SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
            const auto start = TClock::now();
            SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
            took = TClock::now() - start;
            // The play is still held open: the window's thread waits in the
            // gate and touches nothing, so this is what the system leaves.
            lineAtEnd = LineAtClose(rig.platform.CallNames(), p);
            savedAtEnd = rig.SavedSettings();
            stopsAtEnd = rig.sound.Stops;
        });
        EXPECT_EQ(query, TRUE);
        EXPECT_LT(took, 1s);
        EXPECT_GT(stopsAtEnd, 0) << "the message is stopped";
        EXPECT_EQ(lineAtEnd, "unkeyed");
        EXPECT_NE(savedAtEnd.find("COM2"), std::string::npos) << savedAtEnd;
        EXPECT_TRUE(rig.boxes.Shown.empty());
        // The play's own end finds the port closed, and the window goes.
        EXPECT_EQ(LineAtClose(rig.platform.CallNames(), p), "unkeyed")
            << Joined(rig.platform.CallNames());
        EXPECT_EQ(rig.platform.CallsNamed("CloseHandle").size(), 1u);
        EXPECT_FALSE(IsWindow(rig.form->Window()));
        EXPECT_FALSE(rig.errors.FailedQuietly());
    }
}

TEST(Win32Ending, CloseDuringAPlayStopsItThenClosesInOrder) {
    for (const TPolarity& p : kPolarities) {
        SCOPED_TRACE(p.name);
        TEndingRig rig(p.dtr, p.inverted);
        bool openDuringPlay = false;
        int stopsDuringPlay = 0;
        rig.PlayWhile([&] {
            PostMessageW(rig.form->Window(), WM_CLOSE, 0, 0);
            SendMessageW(rig.form->Window(), WM_CLOSE, 0, 0);
            Sleep(100);
            openDuringPlay =
                IsWindow(rig.form->Window()) && rig.platform.CallsNamed("CloseHandle").empty();
            stopsDuringPlay = rig.sound.Stops;
        });
        EXPECT_GT(stopsDuringPlay, 0) << "a close stops the message";
        EXPECT_TRUE(openDuringPlay) << "the close itself comes after the play returns";
        EXPECT_FALSE(IsWindow(rig.form->Window()));
        EXPECT_EQ(LineAtClose(rig.platform.CallNames(), p), "unkeyed");
        EXPECT_NE(rig.SavedSettings().find("COM2"), std::string::npos);
    }
}

// A modal window is open when the session ends: the files window, or a
// message box such as "Prievadas užimtas". Nobody will press OK.
TEST(Win32Ending, EndOfSessionUnderAModalWindowClosesItWithoutWaitingForOk) {
    enum class Modal { MessageBox, FilesWindow };
    for (const Modal modal : {Modal::MessageBox, Modal::FilesWindow}) {
        SCOPED_TRACE(modal == Modal::MessageBox ? "message box" : "files window");
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
                if (HWND box = FindWindowW(L"#32770", L"Zivsound"))
                    PostMessageW(box, WM_CLOSE, 0, 0);
            }
        });
        if (modal == Modal::MessageBox)
            MessageBoxW(main, L"Prievadas u\u017eimtas", L"Zivsound", MB_OK | MB_TOPMOST);
        else
            SendMessageW(rig.form->Control("BitBtn1"), BM_CLICK, 0, 0);
        modalEnded = true;
        system.join();
        rig.Pump(200ms);
        EXPECT_FALSE(forced) << "the modal window waited for OK";
        EXPECT_LT(took, 1s);
        EXPECT_EQ(LineAtClose(rig.platform.CallNames(), kPolarities[0]), "never keyed");
        EXPECT_EQ(rig.platform.LineCalls().back(), "CLRRTS");
        EXPECT_EQ(rig.platform.CallNames().back(), "CloseHandle");
        EXPECT_NE(rig.SavedSettings().find("COM2"), std::string::npos);
        EXPECT_FALSE(IsWindow(main)) << "the program goes on to its end";
    }
}

}  // namespace
}  // namespace ziv::test
