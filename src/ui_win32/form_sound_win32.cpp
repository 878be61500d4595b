#include "ui_win32/form_sound_win32.h"

#include "layout/settings_window_layout.h"
#include "ui_win32/boxes_win32.h"
#include "ui_win32/ui_gate_win32.h"
#include "ui_win32/win32_text.h"

#include "base/windows_api.h"
// after windows.h, which it needs
#include <commctrl.h>
#include <windowsx.h>

namespace ziv {

TFormSoundWin32::~TFormSoundWin32() {
    // The models outlive the controls; they must not reach them any more.
    presenter_.UnbindModels();
    OnDestroyed = nullptr;
    if (window_ && IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    for (HICON icon : icons_)
        DestroyIcon(icon);
    for (HFONT f : {font_, boldFont_, scaleFont_})
        if (f)
            DeleteObject(f);
}

void TFormSoundWin32::SetFilesWindow(TWin32FilesLink link) {
    TFilesLink files{nullptr, std::move(link.LabelText), std::move(link.SetLabelText)};
    if (link.ShowModal)
        files.ShowModal = [this, show = std::move(link.ShowModal)] { show(window_); };
    presenter_.SetFilesWindow(std::move(files));
}

void TFormSoundWin32::Guard(const std::function<void()>& handler) {
    Guarded(errors_, handler);
}

void TFormSoundWin32::Show() {
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    if (shown_)
        return;
    shown_ = true;
    Guard([this] { FormShow(); });
}

void TFormSoundWin32::CloseNow() {
    if (closed_)
        return;
    closed_ = true;
    presenter_.StopTimers();
    Guard([this] { FormClose(); });
}

void TFormSoundWin32::Close() {
    CloseNow();
    DestroyWindow(window_);
}

void TFormSoundWin32::PortItemPicked(int index) {
    HWND combo = Control("ComboBox1");
    const auto length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0)
        return;
    std::wstring item(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<size_t>(length));
    // The edit takes the item's text only after this notification; the
    // change must see it now.
    SetWindowTextW(combo, item.c_str());
    Guard([this] { presenter_.PortItemPicked(); });
}

void TFormSoundWin32::PreviewKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)
        return;
    if (msg.hwnd != window_ && !IsChild(window_, msg.hwnd))
        return;
    // While the gate holds, the key waits and comes back here afterwards.
    if (gate_ && gate_->Holding())
        return;
    // The keyer's key codes are the Win32 virtual keys.
    const auto vk = static_cast<std::uint16_t>(msg.wParam & 0xffff);
    TShiftState shift = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        shift |= ssShift;
    if (GetKeyState(VK_MENU) < 0)
        shift |= ssAlt;
    if (GetKeyState(VK_CONTROL) < 0)
        shift |= ssCtrl;
    Guard([this, vk, shift] { keyer_.FormKeyDown(vk, shift); });
}

