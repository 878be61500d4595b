#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/monitor_recorder.h"

namespace ziv::e2e {

// One sound heard on the sink: a run of audible samples with no silence
// longer than kSplitSeconds inside. Times are CLOCK_MONOTONIC nanoseconds,
// the clock of the serial double's line log.
struct THeardSound {
    std::int64_t firstNs = 0;  // when the first audible sample reached the sink
    std::int64_t lastNs = 0;   // when the last one did
    double longestGapMs = 0;   // the longest silence inside
    bool startMarker = false;  // the first 40 ms are the 2 kHz marker
    bool endMarker = false;    // the last 40 ms are the 3 kHz marker
    double hertz = 0;          // zero crossings over the middle (past the markers)
    // From the first audible sample to the last, counted in samples at the
    // sink's rate: exact, where the two times carry the jitter of the
    // moments their chunks were read (a few ms on a loaded machine).
    double seconds = 0;

    double Seconds() const { return seconds; }
};

// Records the private sound server's null sink from construction on.
class TSinkRecording {
public:
    // The null sink renders one block ahead of its own clock: a sample
    // shows on the monitor that long before the sink counts it played (and
    // before a drain that waits for it returns). Measured with the
    // keep-alive stream's 10 ms latency.
    static constexpr double kRenderAheadMs = 2.5;
    static constexpr double kSplitSeconds = 0.020;

    explicit TSinkRecording(int rate);

    // Waits until the monitor delivers samples; false with the reason.
    bool Start(std::string& error);
    // Everything heard so far, in order.
    std::vector<THeardSound> Sounds();

private:
    int rate_;
    std::unique_ptr<test::TMonitorRecorder> recorder_;
};

}  // namespace ziv::e2e
