#pragma once

#include <functional>
#include <string>

#include "core/keyer.h"
#include "core/message_slots.h"
#include "settings/station_homes.h"

namespace ziv {

// The station settings' homes that are the keyer's: the message slots and
// the line and polarity buttons. The main window's presenter adds the
// labels and what lives in the window's controls (position, port text).
class TKeyerStationHomes : public TStationHomes {
public:
    TKeyerStationHomes(TKeyer& keyer, TMessageSlots& messageSlots)
        : homeKeyer_(keyer), homeSlots_(messageSlots) {}

    std::string SlotPath(int n) const override { return homeSlots_.Path(n); }
    void SetSlotPath(int n, const std::string& value) override { homeSlots_.SetPath(n, value); }
    bool RTSChecked() const override { return homeKeyer_.rbRTS.Checked(); }
    void SetRTSChecked(bool value) override { homeKeyer_.rbRTS.SetChecked(value); }
    bool DTRChecked() const override { return homeKeyer_.rbDTR.Checked(); }
    void SetDTRChecked(bool value) override { homeKeyer_.rbDTR.SetChecked(value); }
    bool NormChecked() const override { return homeKeyer_.rbNorm.Checked(); }
    void SetNormChecked(bool value) override { homeKeyer_.rbNorm.SetChecked(value); }
    bool InvChecked() const override { return homeKeyer_.rbInv.Checked(); }
    void SetInvChecked(bool value) override { homeKeyer_.rbInv.SetChecked(value); }
    std::string SoundOutput() const override { return soundOutput_; }
    void SetSoundOutput(const std::string& value) override {
        soundOutput_ = value;
        homeKeyer_.WavePlayer.SetOutputDevice(value);
    }

    std::string SoundInput() const override { return soundInput_; }
    void SetSoundInput(const std::string& value) override {
        soundInput_ = value;
        if (OnSoundInput)
            OnSoundInput(value);
    }
    // The recorder's input follows the choice (the keyer has none).
    std::function<void(const std::string&)> OnSoundInput;

private:
    TKeyer& homeKeyer_;
    TMessageSlots& homeSlots_;
    std::string soundOutput_;
    std::string soundInput_;
};

}  // namespace ziv
