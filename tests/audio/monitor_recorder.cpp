#include "audio/monitor_recorder.h"

#include <pulse/error.h>

#include <cmath>

#include "audio/private_pulse_server.h"

namespace ziv::test {

TMonitorRecorder::TMonitorRecorder(int rate) : rate_(rate) {
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(rate), 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = kChunk * sizeof(float);
    int error = 0;
    stream_ =
        pa_simple_new(nullptr, "ziv-recorder", PA_STREAM_RECORD, TPrivatePulseServer::kMonitor,
                      "monitor", &spec, nullptr, &attr, &error);
    if (stream_ == nullptr) {
        error_ = pa_strerror(error);
        return;
    }
    thread_ = std::thread([this] {
        std::vector<float> chunk(kChunk);
        while (!stop_) {
            if (pa_simple_read(stream_, chunk.data(), chunk.size() * sizeof(float), nullptr) < 0)
                break;
            const auto now = Clock::now();
            int readError = 0;
            const pa_usec_t latency = pa_simple_get_latency(stream_, &readError);
            const std::lock_guard lock(mutex_);
            samples_.insert(samples_.end(), chunk.begin(), chunk.end());
            newest_.push_back(now - std::chrono::microseconds(latency));
        }
    });
}

bool TMonitorRecorder::WaitUntilListening(std::size_t chunks, std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    while (Ok() && Size() < chunks * kChunk) {
        if (Clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Ok();
}

std::size_t TMonitorRecorder::Size() {
    const std::lock_guard lock(mutex_);
    return samples_.size();
}

void TMonitorRecorder::Copy(std::vector<float>& samples,
                            std::vector<Clock::time_point>& chunkNewest) {
    const std::lock_guard lock(mutex_);
    samples = samples_;
    chunkNewest = newest_;
}

std::vector<float> TMonitorRecorder::Finish() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (stream_ != nullptr)
        pa_simple_free(stream_);
    stream_ = nullptr;
    return samples_;
}

bool TMonitorRecorder::FindSound(Clock::time_point from, Clock::time_point* first,
                                 Clock::time_point* last) {
    const std::lock_guard lock(mutex_);
    const double rate = rate_;
    bool found = false;
    for (std::size_t i = 0; i < samples_.size(); ++i) {
        if (std::fabs(samples_[i]) < 0.05f)
            continue;
        const std::size_t chunk = i / kChunk;
        const auto behind = static_cast<double>(chunk * kChunk + kChunk - 1 - i) / rate;
        const auto at = newest_[chunk] - std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(behind));
        if (at < from)
            continue;
        if (!found)
            *first = at;
        *last = at;
        found = true;
    }
    return found;
}

}  // namespace ziv::test
