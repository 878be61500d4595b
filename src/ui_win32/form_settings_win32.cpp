#include "ui_win32/form_settings_win32.h"

#include <cstring>
#include <stdexcept>

#include "layout/settings_window_layout.h"
#include "ui_win32/dpi_win32.h"
#include "ui_win32/win32_text.h"

#include "base/windows_api.h"

namespace ziv {
namespace {

constexpr wchar_t kWindowClass[] = L"ZivSoundSettings";
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;
constexpr int kFirstId = 100;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 2000;

// Class and style of a row: only what this window has.
const wchar_t* ClassOf(const TControlLayout& row, DWORD* style) {
    switch (row.kind) {
        case TControlKind::Label:
            *style = SS_LEFT | SS_NOPREFIX;
            return L"STATIC";
        case TControlKind::ComboBox:
            // Only a listed item can be chosen.
            *style = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
            return L"COMBOBOX";
        case TControlKind::Edit:
            *style = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
            return L"EDIT";
        default:
            *style = BS_PUSHBUTTON | WS_TABSTOP;
            return L"BUTTON";
    }
}

}  // namespace

TFormSettingsWin32::TFormSettingsWin32(HINSTANCE instance, TSoundDevices& devices,
                                       TSoundChoices choices, TStationPtt* ptt, TKeyer* keyer)
    : devices_(devices), presenter_(devices, *this, std::move(choices)) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TFormSettingsWin32::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);  // fails harmlessly for a second window
    const std::wstring caption = WideFromUtf8(kSettingsWindowCaption);
    window_ = CreateWindowExW(kWindowExStyle, kWindowClass, caption.c_str(), kWindowStyle,
                              CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
    if (window_ == nullptr)
        throw std::runtime_error("the settings window could not be created");
    dpi_ = WindowDpi(window_);
    RECT frame{0, 0, ScaleForDpi(kSettingsWindowClientWidth, dpi_),
               ScaleForDpi(kSettingsWindowClientHeight, dpi_)};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    font_ = CreateWindowFont(dpi_);
    CreateControls();
    if (ptt != nullptr && keyer != nullptr)
        ptt_ = std::make_unique<TPttSettingsPresenter>(*this, *ptt, *keyer);
    BindPtt();
}

void TFormSettingsWin32::BindPtt() {
    Fill(Control("cbPtt"), TPttSettingsPresenter::MethodItems, 0);
    Fill(Control("cbStop"), TPttSettingsPresenter::StopItems, 0);
    for (const char* name :
         {"cbPtt", "cbStop", "edRigHost", "edRigPort", "edTimeout", "BtnTestPtt"})
        EnableWindow(Control(name), ptt_ != nullptr);
}

std::string TFormSettingsWin32::Text(const char* name) const {
    const HWND control = Control(name);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    std::string utf8 = Utf8FromWide(text);
    const size_t start = utf8.find_first_not_of(" \t");
    return start == std::string::npos
               ? std::string()
               : utf8.substr(start, utf8.find_last_not_of(" \t") - start + 1);
}

void TFormSettingsWin32::EditLeft(const std::string& name) {
    const HWND edit = Control(name.c_str());
    if (!ptt_ || !SendMessageW(edit, EM_GETMODIFY, 0, 0))
        return;
    SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
    if (name == "edTimeout")
        ptt_->TimeoutEdited(Text("edTimeout"));
    else
        ptt_->RigEdited(Text("edRigHost"), Text("edRigPort"));
}

void TFormSettingsWin32::Close() {
    for (const char* name : {"edRigHost", "edRigPort", "edTimeout"})
        EditLeft(name);
    open_ = false;
}

void TFormSettingsWin32::ShowPtt(int method, const std::string& host, const std::string& port,
                                 const std::string& timeout, int stop) {
    SendMessageW(Control("cbPtt"), CB_SETCURSEL, static_cast<WPARAM>(method), 0);
    SendMessageW(Control("cbStop"), CB_SETCURSEL, static_cast<WPARAM>(stop), 0);
    for (auto [name, text] : {std::pair{"edRigHost", &host}, std::pair{"edRigPort", &port},
                              std::pair{"edTimeout", &timeout}}) {
        SetWindowTextW(Control(name), WideFromUtf8(*text).c_str());
        SendMessageW(Control(name), EM_SETMODIFY, FALSE, 0);
    }
}

void TFormSettingsWin32::ShowPttNote(const std::string& text) {
    SetWindowTextW(Control("lbPttNote"), WideFromUtf8(text).c_str());
}

