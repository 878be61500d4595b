#include "mock/fake_sound_service.h"

namespace ziv::test {

bool TFakeSoundService::PlaySound(const std::string& sound, std::uint32_t flags) {
    const std::int64_t start = thread_.Now();
    const auto it = lengths_.find(sound);
    const bool ok = it != lengths_.end();
    if (ok && (flags & SND_ASYNC) == 0)
        thread_.Busy(it->second);
    Plays.push_back({start, thread_.Now(), sound, flags, ok});
    return ok;
}

}  // namespace ziv::test
