#include "ui/form_sound.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>

#include "core/form_port.h"
#include "core/station_port.h"
#include "settings/ini_ctrl.h"
#include "settings/station_settings.h"
#include "ui/error_report.h"
#include "ui/key_map.h"
#include "ui/ui_gate.h"

namespace ziv {

const char* const TFormSound::PortBusyText = "Prievadas užimtas";
const char* const TFormSound::SendFailedText = "nepavyko groti";

TFormSound::TFormSound(TKeyer& keyer, TFormPort& port, TLMDIniCtrl& ini,
                       TMessageSlots& messageSlots, TMessageBoxes& boxes, TErrorReport& errors,
                       TUiGate* gate, QString title, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      TKeyerStationHomes(keyer, messageSlots),
      keyer_(keyer),
      port_(port),
      ini_(ini),
      slots_(messageSlots),
      boxes_(boxes),
      errors_(errors),
      gate_(gate),
      title_(std::move(title)) {
    setObjectName("FormSound");
    setWindowTitle(title_);
    setFont(WindowFont());
    // The hints are the only place where the keys are named; show them even
    // while another program's window is active.
    setAttribute(Qt::WA_AlwaysShowToolTips, true);
    setFixedSize(LaidOutClientWidth, ClientHeight);

    // Until the settings are loaded, a message's label is its button's
    // caption as laid out.
    for (int n = 1; n <= TMessageSlots::Count; ++n) {
        labels_[size_t(n - 1)] = LaidOutText(("BtnPlay" + std::to_string(n)).c_str());
        keyer_.PlayButton(n).SetCaption(labels_[size_t(n - 1)].toStdString());
    }
    CreateControls();
    BindModels();
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

TFormSound::~TFormSound() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    // The models outlive the widgets; they must not reach them any more.
    for (TControl* c : std::initializer_list<TControl*>{
             &keyer_.BtnPlay1, &keyer_.BtnPlay2, &keyer_.BtnPlay3, &keyer_.BtnStart,
             &keyer_.BtnTimer, &keyer_.BtnStop, &keyer_.TrackBar1, &keyer_.rbRTS, &keyer_.rbDTR,
             &keyer_.rbNorm, &keyer_.rbInv, &keyer_.Panel2})
        c->OnChange = nullptr;
    keyer_.Panel2.OnSetFocus = nullptr;
    keyer_.OnSendResult = nullptr;
}

void TFormSound::SetFilesWindow(TFilesWindowLink link) {
    files_ = std::move(link);
    if (files_.SetLabelText)
        for (int n = 1; n <= TMessageSlots::Count; ++n)
            files_.SetLabelText(n, labels_[size_t(n - 1)]);
}

void TFormSound::Guard(const std::function<void()>& handler) {
    Guarded(errors_, handler);
}

// ---------------------------------------------------------------------------
// Handlers

void TFormSound::FormShow() {
    // A failed load leaves everything as laid out and the port closed; the
    // error goes to the default report.
    LoadStationSettings(ini_, *this);
    settingsLoaded_ = true;

    groupBox1_->hide();
    SetOuterWidth(NarrowWidth);

    const TPortStart start = StartPort(keyer_, port_, comboBox1_->currentText().toStdString());
    SetRadiosEnabled(start != TPortStart::None);
    if (start == TPortStart::Busy)
        boxes_.ShowMessage(title_, QString::fromUtf8(PortBusyText));
}

void TFormSound::FormClose() {
    // A close during a transmission (a signal in the key-up delay) unkeys
    // before the port closes.
    UnkeyAndClose(keyer_, port_);
    // Settings that were never loaded in this run (the window was never
    // shown, or the load failed) must not be replaced by laid-out values.
    if (settingsLoaded_)
        SaveStationSettings(ini_, *this);
}

void TFormSound::BtnEW2Click() {
    if (!groupBox1_->isHidden()) {
        groupBox1_->hide();
        SetOuterWidth(NarrowWidth);
    } else {
        groupBox1_->show();
        SetOuterWidth(WideWidth);
    }
}

void TFormSound::MakeNarrow() {
    groupBox1_->hide();
    SetOuterWidth(NarrowWidth);
}

void TFormSound::BitBtn1Click() {
    if (files_.Dialog)
        files_.Dialog->exec();
}

void TFormSound::ComboBox1Change() {
    port_.Close();
    const QString text = comboBox1_->currentText();
    if (text.isEmpty()) {
        SetRadiosEnabled(false);
        return;
    }
    SetRadiosEnabled(true);
    if (const std::optional<int> n = PickablePortNumber(text.toStdString()))
        port_.SetPortNum(*n);
    OpenWithIdleLevel();
}

void TFormSound::PortTextEdited() {
    lastPortText_ = comboBox1_->currentText();
    Guard([this] { ComboBox1Change(); });
}

void TFormSound::PortItemPicked() {
    // Picking the item that is already the text changes nothing.
    const QString text = comboBox1_->currentText();
    if (text == lastPortText_)
        return;
    lastPortText_ = text;
    Guard([this] { ComboBox1Change(); });
}

void TFormSound::OpenWithIdleLevel() {
    if (!ziv::OpenWithIdleLevel(keyer_, port_))
        boxes_.ShowMessage(title_, QString::fromUtf8(PortBusyText));
}

void TFormSound::SetRadiosEnabled(bool enabled) {
    keyer_.rbRTS.SetEnabled(enabled);
    keyer_.rbDTR.SetEnabled(enabled);
    keyer_.rbNorm.SetEnabled(enabled);
    keyer_.rbInv.SetEnabled(enabled);
}

std::string TFormSound::PortText() const {
    return QFile::encodeName(comboBox1_->currentText()).toStdString();
}

void TFormSound::SetPortText(const std::string& value) {
    // Setting the text from the program is not the operator's change.
    comboBox1_->setEditText(QFile::decodeName(QByteArray::fromStdString(value)));
    lastPortText_ = comboBox1_->currentText();
}

std::string TFormSound::LabelText(int n) const {
    const QString text = files_.LabelText ? files_.LabelText(n) : labels_.at(size_t(n - 1));
    return text.toUtf8().toStdString();
}

void TFormSound::SetLabelText(int n, const std::string& value) {
    labels_.at(size_t(n - 1)) = QString::fromStdString(value);
    if (files_.SetLabelText)
        files_.SetLabelText(n, QString::fromStdString(value));
}

void TFormSound::SetPlayCaption(int n, const std::string& value) {
    keyer_.PlayButton(n).SetCaption(value);
}

// ---------------------------------------------------------------------------
// Events

bool TFormSound::eventFilter(QObject* watched, QEvent* event) {
    // Key preview: the key's first stop in this window is the focused
    // control (or the window itself); the keyer sees it there, before the
    // control, and the key goes on unconsumed. While the gate holds, the
    // key waits and comes back here afterwards.
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this)
        return false;
    QWidget* target = focusWidget() ? focusWidget() : this;
    if (widget != target)
        return false;
    if (gate_ && gate_->Holding())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const std::uint16_t vk = VirtualKeyFromQt(key->key());
    const TShiftState shift = ShiftStateFromQt(key->modifiers());
    if (vk != 0)
        Guard([this, vk, shift] { FormKeyDown(vk, shift); });
    return false;
}

void TFormSound::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    Guard([this] { FormShow(); });
}

void TFormSound::closeEvent(QCloseEvent* event) {
    Guard([this] { FormClose(); });
    // The window's timers go with it: nothing may key or play after close.
    keyer_.Timer1->SetEnabled(false);
    keyer_.Timer2->SetEnabled(false);
    event->accept();
}

}  // namespace ziv
