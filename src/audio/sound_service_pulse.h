#pragma once

#include <memory>
#include <string>

#include "audio/sound_service.h"

namespace ziv {

// The sound service on a PulseAudio server (or PipeWire's PulseAudio
// interface): sound files are read with libsndfile and streamed, at their
// own sample rate, to the default output. The streams are named after the
// program ("ZIVSound") so that the desktop's sound settings can route the
// keyer to the radio's sound card and the server remembers that choice.
//
// The server is connected on first use and again after it has gone away,
// so a restarted server works on the next play. No call waits for ever: a
// server or device that stops taking samples fails the play after
// TOptions::stallMs without progress.
//
// PlaySound, StopSound and PrepareSound may be called from any thread, one
// call at a time; StopSound or PlaySound from another thread also ends a
// synchronous play that is waiting in a third.
class TPulseSoundService : public TSoundService {
public:
    struct TOptions {
        // A play gives up when the device stops taking samples for this
        // long: the transmitter is keyed meanwhile, with nothing to send.
        int stallMs = 700;
        // The same before the device has taken any sample of the play: a
        // freshly started server or a waking device may take longer.
        int startMs = 3000;
        // Longest wait for the server to accept the connection.
        int connectMs = 3000;
        // Samples kept queued at the server: low enough for a prompt start
        // and stop, high enough to ride out a busy machine.
        int bufferMs = 100;
    };

    TPulseSoundService();
    explicit TPulseSoundService(TOptions options);
    ~TPulseSoundService() override;

    TPulseSoundService(const TPulseSoundService&) = delete;
    TPulseSoundService& operator=(const TPulseSoundService&) = delete;

    bool PlaySound(const std::string& sound, std::uint32_t flags) override;
    void StopSound() override;
    bool PrepareSound(const std::string& sound) override;
    void CueSound(int startInMs) override;
    void SetOutputDevice(const std::string& name) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ziv
