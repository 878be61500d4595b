#include "core/message_recorder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "base/diagnostics.h"
#include "base/path_rules.h"
#include "core/recorded_sound.h"
#include "settings/file_replace.h"

namespace ziv {

namespace {

// Shown in the title after a recording that was not kept.
constexpr char kCannotRecordText[] = "įrašyti nepavyko: ";
constexpr char kTooShortText[] = "įrašas per trumpas ar per tylus, paliktas senasis";
constexpr char kCannotSaveText[] = "įrašo nepavyko išsaugoti: ";
constexpr char kRecordingText[] = "● Įrašoma ";

// Folders compare with either separator: a Windows slot path may use "\".
std::string Comparable(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return NormalizeDirectory(path);
}

std::string MessageName(int n) {
    return "message " + std::to_string(n);
}

// "m:ss"
std::string MinutesSeconds(int seconds) {
    const int rest = seconds % 60;
    return std::to_string(seconds / 60) + ":" + (rest < 10 ? "0" : "") + std::to_string(rest);
}

}  // namespace

TMessageRecorder::TMessageRecorder(TKeyer& keyer, TSoundCapture& capture, TTimerFactory& timers,
                                   TBeep& beep, TRecordingHome& home)
    : keyer_(keyer), capture_(capture), beep_(beep), home_(home), poll_(timers.CreateTimer()) {
    poll_->SetInterval(PollInterval);
    poll_->OnTimer = [this] { Poll(); };
    keyer_.SetRecorder(this);
}

TMessageRecorder::~TMessageRecorder() {
    keyer_.SetRecorder(nullptr);
    // A recording still running when the program ends is dropped: the old
    // message stays, as after any recording that did not end well.
    if (status_.Recording)
        EndRecording();
}

std::string TMessageRecorder::TargetPath(int n) const {
    const std::string folder = home_.RecordingFolder();
    const std::string own = home_.SlotPath(n);
    // The operator's own file for the slot is re-recorded where it is; a
    // file elsewhere (a shared collection, another station's) is left
    // alone, and so is one that is no WAV file by its name (the settings
    // file itself, picked by mistake, must never become a recording).
    const std::string comparable = Comparable(own);
    std::string extension = ExtensionOf(comparable);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".wav" && Comparable(DirectoryPart(comparable)) == Comparable(folder))
        return own;
    return JoinPath(folder, "message" + std::to_string(n) + ".wav");
}

void TMessageRecorder::RecordKey(int n) {
    if (!status_.Recording) {
        Start(n);
    } else if (n == status_.Slot) {
        Finish();
    } else {
        beep_.MessageBeep(TBeep::RefusalType);
    }
}

void TMessageRecorder::StopRecording() {
    if (status_.Recording)
        Finish();
}

void TMessageRecorder::Start(int n) {
    status_ = TRecordingStatus{};
    status_.Slot = n;
    samples_.clear();
    ticks_ = 0;
    quietTicks_ = 0;
    std::string error;
    if (!capture_.Start(&error)) {
        FailInput(error);
        return;
    }
    rate_ = capture_.SampleRate();
    status_.Recording = true;
    savedCaption_ = keyer_.PlayButton(n).Caption();
    keyer_.PlayButton(n).SetCaption(RecordingCaption(0));
    poll_->SetEnabled(true);
    Publish();
}

void TMessageRecorder::Poll() {
    if (!status_.Recording)
        return;
    ++ticks_;
    const std::size_t before = samples_.size();
    std::string error;
    const bool ok = capture_.Take(&samples_, &error);
    const std::size_t got = samples_.size() - before;
    status_.LevelDbfs = PeakDbfs(samples_.data() + before, got);
    if (!ok) {
        FailInput(error);
        return;
    }
    // A server that froze or an input that went away without a word
    // delivers nothing; it must not pass for a long silence.
    quietTicks_ = got == 0 ? quietTicks_ + 1 : 0;
    const int allowedMs = samples_.empty() ? FirstSamplesMs : StallMs;
    if (quietTicks_ * PollInterval >= allowedMs) {
        FailInput("the sound input delivers nothing");
        return;
    }
    const int seconds = ticks_ * PollInterval / 1000;
    if (seconds != status_.Seconds) {
        status_.Seconds = seconds;
        keyer_.PlayButton(status_.Slot).SetCaption(RecordingCaption(seconds));
    }
    if (ticks_ * PollInterval >= MaxSeconds * 1000 || samples_.size() >= MaxSamples()) {
        Finish();
        return;
    }
    Publish();
}

void TMessageRecorder::EndRecording() {
    poll_->SetEnabled(false);
    capture_.Stop();
    status_.Recording = false;
    keyer_.PlayButton(status_.Slot).SetCaption(savedCaption_);
}

void TMessageRecorder::Fail(const std::string& why, const std::string& shown) {
    if (status_.Recording)
        EndRecording();
    WriteDiagnostic(why);
    status_.Error = shown;
    // The keyer chose the slot to be filled; an empty one stays unchosen.
    const int n = status_.Slot;
    if (keyer_.PlayButton(n).Down() && keyer_.WavePlayer.WaveName().empty())
        keyer_.PlayButton(n).SetDown(false);
    beep_.MessageBeep(TBeep::RefusalType);
    samples_.clear();
    Publish();
}

void TMessageRecorder::FailInput(const std::string& why) {
    Fail("cannot record " + MessageName(status_.Slot) + ": " + why, kCannotRecordText + why);
}

void TMessageRecorder::Finish() {
    const int n = status_.Slot;
    std::string error;
    if (!capture_.Take(&samples_, &error)) {
        FailInput(error);
        return;
    }
    EndRecording();
    samples_.resize(std::min(samples_.size(), MaxSamples()));
    if (SoundAboveThresholdMs(samples_, rate_) < kMinSoundMs) {
        Fail(MessageName(n) + " not recorded: less than " + std::to_string(kMinSoundMs) +
                 " ms of sound above " + std::to_string(static_cast<int>(kSilenceThresholdDbfs)) +
                 " dBFS",
             kTooShortText);
        return;
    }
    const std::string path = TargetPath(n);
    const std::string bytes = WavFileBytes(TrimSilence(samples_, rate_), rate_);
    samples_.clear();
    errno = 0;
    if (!ReplaceFileContent(path, bytes, {})) {
        const std::string why = errno != 0 ? std::strerror(errno) : "the file cannot be replaced";
        Fail("cannot write " + MessageName(n) + " to " + path + ": " + why, kCannotSaveText + why);
        return;
    }
    if (keyer_.PlayButton(n).Down())
        keyer_.WavePlayer.SetWaveName(path);
    Publish();
    home_.AssignRecording(n, path);
}

void TMessageRecorder::Publish() {
    if (OnStatus)
        OnStatus(status_);
}

std::string RecordingCaption(int seconds) {
    return "● " + MinutesSeconds(seconds);
}

std::string RecordingStatusText(const TRecordingStatus& status) {
    if (!status.Recording)
        return status.Error;
    // Ten steps over 60 dB: a voice at a sane level fills half to most of
    // it. Squares and the dot are in every Windows system font, so the
    // title shows them without a fallback font.
    constexpr int kSteps = 10;
    const int lit = std::clamp(static_cast<int>((status.LevelDbfs + 60.0) / 6.0 + 0.5), 0, kSteps);
    std::string bar;
    for (int i = 0; i < kSteps; ++i)
        bar += i < lit ? "■" : "□";
    return kRecordingText + std::to_string(status.Slot) + " " + MinutesSeconds(status.Seconds) +
           " " + bar;
}

}  // namespace ziv
