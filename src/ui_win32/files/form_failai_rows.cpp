#include <algorithm>

#include "core/files/browser_rules.h"
#include "settings/ansi_path_win32.h"
#include "ui_win32/dpi_win32.h"
#include "ui_win32/files/form_failai_win32.h"
#include "ui_win32/win32_text.h"

#include "base/windows_api.h"

// The model's changes into the controls, and the label edits.

namespace ziv {

using namespace files_win32;

namespace {

std::wstring TextOf(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

}  // namespace

std::string TFormFailaiWin32::LabelText(int n) const {
    return Utf8FromWide(TextOf(Row("edLab", n)));
}

void TFormFailaiWin32::SetLabelText(int n, const std::string& text) {
    SetWindowTextW(Row("edLab", n), WideFromUtf8(text).c_str());
}

std::wstring TFormFailaiWin32::ShortCaption(const std::string& dir) const {
    HWND label = Control("Label1");
    const auto width = [label](const std::string& text) {
        return TextSize(label, WideFromPath(text)).width;
    };
    RECT client{};
    GetClientRect(label, &client);
    return WideFromPath(MinimizeName(dir, width, client.right));
}

void TFormFailaiWin32::ShowDirectoryRows(const std::vector<TDirectoryRow>& rows,
                                         std::size_t current) {
    HWND list = Control("DirectoryListBox1");
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    // Each row's depth, its indentation, is its item data (DrawFolderRow).
    for (const TDirectoryRow& row : rows) {
        const LRESULT at = SendMessageW(list, LB_ADDSTRING, 0,
                                        reinterpret_cast<LPARAM>(WideFromPath(row.Text).c_str()));
        SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(at), row.Depth);
    }
    SendMessageW(list, LB_SETCURSEL, current, 0);
    // The current directory at the top, so that its subdirectories show below it.
    SendMessageW(list, LB_SETTOPINDEX, current, 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void TFormFailaiWin32::ShowFiles(const std::vector<std::string>& names, int selected) {
    HWND list = Control("FileListBox1");
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& name : names)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromPath(name).c_str()));
    if (selected >= 0)
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void TFormFailaiWin32::ShowFileEdit(const std::string& text) {
    SetWindowTextW(Control("Edit1"), WideFromPath(text).c_str());
}

void TFormFailaiWin32::ShowDirectory(const std::string& dir) {
    SetWindowTextW(Control("Label1"), ShortCaption(dir).c_str());
}

void TFormFailaiWin32::ShowDrive(int index) {
    SendMessageW(Control("DriveComboBox1"), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TFormFailaiWin32::ShowSlotFile(int n, const std::string& name) {
    // The slot holds an ANSI path.
    SetWindowTextW(Row("edFile", n), ToWidePath(name).c_str());
}

void TFormFailaiWin32::Refuse() {
    MessageBeep(MB_ICONHAND);
}

void TFormFailaiWin32::LabelChanged(int n) {
    if (restoringLabel_)
        return;
    HWND edit = Row("edLab", n);
    const std::wstring text = TextOf(edit);
    auto& valid = validLabels_.at(static_cast<std::size_t>(n - 1));
    if (std::all_of(text.begin(), text.end(), [](wchar_t ch) { return LabelCanHold(ch); })) {
        valid = text;
        return;
    }
    // Typed or pasted: a character the settings file could not keep is
    // refused, and the edit goes back to its last text.
    DWORD start = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    const auto caret = static_cast<WPARAM>(start > 0 ? start - 1 : 0);
    restoringLabel_ = true;
    SetWindowTextW(edit, valid.c_str());
    restoringLabel_ = false;
    SendMessageW(edit, EM_SETSEL, caret, static_cast<LPARAM>(caret));
    MessageBeep(MB_ICONHAND);
}

}  // namespace ziv
