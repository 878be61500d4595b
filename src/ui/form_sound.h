#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "core/form_sound_presenter.h"
#include "core/keyer.h"
#include "core/message_slots.h"

class QComboBox;
class QDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace ziv {

class TErrorReport;
class TLMDIniCtrl;
class TMessageBoxes;
class TModelRadioButton;
class TTrackBarWidget;
class TUiGate;

// The message files window as the main window reaches it: the dialog it
// shows modally and the label boxes in which the three labels live.
struct TFilesWindowLink {
    QDialog* Dialog = nullptr;
    std::function<QString(int n)> LabelText;
    std::function<void(int n, const QString& text)> SetLabelText;
};

// The main window: a small always-on-top tool window with the three
// message buttons, send, repeat and stop, and the pause track bar; widened,
// the settings panel (port, PTT line, polarity) and the files button.
//
// Its widgets are bound to the keyer's control models: a click calls the
// model's Click() or MouseUp(), and the model's OnChange updates the
// widget, so the keyer alone decides every state. What the window decides
// is its presenter's; this is the presenter's view. The window sees every
// key before the focused control and hands it to the keyer unconsumed.
class TFormSound : public QWidget, private TFormSoundView {
public:
    static constexpr int LaidOutClientWidth = 285;
    static constexpr int ClientHeight = 117;
    static constexpr int NarrowWidth = TFormSoundPresenter::NarrowWidth;  // outer widths
    static constexpr int WideWidth = TFormSoundPresenter::WideWidth;

    // The port is the same component as the keyer's COM. The gate may be
    // null (no play ever blocks then).
    TFormSound(TKeyer& keyer, TFormPort& port, TLMDIniCtrl& ini, TMessageSlots& messageSlots,
               TMessageBoxes& boxes, TErrorReport& errors, TUiGate* gate, QString title,
               QWidget* parent = nullptr);
    ~TFormSound() override;

    // The decisions, and the home of the station settings during the run.
    TFormSoundPresenter& Presenter() { return presenter_; }
    // The files window is created after this one; until it is linked the
    // labels are kept by the presenter.
    void SetFilesWindow(TFilesWindowLink link);

    // --- Handlers ---
    void FormShow() { presenter_.FormShow(); }
    void FormClose() { presenter_.FormClose(); }
    void BtnEW2Click() { presenter_.BtnEW2Click(); }
    void BitBtn1Click() { presenter_.BitBtn1Click(); }
    void ComboBox1Change() { presenter_.ComboBox1Change(); }
    void FormKeyDown(std::uint16_t key, TShiftState shift) { keyer_.FormKeyDown(key, shift); }
    void ShowRecordingStatus(const TRecordingStatus& status) {
        presenter_.ShowRecordingStatus(status);
    }
    void MakeNarrow() { presenter_.MakeNarrow(); }
    // The window's outer width; the client width is this less the frame
    // the window manager draws.
    void SetOuterWidth(int width) { presenter_.SetOuterWidth(width); }
    int OuterWidth() const { return presenter_.OuterWidth(); }

    // --- Controls, for tests ---
    QToolButton* BtnPlay(int n) const { return btnPlay_.at(static_cast<size_t>(n - 1)); }
    QToolButton* BtnStart() const { return btnStart_; }
    QPushButton* BtnTimer() const { return btnTimer_; }
    QPushButton* BtnStop() const { return btnStop_; }
    // Escape in this window, or a click on its stop button (as the event
    // first reaches the window or the widget).
    bool IsStopInput(QObject* target, QEvent* event) const;
    QToolButton* BtnEW2() const { return btnEW2_; }
    QFrame* Panel2() const { return panel2_; }
    TTrackBarWidget* TrackBar1() const { return trackBar1_; }
    QPushButton* BitBtn1() const { return bitBtn1_; }
    QGroupBox* GroupBox1() const { return groupBox1_; }
    QComboBox* ComboBox1() const { return comboBox1_; }
    TModelRadioButton* rbNorm() const { return rbNorm_; }
    TModelRadioButton* rbInv() const { return rbInv_; }
    TModelRadioButton* rbRTS() const { return rbRTS_; }
    TModelRadioButton* rbDTR() const { return rbDTR_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    // --- TFormSoundView ---
    std::string PortBoxText() const override;
    void SetPortBoxText(const std::string& text) override;
    bool SettingsGroupShown() const override;
    void ShowSettingsGroup(bool shown) override;
    void ApplyOuterWidth(int width) override;
    int WindowLeft() const override { return pos().x(); }
    void SetWindowLeft(int value) override;
    int WindowTop() const override { return pos().y(); }
    void SetWindowTop(int value) override;
    void SetTitle(const std::string& title) override;
    void ShowMessage(const std::string& caption, const std::string& text) override;
    void EnableFilesButton(bool enabled) override;
    std::string FileNameText(const std::string& path) const override;

    static QFont WindowFont();
    // The text the control named `name` is laid out with.
    static QString LaidOutText(const char* name);
    void CreateControls();
    void FindControls();
    void SetUpSettingsPanel();
    void BindModels();
    void BindSettingsModels();
    void ApplyWidth();
    // Puts the frame's corner at requestedPos_, or on the primary screen
    // when the window would be on no screen there.
    void PlaceFrame();
    // Where the frame's corner goes for requestedPos_ (which must be set).
    QPoint FrameTarget() const;
    void CorrectFirstPlacement();
    void Guard(const std::function<void()>& handler);

    TKeyer& keyer_;
    TMessageBoxes& boxes_;
    TErrorReport& errors_;
    TUiGate* gate_;
    TFormSoundPresenter presenter_;

    bool shown_ = false;
    // The frame's corner as asked for, unchecked: the frame the window
    // manager adds may not be known between setting the left and the top
    // edge, and a left edge on no screen may be on one with the top edge.
    std::optional<QPoint> requestedPos_;
    bool placed_ = false;

    std::array<QToolButton*, 3> btnPlay_{};
    QToolButton* btnStart_ = nullptr;
    QPushButton* btnTimer_ = nullptr;
    QPushButton* btnStop_ = nullptr;
    QToolButton* btnEW2_ = nullptr;
    QFrame* panel2_ = nullptr;
    TTrackBarWidget* trackBar1_ = nullptr;
    std::array<QLabel*, 3> scaleLabels_{};
    QPushButton* bitBtn1_ = nullptr;
    QGroupBox* groupBox1_ = nullptr;
    QLabel* label4_ = nullptr;
    QComboBox* comboBox1_ = nullptr;
    TModelRadioButton* rbNorm_ = nullptr;
    TModelRadioButton* rbInv_ = nullptr;
    QFrame* panel1_ = nullptr;
    TModelRadioButton* rbRTS_ = nullptr;
    TModelRadioButton* rbDTR_ = nullptr;
};

// Links a files window that has LabelText(n) and SetLabelText(n, text).
template <typename Files>
TFilesWindowLink MakeFilesWindowLink(Files& files) {
    return {&files, [&files](int n) { return files.LabelText(n); },
            [&files](int n, const QString& text) { files.SetLabelText(n, text); }};
}

}  // namespace ziv
