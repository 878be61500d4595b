// Plays real files through a private PulseAudio server and listens to what
// reached its null sink.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "audio/monitor_recorder.h"
#include "audio/private_pulse_server.h"
#include "audio/sound_service_pulse.h"

namespace ziv::test {
namespace {

using namespace std::chrono_literals;

constexpr double kBody = 0.5;  // amplitude of the message's body
constexpr double kEnd = 0.9;   // amplitude of its last 50 ms

// A 440 Hz tone of `seconds`, then 50 ms of 1 kHz louder: a clipped end
// shows as a missing loud tail.
void WriteTone(const std::string& path, int format, int rate, int channels, double seconds) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    const auto body = static_cast<long>(seconds * rate);
    const auto total = body + rate / 20;
    std::vector<float> frames;
    for (long i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double v = i < body ? kBody * std::sin(2 * std::numbers::pi * 440 * t)
                                  : kEnd * std::sin(2 * std::numbers::pi * 1000 * t);
        for (int c = 0; c < channels; ++c)
            frames.push_back(static_cast<float>(v));
    }
    sf_writef_float(file, frames.data(), total);
    sf_close(file);
}

// Records the monitor and fails the test when the recording never starts.
class TListeningRecorder : public TMonitorRecorder {
public:
    TListeningRecorder() {
        EXPECT_TRUE(Ok()) << "cannot record: " << Error();
        EXPECT_TRUE(WaitUntilListening(1, 5s)) << "the recording does not start";
    }
};

// What a recording holds: where the sound is, how long, at what pitch.
struct THeard {
    double seconds = 0;  // from the first to the last audible sample
    double hertz = 0;    // pitch of the body
    double bodyPeak = 0;
    double endPeak = 0;  // loudest sample of the last 40 ms
};

THeard Analyse(const std::vector<float>& s) {
    constexpr double rate = TPrivatePulseServer::kRate;
    THeard heard;
    const auto audible = [](float v) { return std::fabs(v) > 0.05f; };
    const auto first = std::find_if(s.begin(), s.end(), audible);
    const auto last = std::find_if(s.rbegin(), s.rend(), audible);
    if (first == s.end())
        return heard;
    const auto begin = static_cast<std::size_t>(first - s.begin());
    const auto end = s.size() - static_cast<std::size_t>(last - s.rbegin());
    heard.seconds = static_cast<double>(end - begin) / rate;
    // Pitch from the upward zero crossings of the body, away from its edges.
    const auto from = begin + static_cast<std::size_t>(0.05 * rate);
    const auto to = end - static_cast<std::size_t>(0.1 * rate);
    int crossings = 0;
    std::size_t firstCrossing = 0, lastCrossing = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        heard.bodyPeak = std::max(heard.bodyPeak, static_cast<double>(std::fabs(s[i])));
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (crossings++ == 0)
                firstCrossing = i;
            lastCrossing = i;
        }
    }
    if (crossings > 1)
        heard.hertz = (crossings - 1) * rate / static_cast<double>(lastCrossing - firstCrossing);
    for (auto i = end - static_cast<std::size_t>(0.04 * rate); i < end; ++i)
        heard.endPeak = std::max(heard.endPeak, static_cast<double>(std::fabs(s[i])));
    return heard;
}

// What `call` writes to standard error.
template <typename Call>
std::string StderrOf(Call call) {
    ::testing::internal::CaptureStderr();
    call();
    return ::testing::internal::GetCapturedStderr();
}

std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class PulsePlayback : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start()) << server_.Error();
        dir_ = server_.Dir();
    }

    // A 16-bit mono tone at 44.1 kHz, named `name` in the test's directory.
    std::string Tone(const std::string& name, double seconds) {
        const std::string path = dir_ + "/" + name;
        WriteTone(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, seconds);
        return path;
    }

    // Plays `path` while recording, and returns what was heard.
    THeard PlayAndListen(TPulseSoundService& service, const std::string& path,
                         const std::string& prepared = "") {
        TListeningRecorder recorder;
        if (!prepared.empty()) {
            service.PrepareSound(prepared);
            std::this_thread::sleep_for(120ms);  // the keyer's key-up delay
        }
        EXPECT_TRUE(service.PlaySound(path, SND_FILENAME)) << path;
        // Whatever is still in flight after Play has returned is kept too:
        // a sound cut off when Play returns shows as a missing end.
        std::this_thread::sleep_for(300ms);
        return Analyse(recorder.Finish());
    }

    TPrivatePulseServer server_;
    std::string dir_;
};

