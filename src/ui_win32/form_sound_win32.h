#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/form_port.h"
#include "core/form_sound_presenter.h"
#include "core/keyer.h"
#include "core/message_slots.h"
#include "ui_win32/win32_handles.h"

namespace ziv {

class TLMDIniCtrl;
class TWin32Boxes;
class TWin32ErrorReport;
class TWin32UiGate;
struct TRecordingStatus;

// The files window as the main window reaches it.
struct TWin32FilesLink {
    std::function<void(HWND owner)> ShowModal;
    std::function<std::string(int n)> LabelText;
    std::function<void(int n, const std::string& text)> SetLabelText;
};

// The main window on the Win32 API, built from the same layout table as
// the Linux window and bound to the keyer's control models the same way: a
// click calls the model's Click() or MouseUp(), the model's OnChange
// updates the control, so the keyer alone decides every state. What the
// window decides is its presenter's; this is the presenter's view. Keys
// reach the keyer before the focused control (PreviewKey, from the message
// loop) and go on unconsumed.
class TFormSoundWin32 : private TFormSoundView {
public:
    static constexpr int ClientHeight = 117;                              // at 96 DPI
    static constexpr int NarrowWidth = TFormSoundPresenter::NarrowWidth;  // outer, 96 DPI
    static constexpr int WideWidth = TFormSoundPresenter::WideWidth;

    // The port is the same component as the keyer's COM; the gate may be
    // null (no play ever blocks then). The window is created hidden.
    TFormSoundWin32(HINSTANCE instance, TKeyer& keyer, TFormPort& port, TLMDIniCtrl& ini,
                    TMessageSlots& messageSlots, TWin32Boxes& boxes, TWin32ErrorReport& errors,
                    TWin32UiGate* gate, std::string title);
    ~TFormSoundWin32();
    TFormSoundWin32(const TFormSoundWin32&) = delete;
    TFormSoundWin32& operator=(const TFormSoundWin32&) = delete;

    HWND Window() const { return window_; }
    // Escape in this window, or a click on its stop button.
    bool IsStopInput(const tagMSG& msg) const;
    // The decisions, and the home of the station settings during the run.
    TFormSoundPresenter& Presenter() { return presenter_; }
    // Until the files window is linked the labels are kept by the presenter.
    void SetFilesWindow(TWin32FilesLink link);
    // Shows the window; the first show loads the settings.
    void Show();
    // Hands a key press of this window to the keyer, before the control.
    void PreviewKey(const tagMSG& msg);
    // The main window's dispatch of one message: the key preview, then the
    // dialog keys (Tab, arrows, Space), then the control.
    void Dispatch(tagMSG& msg);
    // Called once the window is gone (the program ends its loop).
    std::function<void()> OnDestroyed;
    // The orderly close at once: unkey, close the port, save. Later closes
    // do nothing more.
    void CloseNow();
    // The session ends (WM_ENDSESSION): the orderly close before this
    // returns, whatever runs meanwhile; errors go to standard error only.
    void EndSession();

    // --- Handlers ---
    void FormShow() { presenter_.FormShow(); }
    void FormClose() { presenter_.FormClose(); }
    void BtnEW2Click() { presenter_.BtnEW2Click(); }
    void BitBtn1Click() { presenter_.BitBtn1Click(); }
    void ComboBox1Change() { presenter_.ComboBox1Change(); }
    void MakeNarrow() { presenter_.MakeNarrow(); }
    void ShowRecordingStatus(const TRecordingStatus& status) {
        presenter_.ShowRecordingStatus(status);
    }
    void SetOuterWidth(int width) { presenter_.SetOuterWidth(width); }  // at 96 DPI
    int OuterWidth() const { return presenter_.OuterWidth(); }
    int Dpi() const { return dpi_; }
    // A layout row's control, by name (tests); nullptr for none.
    HWND Control(const char* name) const;

private:
    // --- TFormSoundView ---
    std::string PortBoxText() const override;
    void SetPortBoxText(const std::string& text) override;
    bool SettingsGroupShown() const override;
    void ShowSettingsGroup(bool shown) override;
    void ApplyOuterWidth(int width) override;
    int WindowLeft() const override;
    void SetWindowLeft(int value) override;
    int WindowTop() const override;
    void SetWindowTop(int value) override;
    void SetTitle(const std::string& title) override;
    void ShowMessage(const std::string& caption, const std::string& text) override;
    void EnableFilesButton(bool enabled) override;
    std::string FileNameText(const std::string& path) const override;

    static std::intptr_t __stdcall WindowProc(HWND window, unsigned message, std::uintptr_t wParam,
                                              std::intptr_t lParam);
    std::intptr_t Handle(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    int Scale(int value) const;
    void CreateControls();
    void CreateFonts();
    // Places every control at dpi_ from the layout rows, with fonts and
    // glyphs made for that DPI.
    void LayOut();
    // The group box grows, up to `room`, around the controls that grew in it.
    void EncloseGrownControls(int room);
    void DpiChanged(int dpi, const tagRECT& suggested);
    void AddHint(HWND control, const char* hint);
    void SetUpSettingsPanel();
    void BindModels();
    void BindSettingsModels();
    void BindTrackBar();
    void Close();
    void CloseRequested();
    // Stops the message that plays (from the window's thread, during the play).
    void StopMessage();
    bool CloseModals();
    void PortItemPicked(int index);
    void ContextMenu(std::intptr_t at);
    void Guard(const std::function<void()>& handler);

    HINSTANCE instance_;
    TKeyer& keyer_;
    TWin32Boxes& boxes_;
    TWin32ErrorReport& errors_;
    TWin32UiGate* gate_;
    TFormSoundPresenter presenter_;

    HWND window_ = nullptr;
    HWND tooltip_ = nullptr;
    HFONT font_ = nullptr;
    HFONT boldFont_ = nullptr;
    HFONT scaleFont_ = nullptr;
    std::array<HFONT, 3> oldFonts_{};
    std::vector<HICON> icons_;
    std::vector<HWND> controls_;  // by layout row
    std::map<HWND, std::function<void(unsigned code)>> commands_;
    int dpi_ = 96;
    bool shown_ = false;
    bool closed_ = false;
    int modalCloseTries_ = 0;
    bool settingTrackBar_ = false;
    std::function<void()> trackBarMouseUp_;
};

}  // namespace ziv
