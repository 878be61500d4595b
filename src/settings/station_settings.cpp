#include "settings/station_settings.h"

#include <algorithm>
#include <iterator>

#include "base/diagnostics.h"
#include "settings/cp1257.h"
#include "settings/settings_system.h"

namespace ziv {

namespace {

const char* const kWaveFileKeys[] = {"Wave File1", "Wave File2", "Wave File3"};
const char* const kLabelKeys[] = {"Label1", "Label2", "Label3"};
const char* const kSoundOutputKey = "Sound Output";
const char* const kSoundInputKey = "Sound Input";
// "1 ĮRAŠAS".. as the file holds them, in Windows-1257.
const char* const kDefaultLabels[] = {
    "1 \xC1RA\xD0"
    "AS",
    "2 \xC1RA\xD0"
    "AS",
    "3 \xC1RA\xD0"
    "AS"};

// A settings file in the working directory, by its bare name. Only a
// first run from the program's own directory finds none and records the
// executable's path; elsewhere "Main" is written again at every start.
bool SettingsFileInWorkingDirectory() {
    return IsExistingFile(kSettingsFileName);
}

}  // namespace

void ConfigureStationIni(TLMDIniCtrl& ini) {
    ini.SetIniFile(kSettingsFileName);
    ini.SetIniPrefix(ppProgram);
    ini.SetTarget(itIniFile);
    ini.SetCommon(true);
}

void ConfigureStationIni(TLMDIniCtrl& ini, const std::string& settingsPath) {
    ConfigureStationIni(ini);
    ini.SetIniFile(settingsPath);
    ini.SetIniPrefix(ppFixed);
}

void LoadStationSettings(TLMDIniCtrl& ini, TStationHomes& homes) {
    if (!SettingsFileInWorkingDirectory()) {
        ini.WriteString(kStationSection, "Main", ini.ProgramPath());
    }
    homes.SetLeft(ini.ReadInteger(kStationSection, "X", 100));
    homes.SetTop(ini.ReadInteger(kStationSection, "Y", 100));
    homes.SetPortText(ini.ReadString(kStationSection, "Port", "0"));
    for (int n = 1; n <= 3; ++n) {
        homes.SetSlotPath(n, ini.ReadString(kStationSection, kWaveFileKeys[n - 1], ""));
    }
    for (int n = 1; n <= 3; ++n) {
        homes.SetLabelText(n, Cp1257ToUtf8(ini.ReadString(kStationSection, kLabelKeys[n - 1],
                                                          kDefaultLabels[n - 1])));
    }
    for (int n = 1; n <= 3; ++n) {
        homes.SetPlayCaption(n, homes.LabelText(n));
    }
    homes.SetRTSChecked(ini.ReadBool(kStationSection, "RTS", false));
    homes.SetDTRChecked(ini.ReadBool(kStationSection, "DTR", false));
    homes.SetNormChecked(ini.ReadBool(kStationSection, "Norm", true));
    homes.SetInvChecked(ini.ReadBool(kStationSection, "Inv", false));
    homes.SetSoundOutput(ini.ReadString(kStationSection, kSoundOutputKey, ""));
    homes.SetSoundInput(ini.ReadString(kStationSection, kSoundInputKey, ""));
}

namespace {

void WriteChosenDevice(TLMDIniCtrl& ini, TIniBatch& batch, const char* key,
                       const std::string& name) {
    // No value holds a line break: "\n" comes back only for a missing key.
    if (!name.empty() || ini.ReadString(kStationSection, key, "\n") != "\n")
        batch.WriteString(kStationSection, key, name);
}

}  // namespace

void SaveStationSettings(TLMDIniCtrl& ini, const TStationHomes& homes) {
    TIniBatch batch;
    batch.WriteInteger(kStationSection, "X", homes.Left());
    batch.WriteInteger(kStationSection, "Y", homes.Top());
    batch.WriteString(kStationSection, "Port", homes.PortText());
    for (int n = 1; n <= 3; ++n) {
        batch.WriteString(kStationSection, kWaveFileKeys[n - 1], homes.SlotPath(n));
    }
    for (int n = 1; n <= 3; ++n) {
        batch.WriteString(kStationSection, kLabelKeys[n - 1], Utf8ToCp1257(homes.LabelText(n)));
    }
    batch.WriteBool(kStationSection, "RTS", homes.RTSChecked());
    batch.WriteBool(kStationSection, "DTR", homes.DTRChecked());
    batch.WriteBool(kStationSection, "Norm", homes.NormChecked());
    batch.WriteBool(kStationSection, "Inv", homes.InvChecked());
    // Written once the operator has chosen a device: a file without them
    // (a first run, an older program's) stays as it was.
    WriteChosenDevice(ini, batch, kSoundOutputKey, homes.SoundOutput());
    WriteChosenDevice(ini, batch, kSoundInputKey, homes.SoundInput());
    // One replace: a save cut short by a full disk or a crash leaves the
    // settings of the previous run whole, never a mix of the two.
    ini.WriteBatch(batch);
}

namespace {

// In TPttMethod's order.
const char* const kPttMethodNames[] = {"Line", "CAT", "None"};
const char* const kPttMethodKey = "PTT Method";
const char* const kRigctldHostKey = "Rigctld Host";
const char* const kRigctldPortKey = "Rigctld Port";
const char* const kTransmitTimeoutKey = "TX Timeout";
const char* const kCutOnStopKey = "Cut On Stop";

}  // namespace

TPttChoice LoadPttChoice(TLMDIniCtrl& ini) {
    TPttChoice choice;
    const std::string method = ini.ReadString(kStationSection, kPttMethodKey, "Line");
    const auto named = std::find(std::begin(kPttMethodNames), std::end(kPttMethodNames), method);
    if (named != std::end(kPttMethodNames))
        choice.method = static_cast<TPttMethod>(named - std::begin(kPttMethodNames));
    else
        WriteDiagnostic("PTT Method=" + method + " is none of Line, CAT, None: keyed by the line");
    choice.host = ini.ReadString(kStationSection, kRigctldHostKey, choice.host);
    const int port = ini.ReadInteger(kStationSection, kRigctldPortKey, choice.port);
    if (port >= 1 && port <= 65535)
        choice.port = port;
    else
        WriteDiagnostic("Rigctld Port=" + std::to_string(port) + " is no TCP port: 4532 taken");
    return choice;
}

void WritePttChoice(TLMDIniCtrl& ini, const TPttChoice& choice) {
    TIniBatch batch;
    batch.WriteString(kStationSection, kPttMethodKey,
                      kPttMethodNames[static_cast<int>(choice.method)]);
    batch.WriteString(kStationSection, kRigctldHostKey, choice.host);
    batch.WriteInteger(kStationSection, kRigctldPortKey, choice.port);
    ini.WriteBatch(batch);
}

int LoadTransmitTimeout(TLMDIniCtrl& ini) {
    const int seconds = ini.ReadInteger(kStationSection, kTransmitTimeoutKey, 0);
    if (seconds >= 0 && seconds <= 600)
        return seconds;
    WriteDiagnostic("TX Timeout=" + std::to_string(seconds) + " is not 0-600 s: no time-out");
    return 0;
}

void WriteTransmitTimeout(TLMDIniCtrl& ini, int seconds) {
    ini.WriteInteger(kStationSection, kTransmitTimeoutKey, seconds);
}

bool LoadCutOnStop(TLMDIniCtrl& ini) {
    return ini.ReadBool(kStationSection, kCutOnStopKey, false);
}

void WriteCutOnStop(TLMDIniCtrl& ini, bool on) {
    ini.WriteBool(kStationSection, kCutOnStopKey, on);
}

std::string PortDevicePath(TLMDIniCtrl& ini, const std::string& comName) {
    // A blank name would stand for the latest section, not for a key.
    if (comName.find_first_not_of(" \t") == std::string::npos) {
        return {};
    }
    return ini.ReadString("Ports", comName, "");
}

}  // namespace ziv
