#include "audio/responsive_sound_service.h"

namespace ziv {

bool TResponsiveSoundService::PlaySound(const std::string& sound, std::uint32_t flags) {
    if ((flags & SND_ASYNC) != 0)
        return inner_.PlaySound(sound, flags);
    bool played = false;
    gate_.RunBlocking([&] { played = inner_.PlaySound(sound, flags); });
    return played;
}

bool TResponsiveSoundService::PrepareSound(const std::string& sound) {
    bool ready = false;
    gate_.RunBlocking([&] { ready = inner_.PrepareSound(sound); });
    return ready;
}

}  // namespace ziv
