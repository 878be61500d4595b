#pragma once

// What the Win32 window tests share: a message-box double, a window's
// text, and the main window over the fake port and a sound of the test's.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "audio/responsive_sound_service.h"
#include "audio/wave_player.h"
#include "core/form_port.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "settings/settings_test_support.h"
#include "settings/station_settings.h"
#include "ui_win32/boxes_win32.h"
#include "ui_win32/form_sound_win32.h"
#include "ui_win32/ui_gate_win32.h"

#include "base/windows_api.h"
// after windows.h, which it needs
#include <commctrl.h>

namespace ziv::test {

// Keeps "caption: text" of each box.
struct TRecordingBoxes : TWin32Boxes {
    void ShowMessage(const std::string& caption, const std::string& text) override {
        Shown.push_back(caption + ": " + text);
    }
    void ShowError(const std::string& caption, const std::string& text) override {
        ShowMessage(caption, text);
    }
    std::vector<std::string> Shown;
};

inline std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// Whether the label shows its whole text on one line, measured in its own
// font.
inline bool WholeOnOneLine(HWND label) {
    const std::wstring text = TextOf(label);
    HDC dc = GetDC(label);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    RECT client{};
    GetClientRect(label, &client);
    return (GetWindowLongW(label, GWL_STYLE) & SS_TYPEMASK) == SS_LEFTNOWORDWRAP &&
           size.cx <= client.right && size.cy <= client.bottom;
}

// Runs what falls due on the gate for `time`.
inline void PumpFor(TWin32UiGate& gate, std::chrono::milliseconds time) {
    for (const auto end = std::chrono::steady_clock::now() + time;
         std::chrono::steady_clock::now() < end; Sleep(1))
        gate.PumpPending();
}

// A message whose play runs `During` (once) on the playing thread, while
// the window's thread waits for the play in the gate.
struct TBlockingSound : TSoundService {
    bool PlaySound(const std::string&, std::uint32_t) override {
        if (auto during = std::exchange(During, nullptr))
            during();
        return true;
    }
    void StopSound() override { ++Stops; }
    std::function<void()> During;
    std::atomic<int> Stops{0};
};

// The main window over the fake port and the sound above, its settings in
// a file of its own; the test sets the slots up, then calls CreateForm.
struct TWin32FormRig {
    TWin32FormRig() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        ConfigureStationIni(ini, settingsPath);
        // As the program sets the component: its close leaves the lines as
        // they are (one dropped there would key an Inverted PTT).
        com.SetDTREnable(false);
        com.SetRTSEnable(false);
    }
    void CreateForm() {
        form = std::make_unique<TFormSoundWin32>(GetModuleHandleW(nullptr), keyer, port, ini, slots,
                                                 boxes, errors, &gate, "Zivsound");
        gate.SetDispatcher([this](MSG& msg) { form->Dispatch(msg); });
    }

    TempDir dir;
    std::string settingsPath = dir / "ZIVSound.ini";
    TWin32UiGate gate{GetModuleHandleW(nullptr)};
    TFakeCommPlatform platform;
    TRecordingBoxes boxes;
    TWin32ErrorReport errors{boxes, "Zivsound"};
    TVaComm com{platform, gate, errors};
    TCommPort<TVaComm> port{com};
    TBlockingSound sound;
    TResponsiveSoundService responsive{sound, gate};
    TSRWavePlayer player{responsive};
    TCountingBeep beep;
    TMessageSlots slots;
    TKeyer keyer{com, player, gate, beep, slots};
    TLMDIniCtrl ini;
    std::unique_ptr<TFormSoundWin32> form;
};

}  // namespace ziv::test
