#pragma once

#include <memory>
#include <string>

#include "audio/wav_file_win32.h"

namespace ziv::win32 {

enum class TEnd { Done, Stopped, Failed };

// When a play gives up on a device that takes no samples (see
// TWin32SoundService::TOptions).
struct TStallRules {
    int stallMs;
    int startMs;
};

// One sound in one buffer on an open wave output, from the open to the
// close (when the last reference goes).
class TWaveOutput {
public:
    // Opens the output named `device` (empty: the system's default) for
    // `wave`, which holds samples; null, with `why` set, when the output
    // is not there or refuses.
    static std::shared_ptr<TWaveOutput> Open(std::string path, const std::string& device,
                                             TWaveFile wave, std::string* why);

    virtual ~TWaveOutput() = default;

    virtual const std::string& Path() const = 0;
    // Sends the buffer to the device: the sound starts.
    virtual bool Start(std::string* why) = 0;
    // Ends the play at once; the thread in Wait returns Stopped. Any thread.
    virtual void Stop() = 0;
    // Waits until the buffer has been played out (again and again while
    // looping) or Stop, or until the device stops making progress.
    virtual TEnd Wait(bool looping, TStallRules rules, std::string* why) = 0;
};

// Plays 20 ms of silence, so that what the first play of a process sets
// up (the audio drivers load and connect: one to two seconds under Wine,
// which delayed the first message by 230-650 ms) is done before it.
void WarmUpWaveOutput();

}  // namespace ziv::win32
