// Records the default source of a private PulseAudio server (the monitor of
// its null sink) while a known tone plays into the sink.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "audio/private_pulse_server.h"
#include "audio/sound_capture_pulse.h"

namespace ziv::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Samples = std::vector<std::int16_t>;

constexpr double kToneHz = 1000;
constexpr double kToneLevel = 0.5;  // of full scale

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Plays `seconds` of the 1 kHz tone into the default sink with paplay, as
// any other program on the desktop would.
class TTonePlayer {
public:
    TTonePlayer(const std::string& dir, double seconds) {
        const std::string path = dir + "/tone.wav";
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        if (file == nullptr) {
            ADD_FAILURE() << "cannot write the tone: " << sf_strerror(nullptr);
            return;
        }
        std::vector<float> tone(static_cast<std::size_t>(seconds * info.samplerate));
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] = static_cast<float>(
                kToneLevel * std::sin(2 * std::numbers::pi * kToneHz * i / info.samplerate));
        sf_writef_float(file, tone.data(), static_cast<sf_count_t>(tone.size()));
        sf_close(file);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execlp("paplay", "paplay", path.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~TTonePlayer() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    TTonePlayer(const TTonePlayer&) = delete;
    TTonePlayer& operator=(const TTonePlayer&) = delete;

private:
    pid_t pid_ = -1;
};

// What a recording holds of the tone: where it is and what it is like.
struct TToneHeard {
    std::size_t first = 0;  // first loud sample
    std::size_t last = 0;   // one past the last
    double hertz = 0;       // by zero crossings, inside the tone
    double peak = 0;        // of full scale
};

TToneHeard HearTone(const Samples& s) {
    TToneHeard heard;
    const auto loud = [](std::int16_t v) { return std::abs(v) > 3000; };
    const auto first = std::find_if(s.begin(), s.end(), loud);
    if (first == s.end())
        return heard;
    heard.first = static_cast<std::size_t>(first - s.begin());
    heard.last =
        s.size() - static_cast<std::size_t>(std::find_if(s.rbegin(), s.rend(), loud) - s.rbegin());
    // The edges of the tone are left out: a sink may fade them.
    const std::size_t margin = 48000 / 20;
    if (heard.last - heard.first <= 2 * margin)
        return heard;
    const std::size_t from = heard.first + margin;
    const std::size_t to = heard.last - margin;
    int crossings = 0;
    int peak = 0;
    for (std::size_t i = from; i < to; ++i) {
        if ((s[i - 1] < 0) != (s[i] < 0))
            ++crossings;
        peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    }
    heard.hertz = crossings / 2.0 / (static_cast<double>(to - from) / 48000);
    heard.peak = peak / 32768.0;
    return heard;
}

// Calls `pactl` on the private server (the environment points at it).
bool Pactl(const std::string& args) {
    return std::system(("pactl " + args + " >/dev/null 2>&1").c_str()) == 0;
}

// Starts the server with the null sink's monitor as its default source.
// The first stream ever to record a null sink's monitor gets its first
// samples only some two seconds late (later ones at once), which would
// pass for a stalled input: one short recording takes that wait here.
void StartServer(TPrivatePulseServer& server) {
    ASSERT_TRUE(server.Start()) << server.Error();
    ASSERT_TRUE(Pactl(std::string("set-default-source ") + TPrivatePulseServer::kMonitor));
    TPulseSoundCapture first;
    std::string error;
    ASSERT_TRUE(first.Start(&error)) << error;
    Samples samples;
    const auto start = Clock::now();
    while (samples.empty() && MsSince(start) < 5000) {
        std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(first.Take(&samples, &error)) << error;
    }
    ASSERT_FALSE(samples.empty()) << "the monitor records nothing";
}

class PulseCapture : public ::testing::Test {
protected:
    void SetUp() override { StartServer(server); }

    // Takes what came in for `ms`, ten times a second as the recorder does;
    // false with the reason when a take failed.
    bool TakeFor(int ms, Samples* samples, std::string* error) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            std::this_thread::sleep_for(100ms);
            if (!capture.Take(samples, error))
                return false;
        }
        return true;
    }

    TPrivatePulseServer server;
    TPulseSoundCapture capture;
};

