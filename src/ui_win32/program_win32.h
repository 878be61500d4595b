#pragma once

#include <memory>
#include <string>

#include "audio/responsive_sound_service.h"
#include "audio/sound_capture_win32.h"
#include "audio/sound_devices.h"
#include "audio/sound_service_win32.h"
#include "audio/wave_player.h"
#include "core/form_port.h"
#include "core/keyer.h"
#include "core/message_recorder.h"
#include "core/message_slots.h"
#include "core/station_ptt.h"
#include "core/station_recording_home.h"
#include "serial/comm.h"
#include "serial/comm_platform_win32.h"
#include "settings/ini_ctrl.h"
#include "ui_win32/boxes_win32.h"
#include "ui_win32/ui_gate_win32.h"
#include "ui_win32/win32_handles.h"

namespace ziv {

class TFormSoundWin32;
class TFormFailaiWin32;
class TFormSettingsWin32;

// The whole Windows program, its parts created in the order of the Linux
// program: the settings component, the serial port, the sound output
// behind the responsive player, the keyer, then the main window and the
// files window, and last the message recorder over the sound input. The
// recorder goes first at the end: a recording still running is dropped
// while the keyer, the window whose caption it restores and the input are
// all still there.
class TProgramWin32 {
public:
    TProgramWin32(HINSTANCE instance, const std::string& executablePath,
                  const std::string& settingsPath);
    ~TProgramWin32();
    TProgramWin32(const TProgramWin32&) = delete;
    TProgramWin32& operator=(const TProgramWin32&) = delete;

    // Shows the main window and runs the message loop until it has closed.
    int Run();

    TWin32ErrorReport& Errors() { return errors_; }

private:
    void DispatchWithPreview(tagMSG& msg);

    std::string title_;
    TWin32MessageBoxes boxes_;
    TWin32ErrorReport errors_;
    TWin32UiGate gate_;
    TLMDIniCtrl Ini;
    TWin32CommPlatform platform_;
    TVaComm COM;
    TCommPort<TVaComm> port_;
    TWin32SoundService output_;
    TResponsiveSoundService sound_;
    TSRWavePlayer WavePlayer;
    TWin32Beep beep_;
    TMessageSlots slots_;
    TKeyer keyer_;
    // How the transmitter is keyed, its time-out and what a stop does.
    TStationPtt ptt_;
    TWin32SoundCapture capture_;
    std::unique_ptr<TFormSoundWin32> FormSound;
    std::unique_ptr<TFormFailaiWin32> FormFailai;
    // The operator listens to a message here, on the default output and
    // without keying; its own service, so that a send is never disturbed.
    TWin32SoundService listening_;
    std::unique_ptr<TSoundDevices> devices_;
    std::unique_ptr<TFormSettingsWin32> FormSettings;
    // Kept recordings go beside the settings file, into FormSound's homes.
    std::unique_ptr<TStationRecorder> recorder_;
};

}  // namespace ziv
