#include <algorithm>
#include <string>
#include <string_view>

#include "layout/files_window_layout.h"
#include "ui_win32/files/files_controls.h"
#include "ui_win32/win32_text.h"

#include <commctrl.h>

namespace ziv::files_win32 {

namespace {

constexpr wchar_t kPanelClass[] = L"ZivSoundFilesPanel";

LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND:
        case WM_DRAWITEM:
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

LRESULT CALLBACK EnterOpensProc(HWND list, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR) {
    const auto* asked = reinterpret_cast<const MSG*>(l);
    switch (message) {
        case WM_GETDLGCODE:
            if (asked != nullptr && asked->message == WM_KEYDOWN && asked->wParam == VK_RETURN)
                return DefSubclassProc(list, message, w, l) | DLGC_WANTMESSAGE;
            break;
        case WM_KEYDOWN:
            if (w != VK_RETURN)
                break;
            SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_DBLCLK),
                         reinterpret_cast<LPARAM>(list));
            return 0;
        case WM_CHAR:
            // Enter's character would look for a row starting with it.
            if (w == L'\r')
                return 0;
            break;
        default:
            break;
    }
    return DefSubclassProc(list, message, w, l);
}

// The row's rectangle at `dpi`. A drop-down's own height is its closed
// field's; the rectangle given to it also holds the list it drops.
RECT PlacedRect(const TControlLayout& row, int dpi) {
    const int left = ScaleForDpi(row.rect.left, dpi);
    const int top = ScaleForDpi(row.rect.top, dpi);
    const int height = ScaleForDpi(row.rect.height, dpi);
    return {left, top, left + ScaleForDpi(row.rect.width, dpi),
            top + (row.kind == TControlKind::ComboBox ? height * 8 : height)};
}

// A closed folder `size` pixels wide: a tab over the left of its body.
void DrawFolder(HDC dc, int left, int top, int size) {
    const int height = size * 3 / 4;
    const int tab = std::max(2, size / 4);
    HBRUSH fill = CreateSolidBrush(RGB(0xf4, 0xcf, 0x5c));
    HPEN edge = CreatePen(PS_SOLID, 1, RGB(0xb0, 0x84, 0x1c));
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    HGDIOBJ oldPen = SelectObject(dc, edge);
    Rectangle(dc, left, top, left + size / 2, top + tab + 1);
    Rectangle(dc, left, top + tab / 2 + 1, left + size, top + height);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(fill);
    DeleteObject(edge);
}

}  // namespace

TControlClass ControlClassOf(const TControlLayout& row) {
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    switch (row.kind) {
        case TControlKind::Label:
            // One line, as wide as its text (FitLabel); directory names may hold "&".
            return {L"STATIC", child | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0};
        case TControlKind::Edit:
            return {L"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case TControlKind::ListBox: {
            DWORD style = child | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                          LBS_HASSTRINGS;
            // Its rows show a folder before the name (DrawFolderRow).
            if (std::string_view(row.name) == "DirectoryListBox1")
                style |= LBS_OWNERDRAWFIXED;
            return {L"LISTBOX", style, WS_EX_CLIENTEDGE};
        }
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
    const RECT r = PlacedRect(row, dpi);
    HWND control = CreateWindowExW(
        cls.ExStyle, cls.ClassName, WideFromUtf8(row.text).c_str(), cls.Style, r.left, r.top,
        r.right - r.left, r.bottom - r.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (control != nullptr)
        PlaceLayoutControl(row, control, dpi, font);
    return control;
}

void PlaceLayoutControl(const TControlLayout& row, HWND control, int dpi, HFONT font) {
    const RECT r = PlacedRect(row, dpi);
    SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (row.kind == TControlKind::Label) {
        const TControlLayout* parent = FindControl(kFilesWindowLayout, row.parent);
        FitLabel(
            control, WideFromUtf8(row.text),
            ScaleForDpi(parent != nullptr ? parent->rect.width : kFilesWindowClientWidth, dpi));
    }
    // An owner-drawn list's rows are as high as its font, with room for the folder.
    if (row.kind == TControlKind::ListBox &&
        (GetWindowLongW(control, GWL_STYLE) & LBS_OWNERDRAWFIXED) != 0)
        SendMessageW(control, LB_SETITEMHEIGHT, 0,
                     TextSize(control, L"Ag").height + ScaleForDpi(2, dpi));
    if (row.kind == TControlKind::ComboBox) {
        // The closed field as high as the row: the item height is the
        // field's inside, the frame takes the rest.
        const int height = ScaleForDpi(row.rect.height, dpi);
        RECT field{};
        GetWindowRect(control, &field);
        const int frame = (field.bottom - field.top) -
                          static_cast<int>(SendMessageW(control, CB_GETITEMHEIGHT, -1, 0));
        if (height - frame > 0)
            SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height - frame);
    }
}

void WatchListClicks(HWND listBox) {
    SetWindowSubclass(listBox, ListClickProc, 1, 0);
}

void OpenOnEnter(HWND listBox) {
    SetWindowSubclass(listBox, EnterOpensProc, 2, 0);
}

void DrawFolderRow(const DRAWITEMSTRUCT& item, int dpi) {
    RECT r = item.rcItem;
    if (item.itemAction == ODA_FOCUS || item.itemID == static_cast<UINT>(-1)) {
        DrawFocusRect(item.hDC, &r);
        return;
    }
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(item.hDC, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int height = r.bottom - r.top;
    const int size = std::min(ScaleForDpi(14, dpi), height * 4 / 3);
    const int left = r.left + ScaleForDpi(2 + 8 * static_cast<int>(item.itemData), dpi);
    DrawFolder(item.hDC, left, r.top + (height - size * 3 / 4) / 2, size);
    const auto length = SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0);
    std::wstring name(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(name.data()));
    name.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    r.left = left + size + ScaleForDpi(4, dpi);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(item.hDC, name.c_str(), static_cast<int>(name.size()), &r,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if ((item.itemState & ODS_FOCUS) != 0)
        DrawFocusRect(item.hDC, &item.rcItem);
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
