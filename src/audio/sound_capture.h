#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ziv {

// The platform's sound input, as the message recorder uses it: the
// default input (the microphone the operator set up for the system),
// captured as 16-bit mono samples. PulseAudio's default source on Linux,
// the default wave input device on Windows.
class TSoundCapture {
public:
    virtual ~TSoundCapture() = default;

    // Starts capturing from the default input. Returns false with the
    // reason in *error (one line, no prefix) when there is no input, it is
    // refused, or the sound server does not answer; waits at most about
    // two seconds for that. A running capture is ended first.
    virtual bool Start(std::string* error) = 0;

    // Samples per second of what the running capture delivers.
    virtual int SampleRate() const = 0;

    // Appends the samples captured since the last call to *samples.
    // Returns false with the reason in *error once the input has failed
    // (the device vanished, the server went away); what came before the
    // failure is still appended. Called on the user-interface thread,
    // about ten times a second; never blocks for long.
    virtual bool Take(std::vector<std::int16_t>* samples, std::string* error) = 0;

    // Ends the capture and frees the input; harmless when none runs.
    // Returns promptly, also when the server hangs.
    virtual void Stop() = 0;

    // The input later captures use, by the name the platform gives it;
    // empty for the system's default. A named input that is not there
    // fails Start rather than recording another.
    virtual void SetInputDevice(const std::string& name) { (void)name; }
};

}  // namespace ziv
