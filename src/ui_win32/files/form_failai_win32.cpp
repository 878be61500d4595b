#include "ui_win32/files/form_failai_win32.h"

#include <cstring>
#include <string_view>

#include "base/diagnostics.h"
#include "layout/files_window_layout.h"
#include "settings/ansi_path_win32.h"
#include "ui_win32/files/files_controls.h"
#include "ui_win32/win32_text.h"

#include "base/windows_api.h"

namespace ziv {

using namespace files_win32;

namespace {

constexpr wchar_t kWindowClass[] = L"ZivSoundFilesWindow";
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// Stays on top of the main window, as the keyer's windows do.
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;

static_assert(std::size(kFilesWindowLayout) <= 32, "controls_ holds one slot a row");

std::wstring CurrentFolder() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(length, L'\0');
    const DWORD written = GetCurrentDirectoryW(length, dir.data());
    dir.resize(written < length ? written : 0);
    return dir;
}

}  // namespace

TFormFailaiWin32::TFormFailaiWin32(HINSTANCE instance, TMessageSlots& slots, TKeyer& keyer,
                                   std::function<void()> makeMainNarrow)
    : model_(slots, keyer, std::move(makeMainNarrow), fileSystem_, *this, kFilesWindowFilter) {
    CreateWindowAndControls(instance);
    SetFocusOrder();
    StartBrowser();
}

TFormFailaiWin32::~TFormFailaiWin32() {
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (font_ != nullptr)
        DeleteObject(static_cast<HFONT>(font_));
}

void TFormFailaiWin32::CreateWindowAndControls(HINSTANCE instance) {
    RegisterFilesPanelClass(instance);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TFormFailaiWin32::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);  // fails harmlessly for a second window

    const std::wstring caption = WideFromUtf8(kFilesWindowCaption);
    window_ = CreateWindowExW(kWindowExStyle, kWindowClass, caption.c_str(), kWindowStyle,
                              CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
    if (window_ == nullptr)
        throw std::runtime_error("the files window could not be created: " +
                                 SystemMessage(GetLastError()));
    dpi_ = WindowDpi(window_);
    RECT frame{0, 0, ScaleForDpi(kFilesWindowClientWidth, dpi_),
               ScaleForDpi(kFilesWindowClientHeight, dpi_)};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    font_ = CreateWindowFont(dpi_);
    CreateControls();
}

void TFormFailaiWin32::DpiChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    void* const oldFont = font_;
    font_ = CreateWindowFont(dpi_);
    for (std::size_t i = 0; i < std::size(kFilesWindowLayout); ++i)
        PlaceLayoutControl(kFilesWindowLayout[i], controls_[i], dpi_, static_cast<HFONT>(font_));
    DeleteObject(static_cast<HFONT>(oldFont));
    // The directory's caption is shortened to the label's new width and font.
    if (model_.Linked())
        ShowDirectory(model_.Directory());
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TFormFailaiWin32::CreateControls() {
    for (std::size_t i = 0; i < std::size(kFilesWindowLayout); ++i) {
        const TControlLayout& row = kFilesWindowLayout[i];
        HWND parent = *row.parent != '\0' ? Control(row.parent) : window_;
        controls_[i] = CreateLayoutControl(row, parent, FirstControlId + static_cast<int>(i), dpi_,
                                           static_cast<HFONT>(font_));
        if (controls_[i] == nullptr)
            throw std::runtime_error(std::string("the control could not be created: ") + row.name);
    }
    ShowWindow(Control("Edit1"), SW_HIDE);
    for (const char* name : {"edFile1", "edFile2", "edFile3"})
        SendMessageW(Control(name), EM_SETREADONLY, TRUE, 0);
    WatchListClicks(Control("FileListBox1"));
    WatchListClicks(Control("DirectoryListBox1"));
    OpenOnEnter(Control("DirectoryListBox1"));
}

