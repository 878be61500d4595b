// The transmitter is never keyed without a message, never left keyed when
// the program ends, and never held by a signal; seen on the line log and
// the sound server's output.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "e2e/checks.h"
#include "e2e/harness/window_points.h"
#include "e2e/serial_double/device_state.h"

namespace ziv::e2e {
namespace {

constexpr const char* kFailedSign = "nepavyko groti";

class Polarity : public ::testing::TestWithParam<bool> {
protected:
    TPtt Ptt() const { return TPtt{TPttLine::Rts, GetParam()}; }
    // The PTT line's level on the device right now.
    static bool Keyed(const std::string& device, const TPtt& ptt) {
        TDeviceLevels levels;
        EXPECT_TRUE(ReadDevice(device, levels));
        return levels.rts == ptt.KeyedLevel();
    }
};

std::string Name(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Inverted" : "Normal";
}

// Files named as messages that are none: empty, text, a header without
// sound, a directory and a FIFO.
void WriteUnplayableFiles(const std::string& dir) {
    std::ofstream(dir + "/empty.wav");
    std::ofstream(dir + "/text.wav") << "CQ CQ CQ de LY1ABC\n";
    SF_INFO header{.frames = 0,
                   .samplerate = 48000,
                   .channels = 1,
                   .format = SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                   .sections = 0,
                   .seekable = 0};
    sf_close(sf_open((dir + "/header.wav").c_str(), SFM_WRITE, &header));
    std::filesystem::create_directory(dir + "/folder.wav");
    ASSERT_EQ(::mkfifo((dir + "/fifo.wav").c_str(), 0600), 0);
}

// Files that are no message: each send is refused before the line moves,
// a loop started on one ends at once, and the title says so until the
// next good send.
TEST_P(Polarity, UnplayableMessagesNeverKeyTheTransmitter) {
    const TPtt ptt = Ptt();
    TEndToEnd run;
    ASSERT_TRUE(run.Start()) << run.Error();
    const std::string device = run.NewDevice("ttyE0");
    const std::string dir = run.Dir();
    const TMarkedMessage good{.rate = 48000, .channels = 1, .bodySeconds = 0.2};
    const std::string goodPath = run.NewMessage("good.wav", good);
    ASSERT_NO_FATAL_FAILURE(WriteUnplayableFiles(dir));
    const std::vector<std::vector<std::string>> rounds = {
        {"missing.wav", "empty.wav", "header.wav"}, {"text.wav", "folder.wav", "fifo.wav"}};

    for (const auto& files : rounds) {
        TStationSettings settings = OnCom1(device, ptt);
        for (int n = 0; n < 3; ++n)
            settings.waveFiles[n] = dir + "/" + files[std::size_t(n)];
        TStation& station = run.NewStation("station-" + files[0], settings);
        ASSERT_TRUE(run.Launch(station)) << run.Error();
        for (const char* key : {"F1", "F2", "F3"})
            station.Send(key);
        // A loop from the track bar on the last of them ends at once.
        station.Drag(kThumbX, kThumbAtZeroY, kThumbX, kThumbAtOneY);
        SleepMs(2500);
        EXPECT_NE(station.Title().find(kFailedSign), std::string::npos) << station.Title();
        EXPECT_EQ(station.Terminate(), 0) << station.Stderr();
        EXPECT_TRUE(Transmissions(run.Lines(), device, ptt).empty())
            << "keyed for " << files[0] << "..." << station.Stderr();
        for (const std::string& file : files)
            EXPECT_NE(station.Stderr().find(file), std::string::npos)
                << "no line says why " << file << " was refused";
    }

    // A good send clears the sign; with no sound server at all nothing keys.
    TStationSettings settings = OnCom1(device, ptt);
    settings.waveFiles[0] = dir + "/missing.wav";
    settings.waveFiles[1] = goodPath;
    TStation& station = run.NewStation("station-good", settings);
    ASSERT_TRUE(run.Launch(station)) << run.Error();
    station.Send("F1");
    SleepMs(300);
    EXPECT_NE(station.Title().find(kFailedSign), std::string::npos) << station.Title();
    station.Send("F2");
    ASSERT_TRUE(run.WaitForTransmissions(device, ptt, 1, 5000)) << station.Stderr();
    EXPECT_EQ(station.Title(), "Zivsound");
    run.Sound().Kill();
    station.Key("ctrl+Return");
    SleepMs(1000);
    EXPECT_EQ(Transmissions(run.Lines(), device, ptt).size(), 1u) << "keyed with no sound server";
    EXPECT_NE(station.Title().find(kFailedSign), std::string::npos) << station.Title();
    EXPECT_EQ(station.Terminate(), 0) << station.Stderr();
}

// However the program ends, an Inverted PTT keeps its unkeyed level (the
// port no longer drops its lines at close) and a Normal one is unkeyed.
TEST_P(Polarity, EveryEndOfTheProgramLeavesTheTransmitterUnkeyed) {
    const TPtt ptt = Ptt();
    TEndToEnd run;
    TStation* station = run.StationOnCom1(ptt);
    ASSERT_TRUE(station) << run.Error();
    const std::string& device = run.Device();

    enum class End { Term, Hangup, Kill, XGone };
    for (End end : {End::Term, End::Hangup, End::Kill, End::XGone}) {
        SCOPED_TRACE(static_cast<int>(end));
        ASSERT_TRUE(run.Launch(*station)) << run.Error();
        const pid_t pid = station->Pid();
        switch (end) {
            case End::Term:
                EXPECT_EQ(station->Terminate(), 0) << station->Stderr();
                break;
            case End::Hangup:
                ::kill(pid, SIGHUP);
                EXPECT_EQ(station->Terminate(), 0) << station->Stderr();
                break;
            case End::Kill:
                station->Kill();
                break;
            case End::XGone:
                station->KillXConnection();
                EXPECT_GE(station->Terminate(), 0) << "still running without its display";
                break;
        }
        // The kernel's last close of a process that never closed its port.
        ReapDeadOwners(device, run.LogPath());
        TDeviceLevels levels;
        ASSERT_TRUE(ReadDevice(device, levels));
        EXPECT_EQ(levels.opens, 0);
        EXPECT_FALSE(Keyed(device, ptt)) << "keyed after the program ended";
    }
    for (const TKeyedSpan& span : KeyedSpans(run.Lines(), device, ptt))
        EXPECT_LT(span.Ms(), 5.0) << "keyed by the " << span.cause;
}

// A change of polarity while the port is open is followed at once: a
// killed program then leaves the new polarity unkeyed.
TEST(PolarityChange, IsFollowedWhileThePortIsOpen) {
    TEndToEnd run;
    TStation* station = run.StationOnCom1({});
    ASSERT_TRUE(station && run.Launch(*station)) << run.Error();
    station->Click(kWidenX, kWidenY);
    station->Click(kInvX, kInvY);
    SleepMs(300);
    station->Kill();
    ReapDeadOwners(run.Device(), run.LogPath());
    TDeviceLevels levels;
    ASSERT_TRUE(ReadDevice(run.Device(), levels));
    EXPECT_TRUE(levels.rts) << "an Inverted PTT was keyed by the killed program's last close";
}

// A signal during a long message stops it at once: unkeyed, port closed,
// settings saved, exit 0, all within a second.
TEST_P(Polarity, SignalDuringAMessageEndsItAtOnce) {
    const TPtt ptt = Ptt();
    TEndToEnd run;
    TStation* station = run.StationOnCom1(ptt, {{.rate = 48000, .channels = 1, .bodySeconds = 30}});
    ASSERT_TRUE(station && run.Launch(*station)) << run.Error();
    const std::string& device = run.Device();
    station->Send("F1");
    SleepMs(1000);
    ASSERT_EQ(Transmissions(run.Lines(), device, ptt).size(), 1u);
    struct stat before {};
    ASSERT_EQ(::stat(station->SettingsPath().c_str(), &before), 0);

    const std::int64_t signalNs = NowNs();
    ::kill(station->Pid(), SIGTERM);
    EXPECT_EQ(station->Terminate(2000), 0) << "did not end in time: " << station->Stderr();
    const double endedMs = double(NowNs() - signalNs) / 1e6;
    EXPECT_LT(endedMs, 1000);
    const std::vector<TKeyedSpan> sent = Transmissions(run.Lines(), device, ptt);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].unkeyNs, TKeyedSpan::kStillKeyed);
    EXPECT_LT(double(sent[0].unkeyNs - signalNs) / 1e6, 1000);
    EXPECT_FALSE(Keyed(device, ptt));
    struct stat after {};
    ASSERT_EQ(::stat(station->SettingsPath().c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "the settings were not saved";
}

// A close by signal whose save fails opens no box: one line, exit 1.
TEST(SignalClose, FailedSaveOpensNoBoxAndExitsNonZero) {
    TEndToEnd run;
    ASSERT_TRUE(run.Start()) << run.Error();
    TStationSettings settings;
    TStation& station = run.NewStation("station", settings);
    ASSERT_TRUE(run.Launch(station)) << run.Error();
    // A read-only settings file is refused, even to root.
    ASSERT_EQ(::chmod(station.SettingsPath().c_str(), 0444), 0);
    EXPECT_EQ(station.Terminate(3000), 1) << "hung or ended well: " << station.Stderr();
    EXPECT_NE(station.Stderr().find("Unable to write to"), std::string::npos) << station.Stderr();
}

// A sound server that stops taking samples unkeys within a second.
TEST_P(Polarity, StalledSoundServerUnkeysWithinASecond) {
    const TPtt ptt = Ptt();
    TEndToEnd run;
    TStation* station = run.StationOnCom1(ptt, {{.rate = 48000, .channels = 1, .bodySeconds = 10}});
    ASSERT_TRUE(station && run.Launch(*station)) << run.Error();
    const std::string& device = run.Device();
    station->Send("F1");
    SleepMs(1000);
    const std::int64_t stalledNs = NowNs();
    run.Sound().Pause();
    const bool unkeyed = run.WaitForTransmissions(device, ptt, 1, 3000, 0);
    run.Sound().Resume();
    ASSERT_TRUE(unkeyed) << "still keyed 3 s after the output stalled";
    const std::vector<TKeyedSpan> sent = Transmissions(run.Lines(), device, ptt);
    ASSERT_EQ(sent.size(), 1u);
    // Within a second of the stall, with room for a busy machine.
    EXPECT_LT(double(sent[0].unkeyNs - stalledNs) / 1e6, 1500);
    SleepMs(200);
    EXPECT_NE(station->Title().find(kFailedSign), std::string::npos) << station->Title();
    EXPECT_EQ(station->Terminate(), 0) << station->Stderr();
}

INSTANTIATE_TEST_SUITE_P(Ptt, Polarity, ::testing::Values(false, true), Name);

}  // namespace
}  // namespace ziv::e2e
