#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "audio/sound_service.h"
#include "mock/virtual_ui_thread.h"

namespace ziv::test {

// "Plays" sounds of given lengths on the virtual clock: a synchronous play
// keeps the virtual user-interface thread busy for the sound's length.
// A sound it does not know fails at once, as a missing file does.
class TFakeSoundService : public TSoundService {
public:
    struct Play {
        std::int64_t start;
        std::int64_t end;
        std::string sound;
        std::uint32_t flags;
        bool ok;
    };

    explicit TFakeSoundService(TVirtualUiThread& thread) : thread_(thread) {}

    void SetLength(const std::string& sound, std::int64_t ms) { lengths_[sound] = ms; }

    bool PlaySound(const std::string& sound, std::uint32_t flags) override {
        const std::int64_t start = thread_.Now();
        const auto it = lengths_.find(sound);
        limitReached_ = it != lengths_.end() && limitMs_ > 0 && it->second > limitMs_;
        std::int64_t length = it == lengths_.end() ? 0 : limitReached_ ? limitMs_ : it->second;
        // A stop from outside at StopAt ms into the play ends it there.
        stopped_ = false;
        if (During && StopAt >= 0 && StopAt < length) {
            thread_.Busy(StopAt);
            During();
            length = stopped_ ? 0 : length - StopAt;
        }
        if ((flags & SND_ASYNC) == 0)
            thread_.Busy(length);
        Plays.push_back({start, thread_.Now(), sound, flags, it != lengths_.end()});
        return it != lengths_.end() && !limitReached_ && !stopped_;
    }
    void SetPlayLimit(int ms) override { limitMs_ = ms; }
    bool PlayLimitReached() const override { return limitReached_; }
    void StopSound() override {
        ++Stops;
        stopped_ = true;
    }
    // Every sound prepares unless marked unplayable: a sound it has no
    // length for fails only when played, as one that breaks off would.
    bool PrepareSound(const std::string& sound) override {
        Prepared.push_back(sound);
        return !Unplayable.contains(sound);
    }

    // When the keyer said the prepared sound is due, and in how many ms.
    void CueSound(int startInMs) override { Cues.push_back({thread_.Now(), startInMs}); }

    std::set<std::string> Unplayable;
    // Runs StopAt ms into each synchronous play, as the window would.
    std::function<void()> During;
    std::int64_t StopAt = -1;

    std::vector<Play> Plays;
    std::vector<std::string> Prepared;
    std::vector<std::pair<std::int64_t, int>> Cues;
    int Stops = 0;

private:
    TVirtualUiThread& thread_;
    std::map<std::string, std::int64_t> lengths_;
    int limitMs_ = 0;
    bool limitReached_ = false;
    bool stopped_ = false;
};

}  // namespace ziv::test
