#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "core/keyer.h"
#include "core/keyer_station_homes.h"
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
class TFormPort;
class TLMDIniCtrl;
class TMessageBoxes;
class TModelRadioButton;
class TTrackBarWidget;
struct TRecordingStatus;
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
// widget, so the keyer alone decides every state. The window sees every
// key before the focused control and hands it to the keyer unconsumed.
//
// It is also the home of the station settings during the run.
class TFormSound : public QWidget, public TKeyerStationHomes {
public:
    static constexpr int LaidOutClientWidth = 285;
    static constexpr int ClientHeight = 117;
    static constexpr int NarrowWidth = 165;  // outer widths
    static constexpr int WideWidth = 290;

    static const char* const PortBusyText;
    // Shown in the title, with the file's name, after a failed send.
    static const char* const SendFailedText;

    // The port is the same component as the keyer's COM. The gate may be
    // null (no play ever blocks then).
    TFormSound(TKeyer& keyer, TFormPort& port, TLMDIniCtrl& ini, TMessageSlots& messageSlots,
               TMessageBoxes& boxes, TErrorReport& errors, TUiGate* gate, QString title,
               QWidget* parent = nullptr);
    ~TFormSound() override;

    // The files window is created after this one; until it is linked the
    // labels are kept here.
    void SetFilesWindow(TFilesWindowLink link);

    // --- Handlers ---
    void FormShow();
    void FormClose();
    void BtnEW2Click();
    void BitBtn1Click();
    void ComboBox1Change();
    void FormKeyDown(std::uint16_t key, TShiftState shift) { keyer_.FormKeyDown(key, shift); }

    // The message recorder's state in the title: its slot, time and level
    // while it records, the reason after a recording that was not kept.
    // The latest of this and a failed send is what the title shows.
    void ShowRecordingStatus(const TRecordingStatus& status);

    // Narrow, with the settings panel hidden (the files window's "close").
    void MakeNarrow();
    // The window's outer width; the client width is this less the frame
    // the window manager draws.
    void SetOuterWidth(int width);
    int OuterWidth() const { return outerWidth_; }
    bool SettingsLoaded() const { return settingsLoaded_; }
    const QString& Title() const { return title_; }

    // --- Controls, for tests ---
    QToolButton* BtnPlay(int n) const { return btnPlay_.at(static_cast<size_t>(n - 1)); }
    QToolButton* BtnStart() const { return btnStart_; }
    QPushButton* BtnTimer() const { return btnTimer_; }
    QPushButton* BtnStop() const { return btnStop_; }
    QToolButton* BtnEW2() const { return btnEW2_; }
    QFrame* Panel2() const { return panel2_; }
    TTrackBarWidget* TrackBar1() const { return trackBar1_; }
    QLabel* Label(int n) const { return scaleLabels_.at(static_cast<size_t>(n - 1)); }
    QPushButton* BitBtn1() const { return bitBtn1_; }
    QGroupBox* GroupBox1() const { return groupBox1_; }
    QLabel* Label4() const { return label4_; }
    QComboBox* ComboBox1() const { return comboBox1_; }
    TModelRadioButton* rbNorm() const { return rbNorm_; }
    TModelRadioButton* rbInv() const { return rbInv_; }
    QFrame* Panel1() const { return panel1_; }
    TModelRadioButton* rbRTS() const { return rbRTS_; }
    TModelRadioButton* rbDTR() const { return rbDTR_; }

    // --- TStationHomes: what lives in this window ---
    int Left() const override { return pos().x(); }
    void SetLeft(int value) override;
    int Top() const override { return pos().y(); }
    void SetTop(int value) override;
    std::string PortText() const override;
    void SetPortText(const std::string& value) override;
    std::string LabelText(int n) const override;
    void SetLabelText(int n, const std::string& value) override;
    void SetPlayCaption(int n, const std::string& value) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    static QFont WindowFont();
    // The text the control named `name` is laid out with.
    static QString LaidOutText(const char* name);
    void CreateControls();
    void FindControls();
    void SetUpSettingsPanel();
    void BindModels();
    void BindSettingsModels();
    void SetRadiosEnabled(bool enabled);
    // Opens the port and puts the PTT line into its idle level; any
    // failure shows "Prievadas užimtas".
    void OpenWithIdleLevel();
    void ApplyWidth();
    // Puts the frame's corner at requestedPos_, or on the primary screen
    // when the window would be on no screen there.
    void PlaceFrame();
    // Where the frame's corner goes for requestedPos_ (which must be set).
    QPoint FrameTarget() const;
    void CorrectFirstPlacement();
    void Guard(const std::function<void()>& handler);
    void PortTextEdited();
    void PortItemPicked();

    TKeyer& keyer_;
    TFormPort& port_;
    TLMDIniCtrl& ini_;
    TMessageSlots& slots_;
    TMessageBoxes& boxes_;
    TErrorReport& errors_;
    TUiGate* gate_;
    QString title_;
    TFilesWindowLink files_;
    std::array<QString, TMessageSlots::Count> labels_;

    bool shown_ = false;
    bool settingsLoaded_ = false;
    int outerWidth_ = 0;  // 0: as laid out
    QString lastPortText_;
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
