#include "ui/program.h"

#include <QApplication>
#include <QTimer>
#include <csignal>
#include <cstdlib>

#include "base/diagnostics.h"
#include "core/station_port.h"
#include "rig/cat_ptt.h"
#include "serial/comm_thread.h"
#include "settings/station_settings.h"
#include "ui/files/form_failai.h"
#include "ui/form_settings.h"
#include "ui/form_sound.h"
#include "ui/signal_watch.h"

namespace ziv {

namespace {

std::string ResolvePort(TLMDIniCtrl& ini, const std::string& comName) {
    // The optional "Ports" section maps a name to any device, such as the
    // USB adapter most stations key through.
    std::string path = PortDevicePath(ini, comName);
    return path.empty() ? DefaultPortPath(comName) : path;
}

// The program that runs, for an end that comes from inside the toolkit:
// Qt ends the process with exit() when its display goes away (the end of
// the session), past every close and destructor of ours.
TProgram* running = nullptr;

void UnkeyAtExit() {
    if (running != nullptr)
        UnkeyAndClose(running->Keyer(), running->Port());
}

}  // namespace

TProgram::TProgram(const QString& executablePath, const std::string& settingsPath)
    : title_(ApplicationTitleFromPath(executablePath)),
      errors_(boxes_, title_),
      invoker_(gate_),
      platform_([this](const std::string& comName) { return ResolvePort(Ini, comName); }),
      COM(platform_, invoker_, errors_),
      port_(COM),
      sound_(pulse_, gate_),
      WavePlayer(sound_),
      timers_(&gate_, &errors_),
      keyer_(COM, WavePlayer, timers_, beep_, slots_),
      ptt_(Ini, keyer_, [this](const TPttChoice& c) { return rig::NewPttSwitch(c, gate_); }) {
    gate_.SetErrorReport(&errors_);
    gate_.SetCutWhileBusy(
        [this](QObject* target, QEvent* event) {
            return FormSound && FormSound->IsStopInput(target, event);
        },
        [this] { keyer_.CutMessage(); });
    ConfigureStationIni(Ini, settingsPath);
    ptt_.Load();
    // Opening the port leaves both lines low; the idle level is written
    // right after.
    COM.SetDTREnable(false);
    COM.SetRTSEnable(false);

    FormSound =
        std::make_unique<TFormSound>(keyer_, port_, Ini, slots_, boxes_, errors_, &gate_, title_);
    boxes_.SetParent(FormSound.get());
    FormFailai = std::make_unique<TFormFailai>(
        slots_, keyer_, [this] { FormSound->MakeNarrow(); }, FormSound.get());
    FormSound->SetFilesWindow(MakeFilesWindowLink(*FormFailai));

    recorder_ = std::make_unique<TStationRecorder>(Ini, FormSound->Presenter(), keyer_, capture_,
                                                   timers_, beep_);
    FormSound->Presenter().OnSoundInput = [this](const std::string& name) {
        capture_.SetInputDevice(name);
    };
    devices_ = CreateSoundDevices();
    FormSettings = std::make_unique<TFormSettings>(
        *devices_, StationSoundChoices(FormSound->Presenter(), keyer_, listening_, beep_), &ptt_,
        &keyer_, FormSound.get());
    ptt_.OnMethodChanged = [this] { FormSound->Presenter().PttMethodChanged(); };
    FormSound->Presenter().SetSettingsWindow([this] { FormSettings->exec(); });

    signals_ = std::make_unique<TSignalWatch>(std::initializer_list<int>{SIGINT, SIGTERM, SIGHUP},
                                              [this](int) { OnSignal(); });
    static const bool unkeysAtExit = std::atexit(&UnkeyAtExit) == 0;
    if (!unkeysAtExit)
        WriteDiagnostic("the transmitter will not be unkeyed should the display go away");
    running = this;
}

TProgram::~TProgram() {
    running = nullptr;
    // The port's event thread must not hand anything over from here on.
    SetApplicationShuttingDown(true);
    // Before everything it records for and shows on.
    recorder_.reset();
    signals_.reset();
    FormSettings.reset();
    FormFailai.reset();
    FormSound.reset();
}

void TProgram::OnSignal() {
    // A close by signal waits for nothing: a session manager kills what
    // does not end in time, losing the settings. So no box either.
    errors_.SetQuiet(true);
    if (!gate_.Holding()) {
        CloseForSignal();
        return;
    }
    // A message is playing: it stops now, the keyer unkeys as after any
    // play, and the close comes before the input held meanwhile.
    sound_.StopSound();
    gate_.HoldFirst([this] { CloseForSignal(); });
}

void TProgram::CloseForSignal() {
    closing_ = true;
    if (QWidget* modal = QApplication::activeModalWidget()) {
        // The main window takes no close while a modal window is open:
        // close that first and come back.
        modal->close();
        gate_.Post([this] { CloseForSignal(); });
        return;
    }
    FormSound->close();
    // A window that was never shown raises no "last window closed".
    QCoreApplication::quit();
}

int TProgram::Run() {
    // The loop shows the main window once it runs, so that a message box at
    // the first show, or a signal, finds the loop there.
    QTimer::singleShot(0, FormSound.get(), [this] {
        if (!closing_)
            FormSound->show();  // a signal may have come first
    });
    const int code = QApplication::exec();
    SetApplicationShuttingDown(true);
    // A close by signal that could not save says so in the exit code.
    return code != 0 ? code : errors_.FailedQuietly() ? 1 : 0;
}

}  // namespace ziv
