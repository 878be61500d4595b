#include <gtest/gtest.h>

#include "core/keyer_fixture.h"

namespace ziv::test {
namespace {

using Times = std::vector<std::int64_t>;

class Commands : public KeyerFixture {};

TEST_F(Commands, ChoosingMessagesWithButtonsAndKeys) {
    keyer.BtnPlay1.Click();
    EXPECT_EQ(player.WaveName(), "a.wav");
    EXPECT_TRUE(keyer.BtnPlay1.Down());

    // F2 presses button 2 and raises button 1.
    Key(VK_F2);
    EXPECT_EQ(player.WaveName(), "b.wav");
    EXPECT_TRUE(keyer.BtnPlay2.Down());
    EXPECT_FALSE(keyer.BtnPlay1.Down());

    // F2 again keeps it down and copies the slot's path anew.
    slots.SetPath(2, "a.wav");
    EXPECT_EQ(player.WaveName(), "b.wav");  // a copy, until chosen again
    Key(VK_F2);
    EXPECT_TRUE(keyer.BtnPlay2.Down());
    EXPECT_EQ(player.WaveName(), "a.wav");

    // An empty slot: no button down, no message, one beep.
    Key(VK_F3);
    EXPECT_FALSE(keyer.AnyPlayButtonDown());
    EXPECT_EQ(player.WaveName(), "");
    EXPECT_EQ(beep.Types, std::vector<unsigned>{TBeep::RefusalType});
    keyer.BtnPlay3.Click();
    EXPECT_FALSE(keyer.BtnPlay3.Down());
    EXPECT_EQ(beep.Count(), 2);
    EXPECT_TRUE(platform.Calls.empty());
}

TEST_F(Commands, RaisedPlayButtonKeepsTheMessageForMouseButNotForKeys) {
    keyer.TrackBar1.SetPosition(5);
    keyer.BtnPlay1.Click();
    keyer.BtnPlay1.Click();  // raised again: the message stays selected
    EXPECT_FALSE(keyer.BtnPlay1.Down());
    EXPECT_EQ(player.WaveName(), "a.wav");
    EXPECT_EQ(beep.Count(), 0);

    keyer.BtnTimer.Click();
    Key(VK_F4);
    Key(VK_RETURN, ssCtrl);
    EXPECT_EQ(beep.Count(), 3);
    EXPECT_TRUE(platform.Calls.empty());
    EXPECT_FALSE(keyer.LoopFlag());

    // The start button still sends it.
    At(0, [&] { keyer.BtnStart.Click(); });
    ui.Advance(4000);
    EXPECT_EQ(PlayStarts(), Times{120});
    EXPECT_EQ(beep.Count(), 3);
}

TEST_F(Commands, SendOnceByButtonAndByKeyShowDifferentButtons) {
    // Refused with no message: the click had pressed the button; it comes up.
    keyer.BtnStart.Click();
    EXPECT_FALSE(keyer.BtnStart.Down());
    EXPECT_EQ(beep.Count(), 1);

    keyer.BtnPlay1.Click();
    At(0, [&] { keyer.BtnStart.Click(); });
    At(10, [&] { EXPECT_EQ(Buttons(), "timer(off) start-down"); });
    At(5000, [&] { EXPECT_EQ(Buttons(), "timer start-up"); });
    At(6000, [&] { Key(VK_RETURN, ssCtrl | ssShift); });  // Shift does not matter
    At(6010, [&] { EXPECT_EQ(Buttons(), "timer start-down"); });
    At(7000, [&] { Key(VK_RETURN); });  // Enter without Ctrl: nothing here
    ui.Advance(15000);
    EXPECT_EQ(PlayStarts(), (Times{120, 6120}));
    EXPECT_EQ(Buttons(), "timer start-up");
    EXPECT_EQ(beep.Count(), 1);
}

TEST_F(Commands, LoopStartsComparedAndEscapeWithAndWithoutALoop) {
    // Pause 0 refuses the button and F4 with a beep.
    keyer.BtnPlay2.Click();
    keyer.BtnTimer.Click();
    Key(VK_F4);
    EXPECT_EQ(beep.Count(), 2);
    EXPECT_FALSE(keyer.LoopFlag());
    // With no message selected the button and the release refuse silently.
    keyer.BtnPlay3.Click();  // empty slot: one beep, message deselected
    keyer.TrackBar1.SetPosition(3);
    keyer.BtnTimer.Click();
    keyer.TrackBar1.MouseUp();
    EXPECT_EQ(beep.Count(), 3);
    EXPECT_EQ(keyer.SavedPause(), 0);
    EXPECT_EQ(keyer.TrackBar1.Position(), 3);

    // The button: countdown off until the first playback ends; the saved
    // pause (0, never released) then sends once per countdown tick.
    keyer.BtnPlay2.Click();  // 2 s
    At(0, [&] { keyer.BtnTimer.Click(); });
    At(10, [&] { EXPECT_EQ(Buttons(), "stop start(off)-up"); });
    ui.Advance(7000);
    EXPECT_EQ(PlayStarts(), (Times{120, 3240, 6360}));
    EXPECT_EQ(keyer.TrackBar1.Position(), 0);  // the saved pause after the first send

    // Stop: the loop ends after the playback in progress.
    At(7000, [&] { Key(VK_ESCAPE); });
    ui.Advance(10000);
    EXPECT_EQ(PlayStarts().size(), 3u);
    EXPECT_EQ(Buttons(), "timer start-up");
    EXPECT_EQ(sound.Stops, 1);
    EXPECT_FALSE(keyer.Timer1->Enabled());

    // Escape with no loop puts the saved pause back and keeps the message.
    keyer.TrackBar1.SetPosition(9);
    Key(VK_ESCAPE);
    EXPECT_EQ(keyer.TrackBar1.Position(), 0);
    EXPECT_EQ(player.WaveName(), "b.wav");
}

TEST_F(Commands, F4KeepsTheRunningCountdownPeriod) {
    keyer.BtnPlay2.Click();
    keyer.TrackBar1.SetPosition(3);
    At(0, [&] { keyer.TrackBar1.MouseUp(); });  // saved pause 3, countdown armed at 0
    // First cycle: play 120..2120; the tick due at 1000 lands at 2120 (2),
    // then 3120 (1), 4120 (0: send).
    At(2500, [&] { EXPECT_EQ(keyer.TrackBar1.Position(), 2); });
    ui.Advance(4300);
    EXPECT_EQ(PlayStarts(), (Times{120, 4240}));

    // During the next countdown F4 sends at once and the countdown period
    // armed at the end of that playback (6240) goes on: ticks at 7240, ...
    At(7500, [&] { Key(VK_F4); });  // position shows 2
    ui.Advance(20000);
    const Times plays = PlayStarts();
    ASSERT_GE(plays.size(), 4u);
    EXPECT_EQ(plays[2], 7620);
    // The tick due at 8240 lands late at 9620, after the after-play step
    // put the saved pause back (3 -> 2); then 10620 (1), 11620 (0: send).
    EXPECT_EQ(plays[3], 11620 + 120);
}

TEST_F(Commands, CommandsDuringTheCountdown) {
    keyer.BtnPlay1.Click();  // 3 s
    keyer.TrackBar1.SetPosition(10);
    At(0, [&] { keyer.TrackBar1.MouseUp(); });
    // Play 120..3120; late tick at 3120 (9), then 4120 (8), 5120 (7).
    At(5500, [&] { keyer.TrackBar1.MouseUp(); });  // released unmoved at 7
    ui.Advance(6000);
    EXPECT_EQ(keyer.SavedPause(), 7);
    EXPECT_EQ(PlayStarts(), (Times{120, 5620}));

    // Ctrl+Enter during the countdown: sends at once, the countdown starts
    // again from the saved pause after that playback.
    At(10000, [&] { Key(VK_RETURN, ssCtrl); });
    ui.Advance(30000);
    const Times plays = PlayStarts();
    ASSERT_GE(plays.size(), 4u);
    EXPECT_EQ(plays[2], 10120);
    EXPECT_EQ(plays[3], 13120 + 7000 + 120);
    EXPECT_TRUE(keyer.LoopFlag());

    // Choosing another message during the countdown changes what is sent;
    // an empty one halts the loop at 0.
    At(ui.Now(), [&] { keyer.BtnPlay2.Click(); });
    ui.Advance(12000);
    EXPECT_EQ(sound.Plays.back().sound, "b.wav");
    At(ui.Now(), [&] { Key(VK_F3); });
    const std::size_t before = sound.Plays.size();
    ui.Advance(30000);
    EXPECT_EQ(sound.Plays.size(), before);
    EXPECT_TRUE(keyer.LoopFlag());  // halted, not stopped
    EXPECT_FALSE(keyer.Timer1->Enabled());
    EXPECT_EQ(keyer.TrackBar1.Position(), 0);

    // Escape restores the saved pause and the idle buttons.
    Key(VK_ESCAPE);
    EXPECT_EQ(keyer.TrackBar1.Position(), 7);
    EXPECT_EQ(Buttons(), "timer start-up");
}

}  // namespace
}  // namespace ziv::test
