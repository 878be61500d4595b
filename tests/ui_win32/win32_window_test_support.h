#pragma once

// What the Win32 window tests share: a message-box double that keeps the
// texts shown, a window's text, and the main window over the fake port and
// sound service.

#include <memory>
#include <string>
#include <vector>

#include "audio/wave_player.h"
#include "core/form_port.h"
#include "core/keyer.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "mock/fake_sound_service.h"
#include "mock/virtual_ui_thread.h"
#include "serial/comm.h"
#include "settings/ini_ctrl.h"
#include "ui_win32/boxes_win32.h"
#include "ui_win32/form_sound_win32.h"
#include "ui_win32/ui_gate_win32.h"

#include "base/windows_api.h"
// after windows.h, which it needs
#include <commctrl.h>

namespace ziv::test {

class TRecordingBoxes : public TWin32Boxes {
public:
    void ShowMessage(const std::string&, const std::string& text) override {
        Shown.push_back(text);
    }
    void ShowError(const std::string&, const std::string& text) override { Shown.push_back(text); }
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

// The main window over the fake port and sound service, never shown; the
// test sets the slots and the settings up, then calls CreateForm.
class TWin32FormRig {
protected:
    TWin32FormRig() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
    }

    void CreateForm() {
        form = std::make_unique<TFormSoundWin32>(GetModuleHandleW(nullptr), keyer, port, ini, slots,
                                                 boxes, errors, &gate, "Zivsound");
        gate.SetDispatcher([this](MSG& msg) { form->Dispatch(msg); });
    }

    // A key pressed in `control` with the modifiers held, as the keyboard
    // state tells them.
    void Press(HWND control, WPARAM vk, bool ctrl = false, bool shift = false) {
        BYTE state[256] = {};
        state[VK_CONTROL] = ctrl ? 0x80 : 0;
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        PostMessageW(control, WM_KEYDOWN, vk, 1);
        gate.PumpPending();
        state[VK_CONTROL] = 0;
        state[VK_SHIFT] = 0;
        SetKeyboardState(state);
    }

    TWin32UiGate gate{GetModuleHandleW(nullptr)};
    TVirtualUiThread thread;
    TFakeCommPlatform platform;
    TRecordingBoxes boxes;
    TWin32ErrorReport errors{boxes, "Zivsound"};
    TVaComm com{platform, gate, errors};
    TCommPort<TVaComm> port{com};
    TFakeSoundService sound{thread};
    TSRWavePlayer player{sound};
    TCountingBeep beep;
    TMessageSlots slots;
    TKeyer keyer{com, player, gate, beep, slots};
    TLMDIniCtrl ini;
    std::unique_ptr<TFormSoundWin32> form;
};

}  // namespace ziv::test
