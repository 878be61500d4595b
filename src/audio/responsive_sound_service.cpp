#include "audio/responsive_sound_service.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ziv {

bool TResponsiveSoundService::PlaySound(const std::string& sound, std::uint32_t flags) {
    if ((flags & SND_ASYNC) != 0)
        return inner_.PlaySound(sound, flags);
    bool played = false;
    limitReached_ = false;
    if (limitMs_ <= 0) {
        gate_.RunBlocking([&] { played = inner_.PlaySound(sound, flags); });
        return played;
    }
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    std::thread watch([&, limit = std::chrono::milliseconds(limitMs_)] {
        std::unique_lock<std::mutex> guard(lock);
        if (!ended.wait_for(guard, limit, [&] { return done; })) {
            limitReached_ = true;
            inner_.StopSound();
        }
    });
    const auto endWatch = [&] {
        {
            const std::lock_guard<std::mutex> guard(lock);
            done = true;
        }
        ended.notify_all();
        watch.join();
    };
    try {
        gate_.RunBlocking([&] { played = inner_.PlaySound(sound, flags); });
    } catch (...) {
        endWatch();
        throw;
    }
    endWatch();
    return played && !limitReached_;
}

bool TResponsiveSoundService::PrepareSound(const std::string& sound) {
    bool ready = false;
    gate_.RunBlocking([&] { ready = inner_.PrepareSound(sound); });
    return ready;
}

}  // namespace ziv
