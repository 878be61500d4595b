#pragma once

#include <string>

#include "core/message_recorder.h"
#include "settings/ini_ctrl.h"
#include "settings/station_homes.h"

namespace ziv {

class TFormSoundPresenter;

// Recordings of the running program: kept beside the settings file, and a
// kept one is assigned to its slot and saved at once with every other
// setting, so a crash later in the contest loses nothing.
class TStationRecordingHome : public TRecordingHome {
public:
    TStationRecordingHome(TLMDIniCtrl& ini, TStationHomes& homes) : ini_(ini), homes_(homes) {}

    std::string RecordingFolder() const override;
    std::string SlotPath(int n) const override { return homes_.SlotPath(n); }
    void AssignRecording(int n, const std::string& path) override;

private:
    TLMDIniCtrl& ini_;
    TStationHomes& homes_;
};

// The message recorder as the programs wire it: kept recordings go beside
// the settings file into the main window's homes, and its state shows in
// the main window's title.
class TStationRecorder {
public:
    TStationRecorder(TLMDIniCtrl& ini, TFormSoundPresenter& window, TKeyer& keyer,
                     TSoundCapture& capture, TTimerFactory& timers, TBeep& beep);

private:
    TStationRecordingHome home_;
    TMessageRecorder recorder_;
};

}  // namespace ziv
