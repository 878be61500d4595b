#pragma once

#include <array>
#include <functional>
#include <string>

#include "core/form_port.h"
#include "core/keyer.h"
#include "core/keyer_station_homes.h"
#include "core/message_slots.h"

namespace ziv {

class TLMDIniCtrl;
struct TRecordingStatus;

// The main window as its presenter drives it: what each flavour's widgets
// do. Texts are UTF-8 unless said otherwise.
class TFormSoundView {
public:
    // The port box's text, in the file system's bytes.
    virtual std::string PortBoxText() const = 0;
    virtual void SetPortBoxText(const std::string& text) = 0;
    // The settings group: port, PTT line, polarity and the files button.
    virtual bool SettingsGroupShown() const = 0;
    virtual void ShowSettingsGroup(bool shown) = 0;
    // The window's outer width (at 96 DPI).
    virtual void ApplyOuterWidth(int width) = 0;
    // The frame's corner on the screen.
    virtual int WindowLeft() const = 0;
    virtual void SetWindowLeft(int value) = 0;
    virtual int WindowTop() const = 0;
    virtual void SetWindowTop(int value) = 0;
    virtual void SetTitle(const std::string& title) = 0;
    // A modal box with one OK button.
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
    virtual void EnableFilesButton(bool enabled) = 0;
    // The name of the file at `path` (the file system's bytes) without its
    // folder, as the title shows it.
    virtual std::string FileNameText(const std::string& path) const = 0;

protected:
    ~TFormSoundView() = default;
};

// The message files window as the main window reaches it.
struct TFilesLink {
    std::function<void()> ShowModal;
    std::function<std::string(int n)> LabelText;
    std::function<void(int n, const std::string& text)> SetLabelText;
};

// What the main window decides, free of any toolkit: the first show (load
// the settings, narrow, open the port), the close (unkey, close, save what
// was loaded), widening and narrowing, the port box's changes, the line
// and polarity choices, the title and the labels kept until the files
// window is linked. Each flavour's window creates the controls, binds the
// keyer's models to them and hands their events here.
//
// It is the home of the station settings during the run.
class TFormSoundPresenter : public TKeyerStationHomes {
public:
    static constexpr int NarrowWidth = 165;  // outer widths at 96 DPI
    static constexpr int WideWidth = 290;
    static const char* const PortBusyText;
    // Shown in the title, with the file's name, after a failed send.
    static const char* const SendFailedText;
    static const char* const KeyFailedText;
    static const char* const UnkeyFailedText;
    static const char* const TimeoutText;
    static const char* const LostText;

    // The port is the same component as the keyer's COM. Calls nothing of
    // the view before the first handler.
    TFormSoundPresenter(TFormSoundView& view, TKeyer& keyer, TFormPort& port, TLMDIniCtrl& ini,
                        TMessageSlots& messageSlots, std::string title);
    ~TFormSoundPresenter() override;
    TFormSoundPresenter(const TFormSoundPresenter&) = delete;
    TFormSoundPresenter& operator=(const TFormSoundPresenter&) = delete;

    // The files window is created after the main window; until it is linked
    // the labels are kept here.
    void SetFilesWindow(TFilesLink link);

    // --- Handlers ---
    void FormShow();
    void FormClose();
    // The window's timers go with it: nothing may key or play after close.
    void StopTimers();
    void BtnEW2Click();
    // Narrow, with the settings group hidden (the files window's "close").
    void MakeNarrow();
    void BitBtn1Click();
    // The settings window ("Nustatymai"), from its button and the window's
    // context menu.
    void BtnSettingsClick();
    void SetSettingsWindow(std::function<void()> showModal) { settings_ = std::move(showModal); }
    void ComboBox1Change();
    // Another way of keying was chosen: the port opens (at its idle level)
    // for the line, and is let go otherwise.
    void PttMethodChanged() { ComboBox1Change(); }
    // The operator typed in the port box.
    void PortTextEdited();
    // The operator picked a list item, which is now the box's text.
    void PortItemPicked();
    // A click on a line or polarity button always checks it.
    void RadioClick(TRadioButton& button);
    // The message recorder's state in the title: its slot, time and level
    // while it records, the reason after a recording that was not kept.
    // The latest of this and a failed send is what the title shows.
    void ShowRecordingStatus(const TRecordingStatus& status);

    void SetOuterWidth(int width);
    int OuterWidth() const { return outerWidth_; }  // 0: as laid out
    bool SettingsLoaded() const { return settingsLoaded_; }
    const std::string& Title() const { return title_; }
    // The keyer's models no longer reach the window's controls (the
    // models outlive them).
    void UnbindModels();

    // --- TStationHomes ---
    int Left() const override { return view_.WindowLeft(); }
    void SetLeft(int value) override { view_.SetWindowLeft(value); }
    int Top() const override { return view_.WindowTop(); }
    void SetTop(int value) override { view_.SetWindowTop(value); }
    std::string PortText() const override { return view_.PortBoxText(); }
    void SetPortText(const std::string& value) override;
    std::string LabelText(int n) const override;
    void SetLabelText(int n, const std::string& value) override;
    void SetPlayCaption(int n, const std::string& value) override;

private:
    void SetRadiosEnabled(bool enabled);
    // Opens the port and puts the PTT line into its idle level; any
    // failure shows "Prievadas užimtas".
    void OpenWithIdleLevel();
    void ShowTitleNote(const std::string& note);

    TFormSoundView& view_;
    TKeyer& keyer_;
    TFormPort& port_;
    TLMDIniCtrl& ini_;
    std::string title_;
    TFilesLink files_;
    std::function<void()> settings_;
    std::array<std::string, TMessageSlots::Count> labels_;
    bool settingsLoaded_ = false;
    int outerWidth_ = 0;
    std::string lastPortText_;
};

}  // namespace ziv
