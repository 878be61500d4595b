#include "audio/pulse_playback.h"

#include <algorithm>

// A cued play: the stream starts with silence as soon as the transmitter
// is keyed, and the file's first sample is placed where it is heard at the
// end of the key-up delay. On PipeWire the place comes from the graph's
// cycle, seen in the stream's read index; elsewhere from the stream's
// latency.

namespace ziv::pulse {

void TPulsePlayback::Cue(Clock::time_point due) {
    if (state_ != TPlayState::Ready)
        return;
    // PipeWire's service speeds up or slows down a stream it converts
    // whose buffer is not where it wants it: should the graph's rate be
    // unknown, a sound of another rate starts when the play is asked for.
    if (connection_.OnPipeWire() && sound_.spec.rate != connection_.ServerRate())
        return;
    // What was written when the stream was made ready goes: the silence
    // comes first.
    LetRun(pa_stream_flush(stream_.get(), nullptr, nullptr));
    if (!Rewind()) {
        Fail("the sound file cannot be read from its start");
        return;
    }
    loop_ = false;
    cued_ = leading_ = true;
    due_ = due;
    state_ = TPlayState::Playing;
    progressAt_ = Clock::now();
    LetRun(pa_stream_cork(stream_.get(), 0, nullptr, nullptr));
    LetRun(pa_stream_update_timing_info(stream_.get(), nullptr, nullptr));
    if (connection_.OnPipeWire()) {
        timeval at{};
        pa_gettimeofday(&at);
        cyclePoll_ = NewTimeEvent(connection_.Api(), &at, &TPulsePlayback::OnCyclePoll, this);
    }
    Pump();
}

void TPulsePlayback::OnCyclePoll(pa_mainloop_api* api, pa_time_event* event, const timeval*,
                                 void* userdata) {
    auto* self = static_cast<TPulsePlayback*>(userdata);
    if (!self->stream_ || !(self->leading_ || self->state_ == TPlayState::Draining))
        return;
    LetRun(pa_stream_update_timing_info(self->stream_.get(), nullptr, nullptr));
    timeval at{};
    pa_gettimeofday(&at);
    pa_timeval_add(&at, 1000);
    api->time_restart(event, &at);
}

// A take of the graph shows as a jump of the read index, which came after
// the last answer that did not show it: dating the cycle by that answer
// places the message late rather than early, by at most the poll's period.
void TPulsePlayback::FollowCycle(const pa_timing_info& ti) {
    if (ti.read_index_corrupt)
        return;
    const auto answered = Clock::now() - std::chrono::microseconds(ti.transport_usec);
    if (ti.read_index != cycleRead_) {
        if (cycleRead_ >= 0 && ti.read_index > cycleRead_) {
            const std::int64_t take = ti.read_index - cycleRead_;
            cycleBytes_ = cycleBytes_ == 0 ? take : std::min(cycleBytes_, take);
            cycleStart_ = lastAnswer_;
        }
        cycleRead_ = ti.read_index;
    }
    lastAnswer_ = answered;
}

// The frames of silence still to write before the file's first sample;
// -1 while the stream's latency is not known yet.
sf_count_t TPulsePlayback::LeadFrames() const {
    const std::optional<Clock::time_point> heard = NextFrameHeard();
    if (!heard)
        return -1;
    if (*heard < due_) {
        const auto until = std::chrono::duration_cast<std::chrono::microseconds>(due_ - *heard);
        if (const sf_count_t frames = until.count() * sound_.spec.rate / 1000000; frames > 0)
            return frames;
    }
    // Before PipeWire's cycle is seen, the place is not known: wait for it,
    // unless the message is due anyway.
    if (cyclePoll_ && cycleBytes_ == 0 && Clock::now() < due_)
        return -1;
    return 0;
}

// When the next frame written will be heard; none while that is not known.
std::optional<Clock::time_point> TPulsePlayback::NextFrameHeard() const {
    const auto now = Clock::now();
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream_.get(), &latency, &negative) < 0)
        return std::nullopt;
    const auto reported = now + std::chrono::microseconds(negative ? 0 : latency);
    if (!cyclePoll_)
        return reported;
    const pa_timing_info* ti = pa_stream_get_timing_info(stream_.get());
    if (cycleBytes_ > 0 && ti != nullptr && !ti->write_index_corrupt) {
        // The frame at the read index is taken at the next cycle's start and
        // heard during the cycle after it.
        const auto cycle = pa_bytes_to_usec(static_cast<std::uint64_t>(cycleBytes_), &sound_.spec);
        const std::int64_t ahead = std::max<std::int64_t>(0, ti->write_index - cycleRead_);
        return cycleStart_ +
               std::chrono::microseconds(
                   2 * cycle + pa_bytes_to_usec(static_cast<std::uint64_t>(ahead), &sound_.spec));
    }
    // Before a cycle has been seen, only silence that cannot delay the
    // message is written: the server may hold up to three cycles of the
    // longest kind (1024 frames at 48 kHz) more than it reports.
    return reported + std::chrono::milliseconds(70);
}

// How much more silence the server should hold. After the flush it asks
// for its buffer twice over; PipeWire's service then slows the stream down
// to bring the excess back (a message heard at 987 Hz for 1000, with a
// hole): no more than the target length is written ahead.
size_t TPulsePlayback::LeadRoom() const {
    pa_usec_t latency = 0;
    int negative = 0;
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream_.get());
    if (attr == nullptr || pa_stream_get_latency(stream_.get(), &latency, &negative) < 0)
        return 0;
    const pa_usec_t target = pa_bytes_to_usec(attr->tlength, &sound_.spec);
    if (!negative && latency >= target)
        return 0;
    return pa_usec_to_bytes(target - (negative ? 0 : latency), &sound_.spec);
}

// Writes silence until the file's first sample is due; true once it is.
bool TPulsePlayback::WriteLead(size_t frameBytes) {
    for (;;) {
        const sf_count_t lead = LeadFrames();
        if (lead == 0) {
            leading_ = false;
            return true;
        }
        const size_t writable = std::min(pa_stream_writable_size(stream_.get()), LeadRoom());
        if (lead < 0 || writable == static_cast<size_t>(-1) || writable < frameBytes)
            return false;  // again with the next request or timing update
        void* data = nullptr;
        size_t bytes = std::min(writable, static_cast<size_t>(lead) * frameBytes);
        if (pa_stream_begin_write(stream_.get(), &data, &bytes) < 0 || data == nullptr) {
            Fail(pa_strerror(connection_.Errno()));
            return false;
        }
        bytes = std::min(bytes, static_cast<size_t>(lead) * frameBytes) / frameBytes * frameBytes;
        std::fill_n(static_cast<char*>(data), bytes, 0);  // float zeros
        pa_stream_write(stream_.get(), data, bytes, nullptr, 0, PA_SEEK_RELATIVE);
    }
}

}  // namespace ziv::pulse
