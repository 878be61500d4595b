#include "core/recorded_sound.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace ziv {

namespace {

constexpr int kBlockMs = 10;
constexpr double kFullScale = 32768.0;
// The threshold's amplitude, squared: compared with each block's mean square.
const double kThresholdPower = [] {
    const double amplitude = kFullScale * std::pow(10.0, kSilenceThresholdDbfs / 20.0);
    return amplitude * amplitude;
}();

std::size_t BlockLength(int rate) {
    const std::size_t length = static_cast<std::size_t>(rate) * kBlockMs / 1000;
    return length == 0 ? 1 : length;
}

std::size_t SamplesOfMs(int rate, int ms) {
    return static_cast<std::size_t>(rate) * static_cast<std::size_t>(ms) / 1000;
}

bool Loud(const std::int16_t* samples, std::size_t count) {
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return count > 0 && sum / static_cast<double>(count) >= kThresholdPower;
}

// Calls loud(begin, end) for each whole or last partial block.
template <typename F>
void ForEachLoudBlock(const std::vector<std::int16_t>& samples, int rate, F loud) {
    const std::size_t block = BlockLength(rate);
    for (std::size_t begin = 0; begin < samples.size(); begin += block) {
        const std::size_t count = std::min(block, samples.size() - begin);
        if (Loud(samples.data() + begin, count))
            loud(begin, begin + count);
    }
}

void PutLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

int SoundAboveThresholdMs(const std::vector<std::int16_t>& samples, int rate) {
    if (rate <= 0)
        return 0;
    std::size_t loud = 0;
    ForEachLoudBlock(samples, rate,
                     [&loud](std::size_t begin, std::size_t end) { loud += end - begin; });
    return static_cast<int>(loud * 1000 / static_cast<std::size_t>(rate));
}

std::vector<std::int16_t> TrimSilence(const std::vector<std::int16_t>& samples, int rate) {
    bool any = false;
    std::size_t first = 0;
    std::size_t last = 0;
    ForEachLoudBlock(samples, rate, [&](std::size_t begin, std::size_t end) {
        if (!any)
            first = begin;
        any = true;
        last = end;
    });
    if (!any)
        return {};
    const std::size_t lead = SamplesOfMs(rate, kLeadKeptMs);
    const std::size_t begin = first > lead ? first - lead : 0;
    const std::size_t end = std::min(samples.size(), last + SamplesOfMs(rate, kTailKeptMs));
    return {samples.begin() + static_cast<std::ptrdiff_t>(begin),
            samples.begin() + static_cast<std::ptrdiff_t>(end)};
}

double PeakDbfs(const std::int16_t* samples, std::size_t count) {
    int peak = 0;
    for (std::size_t i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    if (peak == 0)
        return -120.0;
    return std::max(-120.0, 20.0 * std::log10(peak / kFullScale));
}

std::string WavFileBytes(const std::vector<std::int16_t>& samples, int rate) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    PutLe(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);  // PCM
    PutLe(out, 1, 2);  // mono
    PutLe(out, static_cast<std::uint32_t>(rate), 4);
    PutLe(out, static_cast<std::uint32_t>(rate) * 2, 4);
    PutLe(out, 2, 2);   // block align
    PutLe(out, 16, 2);  // bits per sample
    out += "data";
    PutLe(out, dataBytes, 4);
    for (std::int16_t sample : samples)
        PutLe(out, static_cast<std::uint16_t>(sample), 2);
    return out;
}

}  // namespace ziv
