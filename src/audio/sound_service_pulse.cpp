#include "audio/sound_service_pulse.h"

#include "audio/pulse_connection.h"
#include "audio/pulse_playback.h"
#include "base/diagnostics.h"

namespace ziv {

using pulse::Clock;
using pulse::TPlayState;
using pulse::TPulsePlayback;

// The sound currently playing and the one prepared to play next, on one
// connection. Guarded by the connection's lock.
struct TPulseSoundService::Impl final : pulse::TPulseConnection::TListener {
    using PlaybackPtr = std::shared_ptr<TPulsePlayback>;
    enum class TReadiness { Ready, Stopped, Failed };

    explicit Impl(TOptions opts) : options(opts), connection(*this, opts.connectMs) {}

    ~Impl() {
        if (!connection.Started())
            return;
        // The listener goes with this object: nothing may call it afterwards.
        const auto lock = connection.Lock();
        Stop();
        connection.Close();
    }

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    static void Finish(const PlaybackPtr& pb, TPlayState state) {
        if (pb)
            pb->Finish(state);
    }

    PlaybackPtr Open(const std::string& path) {
        std::string why;
        PlaybackPtr pb = TPulsePlayback::Open(path, output, connection, options.bufferMs, &why);
        if (!pb)
            pulse::ReportCannotPlay(path, why);
        return pb;
    }

    bool Connect() {
        std::string why;
        if (connection.Connect(&why))
            return true;
        WriteDiagnostic("no sound server: " + why);
        return false;
    }

    // --- What the connection tells ---

    void OnConnectionState(pa_context* context) override {
        // A stream prepared while the server was still being connected is
        // created as soon as the connection stands.
        if (!prepared || prepared->State() != TPlayState::Opened)
            return;
        const auto st = pa_context_get_state(context);
        if (st == PA_CONTEXT_READY) {
            std::string ignored;
            prepared->StartStream(&ignored);
        } else if (!PA_CONTEXT_IS_GOOD(st)) {
            prepared->Fail(pa_strerror(pa_context_errno(context)));
        }
    }

    void OnConnectionDropping() override {
        for (const auto& pb : {playing, prepared})
            if (pb && pb->HasStream())
                pb->Fail(pa_strerror(PA_ERR_CONNECTIONTERMINATED));
    }

    bool OnTick() override {
        const auto now = Clock::now();
        bool busy = false;
        for (const auto& pb : {playing, prepared}) {
            if (!pb || !pb->Moving())
                continue;
            if (pb->Stalled(now, options.stallMs, options.startMs)) {
                const bool connecting = pb->State() == TPlayState::Connecting;
                // Whatever stalled, the next play starts on a fresh connection.
                connection.MarkSuspect();
                pb->Fail(connecting ? "the sound server does not answer"
                                    : "the sound device stopped taking samples");
            } else {
                busy = true;
            }
        }
        return busy;
    }

    // --- The service's operations ---

    PlaybackPtr TakePrepared(const std::string& path) {
        PlaybackPtr pb = std::move(prepared);
        prepared.reset();
        // A cued sound may have been played whole before it is asked for.
        if (pb &&
            (pb->Path() != path || pb->Device() != output || (pb->Finished() && !pb->Cued()))) {
            pb->Finish(TPlayState::Stopped);
            pb.reset();
        }
        return pb;
    }

    // Connects and waits until the stream of `pb` is filled and ready to
    // start; a failure is reported here.
    TReadiness MakeReady(const PlaybackPtr& pb) {
        if (!Connect()) {
            pb->Finish(TPlayState::Failed);
            return TReadiness::Failed;
        }
        std::string why;
        if (pb->State() == TPlayState::Opened && !pb->StartStream(&why)) {
            pulse::ReportCannotPlay(pb->Path(), why);
            return TReadiness::Failed;
        }
        connection.WaitFor([&pb] { return pb->State() != TPlayState::Connecting; }, std::nullopt);
        if (pb->State() == TPlayState::Stopped)
            return TReadiness::Stopped;  // replaced or stopped meanwhile
        if (pb->State() != TPlayState::Ready) {
            pulse::ReportCannotPlay(pb->Path(), pb->Error());
            return TReadiness::Failed;
        }
        return TReadiness::Ready;
    }

    static bool Succeeded(const PlaybackPtr& pb) {
        if (pb->State() != TPlayState::Failed)
            return true;
        pulse::ReportCannotPlay(pb->Path(), pb->Error());
        return false;
    }

