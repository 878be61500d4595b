#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/sound_capture.h"

namespace ziv {

// The sound capture on the Win32 wave input (winmm's waveIn), through the
// wave mapper: it converts what the default input delivers to 16-bit mono
// at 48000 Hz. A thread of its own keeps the device fed with buffers and
// gathers what they bring; Take hands that over.
//
// Every call waits a bounded time: the open happens on the capture thread,
// and a device that does not answer within about two seconds fails Start;
// a thread that does not end at Stop is left to end by itself.
class TWin32SoundCapture : public TSoundCapture {
public:
    static constexpr int kSampleRate = 48000;

    TWin32SoundCapture();
    ~TWin32SoundCapture() override;

    TWin32SoundCapture(const TWin32SoundCapture&) = delete;
    TWin32SoundCapture& operator=(const TWin32SoundCapture&) = delete;

    bool Start(std::string* error) override;
    int SampleRate() const override;
    bool Take(std::vector<std::int16_t>* samples, std::string* error) override;
    void Stop() override;
    void SetInputDevice(const std::string& name) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ziv
