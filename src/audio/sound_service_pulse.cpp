#include "audio/sound_service_pulse.h"

#include "base/diagnostics.h"

#include <fcntl.h>
#include <pulse/pulseaudio.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

namespace ziv {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kAppName[] = "ZIVSound";
// The desktop remembers the output chosen for a stream under a key made of
// its role when it has one; phone calls share that role, so the key is set
// to the program's name: routing the keyer to the radio must not route
// the operator's telephone calls there too.
constexpr char kRestoreKey[] = "sink-input-by-application-name:ZIVSound";
constexpr pa_usec_t kMaxTailUsec = 2 * PA_USEC_PER_SEC;
constexpr auto kTick = std::chrono::milliseconds(100);

void Report(const std::string& line) {
    WriteDiagnostic(line);
}

void ReportCannotPlay(const std::string& path, const std::string& why) {
    Report(path.empty() ? "cannot play: " + why : "cannot play " + path + ": " + why);
}

std::string WithoutFullStop(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '\n'))
        text.pop_back();
    return text;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class TLock {
public:
    explicit TLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~TLock() { pa_threaded_mainloop_unlock(loop_); }
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

}  // namespace

struct TPulseSoundService::Impl {
    // Everything below is guarded by the threaded main loop's lock: the
    // callers take it, and libpulse holds it while it runs our callbacks on
    // its own thread.
    enum class State {
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

    struct Playback {
        Impl* owner = nullptr;
        std::string path;
        SNDFILE* file = nullptr;
        SF_INFO info{};
        pa_sample_spec spec{};
        pa_stream* stream = nullptr;
        pa_operation* operation = nullptr;
        pa_time_event* tailEnd = nullptr;
        State state = State::Opened;
        bool loop = false;
        bool endOfFile = false;
        // Set once an asynchronous play has returned: nobody waits for the
        // outcome any more, so a later failure is reported where it happens.
        bool reportFailure = false;
        std::string error;
        Clock::time_point progressAt;
        std::int64_t readIndex = -1;
        // The device has taken samples of this play: from then on a stall
        // is a stopped device, and the transmitter must not wait long.
        bool flowing = false;

        bool Finished() const {
            return state == State::Done || state == State::Stopped || state == State::Failed;
        }
        // States in which the server owes us progress.
        bool Moving() const {
            return state == State::Connecting || state == State::Playing ||
                   state == State::Draining;
        }
    };
    using PlaybackPtr = std::shared_ptr<Playback>;

    explicit Impl(TOptions opts) : options(opts) {
        loop = pa_threaded_mainloop_new();
        if (loop == nullptr)
            return;
        api = pa_threaded_mainloop_get_api(loop);
        if (pa_threaded_mainloop_start(loop) < 0) {
            pa_threaded_mainloop_free(loop);
            loop = nullptr;
        }
    }

    ~Impl() {
        if (loop == nullptr)
            return;
        {
            TLock lock(loop);
            Finish(playing, State::Stopped);
            Finish(prepared, State::Stopped);
            playing.reset();
            prepared.reset();
            DropContext();
            if (ticker != nullptr)
                api->time_free(ticker);
            ticker = nullptr;
        }
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }

    // --- Files ---

    static PlaybackPtr Open(const std::string& path, std::string* error) {
        if (path.empty()) {
            *error = "no sound file given";
            return nullptr;
        }
        // Non-blocking, so that a named pipe given as a sound cannot hang
        // the open; only regular files are read.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            *error = std::strerror(errno);
            return nullptr;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            *error = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
            ::close(fd);
            return nullptr;
        }
        auto pb = std::make_shared<Playback>();
        pb->path = path;
        // libsndfile owns the descriptor from here on, also when it fails.
        pb->file = sf_open_fd(fd, SFM_READ, &pb->info, SF_TRUE);
        if (pb->file == nullptr) {
            *error = "not a sound file (" + WithoutFullStop(sf_strerror(nullptr)) + ")";
            return nullptr;
        }
        pb->spec.format = PA_SAMPLE_FLOAT32NE;
        pb->spec.rate =
            pb->info.samplerate > 0 ? static_cast<std::uint32_t>(pb->info.samplerate) : 0;
        pb->spec.channels =
            pb->info.channels > 0 && pb->info.channels <= static_cast<int>(PA_CHANNELS_MAX)
                ? static_cast<std::uint8_t>(pb->info.channels)
                : 0;
        if (!pa_sample_spec_valid(&pb->spec)) {
            *error = "unsupported sound format (" + std::to_string(pb->info.channels) +
                     " channels at " + std::to_string(pb->info.samplerate) + " Hz)";
            sf_close(pb->file);
            pb->file = nullptr;
            return nullptr;
        }
        return pb;
    }

