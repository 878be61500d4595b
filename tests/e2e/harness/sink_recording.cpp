#include "e2e/harness/sink_recording.h"

#include <chrono>
#include <cmath>
#include <numbers>

#include "e2e/harness/message_wav.h"

namespace ziv::e2e {

namespace {

constexpr float kAudible = 0.05f;

// Power of one frequency in a stretch of samples (Goertzel).
double PowerAt(const float* samples, std::size_t count, double hertz, int rate) {
    const double w = 2 * std::numbers::pi * hertz / rate;
    const double coefficient = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double s0 = samples[i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

// True when `hertz` carries most of the stretch's power among the three
// tones of a marked message.
bool Dominant(const float* samples, std::size_t count, double hertz, int rate) {
    const double wanted = PowerAt(samples, count, hertz, rate);
    for (double other :
         {TMarkedMessage::kStartHz, TMarkedMessage::kBodyHz, TMarkedMessage::kEndHz}) {
        if (other != hertz && PowerAt(samples, count, other, rate) * 4 > wanted)
            return false;
    }
    return wanted > 0;
}

}  // namespace

TSinkRecording::TSinkRecording(int rate) : rate_(rate) {}

bool TSinkRecording::Start(std::string& error) {
    recorder_ = std::make_unique<test::TMonitorRecorder>(rate_);
    if (!recorder_->Ok()) {
        error = "cannot record the sink: " + recorder_->Error();
        return false;
    }
    if (!recorder_->WaitUntilListening(2, std::chrono::seconds(5))) {
        error = "the sink's monitor delivers nothing";
        return false;
    }
    return true;
}

std::vector<THeardSound> TSinkRecording::Sounds() {
    std::vector<float> samples;
    std::vector<test::TMonitorRecorder::Clock::time_point> newest;
    recorder_->Copy(samples, newest);
    const std::size_t chunk = test::TMonitorRecorder::kChunk;
    const double aheadNs = kRenderAheadMs * 1e6;
    auto timeOf = [&](std::size_t i) {
        const std::size_t c = i / chunk;
        const double behindNs = double(c * chunk + chunk - 1 - i) * 1e9 / rate_;
        const std::int64_t newestNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(newest[c].time_since_epoch())
                .count();
        return newestNs - static_cast<std::int64_t>(behindNs) + static_cast<std::int64_t>(aheadNs);
    };

    std::vector<THeardSound> sounds;
    const auto split = static_cast<std::size_t>(kSplitSeconds * rate_);
    const auto window = static_cast<std::size_t>(0.040 * rate_);
    // Past a marked message's markers, with room to spare.
    const auto edge = static_cast<std::size_t>(0.060 * rate_);
    std::size_t i = 0;
    const std::size_t n = std::min(samples.size(), newest.size() * chunk);
    while (i < n) {
        if (std::fabs(samples[i]) < kAudible) {
            ++i;
            continue;
        }
        const std::size_t first = i;
        std::size_t last = i;
        std::size_t longestGap = 0;
        for (std::size_t j = i + 1; j < n && j - last <= split; ++j) {
            if (std::fabs(samples[j]) >= kAudible) {
                longestGap = std::max(longestGap, j - last - 1);
                last = j;
            }
        }
        THeardSound sound;
        sound.firstNs = timeOf(first);
        sound.lastNs = timeOf(last);
        sound.seconds = double(last - first) / rate_;
        sound.longestGapMs = 1000.0 * double(longestGap) / rate_;
        if (last + 1 - first >= 2 * window) {
            sound.startMarker = Dominant(&samples[first], window, TMarkedMessage::kStartHz, rate_);
            sound.endMarker =
                Dominant(&samples[last + 1 - window], window, TMarkedMessage::kEndHz, rate_);
        }
        if (last + 1 - first >= 3 * edge)
            sound.hertz =
                ZeroCrossingHertz(&samples[first + edge], last + 1 - first - 2 * edge, rate_);
        sounds.push_back(sound);
        i = last + 1;
    }
    return sounds;
}

}  // namespace ziv::e2e
