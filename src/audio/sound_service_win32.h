#pragma once

#include <memory>
#include <string>

#include "audio/sound_service.h"

namespace ziv {

// The sound service on the Win32 wave output (winmm's waveOut), through
// the wave mapper: it converts any format an installed codec reads (PCM of
// 8 to 32 bits, IEEE float, ADPCM, mu-law...) for the default output.
// Each WAV file is read whole into one buffer with winmm's mmio functions
// and played from there; paths are strings in the ANSI code page.
//
// No call waits for ever: a device that stops taking samples fails the
// play after TOptions::stallMs without progress.
//
// PlaySound, StopSound and PrepareSound may be called from any thread;
// StopSound or PlaySound from another thread also ends a synchronous play
// that is waiting in a third.
class TWin32SoundService : public TSoundService {
public:
    struct TOptions {
        // A play gives up when the device stops taking samples for this
        // long: the transmitter is keyed meanwhile, with nothing to send.
        int stallMs = 700;
        // The same before the device has taken any sample of the play: a
        // waking device may take longer.
        int startMs = 3000;
    };

    TWin32SoundService();
    explicit TWin32SoundService(TOptions options);
    ~TWin32SoundService() override;

    TWin32SoundService(const TWin32SoundService&) = delete;
    TWin32SoundService& operator=(const TWin32SoundService&) = delete;

    bool PlaySound(const std::string& sound, std::uint32_t flags) override;
    void StopSound() override;
    // Reads the file and opens the output for it: opening takes well over
    // 100 ms on some systems, and is done here, before the keyer keys.
    bool PrepareSound(const std::string& sound) override;
    void SetOutputDevice(const std::string& name) override;

    // Whether a sound is being played: from the play until its last sample
    // (for ever while looping), a stop or a failure.
    bool IsPlaying() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ziv