    bool Play(const std::string& path, bool async, bool looping) {
        PlaybackPtr pb = TakePrepared(path);
        Finish(playing, TPlayState::Stopped);
        playing.reset();
        if (pb && pb->Cued()) {
            // Already under way; only a single synchronous play was cued.
            if (async || looping) {
                pb->Finish(TPlayState::Stopped);
                pb.reset();
            } else {
                playing = pb;
                return WaitForEnd(pb);
            }
        }
        if (!pb && !(pb = Open(path)))
            return false;
        if (pb->IsEmpty()) {  // nothing to hear, and nothing wrong
            pb->Finish(TPlayState::Done);
            return true;
        }
        playing = pb;
        const TReadiness readiness = MakeReady(pb);
        if (readiness != TReadiness::Ready)
            return readiness == TReadiness::Stopped;
        pb->Start(looping);
        connection.ArmTicker();
        if (async) {
            if (!Succeeded(pb))
                return false;
            pb->ReportLaterFailures();
            return true;
        }
        return WaitForEnd(pb);
    }

    bool WaitForEnd(const PlaybackPtr& pb) {
        connection.WaitFor([&pb] { return pb->Finished(); }, std::nullopt);
        if (playing == pb)
            playing.reset();
        return Succeeded(pb);
    }

    void Cue(std::chrono::milliseconds startIn) {
        if (prepared && prepared->State() == TPlayState::Ready) {
            prepared->Cue(Clock::now() + startIn);
            connection.ArmTicker();
        }
    }

    bool Prepare(const std::string& path) {
        Finish(prepared, TPlayState::Stopped);
        prepared.reset();
        PlaybackPtr pb = Open(path);
        if (!pb)
            return false;
        if (pb->IsEmpty()) {
            pb->Finish(TPlayState::Done);
            pulse::ReportCannotPlay(path, "it holds no samples");
            return false;
        }
        prepared = pb;
        if (!Connect()) {
            pb->Finish(TPlayState::Failed);
            prepared.reset();
            return false;
        }
        // The connection's own callback starts the stream of a prepared
        // sound once the connection stands; a second stream would be lost
        // with its callbacks still pointing here.
        std::string why;
        if (pb->State() == TPlayState::Opened && !pb->StartStream(&why)) {
            prepared.reset();
            pulse::ReportCannotPlay(path, why);
            return false;
        }
        // A missing output device shows only once the stream is set up; it
        // takes milliseconds, and the transmitter is not keyed yet.
        connection.WaitFor([&pb] { return pb->State() != TPlayState::Connecting; },
                           Clock::now() + std::chrono::milliseconds(options.startMs));
        if (pb->State() == TPlayState::Ready)
            return true;
        pulse::ReportCannotPlay(path, pb->State() == TPlayState::Connecting
                                          ? "the sound server does not answer"
                                          : pb->Error());
        if (prepared == pb)
            prepared.reset();
        pb->Finish(TPlayState::Stopped);
        return false;
    }

    void Stop() {
        Finish(playing, TPlayState::Stopped);
        Finish(prepared, TPlayState::Stopped);
        playing.reset();
        prepared.reset();
    }

    TOptions options;
    std::string output;  // empty: the server's default
    pulse::TPulseConnection connection;
    PlaybackPtr playing;
    PlaybackPtr prepared;
};

TPulseSoundService::TPulseSoundService() : TPulseSoundService(TOptions{}) {}

TPulseSoundService::TPulseSoundService(TOptions options) : impl_(std::make_unique<Impl>(options)) {}

TPulseSoundService::~TPulseSoundService() = default;

bool TPulseSoundService::PlaySound(const std::string& sound, std::uint32_t flags) {
    if (!impl_->connection.Started()) {
        WriteDiagnostic("no sound server: the sound thread could not be started");
        return false;
    }
    const bool async = (flags & SND_ASYNC) != 0;
    // Looping needs the call to return; a synchronous loop would never end.
    const bool looping = async && (flags & SND_LOOP) != 0;
    const auto lock = impl_->connection.Lock();
    return impl_->Play(sound, async, looping);
}

void TPulseSoundService::StopSound() {
    if (!impl_->connection.Started())
        return;
    const auto lock = impl_->connection.Lock();
    impl_->Stop();
}

bool TPulseSoundService::PrepareSound(const std::string& sound) {
    if (!impl_->connection.Started()) {
        WriteDiagnostic("no sound server: the sound thread could not be started");
        return false;
    }
    const auto lock = impl_->connection.Lock();
    return impl_->Prepare(sound);
}

void TPulseSoundService::CueSound(int startInMs) {
    if (!impl_->connection.Started())
        return;
    const auto lock = impl_->connection.Lock();
    impl_->Cue(std::chrono::milliseconds(startInMs));
}

void TPulseSoundService::SetOutputDevice(const std::string& name) {
    if (!impl_->connection.Started()) {
        impl_->output = name;
        return;
    }
    const auto lock = impl_->connection.Lock();
    impl_->output = name;
}

}  // namespace ziv