TEST_F(PulsePlayback, PlaysEveryEncodingWholeAtItsOwnRate) {
    struct Case {
        std::string name;
        int format;
        int rate;
        int channels;
        double seconds;
        std::string prepared;  // prepared ahead of the play: none, this file or another
    };
    const std::vector<Case> cases = {
        {"pcm16_44k1_mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 1.0, ""},
        {"float_48k_stereo.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, 0.6,
         "float_48k_stereo.wav"},
        {"adpcm_8k_mono.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 8000, 1, 0.5, ""},
        {"ulaw_22k_mono.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, 22050, 1, 0.4, "ulaw_22k_mono.wav"},
        {"pcm16_short.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 0.3, "other.wav"},
    };
    Tone("other.wav", 1.0);
    TPulseSoundService service;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir_ + "/" + c.name;
        WriteTone(path, c.format, c.rate, c.channels, c.seconds);
        const THeard heard =
            PlayAndListen(service, path, c.prepared.empty() ? "" : dir_ + "/" + c.prepared);
        // A file played at the sink's rate instead of its own would be
        // off in length and pitch by 9 % or more.
        EXPECT_NEAR(heard.seconds, c.seconds + 0.05, 0.006);
        EXPECT_NEAR(heard.hertz, 440, 4);
        EXPECT_NEAR(heard.bodyPeak, kBody, 0.1);
        EXPECT_GT(heard.endPeak, kEnd - 0.15) << "the last 50 ms are missing";
    }
}

// What cannot be played is found out when preparing, before the keyer
// keys the transmitter, and again when playing: each time with one line.
TEST_F(PulsePlayback, RefusesWhatIsNotASoundFileWithOneLine) {
    SF_INFO header{.frames = 0,
                   .samplerate = 44100,
                   .channels = 1,
                   .format = SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                   .sections = 0,
                   .seekable = 0};
    sf_close(sf_open((dir_ + "/header.wav").c_str(), SFM_WRITE, &header));
    std::ofstream(dir_ + "/empty.wav");
    std::ofstream(dir_ + "/text.wav") << "CQ CQ CQ de LY1ABC\n";
    std::filesystem::create_directory(dir_ + "/folder.wav");
    ASSERT_EQ(::mkfifo((dir_ + "/fifo.wav").c_str(), 0600), 0);

    TPulseSoundService service;
    for (const std::string name :
         {"missing.wav", "empty.wav", "header.wav", "text.wav", "folder.wav", "fifo.wav", ""}) {
        const std::string path = name.empty() ? name : dir_ + "/" + name;
        SCOPED_TRACE(path);
        EXPECT_EQ(Lines(StderrOf([&] { EXPECT_FALSE(service.PrepareSound(path)); })), 1u);
        // A header without samples plays as nothing, and that is no failure.
        const bool silent = name == "header.wav";
        for (const std::uint32_t flags : {0u, unsigned{SND_ASYNC}}) {
            const std::string said =
                StderrOf([&] { EXPECT_EQ(service.PlaySound(path, SND_FILENAME | flags), silent); });
            EXPECT_EQ(Lines(said), silent ? 0u : 1u) << said;
            EXPECT_EQ(said.rfind("ZIVSound: cannot play", 0), silent ? std::string::npos : 0u);
        }
    }
    EXPECT_EQ(StderrOf([&] { EXPECT_FALSE(service.PlaySound(dir_ + "/missing.wav", SND_SYNC)); }),
              "ZIVSound: cannot play " + dir_ + "/missing.wav: No such file or directory\n");
}

TEST_F(PulsePlayback, LoopsUntilStoppedAndIsNamedAfterTheProgram) {
    const std::string path = Tone("short.wav", 0.1);
    TPulseSoundService service;
    TListeningRecorder recorder;
    ASSERT_TRUE(service.PlaySound(path, SND_FILENAME | SND_ASYNC | SND_LOOP));
    std::this_thread::sleep_for(700ms);

    // The desktop's sound settings show and route the stream by these.
    std::string inputs;
    if (FILE* pactl = ::popen("pactl list sink-inputs 2>&1", "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pactl))
            inputs.append(buffer, n);
        ::pclose(pactl);
    }
    EXPECT_NE(inputs.find("application.name = \"ZIVSound\""), std::string::npos) << inputs;
    EXPECT_NE(inputs.find("media.role = \"phone\""), std::string::npos) << inputs;

    service.StopSound();
    const std::size_t stoppedAt = recorder.Size();
    service.PrepareSound(path);  // prepared but never played: not heard
    std::this_thread::sleep_for(400ms);
    service.StopSound();
    service.StopSound();  // nothing plays: no effect
    const auto samples = recorder.Finish();

    // Looping: sound all through the 0.7 s, far longer than one play.
    const std::vector<float> looped(samples.begin(), samples.begin() + stoppedAt);
    EXPECT_GT(Analyse(looped).seconds, 0.5);
    // Stopped: the last 300 ms are silent (the first 100 ms may still
    // carry what was under way when Stop was called).
    const std::vector<float> after(samples.end() - 300 * 44, samples.end());
    EXPECT_EQ(Analyse(after).seconds, 0);
    service.PrepareSound(path);  // left for the destructor to release
}

TEST_F(PulsePlayback, StopFromAnotherThreadEndsASynchronousPlay) {
    const std::string path = Tone("long.wav", 10.0);
    TPulseSoundService service;
    TListeningRecorder recorder;
    bool played = false;
    std::thread worker([&] { played = service.PlaySound(path, SND_FILENAME); });
    std::this_thread::sleep_for(500ms);
    service.StopSound();
    worker.join();
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(played);  // stopped on purpose: not a failure
    const double heard = Analyse(recorder.Finish()).seconds;
    EXPECT_GT(heard, 0.2);
    EXPECT_LT(heard, 2.0);  // of 10 s of sound
}

// No output device, then no server: each play fails at once with one line
// saying which, and a restarted server works on the next play.
TEST_F(PulsePlayback, NoDeviceOrServerFailsWithOneLineAndARestartedServerWorks) {
    const std::string path = Tone("msg.wav", 0.2);
    TPulseSoundService service;
    ASSERT_TRUE(service.PlaySound(path, SND_FILENAME));

    ASSERT_EQ(std::system("pactl unload-module module-null-sink"), 0);
    const std::string noDevice =
        "ZIVSound: cannot play " + path + ": no sound output device (No such entity)\n";
    EXPECT_EQ(StderrOf([&] { EXPECT_FALSE(service.PrepareSound(path)); }), noDevice);
    EXPECT_EQ(StderrOf([&] { EXPECT_FALSE(service.PlaySound(path, SND_FILENAME)); }), noDevice);

    server_.Kill();
    // Give the connection a moment to notice, as the minutes between two
    // transmissions would.
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(StderrOf([&] {
                  EXPECT_FALSE(service.PrepareSound(path));
              }).rfind("ZIVSound: no sound server: ", 0),
              0u);
    EXPECT_EQ(StderrOf([&] { EXPECT_FALSE(service.PlaySound(path, SND_FILENAME)); }),
              "ZIVSound: no sound server: Connection refused\n");

    ASSERT_TRUE(server_.Start()) << server_.Error();
    EXPECT_NEAR(PlayAndListen(service, path).seconds, 0.25, 0.006);
}

TEST_F(PulsePlayback, FrozenServerEndsPlaysWithFailureAndIsUsedAgainOnceItAnswers) {
    const std::string path = Tone("long.wav", 10.0);
    TPulseSoundService::TOptions options;
    options.connectMs = 500;
    TPulseSoundService service(options);
    TListeningRecorder recorder;  // as in the other tests: the sink runs
    std::thread freezer([this] {
        std::this_thread::sleep_for(500ms);
        server_.Pause();
    });
    const auto start = std::chrono::steady_clock::now();
    bool played = true;
    // Without the stall check this call would never return.
    std::string said = StderrOf([&] { played = service.PlaySound(path, SND_FILENAME); });
    const auto keyed = std::chrono::steady_clock::now() - start;
    freezer.join();
    EXPECT_FALSE(played);
    // The transmitter is keyed all that time: under a second after the
    // freeze, with room for a busy machine, and well short of the start-up
    // allowance.
    EXPECT_LT(keyed, 500ms + 2s);
    EXPECT_EQ(said,
              "ZIVSound: cannot play " + path + ": the sound device stopped taking samples\n");

    // Still frozen: two plays wait for the same fresh connection; the first
    // to give up drops it, and the other must not use it afterwards.
    std::atomic<int> failed = 0;
    said = StderrOf([&] {
        std::thread first([&] { failed += service.PlaySound(path, SND_FILENAME) ? 0 : 1; });
        std::this_thread::sleep_for(100ms);
        failed += service.PlaySound(path, SND_FILENAME) ? 0 : 1;
        first.join();
    });
    server_.Resume();
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(Lines(said), 2u) << said;

    const std::string shortPath = Tone("msg.wav", 0.2);
    EXPECT_NEAR(PlayAndListen(service, shortPath).seconds, 0.25, 0.006);
}

}  // namespace
}  // namespace ziv::test
