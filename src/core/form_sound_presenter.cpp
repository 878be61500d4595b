#include "core/form_sound_presenter.h"

#include <initializer_list>
#include <optional>

#include "base/diagnostics.h"
#include "core/message_recorder.h"
#include "core/station_port.h"
#include "layout/main_window_layout.h"
#include "settings/ini_ctrl.h"
#include "settings/station_settings.h"

namespace ziv {

const char* const TFormSoundPresenter::PortBusyText = "Prievadas užimtas";
const char* const TFormSoundPresenter::SendFailedText = "nepavyko groti";
const char* const TFormSoundPresenter::KeyFailedText = "siųstuvas neįjungtas";
const char* const TFormSoundPresenter::UnkeyFailedText = "siųstuvas gal liko įjungtas";
const char* const TFormSoundPresenter::TimeoutText = "perdavimas nutrauktas po ";
const char* const TFormSoundPresenter::LostText = "ryšys su radija nutrūko: ";

TFormSoundPresenter::TFormSoundPresenter(TFormSoundView& view, TKeyer& keyer, TFormPort& port,
                                         TLMDIniCtrl& ini, TMessageSlots& messageSlots,
                                         std::string title)
    : TKeyerStationHomes(keyer, messageSlots),
      view_(view),
      keyer_(keyer),
      port_(port),
      ini_(ini),
      title_(std::move(title)) {
    // Until the settings are loaded, a message's label is its button's
    // caption as laid out.
    for (int n = 1; n <= TMessageSlots::Count; ++n) {
        labels_[size_t(n - 1)] =
            FindControl(kMainWindowLayout, ("BtnPlay" + std::to_string(n)).c_str())->text;
        keyer_.PlayButton(n).SetCaption(labels_[size_t(n - 1)]);
    }
    // A send that failed shows in the title until the next one goes out:
    // the operator must see it without a terminal, and a message box would
    // stand in the way in the middle of a contest.
    keyer_.OnSendResult = [this](bool sent) {
        ShowTitleNote(sent ? std::string()
                           : std::string(SendFailedText) + " " +
                                 view_.FileNameText(keyer_.WavePlayer.WaveName()));
    };
    // A radio keyed by CAT that did not confirm a change says why; an
    // unkey it did not confirm may have left it transmitting.
    keyer_.OnPttFailure = [this](bool transmit, const std::string& why) {
        const std::string note =
            std::string(transmit ? KeyFailedText : UnkeyFailedText) + ": " + why;
        WriteDiagnostic(note);
        ShowTitleNote(note);
    };
    keyer_.OnPttLost = [this](const std::string& why) {
        const std::string note = std::string(LostText) + why;
        WriteDiagnostic(note);
        ShowTitleNote(note);
    };
    keyer_.OnTransmitTimeout = [this](int seconds) {
        ShowTitleNote(TimeoutText + std::to_string(seconds) + " s");
    };
}

TFormSoundPresenter::~TFormSoundPresenter() {
    UnbindModels();
}

void TFormSoundPresenter::UnbindModels() {
    for (TControl* c : std::initializer_list<TControl*>{
             &keyer_.BtnPlay1, &keyer_.BtnPlay2, &keyer_.BtnPlay3, &keyer_.BtnStart,
             &keyer_.BtnTimer, &keyer_.BtnStop, &keyer_.TrackBar1, &keyer_.rbRTS, &keyer_.rbDTR,
             &keyer_.rbNorm, &keyer_.rbInv, &keyer_.Panel2})
        c->OnChange = nullptr;
    keyer_.Panel2.OnSetFocus = nullptr;
    keyer_.OnSendResult = nullptr;
    keyer_.OnPttFailure = nullptr;
    keyer_.OnTransmitTimeout = nullptr;
    keyer_.OnPttLost = nullptr;
}

void TFormSoundPresenter::SetFilesWindow(TFilesLink link) {
    files_ = std::move(link);
    if (files_.SetLabelText)
        for (int n = 1; n <= TMessageSlots::Count; ++n)
            files_.SetLabelText(n, labels_[size_t(n - 1)]);
}

void TFormSoundPresenter::FormShow() {
    // A failed load leaves everything as laid out and the port closed; the
    // error goes to the default report.
    LoadStationSettings(ini_, *this);
    settingsLoaded_ = true;
    MakeNarrow();

    // Keyed otherwise, the keyer leaves the port to whoever holds it (the
    // logging program, on the radio's own cable).
    const TPortStart start =
        keyer_.UsesSerialLine() ? StartPort(keyer_, port_, view_.PortBoxText()) : TPortStart::None;
    SetRadiosEnabled(start != TPortStart::None);
    if (start == TPortStart::Busy)
        view_.ShowMessage(title_, PortBusyText);
}

void TFormSoundPresenter::FormClose() {
    // A close during a transmission (a signal in the key-up delay) unkeys
    // before the port closes.
    UnkeyAndClose(keyer_, port_);
    // Settings that were never loaded in this run (the window was never
    // shown, or the load failed) must not be replaced by laid-out values.
    if (settingsLoaded_)
        SaveStationSettings(ini_, *this);
}

void TFormSoundPresenter::StopTimers() {
    keyer_.Timer1->SetEnabled(false);
    keyer_.Timer2->SetEnabled(false);
}

void TFormSoundPresenter::BtnEW2Click() {
    const bool wide = !view_.SettingsGroupShown();
    view_.ShowSettingsGroup(wide);
    SetOuterWidth(wide ? WideWidth : NarrowWidth);
}

void TFormSoundPresenter::MakeNarrow() {
    view_.ShowSettingsGroup(false);
    SetOuterWidth(NarrowWidth);
}

void TFormSoundPresenter::SetOuterWidth(int width) {
    outerWidth_ = width;
    view_.ApplyOuterWidth(width);
}

void TFormSoundPresenter::BitBtn1Click() {
    if (files_.ShowModal)
        files_.ShowModal();
}

void TFormSoundPresenter::BtnSettingsClick() {
    if (settings_)
        settings_();
}

void TFormSoundPresenter::ComboBox1Change() {
    port_.Close();
    const std::string text = view_.PortBoxText();
    if (text.empty() || !keyer_.UsesSerialLine()) {
        SetRadiosEnabled(false);
        return;
    }
    SetRadiosEnabled(true);
    if (const std::optional<int> n = PickablePortNumber(text))
        port_.SetPortNum(*n);
    OpenWithIdleLevel();
}

void TFormSoundPresenter::PortTextEdited() {
    lastPortText_ = view_.PortBoxText();
    ComboBox1Change();
}

void TFormSoundPresenter::PortItemPicked() {
    // Picking the item that is already the text changes nothing.
    const std::string text = view_.PortBoxText();
    if (text == lastPortText_)
        return;
    lastPortText_ = text;
    ComboBox1Change();
}

void TFormSoundPresenter::RadioClick(TRadioButton& button) {
    button.SetChecked(true);
    FollowPolarity(keyer_, port_);
    // The line now chosen, or the line under the new polarity, goes to its
    // idle level at once: it may sit at the keyed one. Not during a key-up
    // delay, which the play ends.
    if (!keyer_.Timer2->Enabled())
        keyer_.TXOff();
}

void TFormSoundPresenter::OpenWithIdleLevel() {
    if (!ziv::OpenWithIdleLevel(keyer_, port_))
        view_.ShowMessage(title_, PortBusyText);
}

void TFormSoundPresenter::SetRadiosEnabled(bool enabled) {
    keyer_.rbRTS.SetEnabled(enabled);
    keyer_.rbDTR.SetEnabled(enabled);
    keyer_.rbNorm.SetEnabled(enabled);
    keyer_.rbInv.SetEnabled(enabled);
}

void TFormSoundPresenter::ShowRecordingStatus(const TRecordingStatus& status) {
    // A recording started after a failed send replaces its note: the
    // operator's latest action is the one the title speaks of.
    ShowTitleNote(RecordingStatusText(status));
    // The files window takes its labels from the play buttons' captions,
    // and one of them shows the recording's time: it stays shut until the
    // caption is the label again.
    view_.EnableFilesButton(!status.Recording);
}

void TFormSoundPresenter::ShowTitleNote(const std::string& note) {
    view_.SetTitle(note.empty() ? title_ : title_ + " \u2014 " + note);
}

void TFormSoundPresenter::SetPortText(const std::string& value) {
    // Setting the text from the program is not the operator's change.
    view_.SetPortBoxText(value);
    lastPortText_ = view_.PortBoxText();
}

std::string TFormSoundPresenter::LabelText(int n) const {
    return files_.LabelText ? files_.LabelText(n) : labels_.at(size_t(n - 1));
}

void TFormSoundPresenter::SetLabelText(int n, const std::string& value) {
    labels_.at(size_t(n - 1)) = value;
    if (files_.SetLabelText)
        files_.SetLabelText(n, value);
}

void TFormSoundPresenter::SetPlayCaption(int n, const std::string& value) {
    keyer_.PlayButton(n).SetCaption(value);
}

}  // namespace ziv
