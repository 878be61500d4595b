#pragma once

#include <functional>
#include <string>
#include <vector>

#include "audio/sound_devices.h"
#include "core/sound_device_list.h"

namespace ziv {

// What the settings window shows; each flavour implements it over its
// drop-down lists.
class TSettingsView {
public:
    virtual void ShowOutputs(const std::vector<std::string>& texts, int chosen) = 0;
    virtual void ShowInputs(const std::vector<std::string>& texts, int chosen) = 0;

protected:
    ~TSettingsView() = default;
};

// Where the choices live during the run (the station settings' homes) and
// what "Klausytis" does.
struct TSoundChoices {
    std::function<std::string()> Output;
    std::function<void(const std::string&)> SetOutput;
    std::function<std::string()> Input;
    std::function<void(const std::string&)> SetInput;
    std::function<void()> Listen;
};

class TBeep;
class TKeyer;
class TKeyerStationHomes;
class TSoundService;

// The choices' homes in the station settings, and listening: the message
// the keyer has chosen, played on `listening` (the default output, no
// key), or the beep when none is chosen or it cannot be played.
TSoundChoices StationSoundChoices(TKeyerStationHomes& homes, TKeyer& keyer,
                                  TSoundService& listening, TBeep& beep);

// The settings window's decisions, the same in every flavour: the lists
// as the devices are now, a pick stored by the device's name.
class TSettingsPresenter {
public:
    TSettingsPresenter(TSoundDevices& devices, TSettingsView& view, TSoundChoices choices)
        : devices_(devices), view_(view), choices_(std::move(choices)) {}

    // Lists the devices again: when the window opens, and when one comes
    // or goes while it is open.
    void Refresh();
    void OutputPicked(int index);
    void InputPicked(int index);
    void ListenClick();

private:
    TSoundDevices& devices_;
    TSettingsView& view_;
    TSoundChoices choices_;
    TSoundDeviceList outputs_;
    TSoundDeviceList inputs_;
};

}  // namespace ziv
