#pragma once

#include <atomic>

#include "audio/sound_service.h"
#include "base/blocking_runner.h"

namespace ziv {

// Keeps the window alive during a synchronous play. The keyer's Play is
// synchronous and the keyer unkeys right after it returns; that stays so.
// But the real service's synchronous play runs on a worker thread while
// the user-interface thread waits in the gate's local loop, painting and
// answering the desktop, with everything else held back until Play has
// returned. A preparation, which may wait for the server to answer, runs
// the same way; asynchronous plays and stops pass straight through.
class TResponsiveSoundService : public TSoundService {
public:
    TResponsiveSoundService(TSoundService& inner, TBlockingRunner& gate)
        : inner_(inner), gate_(gate) {}

    bool PlaySound(const std::string& sound, std::uint32_t flags) override;
    void StopSound() override { inner_.StopSound(); }
    void CueSound(int startInMs) override { inner_.CueSound(startInMs); }
    void SetOutputDevice(const std::string& name) override { inner_.SetOutputDevice(name); }
    // Kept here, for every platform's service: a watch beside the play
    // stops it when the time is up.
    void SetPlayLimit(int ms) override { limitMs_ = ms; }
    bool PlayLimitReached() const override { return limitReached_; }
    // Preparing may wait for the sound server to answer.
    bool PrepareSound(const std::string& sound) override;

private:
    TSoundService& inner_;
    TBlockingRunner& gate_;
    int limitMs_ = 0;
    std::atomic<bool> limitReached_ = false;
};

}  // namespace ziv
