#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/blocking_runner.h"
#include "base/ptt_switch.h"
#include "rig/rigctld_client.h"

namespace ziv::rig {

// The transmitter keyed by CAT through rigctld. Each change runs off the
// window's thread, so the window keeps painting while a slow server has
// its time-out; while keyed, a thread of its own reads the PTT back, so
// that a server or radio lost in the middle of a message is told at once;
// the radio is unkeyed as this goes.
class TCatPtt final : public TPttSwitch {
public:
    TCatPtt(TBlockingRunner& runner, std::unique_ptr<ITcpLink> link, const std::string& host,
            int port);
    ~TCatPtt() override;
    bool Switch(bool transmit, std::string* why) override;
    // While the radio is keyed, its PTT is read every `WatchMs`.
    void SetOnLost(std::function<void(const std::string& why)> lost) override;
    static constexpr int WatchMs = 250;

private:
    void StartWatch();
    void StopWatch();

    TBlockingRunner& runner_;
    TRigctldClient client_;
    std::function<void(const std::string&)> lost_;
    std::thread watch_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopWatch_ = false;
};

// The switch for the choice: null for the serial port's line.
std::unique_ptr<TPttSwitch> NewPttSwitch(const TPttChoice& choice, TBlockingRunner& runner);

}  // namespace ziv::rig
