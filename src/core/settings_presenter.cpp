#include "core/settings_presenter.h"

#include "core/keyer.h"
#include "core/keyer_station_homes.h"

namespace ziv {

TSoundChoices StationSoundChoices(TKeyerStationHomes& homes, TKeyer& keyer,
                                  TSoundService& listening, TBeep& beep) {
    return {[&homes] { return homes.SoundOutput(); },
            [&homes](const std::string& name) { homes.SetSoundOutput(name); },
            [&homes] { return homes.SoundInput(); },
            [&homes](const std::string& name) { homes.SetSoundInput(name); },
            [&keyer, &listening, &beep] {
                listening.StopSound();
                const std::string& message = keyer.WavePlayer.WaveName();
                if (message.empty() || !listening.PlaySound(message, SND_ASYNC))
                    beep.MessageBeep(0);
            }};
}

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
