#pragma once

#include <pulse/simple.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ziv::test {

// Records the private server's null-sink monitor (mono float at the
// server's rate) on a thread of its own, in chunks of 441 samples. For every
// chunk it also keeps when its newest sample reached the sink (arrival
// time less the recording latency then), so a benchmark can date sounds.
class TMonitorRecorder {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kChunk = 441;  // 10 ms

    explicit TMonitorRecorder(int rate = 44100);
    ~TMonitorRecorder() { Finish(); }
    TMonitorRecorder(const TMonitorRecorder&) = delete;
    TMonitorRecorder& operator=(const TMonitorRecorder&) = delete;

    bool Ok() const { return stream_ != nullptr; }
    const std::string& Error() const { return error_; }

    // A new recording stream on the null sink's monitor may take half a
    // second to deliver its first samples; only then is it listening.
    bool WaitUntilListening(std::size_t chunks, std::chrono::milliseconds timeout);

    std::size_t Size();
    int Rate() const { return rate_; }
    // A copy of what was recorded so far, with the time each chunk's newest
    // sample reached the sink.
    void Copy(std::vector<float>& samples, std::vector<Clock::time_point>& chunkNewest);
    // Stops recording and returns everything recorded.
    std::vector<float> Finish();

    // When the first and the last audible sample recorded after `from`
    // reached the sink.
    bool FindSound(Clock::time_point from, Clock::time_point* first, Clock::time_point* last);

private:
    int rate_;
    pa_simple* stream_ = nullptr;
    std::string error_;
    std::thread thread_;
    // Shared with the reading thread, which may outlive this object (see
    // Finish).
    struct TShared {
        std::atomic<bool> stop = false;
        std::atomic<bool> ended = false;
        std::mutex mutex;
        std::vector<float> samples;
        std::vector<Clock::time_point> newest;
    };
    std::shared_ptr<TShared> shared_ = std::make_shared<TShared>();
};

}  // namespace ziv::test
