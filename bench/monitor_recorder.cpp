#include "monitor_recorder.h"

#include <pulse/error.h>

#include <cmath>
#include <thread>

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
    thread_ = std::thread([shared = shared_, stream = stream_] {
        std::vector<float> chunk(kChunk);
        while (!shared->stop) {
            if (pa_simple_read(stream, chunk.data(), chunk.size() * sizeof(float), nullptr) < 0)
                break;
            const auto now = Clock::now();
            int readError = 0;
            const pa_usec_t latency = pa_simple_get_latency(stream, &readError);
            const std::lock_guard lock(shared->mutex);
            shared->samples.insert(shared->samples.end(), chunk.begin(), chunk.end());
            shared->newest.push_back(now - std::chrono::microseconds(latency));
        }
        shared->ended = true;
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
    const std::lock_guard lock(shared_->mutex);
    return shared_->samples.size();
}

void TMonitorRecorder::Copy(std::vector<float>& samples,
                            std::vector<Clock::time_point>& chunkNewest) {
    const std::lock_guard lock(shared_->mutex);
    samples = shared_->samples;
    chunkNewest = shared_->newest;
}

std::vector<float> TMonitorRecorder::Finish() {
    shared_->stop = true;
    if (thread_.joinable()) {
        // A read blocks until the next chunk. When the server has gone away
        // meanwhile, libpulse-simple can block for good: after two seconds
        // the reader is left behind, with its stream and what it shares
        // (the process's end takes them), rather than hang the test.
        for (int i = 0; i < 200 && !shared_->ended; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (shared_->ended) {
            thread_.join();
            if (stream_ != nullptr)
                pa_simple_free(stream_);
        } else {
            thread_.detach();
        }
    }
    stream_ = nullptr;
    const std::lock_guard lock(shared_->mutex);
    return shared_->samples;
}

bool TMonitorRecorder::FindSound(Clock::time_point from, Clock::time_point* first,
                                 Clock::time_point* last) {
    const std::lock_guard lock(shared_->mutex);
    const std::vector<float>& samples = shared_->samples;
    const std::vector<Clock::time_point>& newest = shared_->newest;
    const double rate = rate_;
    bool found = false;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) < 0.05f)
            continue;
        const std::size_t chunk = i / kChunk;
        const auto behind = static_cast<double>(chunk * kChunk + kChunk - 1 - i) / rate;
        const auto at = newest[chunk] - std::chrono::duration_cast<Clock::duration>(
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
