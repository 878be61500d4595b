#include "core/station_recording_home.h"

#include "base/path_rules.h"
#include "settings/station_settings.h"

namespace ziv {

std::string TStationRecordingHome::RecordingFolder() const {
    return NormalizeDirectory(DirectoryPart(ini_.FileName()));
}

void TStationRecordingHome::AssignRecording(int n, const std::string& path) {
    homes_.SetSlotPath(n, path);
    SaveStationSettings(ini_, homes_);
}

}  // namespace ziv