    // --- Connection to the server ---

    bool EnsureContext(bool wait, std::string* error) {
        if (context != nullptr &&
            (contextSuspect || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context))))
            DropContext();
        if (context == nullptr) {
            pa_proplist* props = pa_proplist_new();
            pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, kAppName);
            pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "audio-input-microphone");
            context = pa_context_new_with_proplist(api, kAppName, props);
            pa_proplist_free(props);
            if (context == nullptr) {
                *error = "cannot create a connection";
                return false;
            }
            pa_context_set_state_callback(context, &Impl::OnContextState, this);
            // No autospawn: a desktop starts its own server, and a server
            // spawned behind the operator's back would play nowhere useful.
            if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
                *error = pa_strerror(pa_context_errno(context));
                DropContext();
                return false;
            }
            contextSuspect = false;
            connectStarted = Clock::now();
        }
        if (!wait)
            return true;
        const auto deadline = connectStarted + std::chrono::milliseconds(options.connectMs);
        // Another call may give up on the connection while this one waits
        // (the lock is released meanwhile) and drop it.
        WaitFor(
            [this] {
                if (context == nullptr)
                    return true;
                const auto st = pa_context_get_state(context);
                return st == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(st);
            },
            deadline);
        if (context == nullptr) {
            *error = pa_strerror(PA_ERR_CONNECTIONTERMINATED);
            return false;
        }
        const auto st = pa_context_get_state(context);
        if (st == PA_CONTEXT_READY)
            return true;
        *error = pa_strerror(PA_CONTEXT_IS_GOOD(st) ? PA_ERR_TIMEOUT : pa_context_errno(context));
        DropContext();
        return false;
    }

    void DropContext() {
        if (context == nullptr)
            return;
        for (const auto& pb : {playing, prepared})
            if (pb && pb->stream != nullptr)
                Fail(pb.get(), pa_strerror(PA_ERR_CONNECTIONTERMINATED));
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }

    static void OnContextState(pa_context* c, void* userdata) {
        auto* self = static_cast<Impl*>(userdata);
        const auto st = pa_context_get_state(c);
        // A stream prepared while the server was still being connected is
        // created as soon as the connection stands.
        if (self->prepared && self->prepared->state == State::Opened) {
            if (st == PA_CONTEXT_READY) {
                std::string ignored;
                self->StartStream(self->prepared.get(), &ignored);
            } else if (!PA_CONTEXT_IS_GOOD(st)) {
                self->Fail(self->prepared.get(), pa_strerror(pa_context_errno(c)));
            }
        }
        pa_threaded_mainloop_signal(self->loop, 0);
    }

    // --- Streams ---

    bool StartStream(Playback* pb, std::string* error) {
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "phone");
        pa_proplist_sets(props, PA_PROP_MEDIA_NAME, BaseName(pb->path).c_str());
        pa_proplist_sets(props, "module-stream-restore.id", kRestoreKey);
        pa_channel_map map;
        pa_channel_map_init_extend(&map, pb->spec.channels, PA_CHANNEL_MAP_WAVEEX);
        pb->stream = pa_stream_new_with_proplist(context, BaseName(pb->path).c_str(), &pb->spec,
                                                 &map, props);
        pa_proplist_free(props);
        if (pb->stream == nullptr) {
            *error = pa_strerror(pa_context_errno(context));
            Fail(pb, *error);
            return false;
        }
        pb->owner = this;
        pa_stream_set_state_callback(pb->stream, &Impl::OnStreamState, pb);
        pa_stream_set_write_callback(pb->stream, &Impl::OnWrite, pb);
        pa_stream_set_latency_update_callback(pb->stream, &Impl::OnLatencyUpdate, pb);

        pa_buffer_attr attr;
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(
            pa_usec_to_bytes(static_cast<pa_usec_t>(options.bufferMs) * 1000, &pb->spec));
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        // Always connected corked: the server asks for the first buffer at
        // once, so a prepared stream is full when Play starts it.
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE);
        if (pa_stream_connect_playback(pb->stream, nullptr, &attr, flags, nullptr, nullptr) < 0) {
            *error = pa_strerror(pa_context_errno(context));
            Fail(pb, *error);
            return false;
        }
        pb->state = State::Connecting;
        pb->progressAt = Clock::now();
        ArmTicker();
        return true;
    }

    static void OnStreamState(pa_stream* s, void* userdata) {
        auto* pb = static_cast<Playback*>(userdata);
        Impl* self = pb->owner;
        switch (pa_stream_get_state(s)) {
            case PA_STREAM_READY:
                if (pb->state == State::Connecting) {
                    pb->state = State::Ready;
                    pb->progressAt = Clock::now();
                    self->Pump(pb);
                }
                break;
            case PA_STREAM_FAILED: {
                const int err = pa_context_errno(pa_stream_get_context(s));
                std::string why = pa_strerror(err);
                if (err == PA_ERR_NOENTITY)
                    why = "no sound output device (" + why + ")";
                self->Fail(pb, why);
                break;
            }
            case PA_STREAM_TERMINATED:
                self->Fail(pb, "the sound server closed the stream");
                break;
            default:
                break;
        }
        pa_threaded_mainloop_signal(self->loop, 0);
    }

    static void OnWrite(pa_stream*, size_t, void* userdata) {
        auto* pb = static_cast<Playback*>(userdata);
        // Asked for more while playing: the device took what it had.
        if (pb->state == State::Playing)
            pb->flowing = true;
        pb->progressAt = Clock::now();
        pb->owner->Pump(pb);
    }

    static void OnLatencyUpdate(pa_stream* s, void* userdata) {
        auto* pb = static_cast<Playback*>(userdata);
        const pa_timing_info* ti = pa_stream_get_timing_info(s);
        if (ti == nullptr || ti->read_index_corrupt)
            return;
        // An answering server is not enough: the device must be taking samples.
        if (ti->read_index != pb->readIndex) {
            if (pb->readIndex >= 0 && pb->state == State::Playing)
                pb->flowing = true;
            pb->readIndex = ti->read_index;
            pb->progressAt = Clock::now();
        }
    }

    // Writes as much of the file as the server asks for; reads only that
    // much, so a long message is never held in memory as a whole.
    void Pump(Playback* pb) {
        if (pb->state != State::Ready && pb->state != State::Playing)
            return;
        const size_t frameBytes = pa_frame_size(&pb->spec);
        while (!pb->endOfFile) {
            const size_t writable = pa_stream_writable_size(pb->stream);
            if (writable == static_cast<size_t>(-1) || writable < frameBytes)
                break;
            void* data = nullptr;
            size_t bytes = writable;
            if (pa_stream_begin_write(pb->stream, &data, &bytes) < 0 || data == nullptr) {
                Fail(pb, pa_strerror(pa_context_errno(context)));
                return;
            }
            const auto frames = static_cast<sf_count_t>(bytes / frameBytes);
            auto* out = static_cast<float*>(data);
            sf_count_t filled = 0;
            bool rewound = false;
            while (filled < frames) {
                const sf_count_t got =
                    sf_readf_float(pb->file, out + filled * pb->spec.channels, frames - filled);
                if (got > 0) {
                    filled += got;
                    rewound = false;
                    continue;
                }
                // A rewind that yields nothing ends the loop instead of spinning.
                if (pb->loop && !rewound && sf_seek(pb->file, 0, SEEK_SET) == 0) {
                    rewound = true;
                    continue;
                }
                pb->endOfFile = true;
                break;
            }
            if (filled > 0) {
                pa_stream_write(pb->stream, data, static_cast<size_t>(filled) * frameBytes, nullptr,
                                0, PA_SEEK_RELATIVE);
            } else {
                pa_stream_cancel_write(pb->stream);
            }
        }
        if (pb->endOfFile && pb->state == State::Playing)
            StartDrain(pb);
    }

    void StartDrain(Playback* pb) {
        pb->state = State::Draining;
        pb->operation = pa_stream_drain(pb->stream, &Impl::OnDrained, pb);
        if (pb->operation == nullptr)
            Fail(pb, pa_strerror(pa_context_errno(context)));
    }

    static void OnDrained(pa_stream* s, int success, void* userdata) {
        auto* pb = static_cast<Playback*>(userdata);
        Impl* self = pb->owner;
        pa_operation_unref(pb->operation);
        pb->operation = nullptr;
        if (!success) {
            self->Fail(pb, pa_strerror(pa_context_errno(pa_stream_get_context(s))));
            return;
        }
        // The server has played everything; what the device still holds
        // is learnt from fresh timing information.
        pb->operation = pa_stream_update_timing_info(s, &Impl::OnTailTiming, pb);
        if (pb->operation == nullptr)
            self->StartTail(pb, false);
    }

    static void OnTailTiming(pa_stream*, int success, void* userdata) {
        auto* pb = static_cast<Playback*>(userdata);
        pa_operation_unref(pb->operation);
        pb->operation = nullptr;
        pb->owner->StartTail(pb, success != 0);
    }

    void StartTail(Playback* pb, bool timingValid) {
        timeval end{};
        pa_usec_t remaining = 0;
        const pa_timing_info* ti = timingValid ? pa_stream_get_timing_info(pb->stream) : nullptr;
        if (ti != nullptr) {
            end = ti->timestamp;
            remaining = ti->sink_usec;
            if (!ti->write_index_corrupt && !ti->read_index_corrupt &&
                ti->write_index > ti->read_index)
                remaining += pa_bytes_to_usec(
                    static_cast<std::uint64_t>(ti->write_index - ti->read_index), &pb->spec);
        } else {
            pa_gettimeofday(&end);
        }
        pa_timeval_add(&end, std::min(remaining, kMaxTailUsec));
        pb->state = State::Tail;
        pb->tailEnd = api->time_new(api, &end, &Impl::OnTailEnd, pb);
        if (pb->tailEnd == nullptr)
            Finish(pb, State::Done);
    }

    static void OnTailEnd(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
        auto* pb = static_cast<Playback*>(userdata);
        pb->owner->Finish(pb, State::Done);
    }

    // --- Ending a playback ---

    void Release(Playback* pb) {
        if (pb->operation != nullptr) {
            pa_operation_cancel(pb->operation);
            pa_operation_unref(pb->operation);
            pb->operation = nullptr;
        }
        if (pb->tailEnd != nullptr) {
            api->time_free(pb->tailEnd);
            pb->tailEnd = nullptr;
        }
        if (pb->stream != nullptr) {
            pa_stream_set_state_callback(pb->stream, nullptr, nullptr);
            pa_stream_set_write_callback(pb->stream, nullptr, nullptr);
            pa_stream_set_latency_update_callback(pb->stream, nullptr, nullptr);
            if (PA_STREAM_IS_GOOD(pa_stream_get_state(pb->stream)))
                pa_stream_disconnect(pb->stream);
            pa_stream_unref(pb->stream);
            pb->stream = nullptr;
        }
        if (pb->file != nullptr) {
            sf_close(pb->file);
            pb->file = nullptr;
        }
    }

    void Finish(const PlaybackPtr& pb, State state) {
        if (pb)
            Finish(pb.get(), state);
    }

    void Finish(Playback* pb, State state) {
        if (pb->Finished())
            return;
        Release(pb);
        pb->state = state;
        pa_threaded_mainloop_signal(loop, 0);
    }

    void Fail(Playback* pb, const std::string& why) {
        if (pb->Finished())
            return;
        pb->error = why;
        Finish(pb, State::Failed);
        if (pb->reportFailure)
            ReportCannotPlay(pb->path, why);
    }

    // --- Waiting without hanging ---

    // A tick on the sound thread while anybody waits or anything plays: it
    // finds stalled streams and wakes waiters so that they can time out.
    void ArmTicker() {
        if (tickerArmed)
            return;
        timeval at{};
        pa_gettimeofday(&at);
        pa_timeval_add(&at, std::chrono::duration_cast<std::chrono::microseconds>(kTick).count());
        if (ticker == nullptr) {
            ticker = api->time_new(api, &at, &Impl::OnTick, this);
        } else {
            api->time_restart(ticker, &at);
        }
        tickerArmed = ticker != nullptr;
    }

    static void OnTick(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
        auto* self = static_cast<Impl*>(userdata);
        self->tickerArmed = false;
        const auto now = Clock::now();
        bool busy = false;
        for (const auto& pb : {self->playing, self->prepared}) {
            if (!pb || !pb->Moving())
                continue;
            const auto limit = std::chrono::milliseconds(pb->flowing ? self->options.stallMs
                                                                     : self->options.startMs);
            if (now - pb->progressAt > limit) {
                const bool connecting = pb->state == State::Connecting;
                // Whatever stalled, the next play starts on a fresh connection.
                self->contextSuspect = true;
                self->Fail(pb.get(), connecting ? "the sound server does not answer"
                                                : "the sound device stopped taking samples");
            } else {
                busy = true;
            }
        }
        pa_threaded_mainloop_signal(self->loop, 0);
        if (busy || self->waiters > 0)
            self->ArmTicker();
    }

    bool WaitFor(const std::function<bool()>& done, std::optional<Clock::time_point> deadline) {
        ++waiters;
        ArmTicker();
        bool reached = true;
        while (!done()) {
            if (deadline && Clock::now() >= *deadline) {
                reached = false;
                break;
            }
            pa_threaded_mainloop_wait(loop);
        }
        --waiters;
        return reached;
    }

    // --- The service's operations ---

    PlaybackPtr TakePrepared(const std::string& path) {
        PlaybackPtr pb = std::move(prepared);
        prepared.reset();
        if (pb && (pb->path != path || pb->Finished())) {
            Finish(pb, State::Stopped);
            pb.reset();
        }
        return pb;
    }

    bool Play(const std::string& path, bool async, bool looping) {
        PlaybackPtr pb = TakePrepared(path);
        Finish(playing, State::Stopped);
        playing.reset();
        if (!pb) {
            std::string why;
            pb = Open(path, &why);
            if (!pb) {
                ReportCannotPlay(path, why);
                return false;
            }
        }
        if (pb->info.frames == 0) {  // nothing to hear, and nothing wrong
            Finish(pb, State::Done);
            return true;
        }
        playing = pb;
        std::string why;
        if (!EnsureContext(true, &why)) {
            Finish(pb, State::Failed);
            Report("no sound server: " + why);
            return false;
        }
        if (pb->state == State::Opened && !StartStream(pb.get(), &why)) {
            ReportCannotPlay(path, why);
            return false;
        }
        WaitFor([&pb] { return pb->state != State::Connecting; }, std::nullopt);
        if (pb->state == State::Stopped)
            return true;  // replaced or stopped meanwhile
        if (pb->state != State::Ready) {
            ReportCannotPlay(path, pb->error);
            return false;
        }

        pb->loop = looping;
        if (looping && pb->endOfFile && sf_seek(pb->file, 0, SEEK_SET) == 0)
            pb->endOfFile = false;
        pb->state = State::Playing;
        pb->progressAt = Clock::now();
        if (pa_operation* op = pa_stream_cork(pb->stream, 0, nullptr, nullptr))
            pa_operation_unref(op);
        Pump(pb.get());
        ArmTicker();
        if (async) {
            pb->reportFailure = pb->state != State::Failed;
            if (pb->state == State::Failed)
                ReportCannotPlay(path, pb->error);
            return pb->state != State::Failed;
        }

        WaitFor([&pb] { return pb->Finished(); }, std::nullopt);
        if (playing == pb)
            playing.reset();
        if (pb->state == State::Failed) {
            ReportCannotPlay(path, pb->error);
            return false;
        }
        return true;
    }

    bool Prepare(const std::string& path) {
        Finish(prepared, State::Stopped);
        prepared.reset();
        std::string why;
        PlaybackPtr pb = Open(path, &why);
        if (!pb) {
            ReportCannotPlay(path, why);
            return false;
        }
        if (pb->info.frames == 0) {
            Finish(pb, State::Done);
            ReportCannotPlay(path, "it holds no samples");
            return false;
        }
        prepared = pb;
        if (!EnsureContext(true, &why)) {
            Finish(pb, State::Failed);
            prepared.reset();
            Report("no sound server: " + why);
            return false;
        }
        // The connection's own callback starts the stream of a prepared
        // sound once the connection stands; a second stream would be lost
        // with its callbacks still pointing here.
        if (pb->state == State::Opened && !StartStream(pb.get(), &why)) {
            prepared.reset();
            ReportCannotPlay(path, why);
            return false;
        }
        // A missing output device shows only once the stream is set up; it
        // takes milliseconds, and the transmitter is not keyed yet.
        WaitFor([&pb] { return pb->state != State::Connecting; },
                Clock::now() + std::chrono::milliseconds(options.startMs));
        if (pb->state == State::Ready)
            return true;
        ReportCannotPlay(
            path, pb->state == State::Connecting ? "the sound server does not answer" : pb->error);
        if (prepared == pb)
            prepared.reset();
        Finish(pb, State::Stopped);
        return false;
    }

    void Stop() {
        Finish(playing, State::Stopped);
        Finish(prepared, State::Stopped);
        playing.reset();
        prepared.reset();
    }

    TOptions options;
    pa_threaded_mainloop* loop = nullptr;
    pa_mainloop_api* api = nullptr;
    pa_context* context = nullptr;
    bool contextSuspect = false;
    Clock::time_point connectStarted;
    pa_time_event* ticker = nullptr;
    bool tickerArmed = false;
    int waiters = 0;
    PlaybackPtr playing;
    PlaybackPtr prepared;
};

TPulseSoundService::TPulseSoundService() : TPulseSoundService(TOptions{}) {}

TPulseSoundService::TPulseSoundService(TOptions options) : impl_(std::make_unique<Impl>(options)) {}

TPulseSoundService::~TPulseSoundService() = default;

bool TPulseSoundService::PlaySound(const std::string& sound, std::uint32_t flags) {
    if (impl_->loop == nullptr) {
        Report("no sound server: the sound thread could not be started");
        return false;
    }
    const bool async = (flags & SND_ASYNC) != 0;
    // Looping needs the call to return; a synchronous loop would never end.
    const bool looping = async && (flags & SND_LOOP) != 0;
    TLock lock(impl_->loop);
    return impl_->Play(sound, async, looping);
}

void TPulseSoundService::StopSound() {
    if (impl_->loop == nullptr)
        return;
    TLock lock(impl_->loop);
    impl_->Stop();
}

bool TPulseSoundService::PrepareSound(const std::string& sound) {
    if (impl_->loop == nullptr) {
        Report("no sound server: the sound thread could not be started");
        return false;
    }
    TLock lock(impl_->loop);
    return impl_->Prepare(sound);
}

}  // namespace ziv
