#include "ui/form_settings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "layout/settings_window_layout.h"
#include "ui/control_builder.h"

namespace ziv {

TFormSettings::TFormSettings(TSoundDevices& devices, TSoundChoices choices, TStationPtt* ptt,
                             TKeyer* keyer, QWidget* parent)
    : QDialog(parent), devices_(devices), presenter_(devices, *this, std::move(choices)) {
    setObjectName("FormSettings");
    BuildControls(this, kSettingsWindowLayout);
    setWindowTitle(QString::fromUtf8(kSettingsWindowCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFixedSize(kSettingsWindowClientWidth, kSettingsWindowClientHeight);
    outputs_ = BuiltControl<QComboBox>(this, "cbOutput");
    inputs_ = BuiltControl<QComboBox>(this, "cbInput");
    // Only what is listed can be chosen.
    for (QComboBox* box : {outputs_, inputs_})
        box->setEditable(false);
    connect(outputs_, &QComboBox::activated, this, [this](int i) { presenter_.OutputPicked(i); });
    connect(inputs_, &QComboBox::activated, this, [this](int i) { presenter_.InputPicked(i); });
    connect(BuiltControl<QPushButton>(this, "BtnListen"), &QPushButton::clicked, this,
            [this] { presenter_.ListenClick(); });
    connect(BuiltControl<QPushButton>(this, "BtnClose"), &QPushButton::clicked, this,
            &QDialog::accept);
    methods_ = BuiltControl<QComboBox>(this, "cbPtt");
    stops_ = BuiltControl<QComboBox>(this, "cbStop");
    host_ = BuiltControl<QLineEdit>(this, "edRigHost");
    port_ = BuiltControl<QLineEdit>(this, "edRigPort");
    timeout_ = BuiltControl<QLineEdit>(this, "edTimeout");
    note_ = BuiltControl<QLabel>(this, "lbPttNote");
    if (ptt != nullptr && keyer != nullptr)
        ptt_ = std::make_unique<TPttSettingsPresenter>(*this, *ptt, *keyer);
    BindPtt();
}

void TFormSettings::BindPtt() {
    for (auto [box, items] : {std::pair{methods_, &TPttSettingsPresenter::MethodItems},
                              std::pair{stops_, &TPttSettingsPresenter::StopItems}}) {
        box->setEditable(false);
        for (const std::string& item : *items)
            box->addItem(QString::fromStdString(item));
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{methods_, stops_, host_, port_, timeout_,
                                         BuiltControl<QPushButton>(this, "BtnTestPtt")})
        w->setEnabled(ptt_ != nullptr);
    if (!ptt_)
        return;
    connect(methods_, &QComboBox::activated, this, [this](int i) { ptt_->MethodPicked(i); });
    connect(stops_, &QComboBox::activated, this, [this](int i) { ptt_->StopPicked(i); });
    for (QLineEdit* edit : {host_, port_, timeout_})
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] {
            if (!edit->isModified())
                return;
            edit->setModified(false);
            if (edit == timeout_)
                ptt_->TimeoutEdited(timeout_->text().trimmed().toStdString());
            else
                ptt_->RigEdited(host_->text().trimmed().toStdString(),
                                port_->text().trimmed().toStdString());
        });
    connect(BuiltControl<QPushButton>(this, "BtnTestPtt"), &QPushButton::clicked, this,
            [this] { ptt_->TestClick(); });
}

void TFormSettings::ApplyEdits() {
    for (QLineEdit* edit : {host_, port_, timeout_})
        if (edit->isModified())
            emit edit->editingFinished();
}

void TFormSettings::ShowPtt(int method, const std::string& host, const std::string& port,
                            const std::string& timeout, int stop) {
    const QSignalBlocker quietMethods(methods_), quietStops(stops_);
    methods_->setCurrentIndex(method);
    stops_->setCurrentIndex(stop);
    host_->setText(QString::fromStdString(host));
    port_->setText(QString::fromStdString(port));
    timeout_->setText(QString::fromStdString(timeout));
}

void TFormSettings::ShowPttNote(const std::string& text) {
    note_->setText(QString::fromStdString(text));
}

TFormSettings::~TFormSettings() {
    devices_.Watch(nullptr);
}

void TFormSettings::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Told on the sound system's thread; the lists are read again here.
    devices_.Watch([this] {
        QMetaObject::invokeMethod(
            this, [this] { presenter_.Refresh(); }, Qt::QueuedConnection);
    });
    presenter_.Refresh();
    if (ptt_)
        ptt_->Show();
}

void TFormSettings::hideEvent(QHideEvent* event) {
    if (ptt_)
        ApplyEdits();
    devices_.Watch(nullptr);
    QDialog::hideEvent(event);
}

void TFormSettings::ShowOutputs(const std::vector<std::string>& texts, int chosen) {
    Fill(outputs_, texts, chosen);
}

void TFormSettings::ShowInputs(const std::vector<std::string>& texts, int chosen) {
    Fill(inputs_, texts, chosen);
}

void TFormSettings::Fill(QComboBox* box, const std::vector<std::string>& texts, int chosen) {
    const QSignalBlocker quiet(box);
    box->clear();
    for (const std::string& text : texts)
        box->addItem(QString::fromStdString(text));
    box->setCurrentIndex(chosen);
}

}  // namespace ziv
