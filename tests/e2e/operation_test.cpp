// The real program operated as in a contest: repeat loops, a port changed
// while running, a second copy on the same port, and the end of a session.
#include <gtest/gtest.h>

#include "e2e/checks.h"
#include "e2e/harness/window_points.h"
#include "e2e/serial_double/device_state.h"

namespace ziv::e2e {
namespace {

// Key-to-key spacing of a loop from its second cycle on: the key-up delay,
// the message, the tail and the pause.
void ExpectLoopSpacing(const std::vector<TKeyedSpan>& sent, const std::vector<THeardSound>& sounds,
                       const TMarkedMessage& message, double pauseMs, const std::string& what) {
    SCOPED_TRACE(what);
    for (std::size_t i = 1; i + 1 < sent.size(); ++i) {
        const THeardSound* sound = SoundOf(sent[i], sounds);
        ASSERT_NE(sound, nullptr) << "cycle " << i + 1 << " was not heard";
        const double tailMs = double(sent[i].unkeyNs - sound->lastNs) / 1e6;
        const double expectedMs = kKeyToSoundMs + message.Seconds() * 1000 + tailMs + pauseMs;
        const double spacingMs = double(sent[i + 1].keyNs - sent[i].keyNs) / 1e6;
        EXPECT_NEAR(spacingMs, expectedMs, 20) << "between cycles " << i + 1 << " and " << i + 2;
    }
    for (const TKeyedSpan& span : sent)
        ExpectWholeSend(span, sounds, message, -1.0, what);
}

TEST(Operation, RepeatLoopsFromTheTrackBarAndF4KeepTheirSpacingAndStopOnEscape) {
    const TPtt ptt{TPttLine::Rts, false};
    const TMarkedMessage message{.rate = 48000, .channels = 1, .bodySeconds = 0.3};
    TEndToEnd run;
    TStation* station = run.StationOnCom1(ptt, {message});
    ASSERT_TRUE(station && run.Launch(*station)) << run.Error();
    const std::string& device = run.Device();
    constexpr std::size_t kCycles = 4;

    // Releasing the track bar at 1 s starts the loop at once.
    station->Key("F1");
    station->Drag(kThumbX, kThumbAtZeroY, kThumbX, kThumbAtOneY);
    ASSERT_TRUE(run.WaitForTransmissions(device, ptt, kCycles, 15000, 200)) << station->Stderr();
    station->Key("Escape");  // in the pause after the last cycle
    const std::int64_t firstStopNs = NowNs();
    SleepMs(2500);
    std::vector<TKeyedSpan> sent = Transmissions(run.Lines(), device, ptt);
    ASSERT_EQ(sent.size(), kCycles) << "the loop went on after Escape";

    // F4 starts it again with the pause the track bar was released at.
    station->Key("F4");
    ASSERT_TRUE(run.WaitForTransmissions(device, ptt, 2 * kCycles, 15000, 200))
        << station->Stderr();
    station->Key("Escape");
    const std::int64_t secondStopNs = NowNs();
    SleepMs(2500);
    const std::vector<TLineEvent> events = run.Lines();
    sent = Transmissions(events, device, ptt);
    EXPECT_EQ(station->Terminate(), 0) << station->Stderr();
    ASSERT_EQ(sent.size(), 2 * kCycles) << "the loop went on after Escape";
    for (const TLineEvent& e : EventsOf(events, device))
        EXPECT_FALSE(e.ns > secondStopNs && e.event == "lines") << "a line moved after Escape";

    const std::vector<THeardSound> sounds = run.Sounds();
    std::vector<TKeyedSpan> first(sent.begin(), sent.begin() + kCycles);
    std::vector<TKeyedSpan> second(sent.begin() + kCycles, sent.end());
    EXPECT_GT(second.front().keyNs, firstStopNs);
    ExpectLoopSpacing(first, sounds, message, 1000, "loop from the track bar");
    ExpectLoopSpacing(second, sounds, message, 1000, "loop from F4");
}

TEST(Operation, PortChangedInTheBoxClosesTheOldAndOpensTheNewAtIdle) {
    const TPtt ptt{TPttLine::Rts, false};
    TEndToEnd run;
    ASSERT_TRUE(run.Start()) << run.Error();
    const std::string com1 = run.NewDevice("ttyE0");
    const std::string com2 = run.NewDevice("ttyE1");
    const TMarkedMessage message{.rate = 48000, .channels = 1, .bodySeconds = 0.2};
    TStationSettings settings;
    settings.port = "COM1";
    settings.ports = {{"COM1", com1}, {"COM2", com2}};
    settings.waveFiles[0] = run.NewMessage("cq.wav", message);
    TStation& station = run.NewStation("station", settings);
    ASSERT_TRUE(run.Launch(station)) << run.Error();

    station.Click(kWidenX, kWidenY);
    station.Click(kPortBoxX, kPortBoxY);
    station.Key("ctrl+a");
    station.Type("COM2");
    SleepMs(300);
    const std::int64_t changedNs = NowNs();
    TDeviceLevels old, now;
    ASSERT_TRUE(ReadDevice(com1, old));
    ASSERT_TRUE(ReadDevice(com2, now));
    EXPECT_EQ(old.opens, 0) << "the old port is still open";
    EXPECT_EQ(now.opens, 1) << "the new port is not open";
    EXPECT_FALSE(now.rts) << "the new port's PTT line is not at its idle level";

    // The next message goes out on the new port only.
    station.Send("F1");
    ASSERT_TRUE(run.WaitForTransmissions(com2, ptt, 1, 5000)) << station.Stderr();
    EXPECT_EQ(station.Terminate(), 0) << station.Stderr();
    const std::vector<TLineEvent> events = run.Lines();
    for (const TLineEvent& e : EventsOf(events, com1))
        EXPECT_LT(e.ns, changedNs) << "the old port was used after the change";
    ExpectQuietLines(events, com2, ptt);
    const std::vector<TKeyedSpan> sent = Transmissions(events, com2, ptt);
    ASSERT_EQ(sent.size(), 1u);
    ExpectWholeSend(sent[0], run.Sounds(), message, -1.0, "send on the new port");
}

TEST(Operation, SecondCopyOnTheSamePortIsToldItIsBusyAndTheFirstStillSends) {
    const TPtt ptt{TPttLine::Rts, false};
    TEndToEnd run;
    ASSERT_TRUE(run.Start()) << run.Error();
    const std::string device = run.NewDevice("ttyE0");
    const TMarkedMessage message{.rate = 48000, .channels = 1, .bodySeconds = 0.2};
    TStationSettings settings = OnCom1(device);
    settings.waveFiles[0] = run.NewMessage("cq.wav", message);
    TStation& first = run.NewStation("first", settings);
    settings.x = 400;
    TStation& second = run.NewStation("second", settings);
    ASSERT_TRUE(run.Launch(first)) << run.Error();
    ASSERT_TRUE(run.Launch(second)) << run.Error();

    // The second copy shows "Prievadas užimtas" in a box of its own.
    std::string box;
    for (int waited = 0; waited < 5000 && box.empty(); waited += 50) {
        for (const std::string& w : second.Windows())
            if (second.Geometry(w).width != kNarrowWidth)
                box = w;
        SleepMs(50);
    }
    ASSERT_FALSE(box.empty()) << "the second copy showed no message box";
    EXPECT_NE(second.Stderr().find("in use by another program"), std::string::npos)
        << second.Stderr();
    second.KeyTo(box, "Return");
    SleepMs(300);
    EXPECT_TRUE(second.Running()) << "the second copy ended";
    const std::vector<std::string> windows = second.Windows();
    ASSERT_EQ(windows.size(), 1u) << "the box is still shown";
    EXPECT_EQ(second.Geometry(windows[0]).width, kNarrowWidth) << "the main window is not shown";

    first.Send("F1");
    ASSERT_TRUE(run.WaitForTransmissions(device, ptt, 1, 5000)) << first.Stderr();
    const std::vector<TKeyedSpan> sent = Transmissions(run.Lines(), device, ptt);
    ASSERT_EQ(sent.size(), 1u);
    ExpectWholeSend(sent[0], run.Sounds(), message, -1.0, "send by the first copy");
    for (const TLineEvent& e : run.Lines())
        EXPECT_NE(e.pid, second.Pid()) << "the second copy reached the device";
    EXPECT_EQ(second.Terminate(), 0) << second.Stderr();
    EXPECT_EQ(first.Terminate(), 0) << first.Stderr();
}

TEST(Operation, SigtermWhenIdleClosesThePortAndSavesTheSettings) {
    TEndToEnd run;
    TStation* station = run.StationOnCom1({});
    ASSERT_TRUE(station && run.Launch(*station)) << run.Error();
    const std::string& device = run.Device();

    // A choice made in the window must reach the file.
    station->Click(kWidenX, kWidenY);
    station->Click(kDtrX, kDtrY);
    SleepMs(200);
    EXPECT_EQ(station->Terminate(), 0) << station->Stderr();

    TDeviceLevels levels;
    ASSERT_TRUE(ReadDevice(device, levels));
    EXPECT_EQ(levels.opens, 0) << "the port was left open";
    const std::vector<TLineEvent> events = EventsOf(run.Lines(), device);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().event, "close");
    const std::string saved = station->ReadSettings();
    EXPECT_NE(saved.find("DTR=1"), std::string::npos) << saved;
    EXPECT_NE(saved.find("RTS=0"), std::string::npos) << saved;
    EXPECT_NE(saved.find("COM1=" + device), std::string::npos) << "the Ports section was lost";
}

}  // namespace
}  // namespace ziv::e2e
