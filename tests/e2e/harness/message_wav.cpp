#include "e2e/harness/message_wav.h"

#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace ziv::e2e {

bool WriteMarkedMessage(const std::string& path, const TMarkedMessage& message,
                        std::string& error) {
    SF_INFO info{};
    info.samplerate = message.rate;
    info.channels = message.channels;
    info.format = SF_FORMAT_WAV | (message.floatSamples ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        error = path + ": " + sf_strerror(nullptr);
        return false;
    }
    const auto frames = [&](double seconds) {
        return static_cast<long>(std::lround(seconds * message.rate));
    };
    const long markerFrames = frames(TMarkedMessage::kMarkerSeconds);
    const long bodyFrames = frames(message.bodySeconds);
    std::vector<float> samples;
    samples.reserve(static_cast<std::size_t>((2 * markerFrames + bodyFrames) * message.channels));
    auto tone = [&](double hertz, long count) {
        // Each part starts at phase zero, so its first audible sample comes
        // within microseconds of its start.
        for (long i = 0; i < count; ++i) {
            const auto value =
                static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * hertz * i / message.rate));
            for (int c = 0; c < message.channels; ++c)
                samples.push_back(value);
        }
    };
    tone(TMarkedMessage::kStartHz, markerFrames);
    tone(TMarkedMessage::kBodyHz, bodyFrames);
    tone(TMarkedMessage::kEndHz, markerFrames);
    const sf_count_t total = static_cast<sf_count_t>(samples.size()) / message.channels;
    const bool written = sf_writef_float(file, samples.data(), total) == total;
    if (!written)
        error = path + ": " + sf_strerror(file);
    sf_close(file);
    return written;
}

bool WriteTone(const std::string& path, const TTone& tone, std::string& error) {
    SF_INFO info{};
    info.samplerate = tone.rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        error = path + ": " + sf_strerror(nullptr);
        return false;
    }
    const auto silence = static_cast<std::size_t>(std::lround(tone.silenceSeconds * tone.rate));
    const auto sound = static_cast<std::size_t>(std::lround(tone.seconds * tone.rate));
    std::vector<float> samples(silence, 0.0f);
    // From phase zero: the tone is audible within microseconds of its start.
    for (std::size_t i = 0; i < sound; ++i)
        samples.push_back(static_cast<float>(
            0.5 * std::sin(2 * std::numbers::pi * tone.hertz * double(i) / tone.rate)));
    const auto total = static_cast<sf_count_t>(samples.size());
    const bool written = sf_writef_float(file, samples.data(), total) == total;
    if (!written)
        error = path + ": " + sf_strerror(file);
    sf_close(file);
    return written;
}

double ZeroCrossingHertz(const float* samples, std::size_t count, int rate) {
    // From the first rising crossing to the last: whole periods only.
    std::size_t first = 0, last = 0, crossings = 0;
    for (std::size_t i = 1; i < count; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            if (crossings == 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return double(crossings - 1) * rate / double(last - first);
}

}  // namespace ziv::e2e
