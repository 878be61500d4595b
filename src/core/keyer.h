#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "audio/wave_player.h"
#include "base/beep.h"
#include "base/keys.h"
#include "base/ptt_switch.h"
#include "base/timer.h"
#include "core/controls.h"
#include "core/message_slots.h"
#include "serial/custom_comm.h"

namespace ziv {

// The message recorder as the operator commands reach it.
class TRecordingControl {
public:
    virtual bool Recording() const = 0;
    // Ctrl+Shift+F1..F3, after the keyer has chosen message n.
    virtual void RecordKey(int n) = 0;
    // Escape.
    virtual void StopRecording() = 0;

protected:
    ~TRecordingControl() = default;
};

// The keying behaviour of the main window: the keying sequence (key, a
// key-up delay of two timer ticks, play, unkey), the repeat loop with its
// pause countdown, and the operator commands that drive them. Its state is
// a few variables plus the window's controls, which it owns as toolkit-free
// models; the Qt window binds them to widgets and adds no logic of its own.
//
// Everything here runs on the user-interface thread. Errors of the serial
// port propagate to the caller, which reports them.
class TKeyer {
public:
    static constexpr int KeyUpInterval = 60;        // ms, Timer2
    static constexpr int CountdownInterval = 1000;  // ms, Timer1
    static constexpr int MaxPause = 20;             // s

    TKeyer(TVaCustomComm& com, TSRWavePlayer& wavePlayer, TTimerFactory& timers, TBeep& beep,
           TMessageSlots& slots);
    TKeyer(const TKeyer&) = delete;
    TKeyer& operator=(const TKeyer&) = delete;

    // --- Keying sequencer ---
    void TXOn();
    void TXOff();
    void Timer2Timer();
    void WavePlayerAfterPlay();
    void Timer1Timer();

    // --- Operator commands ---
    void BtnPlay1Click() { PlayClick(1); }
    void BtnPlay2Click() { PlayClick(2); }
    void BtnPlay3Click() { PlayClick(3); }
    void BtnStartClick();
    void BtnTimerClick();
    void BtnStopClick();
    // The button, modifiers and pointer position of the release play no part.
    void TrackBar1MouseUp();
    // Every key press of the window. Never consumes the key: it goes on to
    // the focused control afterwards.
    void FormKeyDown(std::uint16_t key, TShiftState shift);

    // Told after each transmission whether the message went out whole
    // (true), or could not be played at all or broke off (false: the
    // transmitter was not keyed, or was unkeyed at once, and the loop ended).
    std::function<void(bool sent)> OnSendResult;

    // How the transmitter is keyed; null (as at the start) for the serial
    // port's line chosen in the window.
    void SetPttSwitch(TPttSwitch* ptt);
    bool UsesSerialLine() const { return ptt_ == nullptr; }
    // Told why the transmitter could not be keyed or unkeyed (after the
    // send's result).
    std::function<void(bool transmit, const std::string& why)> OnPttFailure;
    // Told when a keyed radio was lost (its server, or its PTT) during a
    // send: the message was stopped at once and the loop ended.
    std::function<void(const std::string& why)> OnPttLost;
    // From any thread: the switch lost the radio.
    void PttLost(const std::string& why);

    // A transmission that lasts longer than `seconds` (0: no limit) is cut,
    // unkeyed and the loop ended; OnTransmitTimeout is told.
    void SetTransmitTimeout(int seconds) { transmitTimeout_ = seconds; }
    std::function<void(int seconds)> OnTransmitTimeout;

    // With cut on, Escape and the stop button cut the message: the window
    // calls CutMessage as soon as either comes during a play (its input is
    // held until the play has returned); in the key-up delay they unkey at
    // once. Off (as at the start), they end the loop and the message plays
    // to its end.
    void SetCutOnStop(bool on) { cutOnStop_ = on; }
    bool CutOnStop() const { return cutOnStop_; }
    // Ends the playing message at once (safe while it plays).
    void CutMessage();

    // Keys the transmitter for half a second by the chosen method, then
    // unkeys; OnPttTest tells whether the radio confirmed both. Not while
    // a send, a loop or a recording runs: false, after the beep.
    bool TestPtt();
    std::function<void(bool ok, const std::string& why)> OnPttTest;
    static constexpr int PttTestMs = 500;

    // The recorder, or null. While it records the keyer keys nothing: every
    // send and loop command is refused with the beep.
    void SetRecorder(TRecordingControl* recorder) { recorder_ = recorder; }

    // --- State, for the window and for tests ---
    bool LoopFlag() const { return loopFlag_; }
    std::int32_t SavedPause() const { return savedPause_; }
    std::int32_t KeyUpTicks() const { return keyUpTicks_; }
    TToggleButton& PlayButton(int n);
    bool AnyPlayButtonDown() const;

    // --- Controls of the main window that the keyer reads and writes ---
    TToggleGroup PlayGroup;   // group 1, all may be up
    TToggleGroup StartGroup;  // group 4, BtnStart alone
    TToggleButton BtnPlay1{PlayGroup, true};
    TToggleButton BtnPlay2{PlayGroup, true};
    TToggleButton BtnPlay3{PlayGroup, true};
    TToggleButton BtnStart{StartGroup, true};
    TPushButton BtnTimer;
    TPushButton BtnStop;  // same place as BtnTimer; exactly one of them shows
    TPanel Panel2;
    TTrackBar TrackBar1{0, MaxPause};
    TRadioGroup LineGroup;
    TRadioGroup PolarityGroup;
    TRadioButton rbRTS{LineGroup};
    TRadioButton rbDTR{LineGroup};
    TRadioButton rbNorm{PolarityGroup};
    TRadioButton rbInv{PolarityGroup};
    std::unique_ptr<TTimer> Timer1;     // pause countdown
    std::unique_ptr<TTimer> Timer2;     // key-up delay
    std::unique_ptr<TTimer> TestTimer;  // how long a test of the PTT keys

    TSRWavePlayer& WavePlayer;
    TVaCustomComm& COM;

private:
    void PlayClick(int n);
    void PlayKey(int n);
    void RecordKey(int n);
    bool RecordingNow() const { return recorder_ != nullptr && recorder_->Recording(); }
    // True, after the beep, when a recording forbids keying now.
    bool RefusedForRecording();
    void SendOnceKey();
    void LoopStartKey();
    void Refuse() { beep_.MessageBeep(TBeep::RefusalType); }
    void FailSend();
    // A send whose radio was lost: failed, and why.
    void TellLost();
    // A send that does not go out: the send button up and the pause shown.
    void RaiseSendControls();
    // Writes the PTT line for transmit (true) or idle (false) by the
    // line/polarity table; the line that is not chosen keeps its level.
    void WritePttLine(bool transmit);
    // Keys or unkeys by the chosen method; false (told) when it failed.
    bool KeyTransmitter(bool transmit);

    TBeep& beep_;
    TMessageSlots& slots_;
    TRecordingControl* recorder_ = nullptr;
    TPttSwitch* ptt_ = nullptr;
    std::string pttFailure_;
    int transmitTimeout_ = 0;  // s
    bool cutOnStop_ = false;
    std::atomic<bool> cut_ = false;  // the playing message was cut
    std::atomic<bool> pttLost_ = false;
    std::mutex lostLock_;
    std::string lostWhy_;
    bool playing_ = false;      // inside the play of a send
    bool unkeyFailed_ = false;  // its unkey was not confirmed
    bool loopFlag_ = false;
    std::int32_t savedPause_ = 0;
    std::int32_t keyUpTicks_ = 0;
};

}  // namespace ziv
