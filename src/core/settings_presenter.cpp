#include "core/settings_presenter.h"

namespace ziv {

void TSettingsPresenter::Refresh() {
    outputs_.Update(devices_.Outputs(), choices_.Output());
    inputs_.Update(devices_.Inputs(), choices_.Input());
    view_.ShowOutputs(outputs_.Texts(), outputs_.ChosenIndex());
    view_.ShowInputs(inputs_.Texts(), inputs_.ChosenIndex());
}

void TSettingsPresenter::OutputPicked(int index) {
    choices_.SetOutput(outputs_.NameAt(index));
}

void TSettingsPresenter::InputPicked(int index) {
    choices_.SetInput(inputs_.NameAt(index));
}

void TSettingsPresenter::ListenClick() {
    if (choices_.Listen)
        choices_.Listen();
}

}  // namespace ziv
