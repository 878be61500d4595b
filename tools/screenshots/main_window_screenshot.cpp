// Pictures of the main window for the documentation: narrow and wide.
// Run under Xvfb: xvfb-run -a main_window_screenshot DIR
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <iostream>

#include "audio/wave_player.h"
#include "core/keyer.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "serial/comm.h"
#include "settings/ini_ctrl.h"
#include "settings/station_settings.h"
#include "ui/form_port.h"
#include "ui/form_sound.h"
#include "ui/qt_timer.h"
#include "ui/test_doubles.h"
#include "ui/ui_gate.h"

int main(int argc, char** argv) {
    using namespace ziv;
    using namespace ziv::test;
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: main_window_screenshot DIR\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));

    QTemporaryDir dir;
    std::ofstream(dir.filePath("ZIVSound.ini").toStdString())
        << "[ZIV SOUND]\nPort=COM1\nRTS=1\nNorm=1\nWave File1=/msgs/cq.wav\n"
           "Label1=CQ TEST\nLabel2=QRZ?\nLabel3=73\n";
    TLMDIniCtrl ini;
    ini.SetProgramPath(dir.filePath("ZIVSound").toStdString());
    ConfigureStationIni(ini);
    TFakeCommPlatform platform;
    TDroppingInvoker invoker;
    TRecordingErrorReport commReport;
    TVaComm com(platform, invoker, commReport);
    TCommPort<TVaComm> port(com);
    TSlowSoundService sound(0);
    TSRWavePlayer player(sound);
    TRecordingBoxes boxes;
    TBoxErrorReport errors(boxes, "Zivsound");
    TUiGate gate;
    TQtTimerFactory timers(&gate, &errors);
    TCountingBeep beep;
    TMessageSlots messageSlots;
    TKeyer keyer(com, player, timers, beep, messageSlots);
    TFormSound form(keyer, port, ini, messageSlots, boxes, errors, &gate, "Zivsound");

    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    keyer.BtnPlay1.Click();
    keyer.TrackBar1.SetPosition(10);
    QTest::qWait(100);
    bool ok = form.grab().save(out.filePath("main-narrow.png"));
    form.BtnEW2Click();
    QTest::qWait(100);
    ok = form.grab().save(out.filePath("main-wide.png")) && ok;
    form.hide();
    return ok ? 0 : 1;
}
