#include "ui_win32/program_win32.h"

#include "core/settings_presenter.h"
#include "rig/cat_ptt.h"
#include "serial/comm_thread.h"
#include "settings/station_settings.h"
#include "ui_win32/files/form_failai_win32.h"
#include "ui_win32/form_settings_win32.h"
#include "ui_win32/form_sound_win32.h"
#include "ui_win32/win32_text.h"

#include "base/windows_api.h"

namespace ziv {

TProgramWin32::TProgramWin32(HINSTANCE instance, const std::string& executablePath,
                             const std::string& settingsPath)
    : title_(ApplicationTitleFromPath(Utf8FromWide(WideFromAnsi(executablePath)))),
      errors_(boxes_, title_),
      gate_(instance),
      COM(platform_, gate_, errors_),
      port_(COM),
      sound_(output_, gate_),
      WavePlayer(sound_),
      keyer_(COM, WavePlayer, gate_, beep_, slots_),
      ptt_(Ini, keyer_, [this](const TPttChoice& c) { return rig::NewPttSwitch(c, gate_); }) {
    gate_.SetErrorReport(&errors_);
    gate_.SetDispatcher([this](MSG& msg) { DispatchWithPreview(msg); });
    gate_.SetCloseWhileBusy([this] { WavePlayer.Stop(); });
    gate_.SetCutWhileBusy(
        [this](const MSG& msg) { return FormSound && FormSound->IsStopInput(msg); },
        [this] { keyer_.CutMessage(); });
    ConfigureStationIni(Ini, settingsPath);
    ptt_.Load();
    // Opening the port leaves both lines low; the idle level is written
    // right after.
    COM.SetDTREnable(false);
    COM.SetRTSEnable(false);

    FormSound = std::make_unique<TFormSoundWin32>(instance, keyer_, port_, Ini, slots_, boxes_,
                                                  errors_, &gate_, title_);
    boxes_.SetOwner(FormSound->Window());
    FormSound->OnDestroyed = [] { PostQuitMessage(0); };
    FormFailai = std::make_unique<TFormFailaiWin32>(instance, slots_, keyer_,
                                                    [this] { FormSound->MakeNarrow(); });
    TFormFailaiWin32& files = *FormFailai;
    FormSound->SetFilesWindow(
        {[&files](HWND owner) { files.ShowModal(owner); },
         [&files](int n) { return files.LabelText(n); },
         [&files](int n, const std::string& text) { files.SetLabelText(n, text); }});

    recorder_ = std::make_unique<TStationRecorder>(Ini, FormSound->Presenter(), keyer_, capture_,
                                                   gate_, beep_);
    FormSound->Presenter().OnSoundInput = [this](const std::string& name) {
        capture_.SetInputDevice(name);
    };
    devices_ = CreateSoundDevices();
    FormSettings = std::make_unique<TFormSettingsWin32>(
        instance, *devices_, StationSoundChoices(FormSound->Presenter(), keyer_, listening_, beep_),
        &ptt_, &keyer_);
    ptt_.OnMethodChanged = [this] { FormSound->Presenter().PttMethodChanged(); };
    FormSound->Presenter().SetSettingsWindow(
        [this] { FormSettings->ShowModal(FormSound->Window()); });
}

TProgramWin32::~TProgramWin32() {
    // The port's event thread must not hand anything over from here on.
    SetApplicationShuttingDown(true);
    // Before everything it records for and shows on.
    recorder_.reset();
    FormSettings.reset();
    FormFailai.reset();
    FormSound.reset();
}

void TProgramWin32::DispatchWithPreview(MSG& msg) {
    // The keyer sees each key of the main window before its control.
    FormSound->Dispatch(msg);
}

int TProgramWin32::Run() {
    FormSound->Show();
    const int code = gate_.RunLoop();
    SetApplicationShuttingDown(true);
    return code != 0 ? code : errors_.FailedQuietly() ? 1 : 0;
}

}  // namespace ziv
