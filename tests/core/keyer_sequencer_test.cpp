#include <gtest/gtest.h>

#include "core/keyer_fixture.h"
#include "serial/comm_error.h"

namespace ziv::test {
namespace {

using Strings = std::vector<std::string>;
using Times = std::vector<std::int64_t>;

class Sequencer : public KeyerFixture {};

TEST_F(Sequencer, LineLevelTableForEachLineAndPolarity) {
    struct Row {
        TRadioButton* line;
        TRadioButton* polarity;
        Strings calls;  // TXOn, then TXOff
    };
    const Row rows[] = {
        {&keyer.rbRTS, &keyer.rbNorm, {"SETRTS", "CLRRTS"}},
        {&keyer.rbRTS, &keyer.rbInv, {"CLRRTS", "SETRTS"}},
        {&keyer.rbDTR, &keyer.rbNorm, {"SETDTR", "CLRDTR"}},
        {&keyer.rbDTR, &keyer.rbInv, {"CLRDTR", "SETDTR"}},
    };
    for (const Row& row : rows) {
        platform.Calls.clear();
        row.line->SetChecked(true);
        row.polarity->SetChecked(true);
        keyer.TXOn();
        keyer.TXOff();
        EXPECT_EQ(platform.LineCalls(), row.calls);
    }

    // No line chosen: no line changes, but the message plays and the
    // after-play steps run.
    keyer.rbDTR.SetChecked(false);
    platform.Calls.clear();
    keyer.BtnPlay1.Click();
    keyer.BtnStart.Click();
    ui.Advance(5000);
    EXPECT_TRUE(platform.Calls.empty());
    ASSERT_EQ(sound.Plays.size(), 1u);
    EXPECT_EQ(Buttons(), "timer start-up");
}

TEST_F(Sequencer, SendOnceKeysWaitsTwoTicksPlaysToTheEndAndUnkeys) {
    keyer.BtnPlay1.Click();
    At(1000, [&] { keyer.BtnStart.Click(); });
    ui.Advance(10000);

    EXPECT_EQ(Timeline(), (Strings{"1000:SETRTS", "4120:CLRRTS"}));
    ASSERT_EQ(sound.Plays.size(), 1u);
    EXPECT_EQ(sound.Plays[0].start, 1120);
    EXPECT_EQ(sound.Plays[0].sound, "a.wav");
    EXPECT_EQ(sound.Plays[0].flags, SND_FILENAME);  // synchronous, once
    EXPECT_EQ(sound.Prepared, Strings{"a.wav"});    // readied during the key-up delay
    using Cues = std::vector<std::pair<std::int64_t, int>>;
    EXPECT_EQ(sound.Cues, (Cues{{1000, 120}}));  // due at the second tick
    EXPECT_FALSE(keyer.BtnStart.Down());
    EXPECT_FALSE(keyer.Timer2->Enabled());
    EXPECT_EQ(keyer.KeyUpTicks(), 0);
}

// A second keying within the key-up delay, by TXOn after the first tick
// (count and period go on) or by a second click (which raises the
// button), gives one playback.
TEST_F(Sequencer, SecondKeyingWithinTheDelayGivesOnePlayback) {
    keyer.BtnPlay1.Click();
    At(0, [&] { keyer.TXOn(); });
    At(90, [&] { keyer.TXOn(); });
    At(10000, [&] { keyer.BtnStart.Click(); });
    At(10050, [&] { keyer.BtnStart.Click(); });
    At(10130, [&] { EXPECT_FALSE(keyer.BtnStart.Down()); });  // delivered after the play
    ui.Advance(20000);
    EXPECT_EQ(Timeline(), (Strings{"0:SETRTS", "90:SETRTS", "3120:CLRRTS", "10000:SETRTS",
                                   "10050:SETRTS", "13120:CLRRTS"}));
    EXPECT_EQ(PlayStarts(), (Times{120, 10120}));
    // The message on its way is kept: prepared and cued once a send.
    EXPECT_EQ(sound.Prepared, (Strings{"a.wav", "a.wav"}));
    EXPECT_EQ(sound.Cues.size(), 2u);
}

TEST_F(Sequencer, RepeatLoopWithPauseTwentyCountsDownOneSecondApart) {
    keyer.BtnPlay2.Click();  // 2 s message
    keyer.TrackBar1.SetPosition(20);
    At(0, [&] { keyer.TrackBar1.MouseUp(); });
    std::vector<int> shown;
    Times shownAt;
    keyer.TrackBar1.OnChange = [&] {
        shown.push_back(keyer.TrackBar1.Position());
        shownAt.push_back(ui.Now());
    };
    ui.Advance(50000);

    // The first pause is cut short by the countdown armed at the release;
    // the second runs the full 20 s from the end of the playback.
    const Times plays = PlayStarts();
    ASSERT_GE(plays.size(), 3u);
    EXPECT_EQ(plays[0], 120);
    const std::int64_t secondEnd = plays[1] + 2000;
    EXPECT_EQ(plays[2], secondEnd + 20000 + 120);

    // After the second playback the bar shows 20, 19, ..., 0 a second apart.
    auto it = std::find(shownAt.begin(), shownAt.end(), secondEnd);
    ASSERT_NE(it, shownAt.end());
    auto i = static_cast<std::size_t>(it - shownAt.begin());
    for (int k = 0; k <= 20; ++k) {
        EXPECT_EQ(shown[i + static_cast<std::size_t>(k)], 20 - k);
        EXPECT_EQ(shownAt[i + static_cast<std::size_t>(k)], secondEnd + 1000 * k);
    }
    EXPECT_TRUE(keyer.LoopFlag());
}

TEST_F(Sequencer, RepeatLoopWithPauseZeroSendsOneTickAfterEachPlayback) {
    keyer.BtnPlay2.Click();
    At(0, [&] { keyer.TrackBar1.MouseUp(); });  // released at 0: pause 0
    ui.Advance(11000);
    // The tick due during the first playback sends at once after it; from
    // then on each keying comes one tick after the end of the playback.
    EXPECT_EQ(PlayStarts(), (Times{120, 2240, 5360, 8480}));
    EXPECT_EQ(keyer.TrackBar1.Position(), 0);
    EXPECT_EQ(keyer.SavedPause(), 0);
}

TEST_F(Sequencer, RefusedLineChangeStopsTheOperationAndIsReported) {
    // The error's text: the serial tests.
    platform.FailWith["SETRTS"] = 5;
    keyer.BtnPlay1.Click();
    EXPECT_THROW(keyer.TXOn(), EVaCommError);
    EXPECT_FALSE(keyer.Timer2->Enabled());  // no key-up delay armed

    // A refused unkey leaves the earlier after-play steps done.
    platform.FailWith.clear();
    platform.FailWith["CLRRTS"] = 5;
    keyer.TrackBar1.SetPosition(7);
    keyer.BtnStart.Click();
    EXPECT_THROW(ui.Advance(4000), EVaCommError);
    EXPECT_EQ(Buttons(), "timer start-up");
    EXPECT_EQ(keyer.TrackBar1.Position(), 0);
}

// A message that cannot be played never keys the transmitter: the send is
// refused with the beep, a running loop ends, and the window is told.
TEST_F(Sequencer, UnplayableMessageIsRefusedBeforeKeyingAndEndsTheLoop) {
    std::vector<bool> results;
    keyer.OnSendResult = [&](bool sent) { results.push_back(sent); };
    keyer.BtnPlay1.Click();
    At(0, [&] { keyer.BtnStart.Click(); });  // plays whole
    ui.Advance(5000);
    sound.Unplayable.insert("a.wav");
    keyer.TrackBar1.SetPosition(2);
    At(5000, [&] { keyer.TrackBar1.MouseUp(); });  // the loop's first send
    ui.Advance(30000);

    EXPECT_EQ(Timeline(), (Strings{"0:SETRTS", "3120:CLRRTS"}));
    EXPECT_EQ(sound.Plays.size(), 1u);
    EXPECT_EQ(beep.Count(), 1);
    EXPECT_FALSE(keyer.LoopFlag());
    EXPECT_EQ(Buttons(), "timer start-up");
    EXPECT_EQ(keyer.TrackBar1.Position(), 2);
    EXPECT_EQ(results, (std::vector<bool>{true, false}));

    // Playable again: the next send goes out and clears the sign.
    sound.Unplayable.clear();
    At(40000, [&] { keyer.BtnStart.Click(); });
    ui.Advance(10000);
    EXPECT_EQ(results, (std::vector<bool>{true, false, true}));
}

// A play that breaks off unkeys at once, ends a loop and is told too.
TEST_F(Sequencer, PlayThatFailsUnkeysAtOnceAndEndsTheLoop) {
    std::vector<bool> results;
    keyer.OnSendResult = [&](bool sent) { results.push_back(sent); };
    slots.SetPath(3, "breaks.wav");  // prepares, then fails when played
    keyer.BtnPlay3.Click();
    At(0, [&] { keyer.BtnStart.Click(); });
    At(1000, [&] {
        keyer.TrackBar1.SetPosition(1);
        keyer.TrackBar1.MouseUp();
    });
    ui.Advance(10000);
    EXPECT_EQ(Timeline(), (Strings{"0:SETRTS", "120:CLRRTS", "1000:SETRTS", "1120:CLRRTS"}));
    ASSERT_EQ(sound.Plays.size(), 2u);
    EXPECT_FALSE(sound.Plays[0].ok);
    EXPECT_FALSE(keyer.LoopFlag());
    EXPECT_EQ(beep.Count(), 2);
    EXPECT_EQ(results, (std::vector<bool>{false, false}));
}

// A radio keyed by CAT: the key is confirmed before the key-up delay
// counts, the serial line stays still, and a key the radio refuses plays
// nothing, ends the loop and is told with its reason, as is a refused unkey.
TEST_F(Sequencer, KeyedBySwitchOnlyOnceConfirmedAndARefusalPlaysNothing) {
    struct TScriptedSwitch final : TPttSwitch {
        TVirtualUiThread& ui;
        std::vector<std::string> calls;
        bool refuseKey = false, refuseUnkey = false;
        explicit TScriptedSwitch(TVirtualUiThread& u) : ui(u) {}
        bool Switch(bool transmit, std::string* why) override {
            calls.push_back(std::to_string(ui.Now()) + (transmit ? ":T 1" : ":T 0"));
            if (transmit ? refuseKey : refuseUnkey)
                *why = "refused";
            return !(transmit ? refuseKey : refuseUnkey);
        }
    } cat(ui);
    std::vector<std::string> told;
    keyer.SetPttSwitch(&cat);
    keyer.OnSendResult = [&](bool sent) { told.push_back(sent ? "sent" : "failed"); };
    keyer.OnPttFailure = [&](bool transmit, const std::string& why) {
        told.push_back((transmit ? "key " : "unkey ") + why);
    };
    keyer.BtnPlay1.Click();
    At(0, [&] { keyer.BtnStart.Click(); });
    ui.Advance(5000);
    EXPECT_EQ(cat.calls, (Strings{"0:T 1", "3120:T 0"}));
    EXPECT_EQ(PlayStarts(), (std::vector<std::int64_t>{120}));

    cat.refuseKey = true;
    keyer.TrackBar1.SetPosition(2);
    At(5000, [&] { keyer.TrackBar1.MouseUp(); });
    ui.Advance(30000);
    EXPECT_EQ(sound.Plays.size(), 1u);
    EXPECT_FALSE(keyer.LoopFlag());
    EXPECT_EQ(beep.Count(), 1);

    cat.refuseKey = false;
    cat.refuseUnkey = true;
    At(40000, [&] { keyer.BtnStart.Click(); });
    ui.Advance(10000);
    EXPECT_EQ(told, (Strings{"sent", "failed", "key refused", "failed", "unkey refused"}));
    EXPECT_TRUE(Timeline().empty()) << "the serial line moved";

    // The test keys for half a second, and says whether the radio confirmed.
    keyer.OnPttTest = [&](bool ok, const std::string& why) {
        told.push_back(ok ? "test ok" : "test: " + why);
    };
    cat.refuseUnkey = false;
    cat.calls.clear();
    At(50000, [&] { keyer.TestPtt(); });
    ui.Advance(10000);
    EXPECT_EQ(cat.calls, (Strings{"50000:T 1", "50500:T 0"}));
    cat.refuseKey = true;
    At(60000, [&] { keyer.TestPtt(); });
    ui.Advance(10000);
    EXPECT_EQ(told.back(), "test: refused");
}

// A radio lost during the message stops it at once; lost in the key-up
// delay, nothing plays; either way the transmitter is unkeyed, the loop
// ended and the reason told.
TEST_F(Sequencer, ARadioLostMidSendStopsTheMessageAndEndsTheLoop) {
    TVoxPtt vox;  // stands in for a switch that tells of a loss
    keyer.SetPttSwitch(&vox);
    std::vector<std::string> told;
    keyer.OnSendResult = [&](bool sent) { told.push_back(sent ? "sent" : "failed"); };
    keyer.OnPttLost = [&](const std::string& why) { told.push_back("lost: " + why); };
    sound.StopAt = 1000;
    sound.During = [&] { keyer.PttLost("gone"); };
    keyer.BtnPlay1.Click();
    keyer.TrackBar1.SetPosition(1);
    At(0, [&] { keyer.TrackBar1.MouseUp(); });
    ui.Advance(10000);
    EXPECT_EQ(sound.Plays.size(), 1u);
    EXPECT_EQ(sound.Plays[0].end, 1120);
    EXPECT_FALSE(keyer.LoopFlag());
    sound.During = nullptr;
    At(20000, [&] { keyer.BtnStart.Click(); });
    At(20030, [&] { keyer.PttLost("gone again"); });
    ui.Advance(15000);
    EXPECT_EQ(sound.Plays.size(), 1u);
    EXPECT_EQ(told, (Strings{"failed", "lost: gone", "failed", "lost: gone again"}));
    EXPECT_EQ(Buttons(), "timer start-up");
}

// Off by default (the 3 s message plays whole); at 3 s a transmission is
// cut 3 s after its key, unkeyed, the loop ended and the reason told; a
// shorter one is not touched.
TEST_F(Sequencer, TransmitTimeoutCutsALongerTransmissionAndEndsTheLoop) {
    std::vector<std::string> told;
    keyer.OnSendResult = [&](bool sent) { told.push_back(sent ? "sent" : "failed"); };
    keyer.OnTransmitTimeout = [&](int s) { told.push_back("timeout " + std::to_string(s)); };
    keyer.BtnPlay1.Click();
    At(0, [&] { keyer.BtnStart.Click(); });
    ui.Advance(5000);
    keyer.SetTransmitTimeout(3);
    keyer.TrackBar1.SetPosition(1);
    At(5000, [&] { keyer.TrackBar1.MouseUp(); });
    ui.Advance(10000);
    keyer.BtnPlay2.Click();
    At(20000, [&] { keyer.BtnStart.Click(); });
    ui.Advance(10000);
    EXPECT_EQ(Timeline(), (Strings{"0:SETRTS", "3120:CLRRTS", "5000:SETRTS", "8000:CLRRTS",
                                   "20000:SETRTS", "22120:CLRRTS"}));
    EXPECT_FALSE(keyer.LoopFlag());
    EXPECT_EQ(told, (Strings{"sent", "failed", "timeout 3", "sent"}));
}

// Off, a stop during the message lets it finish (the window holds the
// input until the play returns); on, the message is cut where the stop
// came and the loop ends, with no failure told; in the key-up delay the
// transmitter is unkeyed at once and nothing plays.
TEST_F(Sequencer, CutOnStopEndsTheMessageWhereTheStopCame) {
    std::vector<bool> results;
    keyer.OnSendResult = [&](bool sent) { results.push_back(sent); };
    sound.StopAt = 1000;
    sound.During = [&] { keyer.CutMessage(); };
    keyer.BtnPlay1.Click();
    At(0, [&] { keyer.BtnStart.Click(); });
    ui.Advance(5000);
    keyer.SetCutOnStop(true);
    keyer.TrackBar1.SetPosition(1);
    At(5000, [&] { keyer.TrackBar1.MouseUp(); });
    ui.Advance(10000);
    sound.During = nullptr;
    At(20000, [&] { keyer.BtnStart.Click(); });
    At(20060, [&] { keyer.BtnStopClick(); });
    ui.Advance(10000);
    EXPECT_EQ(Timeline(), (Strings{"0:SETRTS", "3120:CLRRTS", "5000:SETRTS", "6120:CLRRTS",
                                   "20000:SETRTS", "20060:CLRRTS"}));
    EXPECT_EQ(sound.Plays.size(), 2u);
    EXPECT_FALSE(keyer.LoopFlag());
    EXPECT_EQ(Buttons(), "timer start-up");
    EXPECT_EQ(results, (std::vector<bool>{true}));
}

TEST_F(Sequencer, CountdownTickWithLoopClearChangesNothing) {
    keyer.TrackBar1.SetPosition(5);
    keyer.Timer1->SetEnabled(true);
    ui.Advance(3000);
    EXPECT_EQ(keyer.TrackBar1.Position(), 5);
    EXPECT_TRUE(keyer.Timer1->Enabled());
}

}  // namespace
}  // namespace ziv::test
