// The message recorder on the virtual clock, with a fed sound input and the
// files in a folder of the test's own.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/message_recorder.h"
#include "core/recorded_sound.h"
#include "keyer_fixture.h"
#include "mock/fake_sound_capture.h"
#include "settings/settings_test_support.h"

namespace ziv::test {
namespace {

constexpr TShiftState kRecord = ssCtrl | ssShift;

struct TTestHome : TRecordingHome {
    TTestHome(std::string folder, TMessageSlots& slots) : folder(std::move(folder)), slots(slots) {}
    std::string RecordingFolder() const override { return folder; }
    std::string SlotPath(int n) const override { return slots.Path(n); }
    void AssignRecording(int n, const std::string& path) override {
        slots.SetPath(n, path);
        ++Saves;
    }
    std::string folder;
    TMessageSlots& slots;
    int Saves = 0;
};

class Recorder : public KeyerFixture {
protected:
    Recorder() {
        for (int n = 1; n <= 3; ++n)
            keyer.PlayButton(n).SetCaption(std::to_string(n) + " ĮRAŠAS");
        recorder.OnStatus = [this](const TRecordingStatus& status) { shown.push_back(status); };
    }

    // Feeds `ms` of input, a poll's worth at a time, as the device would.
    void Record(int ms, int amplitude) {
        for (int t = 0; t < ms; t += TMessageRecorder::PollInterval) {
            capture.Feed(TMessageRecorder::PollInterval, amplitude);
            ui.Advance(TMessageRecorder::PollInterval);
        }
    }
    std::string Path(const std::string& name) const { return dir / name; }

