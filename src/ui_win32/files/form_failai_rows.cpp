#include <optional>

#include "base/path_rules.h"
#include "settings/ansi_path_win32.h"
#include "ui_win32/files/browser_rules.h"
#include "ui_win32/files/files_browser.h"
#include "ui_win32/files/form_failai_win32.h"

#include "base/windows_api.h"

// The rows below the browser: the slots' file names, "Įvesti" and the
// button labels, and closing the window.

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
    return WideToUtf8(TextOf(Row("edLab", n)));
}

void TFormFailaiWin32::SetLabelText(int n, const std::string& text) {
    SetWindowTextW(Row("edLab", n), Utf8ToWide(text).c_str());
}

void TFormFailaiWin32::FormShow() {
    for (int n = 1; n <= TMessageSlots::Count; ++n) {
        // The slot holds an ANSI path; only its name part is shown.
        const std::wstring name = ToWidePath(ziv::FileNamePart(slots_.Path(n)));
        SetWindowTextW(Row("edFile", n), name.c_str());
    }
    for (int n = 1; n <= TMessageSlots::Count; ++n)
        SetLabelText(n, keyer_.PlayButton(n).Caption());
}

void TFormFailaiWin32::EnterClick(int n) {
    // Row 3 hands its label over at once, whether or not a file follows.
    if (n == 3)
        keyer_.BtnPlay3.SetCaption(LabelText(3));

    // The hidden edit holds the selected file's name, the mask when no
    // file is selected (a Windows name never holds "*" or "?"), or nothing
    // while the browser is unlinked.
    const std::wstring name = FileNamePart(TextOf(Control("Edit1")));
    if (name.empty() || name.find_first_of(L"*?") != std::wstring::npos)
        return;
    const std::optional<std::string> ansi = ToAnsiPath(JoinPath(Browser().Directory(), name));
    if (!ansi) {
        // No ANSI spelling and no short name: the sound output could not
        // open it.
        MessageBeep(MB_ICONHAND);
        return;
    }
    const std::string path = WithForwardSlashes(*ansi);
    slots_.SetPath(n, path);
    SetWindowTextW(Row("edFile", n), ToWidePath(ziv::FileNamePart(path)).c_str());
}

void TFormFailaiWin32::BitBtn2Click() {
    for (int n = 1; n <= TMessageSlots::Count; ++n)
        keyer_.PlayButton(n).SetCaption(LabelText(n));
    Close();
    if (makeMainNarrow_)
        makeMainNarrow_();
}

void TFormFailaiWin32::LabelChanged(int n) {
    if (restoringLabel_)
        return;
    HWND edit = Row("edLab", n);
    const std::wstring text = TextOf(edit);
    auto& valid = validLabels_.at(static_cast<std::size_t>(n - 1));
    if (LabelCanHold(text)) {
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
