#include "audio/pulse_playback.h"

#include <utility>

#include "base/diagnostics.h"
#include "base/path_rules.h"

namespace ziv::pulse {
namespace {

// The desktop remembers the output chosen for a stream under a key made of
// its role when it has one; phone calls share that role, so the key is set
// to the program's name: routing the keyer to the radio must not route the
// operator's telephone calls there too.
constexpr char kRestoreKey[] = "sink-input-by-application-name:ZIVSound";

}  // namespace

void ReportCannotPlay(const std::string& path, const std::string& why) {
    WriteDiagnostic(path.empty() ? "cannot play: " + why : "cannot play " + path + ": " + why);
}

std::shared_ptr<TPulsePlayback> TPulsePlayback::Open(const std::string& path,
                                                     const std::string& device,
                                                     TPulseConnection& connection, int bufferMs,
                                                     std::string* error) {
    TSoundFile sound;
    if (!OpenSoundFile(path, sound, error))
        return nullptr;
    return std::make_shared<TPulsePlayback>(path, device, std::move(sound), connection, bufferMs);
}

TPulsePlayback::TPulsePlayback(std::string path, std::string device, TSoundFile sound,
                               TPulseConnection& connection, int bufferMs)
    : connection_(connection),
      bufferMs_(bufferMs),
      path_(std::move(path)),
      device_(std::move(device)),
      sound_(std::move(sound)) {}

bool TPulsePlayback::Finished() const {
    return state_ == TPlayState::Done || state_ == TPlayState::Stopped ||
           state_ == TPlayState::Failed;
}

bool TPulsePlayback::Moving() const {
    return state_ == TPlayState::Connecting || state_ == TPlayState::Playing ||
           state_ == TPlayState::Draining;
}

bool TPulsePlayback::Stalled(Clock::time_point now, int stallMs, int startMs) const {
    return now - progressAt_ > std::chrono::milliseconds(flowing_ ? stallMs : startMs);
}

// --- The stream ---

bool TPulsePlayback::StartStream(std::string* error) {
    if (!CreateStream(error) || !ConnectStream(error))
        return false;
    state_ = TPlayState::Connecting;
    progressAt_ = Clock::now();
    connection_.ArmTicker();
    return true;
}

bool TPulsePlayback::CreateStream(std::string* error) {
    if (!ConvertToServerRate(error))
        return false;
    const std::string name = FileNamePart(path_);
    const TProplistPtr props(pa_proplist_new());
    pa_proplist_sets(props.get(), PA_PROP_MEDIA_ROLE, "phone");
    pa_proplist_sets(props.get(), PA_PROP_MEDIA_NAME, name.c_str());
    pa_proplist_sets(props.get(), "module-stream-restore.id", kRestoreKey);
    pa_channel_map map;
    pa_channel_map_init_extend(&map, sound_.spec.channels, PA_CHANNEL_MAP_WAVEEX);
    stream_.reset(pa_stream_new_with_proplist(connection_.Context(), name.c_str(), &sound_.spec,
                                              &map, props.get()));
    if (!stream_) {
        *error = pa_strerror(connection_.Errno());
        Fail(*error);
        return false;
    }
    pa_stream_set_state_callback(stream_.get(), &TPulsePlayback::OnStreamState, this);
    pa_stream_set_write_callback(stream_.get(), &TPulsePlayback::OnWrite, this);
    pa_stream_set_latency_update_callback(stream_.get(), &TPulsePlayback::OnLatencyUpdate, this);
    return true;
}

bool TPulsePlayback::ConnectStream(std::string* error) {
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(bufferMs_) * 1000, &sound_.spec));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    // Always connected corked: the server asks for the first buffer at
    // once, so a prepared stream is full when Play starts it. Never moved:
    // when its output goes, the server would carry the message on to
    // another one (the speakers) while the transmitter sends dead air; a
    // stream it cannot move is ended, and so is the transmission.
    // Interpolated timing: a cued play places its first sample by the
    // latency of the moment, not of the last timing update.
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE |
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_DONT_MOVE);
    const char* device = device_.empty() ? nullptr : device_.c_str();
    if (pa_stream_connect_playback(stream_.get(), device, &attr, flags, nullptr, nullptr) < 0) {
        *error = pa_strerror(connection_.Errno());
        Fail(*error);
        return false;
    }
    return true;
}

void TPulsePlayback::OnStreamState(pa_stream* stream, void* userdata) {
    auto* self = static_cast<TPulsePlayback*>(userdata);
    switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            if (self->state_ == TPlayState::Connecting) {
                self->state_ = TPlayState::Ready;
                self->progressAt_ = Clock::now();
                self->Pump();
            }
            break;
        case PA_STREAM_FAILED: {
            const int err = pa_context_errno(pa_stream_get_context(stream));
            std::string why = pa_strerror(err);
            if (err == PA_ERR_NOENTITY)
                why = self->device_.empty() ? "no sound output device (" + why + ")"
                                            : "no sound output " + self->device_ + " (" + why + ")";
            else if (err == PA_ERR_KILLED)
                why = "the sound output went away (" + why + ")";
            self->Fail(why);
            break;
        }
        case PA_STREAM_TERMINATED:
            self->Fail("the sound server closed the stream");
            break;
        default:
            break;
    }
    self->connection_.Signal();
}

// --- Writing ---

// PipeWire's service converts a stream of another rate than the graph's
// with a ratio it keeps adjusting to how full the stream's buffer is: a
// 1000 Hz message heard at 982-986 Hz, with holes of a cycle, and never cued.
// Such a message is converted here instead; PulseAudio converts at a
// steady ratio and is left to do it.
bool TPulsePlayback::ConvertToServerRate(std::string* error) {
    const std::uint32_t rate = connection_.ServerRate();
    if (converter_ || !connection_.OnPipeWire() || rate == 0 || rate == sound_.spec.rate)
        return true;
    converter_ = TRateConverter::Open(sound_.spec.channels, static_cast<int>(sound_.spec.rate),
                                      static_cast<int>(rate), error);
    if (!converter_) {
        Fail(*error);
        return false;
    }
    sound_.spec.rate = rate;
    return true;
}

