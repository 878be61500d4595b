#pragma once

#include <string>

#include "base/ptt_switch.h"

#include "settings/ini_ctrl.h"
#include "settings/station_homes.h"

namespace ziv {

// The settings file's name (see StationSettingsPath) and its one section.
inline constexpr char kSettingsFileName[] = "ZIVSound.ini";
inline constexpr char kStationSection[] = "ZIV SOUND";

// Sets up the window's settings component: "ZIVSound.ini" in the
// executable's directory.
void ConfigureStationIni(TLMDIniCtrl& ini);
// The same for the file at the full path settingsPath, such as the one
// StationSettingsPath gives.
void ConfigureStationIni(TLMDIniCtrl& ini, const std::string& settingsPath);

// The start-up load, first thing when the main window is shown. If no
// "ZIVSound.ini" is found in the working directory (a first run started
// from the program's own directory), "Main" is written with the
// executable's full path, which creates the settings file.
// Then every home is set from its key, or from the default when the key is
// missing or does not parse: X, Y 100; Port "0"; the slot paths empty;
// the labels "1 ĮRAŠAS".."3 ĮRAŠAS" (also copied to the play buttons);
// RTS, DTR false; Norm true; Inv false, each check applied as it is read.
// A failed write of "Main" raises EIniFileError before any home is set.
void LoadStationSettings(TLMDIniCtrl& ini, TStationHomes& homes);

// The save when the main window closes: X, Y, Port, the slot paths, the
// label boxes' texts and the four radio buttons, in that order, all by one
// replace of the file. The labels are stored in Windows-1257; a character
// it cannot hold is stored as "?" (the label edits accept only characters
// it can hold). A value the file cannot hold (a line break in a slot's
// file name) is left out, its key keeps its old value and every other key
// is still saved; then EIniFileError "Unable to write to <path>: key ..."
// names it. If the file cannot be replaced, it keeps its old content and
// EIniFileError "Unable to write to <path>" is raised.
void SaveStationSettings(TLMDIniCtrl& ini, const TStationHomes& homes);

// The device of a port name from the optional "Ports" section
// ("COM1=/dev/ttyUSB0"), or empty when it maps none; the program only
// reads this section.
std::string PortDevicePath(TLMDIniCtrl& ini, const std::string& comName);

// How the transmitter is keyed: "PTT Method" Line (the default), CAT
// (through rigctld at "Rigctld Host" and "Rigctld Port") or None. Written
// only when the operator changes it: a file without them keys by the line.
TPttChoice LoadPttChoice(TLMDIniCtrl& ini);
void WritePttChoice(TLMDIniCtrl& ini, const TPttChoice& choice);
// "TX Timeout": the longest transmission in seconds, 1-600; 0 or none for
// no limit (a message always plays whole).
int LoadTransmitTimeout(TLMDIniCtrl& ini);
void WriteTransmitTimeout(TLMDIniCtrl& ini, int seconds);
// "Cut On Stop": Escape and the stop button cut the message (1), or end
// the loop and let it finish (0, none).
bool LoadCutOnStop(TLMDIniCtrl& ini);
void WriteCutOnStop(TLMDIniCtrl& ini, bool on);

}  // namespace ziv