void TFormSoundWin32::Dispatch(MSG& msg) {
    PreviewKey(msg);
    // Enter belongs to the keyer (Ctrl+Enter sends): the dialog manager
    // would also press the focused push button with it, and a focused
    // BtnTimer would start a repeat loop nobody asked for.
    const bool enter =
        (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP || msg.message == WM_CHAR) &&
        (msg.wParam == VK_RETURN || msg.wParam == L'\n');
    if (!enter && IsDialogMessageW(window_, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

// ---------------------------------------------------------------------------
// The presenter's view

int TFormSoundWin32::WindowLeft() const {
    RECT r{};
    GetWindowRect(window_, &r);
    return r.left;
}

int TFormSoundWin32::WindowTop() const {
    RECT r{};
    GetWindowRect(window_, &r);
    return r.top;
}

void TFormSoundWin32::SetWindowLeft(int value) {
    RECT r{};
    GetWindowRect(window_, &r);
    SetWindowPos(window_, nullptr, value, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFormSoundWin32::SetWindowTop(int value) {
    RECT r{};
    GetWindowRect(window_, &r);
    // A place on no monitor (one unplugged since) goes to the nearest one.
    RECT wanted{r.left, value, r.left + (r.right - r.left), value + (r.bottom - r.top)};
    int left = r.left;
    if (!MonitorFromRect(&wanted, MONITOR_DEFAULTTONULL)) {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        GetMonitorInfoW(MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST), &info);
        left = info.rcWork.left;
        value = info.rcWork.top;
    }
    SetWindowPos(window_, nullptr, left, value, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string TFormSoundWin32::PortBoxText() const {
    HWND combo = Control("ComboBox1");
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(combo)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(combo, text.data(), int(text.size()))));
    return AnsiFromWide(text);
}

void TFormSoundWin32::SetPortBoxText(const std::string& text) {
    SetWindowTextW(Control("ComboBox1"), WideFromAnsi(text).c_str());
}

bool TFormSoundWin32::SettingsGroupShown() const {
    return IsWindowVisible(Control("GroupBox1")) != FALSE;
}

void TFormSoundWin32::SetTitle(const std::string& title) {
    SetWindowTextW(window_, WideFromUtf8(title).c_str());
}

void TFormSoundWin32::ShowMessage(const std::string& caption, const std::string& text) {
    boxes_.ShowMessage(caption, text);
}

void TFormSoundWin32::EnableFilesButton(bool enabled) {
    EnableWindow(Control("BitBtn1"), enabled ? TRUE : FALSE);
}

std::string TFormSoundWin32::FileNameText(const std::string& path) const {
    std::wstring file = WideFromAnsi(path);
    if (const size_t slash = file.find_last_of(L"/\\"); slash != std::wstring::npos)
        file.erase(0, slash + 1);
    return Utf8FromWide(file);
}

// ---------------------------------------------------------------------------
// Messages

std::intptr_t __stdcall TFormSoundWin32::WindowProc(HWND window, unsigned message,
                                                    std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<TFormSoundWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form || !form->window_)
        return DefWindowProcW(window, message, wParam, lParam);
    return form->Handle(message, wParam, lParam);
}

void TFormSoundWin32::ContextMenu(std::intptr_t at) {
    // The settings, narrow or wide; from the keyboard the menu opens at
    // the window's corner.
    POINT point{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (at == -1) {
        point = {0, 0};
        ClientToScreen(window_, &point);
    }
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return;
    constexpr UINT kSettingsItem = 1;
    AppendMenuW(menu, MF_STRING, kSettingsItem, WideFromUtf8(kSettingsWindowCaption).c_str());
    const BOOL picked = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0,
                                       window_, nullptr);
    DestroyMenu(menu);
    if (picked == kSettingsItem)
        Guard([this] { presenter_.BtnSettingsClick(); });
}

std::intptr_t TFormSoundWin32::Handle(unsigned message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    switch (message) {
        case WM_COMMAND:
            if (auto it = commands_.find(reinterpret_cast<HWND>(lParam)); it != commands_.end())
                it->second(HIWORD(wParam));
            return 0;
        case WM_VSCROLL:
            if (reinterpret_cast<HWND>(lParam) == Control("TrackBar1") && !settingTrackBar_) {
                TTrackBar& bar = keyer_.TrackBar1;
                const int pos = int(SendMessageW(Control("TrackBar1"), TBM_GETPOS, 0, 0));
                Guard([&bar, pos] { bar.SetPosition(bar.MaxValue() - pos + bar.MinValue()); });
            }
            return 0;
        case WM_DPICHANGED:
            DpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CONTEXTMENU:
            ContextMenu(lParam);
            return 0;
        case WM_CLOSE:
            CloseRequested();
            return 0;
        case WM_QUERYENDSESSION:
            // Never in the way of a log-off: the work comes with the end.
            return TRUE;
        case WM_ENDSESSION:
            if (wParam)
                EndSession();
            return 0;
        case WM_DESTROY:
            if (OnDestroyed)
                OnDestroyed();
            return 0;
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

}  // namespace ziv
