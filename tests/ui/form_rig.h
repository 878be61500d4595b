#pragma once

#include <QTemporaryDir>
#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "audio/wave_player.h"
#include "core/form_port.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "settings/station_settings.h"
#include "ui/error_report.h"
#include "ui/form_sound.h"
#include "ui/qt_timer.h"
#include "ui/ui_gate.h"

namespace ziv::test {

// Answers every box at once and keeps "caption: text", an error's after "!".
struct TRecordingBoxes : TMessageBoxes {
    void ShowMessage(const QString& caption, const QString& text) override {
        Shown.push_back((caption + ": " + text).toStdString());
    }
    void ShowError(const QString& caption, const QString& text) override {
        ShowMessage("!" + caption, text);
    }
    std::vector<std::string> Shown;
};

// A synchronous play that takes `ms` of real time, running `During` on the
// playing thread first (to inject events).
struct TSlowSoundService : TSoundService {
    explicit TSlowSoundService(int ms) : ms_(ms) {}
    bool PlaySound(const std::string&, std::uint32_t) override {
        PlayThread = std::this_thread::get_id();
        Playing = true;
        if (During)
            During();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms_));
        Playing = false;
        return true;
    }
    void StopSound() override {}
    std::function<void()> During;
    std::atomic<bool> Playing{false};
    std::thread::id PlayThread;
    int ms_;
};

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

    std::string Settings() const { return dir.filePath("ZIVSound.ini").toStdString(); }
    void WriteSettings(const std::string& entries) const {
        std::ofstream(Settings()) << "[ZIV SOUND]\n" << entries;
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
