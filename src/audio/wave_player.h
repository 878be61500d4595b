#pragma once

#include <functional>
#include <string>

#include "audio/sound_service.h"

namespace ziv {

enum TWaveLocation { wlFile, wlResource, wlRAM };

// Plays one sound through the platform's sound service, firing BeforePlay
// before and AfterPlay after every play request, whatever its outcome.
class TSRWavePlayer {
public:
    using TNotifyEvent = std::function<void(TSRWavePlayer& sender)>;

    explicit TSRWavePlayer(TSoundService& service) : service_(service) {}

    bool Async() const { return async_; }
    // Assigning false also ends looping.
    void SetAsync(bool value);
    bool Loop() const { return loop_; }
    // Looping needs asynchronous play; otherwise the assignment is ignored.
    void SetLoop(bool value);

    TWaveLocation WaveLocation() const { return location_; }
    void SetWaveLocation(TWaveLocation value) { location_ = value; }
    const std::string& WaveName() const { return waveName_; }
    void SetWaveName(std::string value) { waveName_ = std::move(value); }

    TNotifyEvent BeforePlay;
    TNotifyEvent AfterPlay;

    // Plays WaveName once (or looping). True when the service reported success.
    bool Play();
    // Ends any sound this process is playing. Fires no event.
    void Stop();
    // Readies the output for WaveName ahead of Play (before the transmitter
    // is keyed). Has no effect on what Play does. False when WaveName
    // cannot be played (the service says why).
    bool Prepare();
    // The prepared WaveName is to be heard `startInMs` from now, when Play
    // is asked for it (the service may start it early enough to be on time).
    void Cue(int startInMs);

    // Plays are stopped once they have lasted `ms` (0: never); TimedOut
    // tells whether the last one was.
    void SetTimeLimit(int ms) { service_.SetPlayLimit(ms); }
    bool TimedOut() const { return service_.PlayLimitReached(); }
    // The output plays go to, by name; empty for the system's default.
    void SetOutputDevice(const std::string& name) { service_.SetOutputDevice(name); }

    // The flags Play passes for the present properties.
    std::uint32_t PlayFlags() const;

private:
    std::uint32_t LocationFlag() const;

    TSoundService& service_;
    bool async_ = false;
    bool loop_ = false;
    std::string waveName_;
    TWaveLocation location_ = wlFile;
};

}  // namespace ziv
