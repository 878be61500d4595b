#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/ptt_switch.h"
#include "core/keyer.h"
#include "settings/ini_ctrl.h"

namespace ziv {

// How the station keys its transmitter during the run: the method, the
// transmit time-out and whether a stop cuts the message. Read from the
// settings file at the start; a change is applied to the keyer at once and
// written to the file then, so that a file the operator never changed
// them in stays as it was.
class TStationPtt {
public:
    using TSwitchFactory = std::function<std::unique_ptr<TPttSwitch>(const TPttChoice&)>;

    TStationPtt(TLMDIniCtrl& ini, TKeyer& keyer, TSwitchFactory factory);
    ~TStationPtt();
    TStationPtt(const TStationPtt&) = delete;
    TStationPtt& operator=(const TStationPtt&) = delete;

    void Load();
    const TPttChoice& Choice() const { return choice_; }
    int Timeout() const { return timeout_; }
    bool Cut() const { return cut_; }

    // The transmitter is unkeyed by the old method and a loop ended first.
    void SetChoice(const TPttChoice& choice);
    void SetTimeout(int seconds);
    void SetCut(bool on);
    // After a change of method (the port to be opened or closed).
    std::function<void()> OnMethodChanged;

private:
    void Write(const std::function<void()>& write);

    TLMDIniCtrl& ini_;
    TKeyer& keyer_;
    TSwitchFactory factory_;
    std::unique_ptr<TPttSwitch> switch_;
    TPttChoice choice_;
    int timeout_ = 0;
    bool cut_ = false;
};

}  // namespace ziv
