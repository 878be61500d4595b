#pragma once

#include <array>
#include <functional>
#include <string>

#include "core/files/files_window_model.h"
#include "core/keyer.h"
#include "core/message_slots.h"
#include "ui_win32/files/folder_reader.h"

// HINSTANCE and HWND without <windows.h>: with STRICT (MinGW's and the
// SDK's default) they are exactly these pointer types, so includers pass
// their HINSTANCE and HWND as they are and keep the windows.h macros out.
struct HINSTANCE__;
struct HWND__;
struct tagRECT;

namespace ziv {

// The message files window on the Win32 API, built from kFilesWindowLayout:
// a small file browser above, and one row per message slot below with the
// slot's file name, an "Įvesti" button that assigns the file chosen in the
// browser, and the slot's button label. What it decides is
// TFilesWindowModel's; the window forwards its controls' notifications
// there and shows what the model tells it. It is created once (hidden) and
// only hidden between openings, so the browser keeps its directory,
// selection and links within a run.
class TFormFailaiWin32 final : private TFilesWindowView {
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
    void FormShow() { model_.FormShow(); }
    void EnterClick(int n) { model_.EnterClick(n); }
    void BitBtn2Click() { model_.BitBtn2Click(); }

    // --- For the main window and for tests ---
    HWND__* Window() const { return window_; }
    // The control of the layout row `name`, or nullptr.
    HWND__* Control(const char* name) const;
    const TFilesWindowModel& Model() const { return model_; }
    int Dpi() const { return dpi_; }
    // The caption the directory label shows for `dir` in its width.
    std::wstring ShortCaption(const std::string& dir) const;

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

    // --- TFilesWindowView ---
    void ShowDirectoryRows(const std::vector<TDirectoryRow>& rows, std::size_t current) override;
    void ShowFiles(const std::vector<std::string>& names, int selected) override;
    void ShowFileEdit(const std::string& text) override;
    void ShowDirectory(const std::string& dir) override;
    void ShowDrive(int index) override;
    void ShowSlotFile(int n, const std::string& name) override;
    void ShowLabel(int n, const std::string& text) override { SetLabelText(n, text); }
    std::string LabelEditText(int n) const override { return LabelText(n); }
    void Hide() override { Close(); }
    void Refuse() override;

    files_win32::TFolderReader fileSystem_;
    TFilesWindowModel model_;
    HWND__* window_ = nullptr;
    void* font_ = nullptr;
    int dpi_ = 96;
    std::array<HWND__*, 32> controls_{};
    std::array<std::wstring, TMessageSlots::Count> validLabels_;
    bool restoringLabel_ = false;
    bool open_ = false;
};

}  // namespace ziv
