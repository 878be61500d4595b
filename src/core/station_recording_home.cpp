#include "core/station_recording_home.h"

#include "base/path_rules.h"
#include "core/form_sound_presenter.h"
#include "settings/station_settings.h"

namespace ziv {

std::string TStationRecordingHome::RecordingFolder() const {
    return NormalizeDirectory(DirectoryPart(ini_.FileName()));
}

void TStationRecordingHome::AssignRecording(int n, const std::string& path) {
    homes_.SetSlotPath(n, path);
    SaveStationSettings(ini_, homes_);
}

TStationRecorder::TStationRecorder(TLMDIniCtrl& ini, TFormSoundPresenter& window, TKeyer& keyer,
                                   TSoundCapture& capture, TTimerFactory& timers, TBeep& beep)
    : home_(ini, window), recorder_(keyer, capture, timers, beep, home_) {
    recorder_.OnStatus = [&window](const TRecordingStatus& status) {
        window.ShowRecordingStatus(status);
    };
}

}  // namespace ziv
