#include "core/station_ptt.h"

#include "base/diagnostics.h"
#include "settings/station_settings.h"

namespace ziv {

TStationPtt::TStationPtt(TLMDIniCtrl& ini, TKeyer& keyer, TSwitchFactory factory)
    : ini_(ini), keyer_(keyer), factory_(std::move(factory)) {}

TStationPtt::~TStationPtt() {
    keyer_.SetPttSwitch(nullptr);
}

void TStationPtt::Load() {
    choice_ = LoadPttChoice(ini_);
    timeout_ = LoadTransmitTimeout(ini_);
    cut_ = LoadCutOnStop(ini_);
    switch_ = factory_(choice_);
    keyer_.SetPttSwitch(switch_.get());
    keyer_.SetTransmitTimeout(timeout_);
    keyer_.SetCutOnStop(cut_);
}

void TStationPtt::SetChoice(const TPttChoice& choice) {
    if (keyer_.LoopFlag())
        keyer_.BtnStopClick();
    try {
        keyer_.TXOff();
    } catch (...) {
        // The old port is closed next; its error was shown where it came.
    }
    const bool methodChanged = choice.method != choice_.method;
    choice_ = choice;
    auto next = factory_(choice_);
    keyer_.SetPttSwitch(next.get());
    switch_ = std::move(next);  // the old one lets its radio go
    Write([&] { WritePttChoice(ini_, choice_); });
    if (methodChanged && OnMethodChanged)
        OnMethodChanged();
}

void TStationPtt::SetTimeout(int seconds) {
    timeout_ = seconds;
    keyer_.SetTransmitTimeout(seconds);
    Write([&] { WriteTransmitTimeout(ini_, seconds); });
}

void TStationPtt::SetCut(bool on) {
    cut_ = on;
    keyer_.SetCutOnStop(on);
    Write([&] { WriteCutOnStop(ini_, on); });
}

void TStationPtt::Write(const std::function<void()>& write) {
    // Applied either way: the run goes on with it, and the line says why
    // the next one will not.
    try {
        write();
    } catch (const std::exception& error) {
        WriteDiagnostic(std::string("the keying settings could not be saved: ") + error.what());
    }
}

}  // namespace ziv
