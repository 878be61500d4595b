#include "ui/form_sound.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>

#include "ui/error_report.h"
#include "ui/key_map.h"
#include "ui/ui_gate.h"

namespace ziv {

TFormSound::TFormSound(TKeyer& keyer, TFormPort& port, TLMDIniCtrl& ini,
                       TMessageSlots& messageSlots, TMessageBoxes& boxes, TErrorReport& errors,
                       TUiGate* gate, QString title, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      keyer_(keyer),
      boxes_(boxes),
      errors_(errors),
      gate_(gate),
      presenter_(*this, keyer, port, ini, messageSlots, title.toStdString()) {
    setObjectName("FormSound");
    setWindowTitle(title);
    setFont(WindowFont());
    // The hints are the only place where the keys are named; show them even
    // while another program's window is active.
    setAttribute(Qt::WA_AlwaysShowToolTips, true);
    setFixedSize(LaidOutClientWidth, ClientHeight);
    CreateControls();
    BindModels();
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

TFormSound::~TFormSound() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    // The models outlive the widgets; they must not reach them any more.
    presenter_.UnbindModels();
}

void TFormSound::SetFilesWindow(TFilesWindowLink link) {
    TFilesLink files;
    if (QDialog* dialog = link.Dialog)
        files.ShowModal = [dialog] { dialog->exec(); };
    if (link.LabelText)
        files.LabelText = [get = link.LabelText](int n) { return get(n).toUtf8().toStdString(); };
    if (link.SetLabelText)
        files.SetLabelText = [set = link.SetLabelText](int n, const std::string& text) {
            set(n, QString::fromStdString(text));
        };
    presenter_.SetFilesWindow(std::move(files));
}

void TFormSound::Guard(const std::function<void()>& handler) {
    Guarded(errors_, handler);
}

// ---------------------------------------------------------------------------
// The presenter's view

std::string TFormSound::PortBoxText() const {
    return QFile::encodeName(comboBox1_->currentText()).toStdString();
}

void TFormSound::SetPortBoxText(const std::string& text) {
    comboBox1_->setEditText(QFile::decodeName(QByteArray::fromStdString(text)));
}

bool TFormSound::SettingsGroupShown() const {
    return !groupBox1_->isHidden();
}

void TFormSound::ShowSettingsGroup(bool shown) {
    groupBox1_->setVisible(shown);
}

void TFormSound::SetTitle(const std::string& title) {
    setWindowTitle(QString::fromStdString(title));
}

void TFormSound::ShowMessage(const std::string& caption, const std::string& text) {
    boxes_.ShowMessage(QString::fromStdString(caption), QString::fromStdString(text));
}

void TFormSound::EnableFilesButton(bool enabled) {
    bitBtn1_->setEnabled(enabled);
}

std::string TFormSound::FileNameText(const std::string& path) const {
    return QFileInfo(QString::fromStdString(path)).fileName().toStdString();
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
    presenter_.StopTimers();
    event->accept();
}

}  // namespace ziv
