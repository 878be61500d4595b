#pragma once

#include <QDialog>

#include "core/settings_presenter.h"

class QComboBox;

namespace ziv {

// The settings window ("Nustatymai"): the radio's sound output and input,
// and "Klausytis". The lists follow the devices while the window shows.
class TFormSettings : public QDialog, public TSettingsView {
public:
    TFormSettings(TSoundDevices& devices, TSoundChoices choices, QWidget* parent = nullptr);
    ~TFormSettings() override;

    void ShowOutputs(const std::vector<std::string>& texts, int chosen) override;
    void ShowInputs(const std::vector<std::string>& texts, int chosen) override;

    QComboBox* Outputs() const { return outputs_; }
    QComboBox* Inputs() const { return inputs_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static void Fill(QComboBox* box, const std::vector<std::string>& texts, int chosen);

    TSoundDevices& devices_;
    TSettingsPresenter presenter_;
    QComboBox* outputs_ = nullptr;
    QComboBox* inputs_ = nullptr;
};

}  // namespace ziv
