#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "core/keyer.h"
#include "core/message_slots.h"

// HINSTANCE and HWND without <windows.h>: with STRICT (MinGW's and the
// SDK's default) they are exactly these pointer types, so includers pass
// their HINSTANCE and HWND as they are and keep the windows.h macros out.
struct HINSTANCE__;
struct HWND__;
struct tagRECT;

namespace ziv {

namespace files_win32 {
class TFilesBrowser;
}

// The message files window on the Win32 API, built from kFilesWindowLayout:
// a small file browser above, and one row per message slot below with the
// slot's file name, an "Įvesti" button that assigns the file chosen in the
// browser, and the slot's button label.
//
// The browser's controls start unlinked; the first click in the directory
// list or the file list links all of them for the rest of the run. The
// window is created once (hidden) and only hidden between openings, so
// the browser keeps its directory, selection and links within a run.
class TFormFailaiWin32 {
public:
    // makeMainNarrow sets the main window to its narrow width and hides its
    // settings panel.
    TFormFailaiWin32(HINSTANCE__* instance, TMessageSlots& slots, TKeyer& keyer,
                     std::function<void()> makeMainNarrow);
    ~TFormFailaiWin32();
    TFormFailaiWin32(const TFormFailaiWin32&) = delete;
    TFormFailaiWin32& operator=(const TFormFailaiWin32&) = delete;

    // Shows the window over `owner` (disabled meanwhile) until "&Uždaryti",
    // Escape, Alt+U or the close box.
    void ShowModal(HWND__* owner);
    // The label edits edLab1..edLab3 (n = 1..3), UTF-8: where the labels
    // live between loading and saving the settings.
    std::string LabelText(int n) const;
    void SetLabelText(int n, const std::string& text);

    // --- Handlers ---
    void FormShow();
    void EnterClick(int n);
    void BitBtn2Click();

    // --- For the main window and for tests ---
    HWND__* Window() const { return window_; }
    // The control of the layout row `name`, or nullptr.
    HWND__* Control(const char* name) const;
    files_win32::TFilesBrowser& Browser() { return *browser_; }
    int Dpi() const { return dpi_; }

    static constexpr int FirstControlId = 100;

private:
    static long long __stdcall WindowProc(HWND__* window, unsigned message, unsigned long long w,
                                          long long l);
    long long Handle(unsigned message, unsigned long long w, long long l);
    void CreateWindowAndControls(HINSTANCE__* instance);
    void CreateControls();
    // Lays the rows out again at `dpi` and moves to the suggested place.
    void DpiChanged(int dpi, const tagRECT& suggested);
    void SetFocusOrder();
    void StartBrowser();
    bool Command(int id, int code);
    void LabelChanged(int n);
    void Close();
    void Centre(HWND__* owner);
    HWND__* Row(const char* prefix, int n) const;

    TMessageSlots& slots_;
    TKeyer& keyer_;
    std::function<void()> makeMainNarrow_;
    HWND__* window_ = nullptr;
    void* font_ = nullptr;
    int dpi_ = 96;
    std::array<HWND__*, 32> controls_{};
    std::array<std::wstring, TMessageSlots::Count> validLabels_;
    bool restoringLabel_ = false;
    bool open_ = false;
    std::unique_ptr<files_win32::TFilesBrowser> browser_;
};

}  // namespace ziv
