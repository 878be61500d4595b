#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "audio/pulse_handles.h"
#include "audio/sound_capture.h"

namespace ziv {

// Captures PulseAudio's default source on a main loop of its own, separate
// from the playbacks' connection: a recording must neither wait for a
// playback's server round trip nor take a playback down when it fails.
//
// The server delivers 16-bit mono at 48 kHz whatever the microphone does
// (it resamples and downmixes). The sound thread copies every fragment into
// a buffer under a mutex of its own, so Take never waits for the main
// loop's lock: with a frozen server the recorder still sees, from the
// samples that stop coming, that the input has stalled.
class TPulseSoundCapture : public TSoundCapture {
public:
    static constexpr int kRate = 48000;
    // What Start waits at most for the server to connect and the stream to
    // stand.
    static constexpr int kStartMs = 2000;
    // Fragments of about 20 ms: a level meter polled ten times a second
    // moves smoothly, and the server wakes this client rarely enough.
    static constexpr int kFragmentMs = 20;

    TPulseSoundCapture() = default;
    ~TPulseSoundCapture() override;
    TPulseSoundCapture(const TPulseSoundCapture&) = delete;
    TPulseSoundCapture& operator=(const TPulseSoundCapture&) = delete;

    bool Start(std::string* error) override;
    int SampleRate() const override { return kRate; }
    bool Take(std::vector<std::int16_t>* samples, std::string* error) override;
    void Stop() override;
    void SetInputDevice(const std::string& name) override { input_ = name; }

private:
    // Disconnects and frees the connection and ends the sound thread.
    void EndSoundThread();
    bool Connect(std::string* error);
    bool OpenStream(std::string* error);
    // Waits, with the main loop's lock released meanwhile, until `done` or
    // the start deadline; false when the deadline came first.
    template <typename F>
    bool WaitUntil(F done);
    std::string ContextError() const;
    // Records why the capture ended, the first reason only.
    void Fail(const std::string& why);

    static void OnContextState(pa_context* context, void* userdata);
    static void OnStreamState(pa_stream* stream, void* userdata);
    static void OnRead(pa_stream* stream, std::size_t bytes, void* userdata);
    static void OnDeadline(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata);

    // The sound thread's own: touched only with the main loop's lock held,
    // or before the thread runs and after it has ended.
    pulse::TMainloopPtr loop_;
    pulse::TContextPtr context_;
    pulse::TStreamPtr stream_;
    pulse::TTimeEventPtr deadline_;
    bool deadlinePassed_ = false;

    std::string input_;  // empty: the server's default source

    // Shared by the sound thread and the caller of Take.
    std::mutex mutex_;
    std::vector<std::int16_t> buffer_;
    bool failed_ = false;
    std::string failure_;
};

}  // namespace ziv
