#include "audio/wave_player.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mock/fake_sound_service.h"
#include "mock/virtual_ui_thread.h"

namespace ziv::test {
namespace {

TEST(WavePlayer, AsyncAndLoopAssignmentRules) {
    TVirtualUiThread thread;
    TFakeSoundService service(thread);
    TSRWavePlayer player(service);
    EXPECT_FALSE(player.Async());
    EXPECT_FALSE(player.Loop());
    EXPECT_EQ(player.WaveLocation(), wlFile);

    player.SetLoop(true);  // refused while synchronous
    EXPECT_FALSE(player.Loop());
    player.SetAsync(true);
    player.SetLoop(true);
    EXPECT_TRUE(player.Loop());
    player.SetAsync(true);  // storing true keeps the loop
    EXPECT_TRUE(player.Loop());
    player.SetAsync(false);  // storing false ends it
    EXPECT_FALSE(player.Async());
    EXPECT_FALSE(player.Loop());
}

TEST(WavePlayer, PlayFiresBothEventsAroundEveryRequestWithItsFlags) {
    TVirtualUiThread thread;
    TFakeSoundService service(thread);
    service.SetLength("/m/cq.wav", 2000);
    TSRWavePlayer player(service);
    std::vector<std::string> events;
    player.BeforePlay = [&](TSRWavePlayer& sender) {
        EXPECT_EQ(&sender, &player);
        events.push_back("before@" + std::to_string(thread.Now()));
    };
    player.AfterPlay = [&](TSRWavePlayer& sender) {
        EXPECT_EQ(&sender, &player);
        events.push_back("after@" + std::to_string(thread.Now()));
    };

    player.SetWaveName("/m/cq.wav");
    EXPECT_TRUE(player.Play());  // synchronous: AfterPlay at the end of the sound
    player.SetWaveName("/m/missing.wav");
    EXPECT_FALSE(player.Play());  // a failure still fires both events
    player.SetWaveName("");
    EXPECT_FALSE(player.Play());  // an empty name goes to the service as it is
    player.SetWaveName("/m/cq.wav");
    player.SetAsync(true);
    EXPECT_TRUE(player.Play());
    player.SetLoop(true);
    EXPECT_TRUE(player.Play());

    EXPECT_EQ(events, (std::vector<std::string>{
                          "before@0", "after@2000", "before@2000", "after@2000", "before@2000",
                          "after@2000", "before@2000", "after@2000", "before@2000", "after@2000"}));
    ASSERT_EQ(service.Plays.size(), 5u);
    EXPECT_EQ(service.Plays[0].flags, 0x00020000u);
    EXPECT_EQ(service.Plays[2].sound, "");
    EXPECT_EQ(service.Plays[3].flags, 0x00020001u);
    EXPECT_EQ(service.Plays[4].flags, 0x00020009u);

    // Stop asks the service to end whatever plays, fires nothing, and is
    // harmless when nothing plays.
    player.Stop();
    player.Stop();
    EXPECT_EQ(service.Stops, 2);
    EXPECT_EQ(events.size(), 10u);
}

}  // namespace
}  // namespace ziv::test
