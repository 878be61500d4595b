#pragma once

#include <QString>
#include <memory>
#include <string>

#include "audio/responsive_sound_service.h"
#include "audio/sound_capture_pulse.h"
#include "audio/sound_devices.h"
#include "audio/sound_service_pulse.h"
#include "audio/wave_player.h"
#include "core/form_port.h"
#include "core/keyer.h"
#include "core/message_recorder.h"
#include "core/message_slots.h"
#include "core/settings_presenter.h"
#include "core/station_ptt.h"
#include "core/station_recording_home.h"
#include "serial/comm.h"
#include "serial/comm_platform_posix.h"
#include "settings/ini_ctrl.h"
#include "ui/error_report.h"
#include "ui/qt_beep.h"
#include "ui/qt_timer.h"
#include "ui/qt_ui_invoker.h"
#include "ui/ui_gate.h"

namespace ziv {

class TFormSound;
class TFormFailai;
class TFormSettings;
class TSignalWatch;

// The whole program, its parts created in dependency order: the settings
// component, the serial port on the POSIX devices, the sound output behind
// the responsive player, the keyer, then the main window FormSound and the
// files window FormFailai, and last the message recorder over the sound
// input, in that order. The recorder goes first at the end: a recording
// still running is dropped while the keyer, the window whose caption it
// restores and the input are all still there.
class TProgram {
public:
    // The station settings are read from and saved to settingsPath.
    TProgram(const QString& executablePath, const std::string& settingsPath);
    ~TProgram();
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    // Shows the main window from inside the event loop and runs the loop
    // until the main window has closed. Returns the exit code.
    int Run();

    TErrorReport& Errors() { return errors_; }
    TKeyer& Keyer() { return keyer_; }
    TFormPort& Port() { return port_; }

private:
    // SIGINT, SIGTERM, SIGHUP: stop a message that plays, then close.
    void OnSignal();
    // Closes modal boxes first, then the main window, exactly as the close
    // box does.
    void CloseForSignal();

    QString title_;
    bool closing_ = false;
    TQtMessageBoxes boxes_;
    TBoxErrorReport errors_;
    TUiGate gate_;
    TQtUiInvoker invoker_;
    TLMDIniCtrl Ini;
    TPosixCommPlatform platform_;
    TVaComm COM;
    TCommPort<TVaComm> port_;
    TPulseSoundService pulse_;
    TResponsiveSoundService sound_;
    TSRWavePlayer WavePlayer;
    TQtTimerFactory timers_;
    TQtBeep beep_;
    TMessageSlots slots_;
    TKeyer keyer_;
    // How the transmitter is keyed, its time-out and what a stop does.
    TStationPtt ptt_;
    TPulseSoundCapture capture_;
    std::unique_ptr<TFormSound> FormSound;
    std::unique_ptr<TFormFailai> FormFailai;
    // The operator listens to a message here, on the default output and
    // without keying; its own service, so that a send is never disturbed.
    TPulseSoundService listening_;
    std::unique_ptr<TSoundDevices> devices_;
    std::unique_ptr<TFormSettings> FormSettings;
    // Kept recordings go beside the settings file, into FormSound's homes.
    std::unique_ptr<TStationRecorder> recorder_;
    std::unique_ptr<TSignalWatch> signals_;
};

}  // namespace ziv
