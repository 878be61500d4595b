#include "ui/form_settings.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalBlocker>

#include "layout/settings_window_layout.h"
#include "ui/control_builder.h"

namespace ziv {

TFormSettings::TFormSettings(TSoundDevices& devices, TSoundChoices choices, QWidget* parent)
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
}

void TFormSettings::hideEvent(QHideEvent* event) {
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
