#include "audio/wave_player.h"

#include "base/diagnostics.h"

namespace ziv {

void TSRWavePlayer::SetAsync(bool value) {
    async_ = value;
    if (!value)
        loop_ = false;
}

void TSRWavePlayer::SetLoop(bool value) {
    if (value != loop_ && async_)
        loop_ = value;
}

std::uint32_t TSRWavePlayer::LocationFlag() const {
    switch (location_) {
        case wlFile:
            return SND_FILENAME;
        case wlResource:
            return SND_RESOURCE;
        case wlRAM:
            return SND_MEMORY;
    }
    return SND_FILENAME;
}

std::uint32_t TSRWavePlayer::PlayFlags() const {
    std::uint32_t flags = LocationFlag();
    if (loop_)
        flags |= SND_LOOP;
    if (async_)
        flags |= SND_ASYNC;
    return flags;
}

bool TSRWavePlayer::Play() {
    if (BeforePlay)
        BeforePlay(*this);
    bool played = false;
    if (location_ == wlFile) {
        played = service_.PlaySound(waveName_, PlayFlags());
    } else {
        // Sounds from resources or memory are not used by the keyer.
        WriteDiagnostic("only sound files can be played");
    }
    if (AfterPlay)
        AfterPlay(*this);
    return played;
}

void TSRWavePlayer::Stop() {
    service_.StopSound();
}

bool TSRWavePlayer::Prepare() {
    if (location_ != wlFile) {
        WriteDiagnostic("only sound files can be played");
        return false;
    }
    return !waveName_.empty() && service_.PrepareSound(waveName_);
}

void TSRWavePlayer::Cue(int startInMs) {
    if (location_ == wlFile && !waveName_.empty())
        service_.CueSound(startInMs);
}

}  // namespace ziv
