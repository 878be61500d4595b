#pragma once

#include <cstdint>
#include <string>

namespace ziv {

// Flags of a play request, with the values of the waveform sound service
// the player was written against.
enum TSoundFlags : std::uint32_t {
    SND_SYNC = 0x00000000,
    SND_ASYNC = 0x00000001,
    SND_MEMORY = 0x00000004,
    SND_LOOP = 0x00000008,
    SND_FILENAME = 0x00020000,
    SND_RESOURCE = 0x00040004,
};

// The platform's waveform sound service, as the WAV player uses it.
class TSoundService {
public:
    virtual ~TSoundService() = default;

    // Plays a sound. Synchronous (no SND_ASYNC): returns only after the
    // last sample has been played out by the device. Asynchronous: returns
    // at once; with SND_LOOP the sound repeats until stopped or replaced.
    // A new play replaces whatever this process is playing. Returns false
    // when nothing could be played; the reason goes to standard error.
    virtual bool PlaySound(const std::string& sound, std::uint32_t flags) = 0;

    // Ends whatever this process plays; nothing happens when nothing plays.
    virtual void StopSound() = 0;

    // Makes the output ready for the sound that is about to be played, so
    // that its first sample follows the play request at once. A later play
    // of another sound, or none at all, is harmless. Returns false, with
    // one line on standard error saying why, when the sound cannot be
    // played: the file cannot be read, is no sound or holds no samples, or
    // no sound output answers. The keyer asks this before it keys the
    // transmitter.
    virtual bool PrepareSound(const std::string& sound) {
        (void)sound;
        return true;
    }

    // The prepared sound is to be heard `startInMs` from now: the keyer has
    // keyed the transmitter and asks for the play when its key-up delay has
    // run. An output that starts a sound late may start it now, placing its
    // first sample at that moment and never earlier; the play then waits
    // for its end. A stop, another preparation or a play of something else
    // drops it.
    virtual void CueSound(int startInMs) { (void)startInMs; }

    // The output later plays go to, by the name the platform gives it;
    // empty for the system's default. A named output that is not there
    // fails the play (and PrepareSound) rather than sounding elsewhere.
    virtual void SetOutputDevice(const std::string& name) { (void)name; }

    // Synchronous plays from now on are stopped once they have lasted `ms`
    // (0: never), and PlayLimitReached then says so until the next play.
    virtual void SetPlayLimit(int ms) { (void)ms; }
    virtual bool PlayLimitReached() const { return false; }
};

}  // namespace ziv
