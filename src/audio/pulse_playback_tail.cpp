#include "audio/pulse_playback.h"

#include <algorithm>

// The end of a play: Play returns only once the last sample has been
// played out by the device, not merely taken by the server, or the
// transmitter would be unkeyed over the end of the message.

namespace ziv::pulse {
namespace {

// Longest wait for the device's own latency, however it reports it.
constexpr pa_usec_t kMaxTailUsec = 2 * PA_USEC_PER_SEC;

}  // namespace

void TPulsePlayback::StartDrain() {
    state_ = TPlayState::Draining;
    operation_.reset(pa_stream_drain(stream_.get(), &TPulsePlayback::OnDrained, this));
    if (!operation_) {
        Fail(pa_strerror(connection_.Errno()));
        return;
    }
    // PipeWire's service says a stream is drained a cycle or more after its
    // last sample was heard; where its cycle is known, the last take of the
    // graph tells the end sooner.
    const pa_timing_info* ti = pa_stream_get_timing_info(stream_.get());
    if (cyclePoll_ && cycleBytes_ > 0 && ti != nullptr && !ti->write_index_corrupt) {
        endIndex_ = ti->write_index;
        timeval now{};
        pa_gettimeofday(&now);
        connection_.Api()->time_restart(cyclePoll_.get(), &now);
    }
}

// The graph has taken the last samples, from `before` on, at a cycle's
// start no later than now: they are heard during the next cycle.
void TPulsePlayback::EndWithLastTake(std::int64_t before) {
    operation_.reset();  // the drain's answer is not waited for
    timeval end{};
    pa_gettimeofday(&end);
    pa_timeval_add(&end,
                   pa_bytes_to_usec(static_cast<std::uint64_t>(cycleBytes_ + endIndex_ - before),
                                    &sound_.spec));
    state_ = TPlayState::Tail;
    tailEnd_ = NewTimeEvent(connection_.Api(), &end, &TPulsePlayback::OnTailEnd, this);
    if (!tailEnd_)
        Finish(TPlayState::Done);
}

void TPulsePlayback::OnDrained(pa_stream* stream, int success, void* userdata) {
    auto* self = static_cast<TPulsePlayback*>(userdata);
    ForgetCompleted(self->operation_);
    if (!success) {
        self->Fail(pa_strerror(pa_context_errno(pa_stream_get_context(stream))));
        return;
    }
    // The server has played everything; what the device still holds is
    // learnt from fresh timing information.
    self->operation_.reset(
        pa_stream_update_timing_info(stream, &TPulsePlayback::OnTailTiming, self));
    if (!self->operation_)
        self->StartTail(false);
}

void TPulsePlayback::OnTailTiming(pa_stream*, int success, void* userdata) {
    auto* self = static_cast<TPulsePlayback*>(userdata);
    ForgetCompleted(self->operation_);
    self->StartTail(success != 0);
}

void TPulsePlayback::StartTail(bool timingValid) {
    timeval end{};
    pa_usec_t remaining = 0;
    const pa_timing_info* ti = timingValid ? pa_stream_get_timing_info(stream_.get()) : nullptr;
    if (ti != nullptr) {
        end = ti->timestamp;
        remaining = ti->sink_usec;
        if (!ti->write_index_corrupt && !ti->read_index_corrupt && ti->write_index > ti->read_index)
            remaining += pa_bytes_to_usec(
                static_cast<std::uint64_t>(ti->write_index - ti->read_index), &sound_.spec);
    } else {
        pa_gettimeofday(&end);
    }
    pa_timeval_add(&end, std::min(remaining, kMaxTailUsec));
    state_ = TPlayState::Tail;
    tailEnd_ = NewTimeEvent(connection_.Api(), &end, &TPulsePlayback::OnTailEnd, this);
    if (!tailEnd_)
        Finish(TPlayState::Done);
}

void TPulsePlayback::OnTailEnd(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
    static_cast<TPulsePlayback*>(userdata)->Finish(TPlayState::Done);
}

}  // namespace ziv::pulse
