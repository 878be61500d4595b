#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ziv::win32 {

// A WAV file read whole into memory, as the wave output takes it.
struct TWaveFile {
    // The fmt chunk as a WAVEFORMATEX (at least its 18 bytes, then any
    // extra bytes the format declares), ready for waveOutOpen.
    std::vector<unsigned char> format;
    // The data chunk, cut to whole blocks.
    std::vector<char> samples;
};

// Voice messages last seconds: a file larger than this is refused rather
// than loaded into one buffer (about six minutes of 48 kHz 16-bit stereo).
inline constexpr std::size_t kMaxWaveFileBytes = std::size_t{64} << 20;

// Reads a RIFF/WAVE file (a path in the ANSI code page). On failure returns
// false with `error` set to why, without a trailing full stop. A file with
// a data chunk that holds no whole block succeeds with no samples.
bool ReadWaveFile(const std::string& path, TWaveFile& wave, std::string* error);

// The same samples described as WAVE_FORMAT_EXTENSIBLE, for PCM or float
// formats a driver refuses under their plain tag (Wine refuses 32-bit PCM
// so); empty when the format is neither.
std::vector<unsigned char> ExtensibleFormat(const std::vector<unsigned char>& format);

// "tag 0x0001, 16-bit, 2 channels at 44100 Hz": for messages about a
// format the output refuses.
std::string DescribeFormat(const TWaveFile& wave);

// A system's message text without its trailing full stop and line end, to
// stand inside a line of ours.
std::string WithoutFullStop(std::string text);

// The text Windows has for a system error code, without a trailing full stop.
std::string SystemErrorText(unsigned long code);

}  // namespace ziv::win32
