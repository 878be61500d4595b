#include "audio/pulse_sound_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace ziv::pulse {
namespace {

std::string WithoutFullStop(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '\n'))
        text.pop_back();
    return text;
}

// Non-blocking, so that a named pipe given as a sound cannot hang the
// open; only regular files are read.
int OpenRegularFile(const std::string& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *error = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
        ::close(fd);
        return -1;
    }
    return fd;
}

pa_sample_spec FloatSpecOf(const SF_INFO& info) {
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_FLOAT32NE;
    spec.rate = info.samplerate > 0 ? static_cast<std::uint32_t>(info.samplerate) : 0;
    spec.channels = info.channels > 0 && info.channels <= static_cast<int>(PA_CHANNELS_MAX)
                        ? static_cast<std::uint8_t>(info.channels)
                        : 0;
    return spec;
}

}  // namespace

bool OpenSoundFile(const std::string& path, TSoundFile& sound, std::string* error) {
    if (path.empty()) {
        *error = "no sound file given";
        return false;
    }
    const int fd = OpenRegularFile(path, error);
    if (fd < 0)
        return false;
    // libsndfile owns the descriptor from here on, also when it fails.
    sound.handle.reset(sf_open_fd(fd, SFM_READ, &sound.info, SF_TRUE));
    if (!sound.handle) {
        *error = "not a sound file (" + WithoutFullStop(sf_strerror(nullptr)) + ")";
        return false;
    }
    sound.spec = FloatSpecOf(sound.info);
    if (!pa_sample_spec_valid(&sound.spec)) {
        *error = "unsupported sound format (" + std::to_string(sound.info.channels) +
                 " channels at " + std::to_string(sound.info.samplerate) + " Hz)";
        sound.handle.reset();
        return false;
    }
    return true;
}

}  // namespace ziv::pulse
