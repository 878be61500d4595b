#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "audio/sound_service.h"
#include "ui/error_report.h"

namespace ziv::test {

// Answers every box at once and keeps what it was asked to show.
class TRecordingBoxes : public TMessageBoxes {
public:
    struct Box {
        bool error;
        QString caption;
        QString text;
    };
    void ShowMessage(const QString& caption, const QString& text) override {
        Shown.push_back({false, caption, text});
    }
    void ShowError(const QString& caption, const QString& text) override {
        Shown.push_back({true, caption, text});
    }
    std::vector<Box> Shown;
};

// A sound service whose synchronous play takes a given real time. While
// it plays, `During` runs on the playing thread (to inject events).
class TSlowSoundService : public TSoundService {
public:
    explicit TSlowSoundService(int ms) : ms_(ms) {}

    bool PlaySound(const std::string& sound, std::uint32_t) override {
        Sounds.push_back(sound);
        PlayThread = std::this_thread::get_id();
        Playing = true;
        if (During)
            During();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms_));
        Playing = false;
        return true;
    }
    void StopSound() override { ++Stops; }

    std::function<void()> During;
    std::atomic<bool> Playing{false};
    std::thread::id PlayThread;
    std::vector<std::string> Sounds;
    int Stops = 0;

private:
    int ms_;
};

}  // namespace ziv::test