void TFormFailaiWin32::SetFocusOrder() {
    // Tab walks the z-order: "Uždaryti" first, the rows' buttons, the
    // browser, the labels, the file names.
    const char* const order[] = {"BitBtn2", "btnEnter1", "btnEnter2", "btnEnter3",
                                 "Panel4",  "edLab1",    "edLab2",    "edLab3",
                                 "edFile1", "edFile2",   "edFile3",   "Edit1"};
    for (const char* name : order)
        SetWindowPos(Control(name), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (const char* name :
         {"FileListBox1", "DirectoryListBox1", "FilterComboBox1", "DriveComboBox1"})
        SetWindowPos(Control(name), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TFormFailaiWin32::StartBrowser() {
    for (const TFileFilter& filter : model_.Filters())
        SendMessageW(Control("FilterComboBox1"), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(WideFromUtf8(filter.Description).c_str()));
    SendMessageW(Control("FilterComboBox1"), CB_SETCURSEL, 0, 0);
    std::vector<TVolume> drives = LogicalDrives();
    for (const TVolume& drive : drives)
        SendMessageW(Control("DriveComboBox1"), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(WideFromUtf8(drive.Caption).c_str()));
    // Both lists start in the working directory, unlinked.
    model_.Start(PathFromWide(CurrentFolder()), std::move(drives));
}

HWND TFormFailaiWin32::Control(const char* name) const {
    for (std::size_t i = 0; i < std::size(kFilesWindowLayout); ++i)
        if (std::strcmp(kFilesWindowLayout[i].name, name) == 0)
            return controls_[i];
    return nullptr;
}

HWND TFormFailaiWin32::Row(const char* prefix, int n) const {
    return Control((std::string(prefix) + std::to_string(n)).c_str());
}

void TFormFailaiWin32::ShowModal(HWND owner) {
    if (open_)
        return;
    open_ = true;
    SetWindowLongPtrW(window_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    Centre(owner);
    model_.Refresh();
    FormShow();
    const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
    if (owner != nullptr)
        EnableWindow(owner, FALSE);
    ShowWindow(window_, SW_SHOW);
    SetFocus(Control("BitBtn2"));
    MSG message;
    int got = 0;
    while (open_ && (got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (ownerWasEnabled)
        EnableWindow(owner, TRUE);
    ShowWindow(window_, SW_HIDE);
    if (owner != nullptr)
        SetActiveWindow(owner);
    if (got == 0)  // the program is ending: the main loop gets its quit too
        PostQuitMessage(static_cast<int>(message.wParam));
}

void TFormFailaiWin32::Close() {
    open_ = false;
    // Wakes the modal loop when the close came from a sent message.
    PostMessageW(window_, WM_NULL, 0, 0);
}

void TFormFailaiWin32::Centre(HWND owner) {
    RECT area{};
    HMONITOR monitor =
        MonitorFromWindow(owner != nullptr ? owner : window_, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info))
        area = info.rcWork;
    RECT frame{};
    GetWindowRect(window_, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window_, nullptr, (area.left + area.right - width) / 2,
                 (area.top + area.bottom - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK TFormFailaiWin32::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<TFormFailaiWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr || form->window_ == nullptr)
        return DefWindowProcW(window, message, w, l);
    try {
        return form->Handle(message, w, l);
    } catch (...) {
        ReportCurrentException(nullptr);
        return 0;
    }
}

LRESULT TFormFailaiWin32::Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND:
            if (Command(LOWORD(w), HIWORD(w)))
                return 0;
            break;
        case WM_DRAWITEM:
            DrawFolderRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(l), dpi_);
            return TRUE;
        case WM_DPICHANGED:
            DpiChanged(HIWORD(w), *reinterpret_cast<const RECT*>(l));
            return 0;
        case WM_CLOSE:
            // The close box copies nothing and leaves the main window as it is.
            Close();
            return 0;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            if (const HBRUSH brush = RowEditColours(reinterpret_cast<HWND>(l),
                                                    reinterpret_cast<HDC>(w), FirstControlId))
                return reinterpret_cast<LRESULT>(brush);
            break;
        default:
            break;
    }
    return DefWindowProcW(window_, message, w, l);
}

bool TFormFailaiWin32::Command(int id, int code) {
    // Escape, through IsDialogMessage, is "&Uždaryti": the labels go to
    // the main window.
    if (id == IDCANCEL) {
        BitBtn2Click();
        return true;
    }
    const int index = id - FirstControlId;
    if (index < 0 || index >= static_cast<int>(std::size(kFilesWindowLayout)))
        return false;
    const std::string_view name = kFilesWindowLayout[index].name;
    // The list's or the drop-down's chosen row, -1 for none.
    const auto chosen = [this, index](UINT message) {
        return static_cast<int>(
            SendMessageW(controls_[static_cast<std::size_t>(index)], message, 0, 0));
    };
    if (name == "BitBtn2" && code == BN_CLICKED)
        BitBtn2Click();
    else if (name.starts_with("btnEnter") && code == BN_CLICKED)
        EnterClick(name.back() - '0');
    else if (name.starts_with("edLab") && code == EN_CHANGE)
        LabelChanged(name.back() - '0');
    else if (name == "FileListBox1" && code == LBN_SELCHANGE)
        model_.FileSelected(chosen(LB_GETCURSEL));
    else if ((name == "FileListBox1" || name == "DirectoryListBox1") &&
             (code == kListClicked || code == LBN_SELCHANGE))
        model_.Link();
    else if (name == "DirectoryListBox1" && code == LBN_DBLCLK && chosen(LB_GETCURSEL) >= 0)
        model_.DirectoryRowOpened(static_cast<std::size_t>(chosen(LB_GETCURSEL)));
    else if (name == "FilterComboBox1" && code == CBN_SELCHANGE)
        model_.FilterChosen(chosen(CB_GETCURSEL));
    else if (name == "DriveComboBox1" && code == CBN_SELCHANGE)
        model_.DriveChosen(chosen(CB_GETCURSEL));
    else
        return false;
    return true;
}

}  // namespace ziv
