#include <string_view>

#include "layout/files_window_layout.h"
#include "ui_win32/files/browser_rules.h"
#include "ui_win32/files/files_controls.h"

#include <commctrl.h>

namespace ziv::files_win32 {

namespace {

constexpr wchar_t kPanelClass[] = L"ZivSoundFilesPanel";

LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORLISTBOX:
            return SendMessageW(GetParent(panel), message, w, l);
        default:
            return DefWindowProcW(panel, message, w, l);
    }
}

LRESULT CALLBACK ListClickProc(HWND list, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR) {
    const LRESULT result = DefSubclassProc(list, message, w, l);
    if (message == WM_LBUTTONUP)
        SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), kListClicked),
                     reinterpret_cast<LPARAM>(list));
    return result;
}

}  // namespace

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

HFONT CreateWindowFont(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW font{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        font = metrics.lfMessageFont;
    } else {
        font.lfHeight = -ScaleForDpi(11, dpi);
        wcscpy(font.lfFaceName, L"MS Shell Dlg 2");
    }
    return CreateFontIndirectW(&font);
}

TControlClass ControlClassOf(const TControlLayout& row) {
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    switch (row.kind) {
        case TControlKind::Label:
            // Directory names may hold "&".
            return {L"STATIC", child | SS_LEFT | SS_NOPREFIX, 0};
        case TControlKind::Edit:
            return {L"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case TControlKind::ListBox:
            return {L"LISTBOX",
                    child | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                        LBS_HASSTRINGS,
                    WS_EX_CLIENTEDGE};
        case TControlKind::ComboBox:
            return {L"COMBOBOX", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
        case TControlKind::Panel:
            return {kPanelClass, child, WS_EX_CONTROLPARENT};
        case TControlKind::PushButton:
        default:
            return {L"BUTTON", child | WS_TABSTOP | BS_PUSHBUTTON, 0};
    }
}

void RegisterFilesPanelClass(HINSTANCE instance) {
    WNDCLASSEXW panelClass{};
    panelClass.cbSize = sizeof panelClass;
    panelClass.lpfnWndProc = PanelProc;
    panelClass.hInstance = instance;
    panelClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    panelClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    panelClass.lpszClassName = kPanelClass;
    RegisterClassExW(&panelClass);  // fails harmlessly for a second window
}

HWND CreateLayoutControl(const TControlLayout& row, HWND parent, int id, int dpi, HFONT font) {
    const TControlClass cls = ControlClassOf(row);
    const std::wstring text = Utf8ToWide(row.text);
    const int height = ScaleForDpi(row.rect.height, dpi);
    // A drop-down's own height is its closed field's; the rectangle given
    // at creation also holds the list it drops.
    const int createHeight = row.kind == TControlKind::ComboBox ? height * 8 : height;
    HWND control = CreateWindowExW(
        cls.ExStyle, cls.ClassName, text.c_str(), cls.Style, ScaleForDpi(row.rect.left, dpi),
        ScaleForDpi(row.rect.top, dpi), ScaleForDpi(row.rect.width, dpi), createHeight, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (control == nullptr)
        return nullptr;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (row.kind == TControlKind::ComboBox) {
        // The closed field as high as the row: the item height is the
        // field's inside, the frame takes the rest.
        RECT field{};
        GetWindowRect(control, &field);
        const int frame = (field.bottom - field.top) -
                          static_cast<int>(SendMessageW(control, CB_GETITEMHEIGHT, -1, 0));
        if (height - frame > 0)
            SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height - frame);
    }
    return control;
}

void WatchListClicks(HWND listBox) {
    SetWindowSubclass(listBox, ListClickProc, 1, 0);
}

HBRUSH RowEditColours(HWND control, HDC dc, int firstId) {
    const int index = GetDlgCtrlID(control) - firstId;
    if (index < 0 || index >= static_cast<int>(std::size(kFilesWindowLayout)))
        return nullptr;
    const std::string_view name = kFilesWindowLayout[index].name;
    if (!name.starts_with("edFile") && !name.starts_with("edLab"))
        return nullptr;
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    SetBkColor(dc, GetSysColor(COLOR_INFOBK));
    return GetSysColorBrush(COLOR_INFOBK);
}

}  // namespace ziv::files_win32
