#include "audio/sound_capture_pulse.h"

#include <algorithm>
#include <cstring>

namespace ziv {
namespace {

constexpr char kAppName[] = "ZIVSound";
constexpr char kStreamName[] = "Message recording";
// A user-interface thread that stops taking the samples (a modal dialog,
// a debugger) must not make the buffer grow without end: a recording is at
// most a minute long, so two minutes unread are nothing anybody wants.
constexpr std::size_t kMaxBuffered = static_cast<std::size_t>(TPulseSoundCapture::kRate) * 120;

constexpr char kServerGone[] = "the sound server went away";
constexpr char kInputGone[] = "the sound input went away";
constexpr char kNoAnswer[] = "the sound server does not answer";

pa_context* NewContext(pa_mainloop_api* api) {
    const pulse::TProplistPtr props(pa_proplist_new());
    pa_proplist_sets(props.get(), PA_PROP_APPLICATION_NAME, kAppName);
    pa_proplist_sets(props.get(), PA_PROP_APPLICATION_ICON_NAME, "audio-input-microphone");
    return pa_context_new_with_proplist(api, kAppName, props.get());
}

}  // namespace

TPulseSoundCapture::~TPulseSoundCapture() {
    Stop();
}

bool TPulseSoundCapture::Start(std::string* error) {
    Stop();
    loop_.reset(pa_threaded_mainloop_new());
    if (!loop_) {
        *error = "cannot start the sound thread";
        return false;
    }
    pa_threaded_mainloop_set_name(loop_.get(), "ziv-capture");
    if (pa_threaded_mainloop_start(loop_.get()) < 0) {
        // Never started, so nothing to stop: free it as it is.
        pa_threaded_mainloop_free(loop_.release());
        *error = "cannot start the sound thread";
        return false;
    }
    bool ok = false;
    {
        const pulse::TLock lock(loop_.get());
        // One deadline for the connection and the stream together: the
        // operator waits for both.
        timeval at{};
        pa_gettimeofday(&at);
        pa_timeval_add(&at, static_cast<pa_usec_t>(kStartMs) * PA_USEC_PER_MSEC);
        deadlinePassed_ = false;
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_.get());
        deadline_ = pulse::NewTimeEvent(api, &at, &TPulseSoundCapture::OnDeadline, this);
        ok = Connect(error) && OpenStream(error);
        deadline_.reset();
    }
    if (!ok)
        Stop();
    return ok;
}

bool TPulseSoundCapture::Connect(std::string* error) {
    context_.reset(NewContext(pa_threaded_mainloop_get_api(loop_.get())));
    if (!context_) {
        *error = "cannot create a connection to the sound server";
        return false;
    }
    pa_context_set_state_callback(context_.get(), &TPulseSoundCapture::OnContextState, this);
    // No autospawn, as for the playbacks: a server spawned behind the
    // operator's back would not record the microphone he set up.
    if (pa_context_connect(context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        *error = ContextError();
        return false;
    }
    const bool answered = WaitUntil([this] {
        const auto st = pa_context_get_state(context_.get());
        return st == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(st);
    });
    if (!answered) {
        *error = kNoAnswer;
        return false;
    }
    if (pa_context_get_state(context_.get()) != PA_CONTEXT_READY) {
        *error = ContextError();
        return false;
    }
    return true;
}

bool TPulseSoundCapture::OpenStream(std::string* error) {
    const pa_sample_spec format{PA_SAMPLE_S16LE, kRate, 1};
    stream_.reset(pa_stream_new(context_.get(), kStreamName, &format, nullptr));
    if (!stream_) {
        *error = ContextError();
        return false;
    }
    pa_stream_set_state_callback(stream_.get(), &TPulseSoundCapture::OnStreamState, this);
    pa_stream_set_read_callback(stream_.get(), &TPulseSoundCapture::OnRead, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(-1);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(kFragmentMs) * PA_USEC_PER_MSEC, &format));
    // The chosen source, or the default; never moved to another one: a
    // recording of some other microphone is no recording of the message.
    const char* device = input_.empty() ? nullptr : input_.c_str();
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(stream_.get(), device, &attr, flags) < 0) {
        *error = ContextError();
        return false;
    }
    const bool answered = WaitUntil([this] {
        const auto st = pa_stream_get_state(stream_.get());
        return st == PA_STREAM_READY || !PA_STREAM_IS_GOOD(st) ||
               !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_.get()));
    });
    if (!answered) {
        *error = kNoAnswer;
        return false;
    }
    if (pa_stream_get_state(stream_.get()) != PA_STREAM_READY) {
        *error = ContextError();
        if (!input_.empty() && pa_context_errno(context_.get()) == PA_ERR_NOENTITY)
            *error = "no sound input " + input_ + " (" + *error + ")";
        return false;
    }
    return true;
}

