#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ziv {

// What makes a recording a message worth keeping, and its file. Levels are
// judged in blocks of 10 ms by their RMS against full scale.
inline constexpr double kSilenceThresholdDbfs = -40.0;
inline constexpr int kLeadKeptMs = 50;   // silence kept before the first sound
inline constexpr int kTailKeptMs = 250;  // and after the last: a fading word must not be cut
inline constexpr int kMinSoundMs = 300;  // less sound than this is no message

// Milliseconds of the recording whose 10 ms blocks are above the threshold.
int SoundAboveThresholdMs(const std::vector<std::int16_t>& samples, int rate);

// The recording with the silence before its first loud block cut to
// kLeadKeptMs and after its last one to kTailKeptMs; empty when no block is loud.
std::vector<std::int16_t> TrimSilence(const std::vector<std::int16_t>& samples, int rate);

// The peak of the samples in dB against full scale; -120 for none or silence.
double PeakDbfs(const std::int16_t* samples, std::size_t count);

// A whole WAV file: RIFF, "fmt " PCM 16-bit mono at `rate`, "data".
std::string WavFileBytes(const std::vector<std::int16_t>& samples, int rate);

}  // namespace ziv