TEST_F(PulseCapture, RecordsTheToneThatPlays) {
    const TTonePlayer tone(server.Dir(), 4);
    std::string error;
    ASSERT_TRUE(capture.Start(&error)) << error;
    EXPECT_EQ(capture.SampleRate(), 48000);

    // The first samples come within a few fragments, then in real time.
    Samples samples;
    const auto started = Clock::now();
    while (samples.empty() && MsSince(started) < 5000) {
        std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(capture.Take(&samples, &error)) << error;
    }
    EXPECT_LT(MsSince(started), 1000);
    ASSERT_FALSE(samples.empty()) << "nothing recorded";
    const std::size_t early = samples.size();
    const auto flowing = Clock::now();
    ASSERT_TRUE(TakeFor(1500, &samples, &error)) << error;
    const double ms = MsSince(flowing);
    // About the samples of the time, give or take what a busy machine
    // leaves waiting in the fragments.
    const double expected = ms * 48;
    EXPECT_NEAR(static_cast<double>(samples.size() - early), expected, 48 * 400.0);

    const TToneHeard heard = HearTone(samples);
    EXPECT_NEAR(heard.hertz, kToneHz, kToneHz * 0.02);
    EXPECT_NEAR(heard.peak, kToneLevel, 0.1);

    // A second start ends the first capture and records anew.
    ASSERT_TRUE(capture.Start(&error)) << error;
    Samples again;
    ASSERT_TRUE(TakeFor(1000, &again, &error)) << error;
    EXPECT_NEAR(HearTone(again).hertz, kToneHz, kToneHz * 0.02);
    capture.Stop();
    capture.Stop();  // harmless
    EXPECT_TRUE(capture.Take(&again, &error));
}

TEST_F(PulseCapture, NoServerOrNoSourceFailsAtStart) {
    std::string error;
    // No source at all: the null sink, and with it its monitor, is gone.
    ASSERT_TRUE(Pactl("unload-module module-null-sink"));
    auto started = Clock::now();
    EXPECT_FALSE(capture.Start(&error));
    EXPECT_LT(MsSince(started), 2500);
    EXPECT_EQ(error, "No such entity");

    // A frozen server does not answer: given up after two seconds.
    server.Pause();
    error.clear();
    started = Clock::now();
    EXPECT_FALSE(capture.Start(&error));
    EXPECT_LT(MsSince(started), 10000);
    EXPECT_GT(MsSince(started), 1500);
    EXPECT_EQ(error, "the sound server does not answer");
    server.Resume();

    // No server: refused at once.
    server.Stop();
    error.clear();
    started = Clock::now();
    EXPECT_FALSE(capture.Start(&error));
    EXPECT_LT(MsSince(started), 1000);
    EXPECT_EQ(error, "Connection refused");
    Samples samples;
    EXPECT_TRUE(capture.Take(&samples, &error));  // nothing runs, nothing fails
    EXPECT_TRUE(samples.empty());
}

TEST_F(PulseCapture, FrozenServerHoldsNothingUp) {
    std::string error;
    ASSERT_TRUE(capture.Start(&error)) << error;
    Samples samples;
    ASSERT_TRUE(TakeFor(500, &samples, &error)) << error;
    server.Pause();
    // The samples stop, but nothing waits for them.
    double slowest = 0;
    for (int i = 0; i < 10; ++i) {
        std::this_thread::sleep_for(50ms);
        const auto at = Clock::now();
        EXPECT_TRUE(capture.Take(&samples, &error)) << error;
        slowest = std::max(slowest, MsSince(at));
    }
    EXPECT_LT(slowest, 100);
    const auto stopping = Clock::now();
    capture.Stop();
    EXPECT_LT(MsSince(stopping), 1000);
    server.Resume();
}

// Takes until a take fails, for at most three seconds; its reason.
std::string TakeUntilFailed(TSoundCapture& capture, Samples* samples) {
    std::string error;
    const auto start = Clock::now();
    while (MsSince(start) < 3000) {
        std::this_thread::sleep_for(50ms);
        if (!capture.Take(samples, &error))
            return error;
    }
    return "(never failed)";
}

TEST_F(PulseCapture, InputOrServerGoingMidCaptureEndsIt) {
    // The microphone is unplugged: its source goes.
    std::string error;
    ASSERT_TRUE(capture.Start(&error)) << error;
    Samples samples;
    ASSERT_TRUE(TakeFor(300, &samples, &error)) << error;
    ASSERT_TRUE(Pactl("unload-module module-null-sink"));
    EXPECT_EQ(TakeUntilFailed(capture, &samples), "the sound input went away");
    capture.Stop();

    // The server crashes.
    ASSERT_TRUE(Pactl("load-module module-null-sink sink_name=other"));
    ASSERT_TRUE(Pactl("set-default-source other.monitor"));
    // A new sink's monitor is silent until something plays, and its first
    // samples take a second or two, more on a busy machine.
    const TTonePlayer tone(server.Dir(), 12);
    ASSERT_TRUE(capture.Start(&error)) << error;
    samples.clear();
    const auto started = Clock::now();
    while (samples.empty() && MsSince(started) < 10000)
        ASSERT_TRUE(TakeFor(100, &samples, &error)) << error;
    const std::size_t before = samples.size();
    EXPECT_GT(before, 0u);
    server.Kill();
    EXPECT_EQ(TakeUntilFailed(capture, &samples), "the sound server went away");
    EXPECT_GE(samples.size(), before);
    // It keeps failing until stopped; stopping is quick.
    EXPECT_FALSE(capture.Take(&samples, &error));
    const auto stopping = Clock::now();
    capture.Stop();
    EXPECT_LT(MsSince(stopping), 1000);
}

}  // namespace
}  // namespace ziv::test
