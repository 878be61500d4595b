#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/sound_capture.h"
#include "base/beep.h"
#include "base/timer.h"
#include "core/keyer.h"

namespace ziv {

// What the window shows of the recorder.
struct TRecordingStatus {
    bool Recording = false;
    int Slot = 0;               // 1..3 while recording, else the last one
    int Seconds = 0;            // recorded so far
    double LevelDbfs = -120.0;  // peak of the input over the last poll
    // Why the last recording was not kept; empty while recording and after
    // one that was kept.
    std::string Error;
};

// Where recordings go, and what the settings make of them.
class TRecordingHome {
public:
    // The folder of the settings file, "/" between its parts.
    virtual std::string RecordingFolder() const = 0;
    // The file slot n names now, or empty.
    virtual std::string SlotPath(int n) const = 0;
    // The slot now names its new recording: assign the path and save the
    // settings as the files window's "Įvesti" does. May throw the
    // settings' error, which the caller reports.
    virtual void AssignRecording(int n, const std::string& path) = 0;

protected:
    ~TRecordingHome() = default;
};

// Records a message from the sound input into its slot's file: started and
// stopped by the operator commands (Ctrl+Shift+F1..F3, Escape), stopped
// by itself after MaxSeconds. While it records, the keyer keys nothing.
//
// The file is written only when the recording ended well and holds at
// least kMinSoundMs of sound; it replaces the old one in one step, so a
// failed, silent or cut-short recording leaves the old message as it was.
// Runs on the user-interface thread; the capture is polled by a timer.
class TMessageRecorder : public TRecordingControl {
public:
    static constexpr int PollInterval = 100;  // ms
    static constexpr int MaxSeconds = 60;
    // An input that delivers nothing for this long has failed; a sound
    // server that has just woken up may take a while for its first samples.
    static constexpr int StallMs = 2000;
    static constexpr int FirstSamplesMs = 5000;

    TMessageRecorder(TKeyer& keyer, TSoundCapture& capture, TTimerFactory& timers, TBeep& beep,
                     TRecordingHome& home);
    ~TMessageRecorder();
    TMessageRecorder(const TMessageRecorder&) = delete;
    TMessageRecorder& operator=(const TMessageRecorder&) = delete;

    // --- TRecordingControl ---
    bool Recording() const override { return status_.Recording; }
    // Starts recording slot n, or stops it when n is the slot recording.
    // Another slot while recording is refused with the beep.
    void RecordKey(int n) override;
    // Ends the recording and keeps it if it is good.
    void StopRecording() override;

    // The file slot n records into: the slot's own file when it lies in the
    // recording folder, else "message<n>.wav" there.
    std::string TargetPath(int n) const;

    const TRecordingStatus& Status() const { return status_; }
    // Raised after every change of Status(): start, each poll, end.
    std::function<void(const TRecordingStatus&)> OnStatus;

private:
    void Start(int n);
    void Poll();
    // Ends the capture and keeps the recording if it is good.
    void Finish();
    void Fail(const std::string& why, const std::string& shown);
    // The sound input would not start or stopped delivering.
    void FailInput(const std::string& why);
    std::size_t MaxSamples() const { return static_cast<std::size_t>(rate_) * MaxSeconds; }
    void EndRecording();
    void Publish();

    TKeyer& keyer_;
    TSoundCapture& capture_;
    TBeep& beep_;
    TRecordingHome& home_;
    std::unique_ptr<TTimer> poll_;
    TRecordingStatus status_;
    std::string savedCaption_;
    std::vector<std::int16_t> samples_;
    int rate_ = 0;
    int ticks_ = 0;
    int quietTicks_ = 0;
};

// The text the window adds to its title for the status: the recording
// slot, its time and a level bar while recording; the reason after a
// recording that was not kept; empty otherwise.
std::string RecordingStatusText(const TRecordingStatus& status);

// The caption of a recording slot's button, such as "● 0:07".
std::string RecordingCaption(int seconds);

}  // namespace ziv