template <typename F>
bool TPulseSoundCapture::WaitUntil(F done) {
    while (!done()) {
        if (deadlinePassed_)
            return false;
        pa_threaded_mainloop_wait(loop_.get());
    }
    return true;
}

std::string TPulseSoundCapture::ContextError() const {
    const int code = context_ ? pa_context_errno(context_.get()) : PA_ERR_INTERNAL;
    // A connection that ended without an error code of its own.
    return code == PA_OK ? kServerGone : pa_strerror(code);
}

bool TPulseSoundCapture::Take(std::vector<std::int16_t>* samples, std::string* error) {
    const std::lock_guard guard(mutex_);
    samples->insert(samples->end(), buffer_.begin(), buffer_.end());
    buffer_.clear();
    if (failed_) {
        *error = failure_;
        return false;
    }
    return true;
}

void TPulseSoundCapture::Stop() {
    if (loop_)
        EndSoundThread();
    // Nothing runs now, so nothing has failed, and what was not taken is
    // not for the next capture.
    const std::lock_guard guard(mutex_);
    buffer_.clear();
    failed_ = false;
    failure_.clear();
}

void TPulseSoundCapture::EndSoundThread() {
    {
        const pulse::TLock lock(loop_.get());
        deadline_.reset();
        if (stream_) {
            // Data may still come in until the server has taken the
            // disconnect, and the callbacks point at this object.
            pa_stream_set_read_callback(stream_.get(), nullptr, nullptr);
            stream_.reset();
        }
        // Closes the socket at once: nothing waits for the server's answer,
        // so a frozen server cannot hold this up.
        context_.reset();
    }
    // The sound thread only ever waits in poll() without the lock, so it
    // ends at once.
    loop_.reset();
}

void TPulseSoundCapture::Fail(const std::string& why) {
    const std::lock_guard guard(mutex_);
    if (failed_)
        return;
    failed_ = true;
    failure_ = why;
}

void TPulseSoundCapture::OnContextState(pa_context* context, void* userdata) {
    auto* self = static_cast<TPulseSoundCapture*>(userdata);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
        self->Fail(kServerGone);
    pa_threaded_mainloop_signal(self->loop_.get(), 0);
}

void TPulseSoundCapture::OnStreamState(pa_stream* stream, void* userdata) {
    auto* self = static_cast<TPulseSoundCapture*>(userdata);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        // The server kills the stream when its source goes (a USB headset
        // unplugged); a lost connection fails the context too.
        const bool killed = pa_context_errno(pa_stream_get_context(stream)) == PA_ERR_KILLED;
        self->Fail(killed ? kInputGone : kServerGone);
    }
    pa_threaded_mainloop_signal(self->loop_.get(), 0);
}

void TPulseSoundCapture::OnRead(pa_stream* stream, std::size_t, void* userdata) {
    auto* self = static_cast<TPulseSoundCapture*>(userdata);
    for (;;) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
            return;
        const std::size_t count = bytes / sizeof(std::int16_t);
        {
            const std::lock_guard guard(self->mutex_);
            const std::size_t room =
                self->buffer_.size() < kMaxBuffered ? kMaxBuffered - self->buffer_.size() : 0;
            const std::size_t kept = std::min(count, room);
            const std::size_t at = self->buffer_.size();
            // A hole (no data) is what the source lost: silence keeps the
            // recording's time right.
            self->buffer_.resize(at + kept, 0);
            if (data != nullptr && kept > 0)
                std::memcpy(self->buffer_.data() + at, data, kept * sizeof(std::int16_t));
        }
        pa_stream_drop(stream);
    }
}

void TPulseSoundCapture::OnDeadline(pa_mainloop_api*, pa_time_event*, const timeval*,
                                    void* userdata) {
    auto* self = static_cast<TPulseSoundCapture*>(userdata);
    self->deadlinePassed_ = true;
    pa_threaded_mainloop_signal(self->loop_.get(), 0);
}

}  // namespace ziv
