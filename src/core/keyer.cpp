#include "core/keyer.h"

#include <exception>

namespace ziv {

TKeyer::TKeyer(TVaCustomComm& com, TSRWavePlayer& wavePlayer, TTimerFactory& timers, TBeep& beep,
               TMessageSlots& slots)
    : Timer1(timers.CreateTimer()),
      Timer2(timers.CreateTimer()),
      TestTimer(timers.CreateTimer()),
      WavePlayer(wavePlayer),
      COM(com),
      beep_(beep),
      slots_(slots) {
    // As the window is laid out.
    rbRTS.SetChecked(true);
    rbNorm.SetChecked(true);
    BtnStop.SetVisible(false);
    Timer1->SetInterval(CountdownInterval);
    Timer2->SetInterval(KeyUpInterval);

    Timer1->OnTimer = [this] { Timer1Timer(); };
    Timer2->OnTimer = [this] { Timer2Timer(); };
    TestTimer->SetInterval(PttTestMs);
    TestTimer->OnTimer = [this] {
        TestTimer->SetEnabled(false);
        const bool unkeyed = KeyTransmitter(false);
        if (OnPttTest)
            OnPttTest(unkeyed, pttFailure_);
    };
    WavePlayer.AfterPlay = [this](TSRWavePlayer&) { WavePlayerAfterPlay(); };
    BtnPlay1.OnClick = [this] { BtnPlay1Click(); };
    BtnPlay2.OnClick = [this] { BtnPlay2Click(); };
    BtnPlay3.OnClick = [this] { BtnPlay3Click(); };
    BtnStart.OnClick = [this] { BtnStartClick(); };
    BtnTimer.OnClick = [this] { BtnTimerClick(); };
    BtnStop.OnClick = [this] { BtnStopClick(); };
    TrackBar1.OnMouseUp = [this] { TrackBar1MouseUp(); };
}

TToggleButton& TKeyer::PlayButton(int n) {
    switch (n) {
        case 1:
            return BtnPlay1;
        case 2:
            return BtnPlay2;
        default:
            return BtnPlay3;
    }
}

bool TKeyer::AnyPlayButtonDown() const {
    return BtnPlay1.Down() || BtnPlay2.Down() || BtnPlay3.Down();
}

// ---------------------------------------------------------------------------
// Keying sequencer

void TKeyer::WritePttLine(bool transmit) {
    // Four tests, each on its own; with no line or no polarity chosen
    // nothing changes.
    if (rbRTS.Checked() && rbNorm.Checked())
        COM.SetRTS(transmit);
    if (rbRTS.Checked() && rbInv.Checked())
        COM.SetRTS(!transmit);
    if (rbDTR.Checked() && rbNorm.Checked())
        COM.SetDTR(transmit);
    if (rbDTR.Checked() && rbInv.Checked())
        COM.SetDTR(!transmit);
}

void TKeyer::RaiseSendControls() {
    BtnStart.SetDown(false);
    BtnTimer.SetEnabled(true);
    TrackBar1.SetPosition(savedPause_);
}

void TKeyer::TXOn() {
    // Nothing is keyed while the microphone records: the operator would
    // be on the air with the room, not with a message.
    if (RecordingNow()) {
        RaiseSendControls();
        if (loopFlag_)
            BtnStopClick();
        Refuse();
        return;
    }
    // A transmitter keyed for a message that never comes is worse than
    // none: whether the message can be played is found out first. Getting
    // the output ready here also lets the message start right on the
    // second tick of the key-up delay.
    // A key-up delay already running goes on with its count and period,
    // and with the message prepared and on its way for it.
    const bool keyingUp = Timer2->Enabled();
    const bool message = !WavePlayer.WaveName().empty();
    if (message && !keyingUp && !WavePlayer.Prepare()) {
        RaiseSendControls();
        FailSend();
        return;
    }
    pttLost_ = false;
    // A key the radio did not confirm plays nothing.
    if (!KeyTransmitter(true)) {
        RaiseSendControls();
        FailSend();
        if (OnPttFailure)
            OnPttFailure(true, pttFailure_);
        return;
    }
    if (message && !keyingUp) {
        // The second tick asks for the play; the message is due then.
        WavePlayer.Cue(2 * KeyUpInterval);
        Timer2->SetEnabled(true);
    }
}

void TKeyer::TXOff() {
    if (!KeyTransmitter(false) && OnPttFailure)
        OnPttFailure(false, pttFailure_);
}

void TKeyer::SetPttSwitch(TPttSwitch* ptt) {
    if (ptt_ != nullptr)
        ptt_->SetOnLost(nullptr);
    ptt_ = ptt;
    if (ptt_ != nullptr)
        ptt_->SetOnLost([this](const std::string& why) { PttLost(why); });
}

void TKeyer::PttLost(const std::string& why) {
    {
        const std::lock_guard<std::mutex> guard(lostLock_);
        lostWhy_ = why;
    }
    pttLost_ = true;
    WavePlayer.Stop();
}

bool TKeyer::KeyTransmitter(bool transmit) {
    if (ptt_ == nullptr) {
        WritePttLine(transmit);
        return true;
    }
    pttFailure_.clear();
    return ptt_->Switch(transmit, &pttFailure_);
}

void TKeyer::Timer2Timer() {
    ++keyUpTicks_;
    if (keyUpTicks_ != 2)
        return;
    keyUpTicks_ = 0;
    Timer2->SetEnabled(false);
    // A radio lost in the key-up delay gets no message.
    if (pttLost_) {
        TXOff();
        TellLost();
        return;
    }
    playing_ = true;
    unkeyFailed_ = false;
    // The transmission's time counts from the key, two ticks before.
    WavePlayer.SetTimeLimit(transmitTimeout_ > 0 ? transmitTimeout_ * 1000 - 2 * KeyUpInterval : 0);
    cut_ = false;
    const bool played = WavePlayer.Play();
    playing_ = false;
    // The after-play event has unkeyed either way; a send whose unkey the
    // radio did not confirm failed too, and says so last.
    if (pttLost_) {
        TellLost();
        return;
    }
    if (cut_ && !unkeyFailed_) {
        // As asked: no failure to tell. The held stop ends the loop too.
        if (loopFlag_)
            BtnStopClick();
        return;
    }
    if (played && !unkeyFailed_) {
        if (OnSendResult)
            OnSendResult(true);
        return;
    }
    FailSend();
    if (WavePlayer.TimedOut() && OnTransmitTimeout)
        OnTransmitTimeout(transmitTimeout_);
    if (unkeyFailed_ && OnPttFailure)
        OnPttFailure(false, pttFailure_);
}

void TKeyer::TellLost() {
    pttLost_ = false;
    RaiseSendControls();
    FailSend();
    std::string why;
    {
        const std::lock_guard<std::mutex> guard(lostLock_);
        why = lostWhy_;
    }
    if (OnPttLost)
        OnPttLost(why);
}

void TKeyer::FailSend() {
    // A loop would only fail again after every pause.
    if (loopFlag_)
        BtnStopClick();
    Refuse();
    if (OnSendResult)
        OnSendResult(false);
}

void TKeyer::WavePlayerAfterPlay() {
    BtnStart.SetDown(false);
    BtnTimer.SetEnabled(true);
    if (loopFlag_)
        Timer1->SetEnabled(true);
    TrackBar1.SetPosition(savedPause_);
    // Last, so that a refused unkey leaves the steps above done.
    if (!playing_)
        TXOff();
    else if (!KeyTransmitter(false))
        unkeyFailed_ = true;
}

void TKeyer::Timer1Timer() {
    if (!loopFlag_)
        return;
    TrackBar1.SetPosition(TrackBar1.Position() - 1);
    if (TrackBar1.Position() == 0) {
        Timer1->SetEnabled(false);
        if (!WavePlayer.WaveName().empty())
            TXOn();
    }
}

// ---------------------------------------------------------------------------
// Operator commands

void TKeyer::PlayClick(int n) {
    WavePlayer.SetWaveName(slots_.Path(n));
    if (WavePlayer.WaveName().empty()) {
        PlayButton(n).SetDown(false);
        Refuse();
    }
}

void TKeyer::PlayKey(int n) {
    PlayButton(n).SetDown(true);
    PlayClick(n);
}

bool TKeyer::RefusedForRecording() {
    if (!RecordingNow())
        return false;
    Refuse();
    return true;
}

void TKeyer::RecordKey(int n) {
    if (recorder_ == nullptr) {
        PlayKey(n);
        return;
    }
    if (RecordingNow()) {
        // The slot that records stops; another one is refused. The choice
        // stays with the slot that records.
        recorder_->RecordKey(n);
        return;
    }
    // The microphone opens only with the transmitter idle; a loop waiting
    // out its pause is ended first.
    if (Timer2->Enabled() || BtnStart.Down()) {
        Refuse();
        return;
    }
    if (loopFlag_)
        BtnStopClick();
    // Chosen as F1..F3 choose, except that an empty slot is no refusal
    // here: it is the slot about to be filled.
    PlayButton(n).SetDown(true);
    WavePlayer.SetWaveName(slots_.Path(n));
    recorder_->RecordKey(n);
}

void TKeyer::BtnStartClick() {
    if (RefusedForRecording()) {
        BtnStart.SetDown(false);
        return;
    }
    if (WavePlayer.WaveName().empty()) {
        BtnStart.SetDown(false);
        Refuse();
        return;
    }
    BtnTimer.SetEnabled(false);
    TXOn();
}

void TKeyer::SendOnceKey() {
    if (RefusedForRecording())
        return;
    if (!AnyPlayButtonDown()) {
        Refuse();
        return;
    }
    // A running countdown is cancelled; a running loop goes on after this
    // transmission with a fresh countdown.
    Timer1->SetEnabled(false);
    BtnStart.SetDown(true);
    TXOn();
}

void TKeyer::BtnTimerClick() {
    if (RefusedForRecording())
        return;
    if (WavePlayer.WaveName().empty())
        return;
    if (!AnyPlayButtonDown() || TrackBar1.Position() == 0) {
        Refuse();
        return;
    }
    loopFlag_ = true;
    Timer1->SetEnabled(false);
    BtnStart.SetEnabled(false);
    BtnStop.SetVisible(true);
    BtnTimer.SetVisible(false);
    TXOn();
}

void TKeyer::LoopStartKey() {
    if (RefusedForRecording())
        return;
    if (!AnyPlayButtonDown() || TrackBar1.Position() <= 0) {
        Refuse();
        return;
    }
    loopFlag_ = true;
    Timer1->SetEnabled(true);
    BtnStop.SetVisible(true);
    BtnTimer.SetVisible(false);
    BtnStart.SetEnabled(false);
    TXOn();
}

void TKeyer::TrackBar1MouseUp() {
    if (RefusedForRecording())
        return;
    if (WavePlayer.WaveName().empty())
        return;
    Panel2.SetFocus();
    savedPause_ = TrackBar1.Position();
    loopFlag_ = true;
    Timer1->SetEnabled(true);
    BtnTimer.SetVisible(false);
    BtnStart.SetEnabled(false);
    BtnStop.SetVisible(true);
    TXOn();
}

bool TKeyer::TestPtt() {
    if (Timer2->Enabled() || BtnStart.Down() || loopFlag_ || TestTimer->Enabled() ||
        RecordingNow()) {
        Refuse();
        return false;
    }
    bool keyed = false;
    pttFailure_ = "prievadas neatidarytas";  // a closed port keys nothing
    try {
        keyed = (ptt_ != nullptr || COM.Active()) && KeyTransmitter(true);
    } catch (const std::exception& error) {
        pttFailure_ = error.what();  // the port's, for the line
    }
    if (keyed)
        TestTimer->SetEnabled(true);
    else if (OnPttTest)
        OnPttTest(false, pttFailure_);
    return true;
}

void TKeyer::CutMessage() {
    if (!cutOnStop_)
        return;
    cut_ = true;
    WavePlayer.Stop();
}

void TKeyer::BtnStopClick() {
    // Cut in the key-up delay: nothing has played yet, and nothing will.
    if (cutOnStop_ && Timer2->Enabled()) {
        Timer2->SetEnabled(false);
        keyUpTicks_ = 0;
        RaiseSendControls();
        TXOff();
    }
    loopFlag_ = false;
    BtnStop.SetVisible(false);
    BtnTimer.SetVisible(true);
    BtnStart.SetEnabled(true);
    Timer1->SetEnabled(false);
    TrackBar1.SetPosition(savedPause_);
    WavePlayer.Stop();
}

void TKeyer::FormKeyDown(std::uint16_t key, TShiftState shift) {
    if (key == VK_F4)
        LoopStartKey();
    if (key == VK_ESCAPE) {
        BtnStopClick();
        if (recorder_ != nullptr)
            recorder_->StopRecording();
    }
    if (key == VK_RETURN && (shift & ssCtrl) != 0)
        SendOnceKey();
    // Ctrl+Shift with F1..F3 records that message; other modifiers play no part.
    const bool record = (shift & (ssCtrl | ssShift)) == (ssCtrl | ssShift);
    for (int n = 1; n <= TMessageSlots::Count; ++n) {
        if (key == VK_F1 + n - 1) {
            if (record)
                RecordKey(n);
            else
                PlayKey(n);
        }
    }
}

}  // namespace ziv