    TempDir dir;
    TFakeSoundCapture capture;
    TTestHome home{dir.Path(), slots};
    TMessageRecorder recorder{keyer, capture, ui, beep, home};
    std::vector<TRecordingStatus> shown;
};

TEST_F(Recorder, RecordsAnEmptySlotTrimmedAndSendsItAfterwards) {
    Key(VK_F3, kRecord);
    EXPECT_TRUE(recorder.Recording());
    EXPECT_TRUE(keyer.BtnPlay3.Down());
    EXPECT_EQ(keyer.BtnPlay3.Caption(), "● 0:00");
    EXPECT_EQ(beep.Count(), 0) << "an empty slot is no refusal when it is to be recorded";

    Record(800, 0);
    Record(1000, 8000);
    EXPECT_EQ(keyer.BtnPlay3.Caption(), "● 0:01");
    EXPECT_GT(shown.back().LevelDbfs, -13.0);
    const std::string text = RecordingStatusText(shown.back());
    EXPECT_NE(text.find("Įrašoma 3 0:01"), std::string::npos) << text;
    EXPECT_NE(text.find("■"), std::string::npos) << text;
    Record(600, 0);
    EXPECT_EQ(keyer.BtnPlay3.Caption(), "● 0:02");
    Key(VK_F3, kRecord);

    EXPECT_FALSE(recorder.Recording());
    EXPECT_EQ(keyer.BtnPlay3.Caption(), "3 ĮRAŠAS");
    EXPECT_EQ(slots.Path(3), Path("message3.wav"));
    EXPECT_EQ(home.Saves, 1);
    EXPECT_TRUE(shown.back().Error.empty());
    EXPECT_EQ(beep.Count(), 0);

    // 50 ms kept before the sound, 250 ms after it.
    const std::string bytes = ReadBytes(Path("message3.wav"));
    std::vector<std::int16_t> expected(48000 * 50 / 1000, 0);
    for (int i = 0; i < 48000; ++i)
        expected.push_back(static_cast<std::int16_t>((i / 24) % 2 == 0 ? 8000 : -8000));
    expected.resize(expected.size() + 48000 * 250 / 1000, 0);
    EXPECT_EQ(bytes, WavFileBytes(expected, 48000));  // the file's layout: the end-to-end runs

    // The chosen slot now sends the new recording.
    EXPECT_EQ(player.WaveName(), Path("message3.wav"));
    const std::size_t before = platform.LineCalls().size();
    Key(VK_RETURN, ssCtrl);
    EXPECT_GT(platform.LineCalls().size(), before);
}

TEST_F(Recorder, NothingIsKeyedWhileRecordingNorRecordedWhileKeyed) {
    // A loop waiting out its pause ends when recording starts.
    keyer.TrackBar1.SetPosition(5);
    Key(VK_F1);
    Key(VK_F4);
    ui.Advance(4000);
    ASSERT_TRUE(keyer.LoopFlag());
    Key(VK_F2, kRecord);
    ASSERT_TRUE(recorder.Recording());
    EXPECT_FALSE(keyer.LoopFlag());
    EXPECT_TRUE(keyer.BtnPlay2.Down());
    const std::vector<std::string> lines = platform.LineCalls();
    const int beeps = beep.Count();

    Key(VK_RETURN, ssCtrl);
    Key(VK_F4);
    keyer.BtnStart.Click();
    keyer.BtnTimer.Click();
    keyer.TrackBar1.SetPosition(3);
    keyer.TrackBar1.MouseUp();
    Key(VK_F1, kRecord);  // another slot
    Record(30000, 8000);
    EXPECT_EQ(platform.LineCalls(), lines) << "the transmitter was touched while recording";
    EXPECT_EQ(beep.Count(), beeps + 6);
    EXPECT_FALSE(keyer.BtnStart.Down());
    EXPECT_FALSE(keyer.LoopFlag());
    EXPECT_TRUE(recorder.Recording());
    EXPECT_EQ(keyer.BtnPlay2.Caption(), "● 0:30");

    // Escape ends the recording and keeps it; sends work again, and no
    // recording starts while the transmitter is keyed.
    Key(VK_ESCAPE);
    EXPECT_FALSE(recorder.Recording());
    EXPECT_EQ(slots.Path(2), Path("message2.wav"));
    Key(VK_RETURN, ssCtrl);  // key-up delay running
    EXPECT_NE(platform.LineCalls(), lines);
    const int starts = capture.Starts;
    Key(VK_F1, kRecord);
    EXPECT_EQ(capture.Starts, starts);
    EXPECT_FALSE(recorder.Recording());
    EXPECT_EQ(beep.Count(), beeps + 7);
}

TEST_F(Recorder, StopsByItselfAtSixtySeconds) {
    Key(VK_F1, kRecord);
    const std::int64_t start = ui.Now();
    while (recorder.Recording() && ui.Now() - start < 70000)
        Record(TMessageRecorder::PollInterval, 8000);
    EXPECT_EQ(ui.Now() - start, 60000);
    const std::string bytes = ReadBytes(Path("message1.wav"));
    EXPECT_EQ(bytes.size(), 44u + 60u * 48000u * 2u);
    EXPECT_EQ(keyer.BtnPlay1.Caption(), "1 ĮRAŠAS");
}

TEST_F(Recorder, ARecordingThatDidNotEndWellKeepsTheOldFileByteForByte) {
    // The slot's own file in the folder is the one re-recorded.
    const std::string own = Path("cq contest.wav");
    const std::string old = "RIFF old message, whatever its bytes";
    WriteBytes(own, old);
    slots.SetPath(1, own);
    EXPECT_EQ(recorder.TargetPath(1), own);
    slots.SetPath(2, "/elsewhere/b.wav");
    EXPECT_EQ(recorder.TargetPath(2), Path("message2.wav"));
    slots.SetPath(2, Path("ZIVSound.ini"));
    EXPECT_EQ(recorder.TargetPath(2), Path("message2.wav"));
    slots.SetPath(2, Path("CQ.WAV"));
    EXPECT_EQ(recorder.TargetPath(2), Path("CQ.WAV"));

    struct Case {
        const char* what;
        std::function<void()> run;
        const char* shown;
        const char* line;
    };
    const std::vector<Case> cases = {
        {"too short", [&] { Record(200, 8000), Record(1000, 0), Key(VK_F1, kRecord); },
         "įrašas per trumpas", "message 1 not recorded: less than 300 ms of sound above -40 dBFS"},
        {"too quiet", [&] { Record(2000, 200), Key(VK_ESCAPE); }, "įrašas per trumpas",
         "less than 300 ms"},
        {"input failed",
         [&] {
             Record(1000, 8000);
             capture.TakeError = "the sound server went away";
             Record(100, 8000);
         },
         "įrašyti nepavyko: the sound server went away",
         "cannot record message 1: the sound server went away"},
        {"input silent",
         [&] {
             ui.Advance(4900);
             ASSERT_TRUE(recorder.Recording()) << "a server waking up may be slow to start";
             Record(300, 8000);
             ui.Advance(2000);
         },
         "įrašyti nepavyko: the sound input",
         "cannot record message 1: the sound input delivers nothing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        capture.TakeError.clear();
        const int beeps = beep.Count();
        ::testing::internal::CaptureStderr();
        Key(VK_F1, kRecord);
        ASSERT_TRUE(recorder.Recording());
        c.run();
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_FALSE(recorder.Recording());
        EXPECT_EQ(ReadBytes(own), old);
        EXPECT_EQ(slots.Path(1), own);
        EXPECT_EQ(keyer.BtnPlay1.Caption(), "1 ĮRAŠAS");
        EXPECT_EQ(beep.Count(), beeps + 1);
        EXPECT_EQ(home.Saves, 0);
        EXPECT_NE(RecordingStatusText(shown.back()).find(c.shown), std::string::npos)
            << RecordingStatusText(shown.back());
        EXPECT_NE(err.find(c.line), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    EXPECT_EQ(std::filesystem::directory_iterator(dir.Path())->path().filename(), "cq contest.wav")
        << "no temporary file is left behind";

    // No input at all: nothing starts, the old file and caption stay.
    capture.StartError = "No such entity";
    ::testing::internal::CaptureStderr();
    Key(VK_F3, kRecord);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "ZIVSound: cannot record message 3: No such entity\n");
    EXPECT_FALSE(recorder.Recording());
    EXPECT_FALSE(keyer.BtnPlay3.Down()) << "the empty slot stays unchosen";
    EXPECT_EQ(RecordingStatusText(shown.back()), "įrašyti nepavyko: No such entity");
}

TEST(RecordedSound, SilenceIsJudgedInTenMillisecondBlocksAgainstMinusForty) {
    auto tone = [](int ms, int amplitude) {
        std::vector<std::int16_t> out;
        for (int i = 0; i < 48 * ms; ++i)
            out.push_back(static_cast<std::int16_t>(i % 2 == 0 ? amplitude : -amplitude));
        return out;
    };
    // -40 dBFS is 327.68 of 32768.
    EXPECT_EQ(SoundAboveThresholdMs(tone(500, 330), 48000), 500);
    EXPECT_EQ(SoundAboveThresholdMs(tone(500, 325), 48000), 0);
    EXPECT_TRUE(TrimSilence(tone(500, 100), 48000).empty());
    // Sound from the first sample keeps no lead; the tail is cut to 250 ms.
    std::vector<std::int16_t> samples = tone(300, 5000);
    samples.resize(samples.size() + 48 * 1000, 0);
    EXPECT_EQ(TrimSilence(samples, 48000).size(), 48u * 550);
    EXPECT_EQ(PeakDbfs(samples.data(), 0), -120.0);
    EXPECT_NEAR(PeakDbfs(samples.data(), samples.size()), -16.3, 0.1);
}

}  // namespace
}  // namespace ziv::test
