#pragma once

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "audio/pulse_connection.h"
#include "audio/pulse_handles.h"
#include "audio/pulse_sound_file.h"
#include "audio/rate_converter.h"

namespace ziv::pulse {

enum class TPlayState {
    Opened,      // file open, no stream yet (the server may still be connecting)
    Connecting,  // stream created, not yet accepted by the server
    Ready,       // stream corked and filled, waiting to be started
    Playing,     // started; samples are being written
    Draining,    // the whole file has been written; waiting for it to be played
    Tail,        // played by the server; waiting out the device's own latency
    Done,
    Stopped,
    Failed,
};

// "cannot play <path>: <why>", as one line on standard error.
void ReportCannotPlay(const std::string& path, const std::string& why);

// One play of one sound file on its own stream: the file is read only as
// far as the server asks for samples, and the play is done only once the
// device has played the last of them. Guarded by the connection's lock.
class TPulsePlayback {
public:
    // Opens `path`; null, with the reason in `error`, when it cannot be played.
    // `device` names the sink; empty for the server's default.
    static std::shared_ptr<TPulsePlayback> Open(const std::string& path, const std::string& device,
                                                TPulseConnection& connection, int bufferMs,
                                                std::string* error);
    TPulsePlayback(std::string path, std::string device, TSoundFile sound,
                   TPulseConnection& connection, int bufferMs);
    TPulsePlayback(const TPulsePlayback&) = delete;
    TPulsePlayback& operator=(const TPulsePlayback&) = delete;

    // Creates the stream, corked, on the standing connection; the server
    // then asks for its first buffer at once. False (failed) with the reason.
    bool StartStream(std::string* error);
    // Uncorks a Ready stream and writes what the server asks for.
    void Start(bool looping);
    // Starts a Ready stream at once, with silence before the file, so that
    // the file's first sample is heard at `due` and never earlier: a
    // stream started only when the play is asked for is heard a server's
    // latency late (a whole graph cycle or two on PipeWire). Played once.
    void Cue(Clock::time_point due);
    bool Cued() const { return cued_; }
    // Ends the play in `state`, giving back everything it holds; no effect
    // once it has ended.
    void Finish(TPlayState state);
    void Fail(const std::string& why);
    // Nobody waits for the outcome any more: a later failure is reported
    // where it happens.
    void ReportLaterFailures() { reportFailure_ = true; }

    const std::string& Path() const { return path_; }
    const std::string& Device() const { return device_; }
    TPlayState State() const { return state_; }
    const std::string& Error() const { return error_; }
    bool IsEmpty() const { return sound_.info.frames == 0; }
    bool HasStream() const { return stream_ != nullptr; }
    bool Finished() const;
    // The server owes this play progress.
    bool Moving() const;
    // No progress for longer than allowed: `stallMs` once the device has
    // taken samples of this play, `startMs` before.
    bool Stalled(Clock::time_point now, int stallMs, int startMs) const;

private:
    bool CreateStream(std::string* error);
    bool ConnectStream(std::string* error);
    void Pump();
    bool WriteLead(size_t frameBytes);
    sf_count_t LeadFrames() const;
    size_t LeadRoom() const;
    std::optional<Clock::time_point> NextFrameHeard() const;
    void FollowCycle(const pa_timing_info& ti);
    static void OnCyclePoll(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata);
    bool ConvertToServerRate(std::string* error);
    bool Rewind();
    sf_count_t Read(float* out, sf_count_t frames, std::string* error);
    sf_count_t ReadFile(float* out, sf_count_t frames);
    void StartDrain();
    void EndWithLastTake(std::int64_t before);
    void StartTail(bool timingValid);
    void Release();

    static void OnStreamState(pa_stream* stream, void* userdata);
    static void OnWrite(pa_stream* stream, size_t bytes, void* userdata);
    static void OnLatencyUpdate(pa_stream* stream, void* userdata);
    static void OnDrained(pa_stream* stream, int success, void* userdata);
    static void OnTailTiming(pa_stream* stream, int success, void* userdata);
    static void OnTailEnd(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata);

    TPulseConnection& connection_;
    int bufferMs_;
    std::string path_;
    std::string device_;
    // Given back in the reverse order: operation, tail timer, stream, file.
    TSoundFile sound_;
    std::unique_ptr<TRateConverter> converter_;  // while the file's rate is not the server's
    TStreamPtr stream_;
    TTimeEventPtr tailEnd_;
    TOperationPtr operation_;
    TPlayState state_ = TPlayState::Opened;
    bool loop_ = false;
    bool endOfFile_ = false;
    bool reportFailure_ = false;
    // Cued: silence is written until the file's first sample is due.
    bool cued_ = false;
    bool leading_ = false;
    Clock::time_point due_;
    // PipeWire takes a stream's samples a whole graph cycle at a time and
    // plays them during the next cycle; while a cued play leads, the
    // stream's read index is polled to see when a cycle starts.
    TTimeEventPtr cyclePoll_;
    std::int64_t cycleRead_ = -1;   // the read index after the last cycle's take
    std::int64_t cycleBytes_ = 0;   // the least take seen: one cycle
    Clock::time_point cycleStart_;  // no later than that take
    std::int64_t endIndex_ = -1;    // the write index at the file's end, while draining
    Clock::time_point lastAnswer_;  // of the last timing answer
    std::string error_;
    Clock::time_point progressAt_;
    std::int64_t readIndex_ = -1;
    // The device has taken samples of this play: from then on a stall is
    // a stopped device, and the transmitter must not wait long.
    bool flowing_ = false;
};

}  // namespace ziv::pulse
