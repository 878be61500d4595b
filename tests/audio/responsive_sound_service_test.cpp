#include "audio/responsive_sound_service.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ziv {
namespace {

// A synchronous play of `length` that a stop ends early.
struct TStoppableService final : TSoundService {
    std::chrono::milliseconds length{0};
    std::mutex lock;
    std::condition_variable stopped;
    bool stop = false;
    bool PlaySound(const std::string&, std::uint32_t) override {
        std::unique_lock<std::mutex> guard(lock);
        stop = false;
        return !stopped.wait_for(guard, length, [this] { return stop; });
    }
    void StopSound() override {
        const std::lock_guard<std::mutex> guard(lock);
        stop = true;
        stopped.notify_all();
    }
};

struct TInlineRunner final : TBlockingRunner {
    void RunBlocking(const std::function<void()>& job) override { job(); }
};

// A play that outlasts the limit is stopped and says so; one within it,
// or with no limit, plays to its end.
TEST(ResponsiveSoundService, PlayLimitStopsOnlyAPlayThatOutlastsIt) {
    TStoppableService inner;
    TInlineRunner runner;
    TResponsiveSoundService sound(inner, runner);
    inner.length = std::chrono::seconds(30);
    sound.SetPlayLimit(50);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(sound.PlaySound("long.wav", SND_FILENAME));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(sound.PlayLimitReached());

    inner.length = std::chrono::milliseconds(20);
    sound.SetPlayLimit(5000);
    EXPECT_TRUE(sound.PlaySound("short.wav", SND_FILENAME));
    EXPECT_FALSE(sound.PlayLimitReached());
    sound.SetPlayLimit(0);
    EXPECT_TRUE(sound.PlaySound("short.wav", SND_FILENAME));
    EXPECT_FALSE(sound.PlayLimitReached());
}

}  // namespace
}  // namespace ziv
