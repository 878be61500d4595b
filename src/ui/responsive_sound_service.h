#pragma once

#include "audio/sound_service.h"

namespace ziv {

class TUiGate;

// Keeps the window alive during a synchronous play. The keyer's Play is
// synchronous and the keyer unkeys right after it returns; that stays so.
// But the real service's synchronous play runs on a worker thread while
// the user-interface thread waits in the gate's local loop, painting and
// answering the desktop, with everything else held back until Play has
// returned. Asynchronous plays, stops and preparations pass straight
// through.
class TResponsiveSoundService : public TSoundService {
public:
    TResponsiveSoundService(TSoundService& inner, TUiGate& gate) : inner_(inner), gate_(gate) {}

    bool PlaySound(const std::string& sound, std::uint32_t flags) override;
    void StopSound() override { inner_.StopSound(); }
    void PrepareSound(const std::string& sound) override { inner_.PrepareSound(sound); }

private:
    TSoundService& inner_;
    TUiGate& gate_;
};

}  // namespace ziv
