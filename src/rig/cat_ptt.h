#pragma once

#include <memory>
#include <string>

#include "base/blocking_runner.h"
#include "base/ptt_switch.h"
#include "rig/rigctld_client.h"

namespace ziv::rig {

// The transmitter keyed by CAT through rigctld. Each change runs off the
// window's thread, so the window keeps painting while a slow server has
// its time-out; the radio is unkeyed as this goes.
class TCatPtt final : public TPttSwitch {
public:
    TCatPtt(TBlockingRunner& runner, std::unique_ptr<ITcpLink> link, const std::string& host,
            int port);
    ~TCatPtt() override;
    bool Switch(bool transmit, std::string* why) override;

private:
    TBlockingRunner& runner_;
    TRigctldClient client_;
};

// The switch for the choice: null for the serial port's line.
std::unique_ptr<TPttSwitch> NewPttSwitch(const TPttChoice& choice, TBlockingRunner& runner);

}  // namespace ziv::rig
