// Messages recorded inside the real program with Ctrl+Shift+F1. The sound
// server's default source is the sink's own monitor, so a tone played into
// the sink is what the program records, and its send is heard on the same
// sink.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "e2e/checks.h"

namespace ziv::e2e {
namespace {

constexpr int kRate = 48000;
constexpr float kAudible = 0.05f;
// The title while slot 1 records, and after a recording too poor to keep.
constexpr char kRecordingSlot1[] = "● Įrašoma 1 ";
constexpr char kTooShort[] = "per trumpas";
// The silence a kept recording keeps around its sound, judged in 10 ms
// blocks: up to one block more or less than the round figures.
constexpr double kLeadMs = 50, kTailMs = 250, kBlockMs = 10;

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// What a recorded message file holds around its tone.
struct TRecordedFile {
    bool readable = false;
    bool pcm16 = false;
    int channels = 0;
    int rate = 0;
    double leadMs = 0;  // silence before the first audible sample
    double toneSeconds = 0;
    double tailMs = 0;  // after the last one
    double hertz = 0;
};

TRecordedFile ReadRecorded(const std::string& path) {
    TRecordedFile file;
    SF_INFO info{};
    SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
    if (sound == nullptr)
        return file;
    file.readable = true;
    file.pcm16 = info.format == (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    file.channels = info.channels;
    file.rate = info.samplerate;
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(sound, samples.data(), info.frames);
    sf_close(sound);
    if (info.channels != 1 || info.samplerate <= 0)
        return file;
    std::size_t first = samples.size(), last = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) >= kAudible) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first == samples.size())
        return file;
    const double rate = info.samplerate;
    file.leadMs = 1000.0 * double(first) / rate;
    file.toneSeconds = double(last - first) / rate;
    file.tailMs = 1000.0 * double(samples.size() - 1 - last) / rate;
    file.hertz = ZeroCrossingHertz(&samples[first], last + 1 - first, info.samplerate);
    return file;
}

// The whole tone, and only a little silence around it, in the program's
// recording format.
void ExpectRecordingOf(const TRecordedFile& file, const TTone& tone, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(file.readable) << "no sound file was written";
    EXPECT_TRUE(file.pcm16) << "not a 16-bit PCM WAV file";
    EXPECT_EQ(file.channels, 1);
    EXPECT_EQ(file.rate, kRate);
    EXPECT_GE(file.leadMs, kLeadMs - kBlockMs);
    EXPECT_LE(file.leadMs, kLeadMs + kBlockMs + 1);
    EXPECT_NEAR(file.toneSeconds, tone.seconds, 0.005) << "the tone was not recorded whole";
    EXPECT_NEAR(file.hertz, tone.hertz, 3);
    EXPECT_GE(file.tailMs, kTailMs - kBlockMs);
    EXPECT_LE(file.tailMs, kTailMs + kBlockMs + 1);
}

// A send of the recorded message: its tone heard whole inside the keyed
// window, after the key-up delay and the silence the file begins with.
void ExpectSendOf(const TKeyedSpan& span, const std::vector<THeardSound>& sounds,
                  const TRecordedFile& file, const TTone& tone, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_NE(span.unkeyNs, TKeyedSpan::kStillKeyed) << "the transmitter stayed keyed";
    const THeardSound* sound = SoundOf(span, sounds);
    ASSERT_NE(sound, nullptr) << "keyed for " << span.Ms() << " ms and nothing was heard";
    const double keyToSoundMs = double(sound->firstNs - span.keyNs) / 1e6;
    const double tailMs = double(span.unkeyNs - sound->lastNs) / 1e6;
    EXPECT_NEAR(keyToSoundMs, kKeyToSoundMs + file.leadMs, kKeyToSoundToleranceMs);
    // The file's own silence plays before the unkey.
    EXPECT_GE(tailMs, file.tailMs - 1.0) << "unkeyed before the end of the file";
    EXPECT_LE(tailMs, file.tailMs + kLongestTailMs);
    // The server's resampling blurs the tone's edges against the audible level.
    EXPECT_NEAR(sound->Seconds(), file.toneSeconds, 0.005);
    EXPECT_NEAR(sound->hertz, tone.hertz, 3) << "another message was sent";
    EXPECT_LT(sound->longestGapMs, 1.0) << "the sound broke off inside the message";
}

int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

bool WaitForTitle(TStation& station, const std::string& part, bool shown, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if ((station.Title().find(part) != std::string::npos) == shown)
            return true;
        SleepMs(20);
    }
    return false;
}

bool WaitForSettingsLine(TStation& station, const std::string& line, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (station.ReadSettings().find(line + "\n") != std::string::npos)
            return true;
        SleepMs(20);
    }
    return false;
}

// The times one recording ran, from the key that started it to the end
// shown in the title.
struct TRecordingTimes {
    std::int64_t startNs = 0;
    std::int64_t endNs = 0;
};

