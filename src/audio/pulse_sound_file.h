#pragma once

#include <pulse/sample.h>
#include <sndfile.h>

#include <string>

#include "audio/pulse_handles.h"

namespace ziv::pulse {

// A sound file opened for playing, read as float samples at its own rate.
struct TSoundFile {
    TSndFilePtr handle;
    SF_INFO info{};
    pa_sample_spec spec{};  // what the server is sent: float, the file's rate and channels
};

// Opens `path` as a sound; false, with the reason in `error`, when it is no
// regular file, no sound file, or in a format the server cannot take.
bool OpenSoundFile(const std::string& path, TSoundFile& sound, std::string* error);

}  // namespace ziv::pulse
