#pragma once

#include <QTemporaryDir>
#include <fstream>
#include <sstream>
#include <string>

#include "audio/wave_player.h"
#include "core/form_port.h"
#include "core/keyer.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "serial/comm.h"
#include "settings/ini_ctrl.h"
#include "settings/station_settings.h"
#include "ui/error_report.h"
#include "ui/form_sound.h"
#include "ui/qt_timer.h"
#include "ui/test_doubles.h"
#include "ui/ui_gate.h"

namespace ziv::test {

// The main window over the real keyer, the real port component on the fake
// serial platform, a settings file in a temporary directory, and boxes
// that answer at once.
struct TFormRig {
    TFormRig() {
        ini.SetProgramPath(dir.filePath("ZIVSound").toStdString());
        ConfigureStationIni(ini);
        COM.SetDTREnable(false);
        COM.SetRTSEnable(false);
    }
    ~TFormRig() { form.hide(); }

    std::string SettingsPath() const { return dir.filePath("ZIVSound.ini").toStdString(); }
    void WriteSettings(const std::string& entries) const {
        std::ofstream(SettingsPath()) << "[ZIV SOUND]\n" << entries;
    }
    std::string ReadSettings() const {
        std::ifstream in(SettingsPath());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    QTemporaryDir dir;
    TLMDIniCtrl ini;
    TFakeCommPlatform platform;
    TDroppingInvoker invoker;
    TRecordingErrorReport commReport;
    TVaComm COM{platform, invoker, commReport};
    TCommPort<TVaComm> port{COM};
    TSlowSoundService sound{0};
    TSRWavePlayer player{sound};
    TRecordingBoxes boxes;
    TBoxErrorReport errors{boxes, "Zivsound"};
    TUiGate gate;
    TQtTimerFactory timers{&gate, &errors};
    TCountingBeep beep;
    TMessageSlots messageSlots;
    TKeyer keyer{COM, player, timers, beep, messageSlots};
    TFormSound form{keyer, port, ini, messageSlots, boxes, errors, &gate, "Zivsound"};
};

}  // namespace ziv::test
