// The operator may assign any file to a message slot. The player's own
// opening code lives inside the sound service and runs only with a sound
// server, so this target repeats its steps: the same open of a regular
// file, the same format check and the same float reads its stream writer
// does, a rewind for a looping message included. A fault here is one the
// player meets with the same bytes.

#include <fcntl.h>
#include <pulse/sample.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_scratch.h"

namespace {

// The decoders behind libsndfile chatter on stderr about every broken
// frame, so scripts/fuzz.sh has libFuzzer close the target's stderr; a
// failure is told on a copy of it taken before that.
int reportFd = STDERR_FILENO;

[[noreturn]] void Fail(const std::string& what) {
    const std::string line = "sound_file_fuzzer: " + what + "\n";
    (void)!::write(reportFd, line.data(), line.size());
    __builtin_trap();
}

// About what the server asks for at a time, in frames.
constexpr sf_count_t kChunkFrames = 1024;
// Compressed formats turn a few bytes into hours of sound; reading past
// this many frames per pass adds time, not coverage.
constexpr sf_count_t kMaxFramesPerPass = sf_count_t{1} << 20;
// Floats past the requested frames that must stay as they were: the player
// hands libsndfile the server's buffer, which ends right there.
constexpr std::size_t kGuardFloats = 64;
constexpr float kGuard = -12345.678f;

const std::string& InputPath() {
    static const std::string path =
        ziv::fuzz::ScratchDir("ziv-sound-fuzz-XXXXXX", Fail) + "/message.wav";
    return path;
}

// Reads until the end of the file, or the cap, the way the stream writer
// fills the server's buffer: a request for the rest of the buffer after
// each short read.
void ReadPass(SNDFILE* file, int channels, std::vector<float>& buffer) {
    const auto perFrame = static_cast<std::size_t>(channels);
    const std::size_t guardStart = static_cast<std::size_t>(kChunkFrames) * perFrame;
    sf_count_t total = 0;
    while (total < kMaxFramesPerPass) {
        sf_count_t filled = 0;
        while (filled < kChunkFrames) {
            const sf_count_t wanted = kChunkFrames - filled;
            const sf_count_t got = sf_readf_float(
                file, buffer.data() + static_cast<std::size_t>(filled) * perFrame, wanted);
            for (std::size_t i = 0; i < kGuardFloats; ++i) {
                if (std::memcmp(&buffer[guardStart + i], &kGuard, sizeof kGuard) != 0) {
                    Fail("sf_readf_float wrote past the " + std::to_string(wanted) +
                         " frames asked for");
                }
            }
            if (got > wanted) {
                Fail("sf_readf_float returned " + std::to_string(got) + " frames for " +
                     std::to_string(wanted) + " asked for");
            }
            if (got <= 0) {
                return;
            }
            filled += got;
        }
        total += filled;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const int copy = ::dup(STDERR_FILENO);
    if (copy >= 0) {
        reportFd = copy;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = InputPath();
    ziv::fuzz::WriteInput(path, data, size, Fail);

    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        Fail("cannot open " + path);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Fail("the input is not a regular file");
    }
    SF_INFO info{};
    SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (file == nullptr) {
        return 0;  // libsndfile owns the descriptor, also when it refuses
    }

    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_FLOAT32NE;
    spec.rate = info.samplerate > 0 ? static_cast<std::uint32_t>(info.samplerate) : 0;
    spec.channels = info.channels > 0 && info.channels <= static_cast<int>(PA_CHANNELS_MAX)
                        ? static_cast<std::uint8_t>(info.channels)
                        : 0;
    if (!pa_sample_spec_valid(&spec) || info.frames == 0) {
        sf_close(file);
        return 0;
    }

    std::vector<float> buffer(static_cast<std::size_t>(kChunkFrames) * spec.channels + kGuardFloats,
                              kGuard);
    ReadPass(file, spec.channels, buffer);
    // A looping message starts over from the first frame.
    if (sf_seek(file, 0, SEEK_SET) == 0) {
        ReadPass(file, spec.channels, buffer);
    }
    sf_close(file);
    return 0;
}
