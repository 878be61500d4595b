#pragma once

#include <QDialog>
#include <memory>

#include "core/ptt_settings_presenter.h"
#include "core/settings_presenter.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace ziv {

// The settings window ("Nustatymai"): the radio's sound output and input,
// "Klausytis", and the keying (without `ptt`, those rows are disabled). The
// lists follow the devices while the window shows.
class TFormSettings : public QDialog, public TSettingsView, public TPttSettingsView {
public:
    TFormSettings(TSoundDevices& devices, TSoundChoices choices, TStationPtt* ptt = nullptr,
                  TKeyer* keyer = nullptr, QWidget* parent = nullptr);
    ~TFormSettings() override;

    void ShowOutputs(const std::vector<std::string>& texts, int chosen) override;
    void ShowInputs(const std::vector<std::string>& texts, int chosen) override;
    void ShowPtt(int method, const std::string& host, const std::string& port,
                 const std::string& timeout, int stop) override;
    void ShowPttNote(const std::string& text) override;

    QComboBox* Outputs() const { return outputs_; }
    QComboBox* Inputs() const { return inputs_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static void Fill(QComboBox* box, const std::vector<std::string>& texts, int chosen);
    void BindPtt();
    // Edits not yet handed over (the window closed with one focused).
    void ApplyEdits();

    TSoundDevices& devices_;
    TSettingsPresenter presenter_;
    QComboBox* outputs_ = nullptr;
    QComboBox* inputs_ = nullptr;
    std::unique_ptr<TPttSettingsPresenter> ptt_;
    QComboBox* methods_ = nullptr;
    QComboBox* stops_ = nullptr;
    QLineEdit* host_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* timeout_ = nullptr;
    QLabel* note_ = nullptr;
};

}  // namespace ziv
