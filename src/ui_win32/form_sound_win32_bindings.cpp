// The main window's controls bound to the keyer's control models: a
// model's change reaches its control, a click on the control its model.
#include "ui_win32/form_sound_win32.h"
#include "ui_win32/win32_text.h"

#include "base/windows_api.h"
// after windows.h, which it needs
#include <commctrl.h>

namespace ziv {

namespace {

LRESULT CALLBACK TrackBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                              UINT_PTR /*id*/, DWORD_PTR data) {
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    // Every release calls MouseUp, after the position has been updated.
    if (message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP)
        (*reinterpret_cast<std::function<void()>*>(data))();
    return result;
}

}  // namespace

void TFormSoundWin32::BindModels() {
    auto bindToggle = [this](TToggleButton& model, HWND control, bool caption) {
        model.OnChange = [&model, control, caption] {
            SendMessageW(control, BM_SETCHECK, model.Down() ? BST_CHECKED : BST_UNCHECKED, 0);
            EnableWindow(control, model.Enabled());
            ShowWindow(control, model.Visible() ? SW_SHOWNA : SW_HIDE);
            if (caption)
                SetWindowTextW(control, WideFromUtf8(model.Caption()).c_str());
        };
        model.OnChange();
        commands_[control] = [this, &model](unsigned code) {
            if (code == BN_CLICKED)
                Guard([&model] { model.Click(); });
        };
    };
    for (int n = 1; n <= 3; ++n)
        bindToggle(keyer_.PlayButton(n), Control(("BtnPlay" + std::to_string(n)).c_str()), true);
    bindToggle(keyer_.BtnStart, Control("BtnStart"), false);

    auto bindPush = [this](TPushButton& model, HWND control) {
        model.OnChange = [&model, control] {
            EnableWindow(control, model.Enabled());
            ShowWindow(control, model.Visible() ? SW_SHOWNA : SW_HIDE);
        };
        model.OnChange();
        commands_[control] = [this, &model](unsigned code) {
            if (code == BN_CLICKED)
                Guard([&model] { model.Click(); });
        };
    };
    bindPush(keyer_.BtnTimer, Control("BtnTimer"));
    bindPush(keyer_.BtnStop, Control("BtnStop"));
    BindSettingsModels();
    BindTrackBar();
}

void TFormSoundWin32::BindSettingsModels() {
    auto bindRadio = [this](TRadioButton& model, HWND control) {
        model.OnChange = [&model, control] {
            SendMessageW(control, BM_SETCHECK, model.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
            EnableWindow(control, model.Enabled());
        };
        model.OnChange();
        commands_[control] = [this, &model](unsigned code) {
            if (code == BN_CLICKED)
                Guard([this, &model] { presenter_.RadioClick(model); });
        };
    };
    bindRadio(keyer_.rbRTS, Control("rbRTS"));
    bindRadio(keyer_.rbDTR, Control("rbDTR"));
    bindRadio(keyer_.rbNorm, Control("rbNorm"));
    bindRadio(keyer_.rbInv, Control("rbInv"));
    keyer_.Panel2.OnSetFocus = [this] { SetFocus(Control("Panel2")); };
}

void TFormSoundWin32::BindTrackBar() {
    TTrackBar& bar = keyer_.TrackBar1;
    HWND control = Control("TrackBar1");
    // A vertical track bar has its minimum at the top; the pause shows its
    // maximum there, so positions are mirrored.
    SendMessageW(control, TBM_SETRANGE, FALSE, MAKELPARAM(bar.MinValue(), bar.MaxValue()));
    SendMessageW(control, TBM_SETTICFREQ, 5, 0);
    SendMessageW(control, TBM_SETPAGESIZE, 0, 1);
    SendMessageW(control, TBM_SETLINESIZE, 0, 1);
    bar.OnChange = [this, &bar, control] {
        settingTrackBar_ = true;
        SendMessageW(control, TBM_SETPOS, TRUE, bar.MaxValue() - bar.Position() + bar.MinValue());
        settingTrackBar_ = false;
        EnableWindow(control, bar.Enabled());
    };
    bar.OnChange();
    trackBarMouseUp_ = [this, &bar] { Guard([&bar] { bar.MouseUp(); }); };
    SetWindowSubclass(control, &TrackBarProc, 1, reinterpret_cast<DWORD_PTR>(&trackBarMouseUp_));
}

}  // namespace ziv