// Records slot 1 while `tonePath` plays into the sink, stopped by
// `stopKeys`. A Ctrl+Enter during it must be refused.
TRecordingTimes RecordSlot1(TEndToEnd& run, TStation& station, const std::string& tonePath,
                            const std::string& stopKeys) {
    TRecordingTimes times;
    times.startNs = NowNs();
    station.Key("ctrl+shift+F1");
    EXPECT_TRUE(WaitForTitle(station, kRecordingSlot1, true, 3000))
        << "not recording; the title: " << station.Title() << "\n"
        << station.Stderr();
    station.Key("ctrl+Return");
    // The new capture stream's first samples may take a moment; the tone
    // file begins with silence besides.
    SleepMs(300);
    EXPECT_TRUE(run.PlayIntoSink(tonePath)) << run.Error();
    SleepMs(400);
    // Two seconds in, the title counts them and shows the level bar.
    const std::string title = station.Title();
    const std::string shown = title.substr(std::min(title.find(kRecordingSlot1), title.size()));
    EXPECT_EQ(shown.rfind(std::string(kRecordingSlot1) + "0:0", 0), 0u) << title;
    EXPECT_EQ(shown.find("0:00"), std::string::npos) << "the time stands still: " << title;
    EXPECT_EQ(Count(shown, "■") + Count(shown, "□"), 10) << "no level bar: " << title;
    station.Key(stopKeys);
    EXPECT_TRUE(WaitForTitle(station, kRecordingSlot1, false, 3000))
        << "still recording; the title: " << station.Title();
    times.endNs = NowNs();
    return times;
}

void ExpectNoLineMoved(const std::vector<TLineEvent>& events, const std::string& device,
                       const TRecordingTimes& times, const std::string& what) {
    for (const TLineEvent& e : EventsOf(events, device))
        EXPECT_FALSE(e.ns >= times.startNs && e.ns <= times.endNs && e.event == "lines")
            << "a line moved while " << what;
}

TEST(Recording, RecordSendAndRecordAgain) {
    const TPtt ptt{TPttLine::Rts, false};
    // Slot 1 starts with a message from outside the station's folder: it
    // is not the station's to overwrite.
    const TMarkedMessage old{.rate = 48000, .channels = 1, .bodySeconds = 0.2};
    TEndToEnd run;
    TStation* station = run.StationOnCom1(ptt, {old});
    ASSERT_TRUE(station) << run.Error();
    ASSERT_TRUE(run.MonitorAsDefaultSource()) << run.Error();
    const std::string& device = run.Device();
    const std::string oldPath = run.Dir() + "/message1.wav";
    const std::string oldBytes = Bytes(oldPath);
    const std::string target =
        std::filesystem::path(station->SettingsPath()).parent_path().string() + "/message1.wav";
    const TTone first{.hertz = 700, .silenceSeconds = 0.5, .seconds = 1.2};
    const TTone second{.hertz = 1100, .silenceSeconds = 0.5, .seconds = 0.8};
    const std::string firstTone = run.Dir() + "/tone700.wav";
    const std::string secondTone = run.Dir() + "/tone1100.wav";
    std::string error;
    ASSERT_TRUE(WriteTone(firstTone, first, error)) << error;
    ASSERT_TRUE(WriteTone(secondTone, second, error)) << error;
    ASSERT_TRUE(run.Launch(*station)) << run.Error();

    // Recorded into the station's folder, assigned and saved at once.
    const TRecordingTimes firstTimes = RecordSlot1(run, *station, firstTone, "ctrl+shift+F1");
    EXPECT_TRUE(WaitForSettingsLine(*station, "Wave File1=" + target, 1000))
        << "the settings do not name the recording:\n"
        << station->ReadSettings();
    const TRecordedFile firstFile = ReadRecorded(target);
    ExpectRecordingOf(firstFile, first, "the first recording");
    EXPECT_EQ(Bytes(oldPath), oldBytes) << "the message outside the station's folder changed";
    EXPECT_TRUE(Transmissions(run.Lines(), device, ptt).empty()) << "keyed while recording";

    station->Send("F1");
    ASSERT_TRUE(run.WaitForTransmissions(device, ptt, 1, 5000)) << station->Stderr();

    // Recorded again, stopped with Escape: the slot's file is now the
    // station's own and is replaced where it lies.
    const TRecordingTimes secondTimes = RecordSlot1(run, *station, secondTone, "Escape");
    const TRecordedFile secondFile = ReadRecorded(target);
    ExpectRecordingOf(secondFile, second, "the second recording");
    station->Send("F1");
    ASSERT_TRUE(run.WaitForTransmissions(device, ptt, 2, 5000)) << station->Stderr();

    // Stopped before any sound came: the recording is not kept.
    const std::string keptBytes = Bytes(target);
    TRecordingTimes shortTimes{.startNs = NowNs()};
    station->Key("ctrl+shift+F1");
    SleepMs(150);
    station->Key("ctrl+shift+F1");
    EXPECT_TRUE(WaitForTitle(*station, kTooShort, true, 3000))
        << "no word of a recording too short; the title: " << station->Title();
    shortTimes.endNs = NowNs();
    EXPECT_EQ(Bytes(target), keptBytes) << "a recording too short replaced the message";
    EXPECT_NE(station->ReadSettings().find("Wave File1=" + target + "\n"), std::string::npos)
        << station->ReadSettings();
    EXPECT_EQ(station->Terminate(), 0) << station->Stderr();

    const std::vector<TLineEvent> events = run.Lines();
    ExpectNoLineMoved(events, device, firstTimes, "the first recording ran");
    ExpectNoLineMoved(events, device, secondTimes, "the second recording ran");
    ExpectNoLineMoved(events, device, shortTimes, "the short recording ran");
    const std::vector<TKeyedSpan> sent = Transmissions(events, device, ptt);
    ASSERT_EQ(sent.size(), 2u);
    const std::vector<THeardSound> sounds = run.Sounds();
    ExpectSendOf(sent[0], sounds, firstFile, first, "the send of the first recording");
    ExpectSendOf(sent[1], sounds, secondFile, second, "the send of the second recording");
    ExpectQuietLines(events, device, ptt);
}

}  // namespace
}  // namespace ziv::e2e