TFormSettingsWin32::~TFormSettingsWin32() {
    if (window_ != nullptr && IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (font_ != nullptr)
        DeleteObject(font_);
}

void TFormSettingsWin32::CreateControls() {
    for (std::size_t i = 0; i < std::size(kSettingsWindowLayout); ++i) {
        const TControlLayout& row = kSettingsWindowLayout[i];
        DWORD style = 0;
        const wchar_t* className = ClassOf(row, &style);
        const int height = ScaleForDpi(row.rect.height, dpi_);
        // A drop-down's rectangle also holds the list it drops.
        controls_[i] = CreateWindowExW(
            0, className, WideFromUtf8(row.text).c_str(), WS_CHILD | WS_VISIBLE | style,
            ScaleForDpi(row.rect.left, dpi_), ScaleForDpi(row.rect.top, dpi_),
            ScaleForDpi(row.rect.width, dpi_),
            row.kind == TControlKind::ComboBox ? height * 8 : height, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + static_cast<int>(i))), nullptr,
            nullptr);
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        if (row.kind == TControlKind::Label)
            FitLabel(controls_[i], WideFromUtf8(row.text), kSettingsWindowClientWidth);
    }
}

HWND TFormSettingsWin32::Control(const char* name) const {
    for (std::size_t i = 0; i < std::size(kSettingsWindowLayout); ++i)
        if (std::strcmp(kSettingsWindowLayout[i].name, name) == 0)
            return controls_[i];
    return nullptr;
}

void TFormSettingsWin32::ShowModal(HWND owner) {
    if (open_)
        return;
    open_ = true;
    SetWindowLongPtrW(window_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    presenter_.Refresh();
    if (ptt_)
        ptt_->Show();
    const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
    if (owner != nullptr)
        EnableWindow(owner, FALSE);
    ShowWindow(window_, SW_SHOW);
    SetFocus(Control("cbOutput"));
    SetTimer(window_, kRefreshTimer, kRefreshMs, nullptr);
    MSG message;
    while (open_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    KillTimer(window_, kRefreshTimer);
    if (ownerWasEnabled)
        EnableWindow(owner, TRUE);
    ShowWindow(window_, SW_HIDE);
    if (owner != nullptr)
        SetForegroundWindow(owner);
    if (message.message == WM_QUIT)
        PostQuitMessage(static_cast<int>(message.wParam));
}

void TFormSettingsWin32::ShowOutputs(const std::vector<std::string>& texts, int chosen) {
    Fill(Control("cbOutput"), texts, chosen);
}

void TFormSettingsWin32::ShowInputs(const std::vector<std::string>& texts, int chosen) {
    Fill(Control("cbInput"), texts, chosen);
}

void TFormSettingsWin32::Fill(HWND box, const std::vector<std::string>& texts, int chosen) {
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::string& text : texts)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(text).c_str()));
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
}

void TFormSettingsWin32::OnCommand(int row, unsigned code) {
    const std::string name = kSettingsWindowLayout[row].name;
    const auto picked = [this, row] {
        return static_cast<int>(
            SendMessageW(controls_[static_cast<size_t>(row)], CB_GETCURSEL, 0, 0));
    };
    if (name == "cbOutput" && code == CBN_SELCHANGE)
        presenter_.OutputPicked(picked());
    else if (name == "cbInput" && code == CBN_SELCHANGE)
        presenter_.InputPicked(picked());
    else if (name == "BtnListen" && code == BN_CLICKED)
        presenter_.ListenClick();
    else if (name == "BtnClose" && code == BN_CLICKED)
        Close();
    else if (!ptt_)
        return;
    else if (name == "cbPtt" && code == CBN_SELCHANGE)
        ptt_->MethodPicked(picked());
    else if (name == "cbStop" && code == CBN_SELCHANGE)
        ptt_->StopPicked(picked());
    else if (name.rfind("ed", 0) == 0 && code == EN_KILLFOCUS)
        EditLeft(name);
    else if (name == "BtnTestPtt" && code == BN_CLICKED)
        ptt_->TestClick();
}

std::intptr_t __stdcall TFormSettingsWin32::WindowProc(HWND window, unsigned message,
                                                       std::uintptr_t wParam,
                                                       std::intptr_t lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<TFormSettingsWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr || form->window_ == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    return form->Handle(message, wParam, lParam);
}

std::intptr_t TFormSettingsWin32::Handle(unsigned message, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
    switch (message) {
        case WM_COMMAND: {
            // Escape, through the dialog keys.
            if (LOWORD(wParam) == IDCANCEL)
                Close();
            const int row = LOWORD(wParam) - kFirstId;
            if (row >= 0 && row < static_cast<int>(std::size(kSettingsWindowLayout)))
                OnCommand(row, HIWORD(wParam));
            return 0;
        }
        case WM_TIMER:
            // Not while the operator looks down a list: it would close.
            if (!SendMessageW(Control("cbOutput"), CB_GETDROPPEDSTATE, 0, 0) &&
                !SendMessageW(Control("cbInput"), CB_GETDROPPEDSTATE, 0, 0))
                presenter_.Refresh();
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

}  // namespace ziv