bool TPulsePlayback::Rewind() {
    if (sf_seek(sound_.handle.get(), 0, SEEK_SET) != 0)
        return false;
    endOfFile_ = false;
    if (converter_)
        converter_->Reset();
    return true;
}

void TPulsePlayback::Start(bool looping) {
    loop_ = looping;
    if (looping && endOfFile_)
        Rewind();
    state_ = TPlayState::Playing;
    progressAt_ = Clock::now();
    LetRun(pa_stream_cork(stream_.get(), 0, nullptr, nullptr));
    Pump();
}

void TPulsePlayback::OnWrite(pa_stream* stream, size_t, void* userdata) {
    auto* self = static_cast<TPulsePlayback*>(userdata);
    // Asked for more while playing: the device took what it had.
    if (self->state_ == TPlayState::Playing)
        self->flowing_ = true;
    self->progressAt_ = Clock::now();
    // The first sample's place is reckoned from fresh timing.
    if (self->leading_)
        LetRun(pa_stream_update_timing_info(stream, nullptr, nullptr));
    self->Pump();
}

void TPulsePlayback::OnLatencyUpdate(pa_stream* stream, void* userdata) {
    auto* self = static_cast<TPulsePlayback*>(userdata);
    const pa_timing_info* ti = pa_stream_get_timing_info(stream);
    if (ti == nullptr || ti->read_index_corrupt)
        return;
    // An answering server is not enough: the device must be taking samples.
    if (ti->read_index != self->readIndex_) {
        if (self->readIndex_ >= 0 && self->state_ == TPlayState::Playing)
            self->flowing_ = true;
        self->readIndex_ = ti->read_index;
        self->progressAt_ = Clock::now();
    }
    if (self->leading_) {
        if (self->cyclePoll_)
            self->FollowCycle(*ti);
        self->Pump();
    } else if (self->state_ == TPlayState::Draining && self->endIndex_ >= 0) {
        const std::int64_t before = self->cycleRead_;
        self->FollowCycle(*ti);
        if (before >= 0 && before < self->endIndex_ && ti->read_index >= self->endIndex_)
            self->EndWithLastTake(before);
    }
}

// Writes as much of the file as the server asks for; reads only that much,
// so a long message is never held in memory as a whole.
void TPulsePlayback::Pump() {
    if (state_ != TPlayState::Ready && state_ != TPlayState::Playing)
        return;
    const size_t frameBytes = pa_frame_size(&sound_.spec);
    if (leading_ && !WriteLead(frameBytes))
        return;
    while (!endOfFile_) {
        const size_t writable = pa_stream_writable_size(stream_.get());
        if (writable == static_cast<size_t>(-1) || writable < frameBytes)
            break;
        void* data = nullptr;
        size_t bytes = writable;
        if (pa_stream_begin_write(stream_.get(), &data, &bytes) < 0 || data == nullptr) {
            Fail(pa_strerror(connection_.Errno()));
            return;
        }
        std::string why;
        const sf_count_t filled =
            Read(static_cast<float*>(data), static_cast<sf_count_t>(bytes / frameBytes), &why);
        if (filled > 0) {
            pa_stream_write(stream_.get(), data, static_cast<size_t>(filled) * frameBytes, nullptr,
                            0, PA_SEEK_RELATIVE);
        } else {
            pa_stream_cancel_write(stream_.get());
        }
        if (filled < 0) {
            Fail(why);
            return;
        }
    }
    if (endOfFile_ && state_ == TPlayState::Playing)
        StartDrain();
}

// Reads up to `frames` frames at the stream's rate; marks the end of the
// sound when it is reached; -1 with the reason in `error`.
sf_count_t TPulsePlayback::Read(float* out, sf_count_t frames, std::string* error) {
    if (!converter_)
        return ReadFile(out, frames);
    const sf_count_t made = converter_->Read(
        out, frames, [this](float* in, sf_count_t n) { return ReadFile(in, n); }, error);
    endOfFile_ = made < frames;
    return made;
}

// Reads up to `frames` frames of the file, from the start again when
// looping; marks the end of the file when it is reached.
sf_count_t TPulsePlayback::ReadFile(float* out, sf_count_t frames) {
    sf_count_t filled = 0;
    bool rewound = false;
    while (filled < frames) {
        const sf_count_t got = sf_readf_float(sound_.handle.get(),
                                              out + filled * sound_.spec.channels, frames - filled);
        if (got > 0) {
            filled += got;
            rewound = false;
            continue;
        }
        // A rewind that yields nothing ends the loop instead of spinning.
        if (loop_ && !rewound && sf_seek(sound_.handle.get(), 0, SEEK_SET) == 0) {
            rewound = true;
            continue;
        }
        endOfFile_ = true;
        break;
    }
    return filled;
}

// --- Ending ---

void TPulsePlayback::Release() {
    cyclePoll_.reset();
    operation_.reset();
    tailEnd_.reset();
    stream_.reset();
    converter_.reset();
    sound_.handle.reset();
}

void TPulsePlayback::Finish(TPlayState state) {
    if (Finished())
        return;
    Release();
    state_ = state;
    connection_.Signal();
}

void TPulsePlayback::Fail(const std::string& why) {
    if (Finished())
        return;
    error_ = why;
    Finish(TPlayState::Failed);
    if (reportFailure_)
        ReportCannotPlay(path_, why);
}

}  // namespace ziv::pulse
