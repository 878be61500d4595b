// Plays real files through the Win32 wave output. Under Wine the sound
// goes to the private PulseAudio server that scripts/test-windows.sh
// starts; what the Windows side can see is when each call returns and
// whether this process has a stream playing.
#include "audio/sound_service_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace ziv::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The service is made when the program starts, seconds before the first
// message: time for it to load the audio drivers (one to two seconds under
// Wine), which would otherwise delay the first play.
constexpr auto kSinceProgramStart = 3s;

// How the samples of a test file are stored.
struct TEncoding {
    std::uint16_t tag;  // 1 PCM, 3 IEEE float, 7 mu-law, 0xFFFE extensible PCM
    int bits;
};

void Put(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

unsigned char MuLaw(int pcm) {
    const int sign = pcm < 0 ? 0x80 : 0;
    int magnitude = std::min(std::abs(pcm), 32635) + 0x84;
    int exponent = 7;
    for (int mask = 0x4000; (magnitude & mask) == 0 && exponent > 0; mask >>= 1)
        --exponent;
    const int mantissa = (magnitude >> (exponent + 3)) & 0x0F;
    return static_cast<unsigned char>(~(sign | (exponent << 4) | mantissa));
}

void PutSample(std::string& out, TEncoding e, double v) {
    if (e.tag == 3) {
        float f = static_cast<float>(v);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        Put(out, bits, 4);
    } else if (e.tag == 7) {
        out.push_back(static_cast<char>(MuLaw(static_cast<int>(v * 32767))));
    } else if (e.bits == 8) {
        out.push_back(static_cast<char>(128 + static_cast<int>(v * 127)));
    } else {
        const double full = std::ldexp(1.0, e.bits - 1) - 1;
        Put(out, static_cast<std::uint32_t>(static_cast<std::int64_t>(v * full)), e.bits / 8);
    }
}

// A RIFF chunk: id, little-endian size, body, pad byte.
std::string Chunk(const char* id, const std::string& body) {
    std::string out(id, 4);
    Put(out, static_cast<std::uint32_t>(body.size()), 4);
    out += body;
    if (body.size() % 2 != 0)
        out.push_back('\0');
    return out;
}

// A 440 Hz tone of `seconds` with a LIST chunk before its samples, as
// sound editors write it.
std::string WaveBytes(TEncoding e, int channels, int rate, double seconds) {
    const int block = channels * e.bits / 8;
    std::string fmt;
    Put(fmt, e.tag, 2);
    Put(fmt, static_cast<std::uint32_t>(channels), 2);
    Put(fmt, static_cast<std::uint32_t>(rate), 4);
    Put(fmt, static_cast<std::uint32_t>(rate * block), 4);
    Put(fmt, static_cast<std::uint32_t>(block), 2);
    Put(fmt, static_cast<std::uint32_t>(e.bits), 2);
    if (e.tag == 0xFFFE) {
        Put(fmt, 22, 2);
        Put(fmt, static_cast<std::uint32_t>(e.bits), 2);
        Put(fmt, channels == 1 ? 0x4 : 0x3, 4);
        // KSDATAFORMAT_SUBTYPE_PCM
        fmt += std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 16);
    } else if (e.tag != 1) {
        Put(fmt, 0, 2);  // cbSize
    }
    std::string data;
    const auto frames = static_cast<long>(seconds * rate);
    for (long i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            PutSample(data, e, 0.5 * std::sin(2 * std::numbers::pi * 440 * i / rate));
    return Chunk("RIFF",
                 "WAVE" + Chunk("fmt ", fmt) + Chunk("LIST", "INFOtest") + Chunk("data", data));
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

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class Win32Sound : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("ziv-audio-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string Tone(const std::string& name, double seconds) {
        return Write(name, WaveBytes({1, 16}, 1, 44100, seconds));
    }

    // Seconds a synchronous play of `path` takes, `prepared` (if any)
    // prepared ahead with the keyer's key-up delay.
    static double TimePlay(TWin32SoundService& service, const std::string& path,
                           const std::string& prepared = "") {
        if (!prepared.empty()) {
            EXPECT_TRUE(service.PrepareSound(prepared)) << prepared;
            std::this_thread::sleep_for(120ms);
        }
        const auto start = Clock::now();
        EXPECT_TRUE(service.PlaySound(path, SND_FILENAME)) << path;
        return SecondsSince(start);
    }

    std::filesystem::path dir_;
};

// The keyer unkeys when Play returns: never before the last sample. How
// soon after it is bench/audio_latency.sh's figure; the bound here only
// catches a play that hangs on.
TEST_F(Win32Sound, SynchronousPlayLastsTheSoundAndNoLonger) {
    const std::string path = Tone("one_second.wav", 1.0);
    TWin32SoundService service;
    std::this_thread::sleep_for(kSinceProgramStart);
    const double unprepared = TimePlay(service, path);
    const double prepared = TimePlay(service, path, path);
    std::printf("1.000 s sound: %.3f s unprepared, %.3f s prepared\n", unprepared, prepared);
    EXPECT_GE(unprepared, 1.0);
    EXPECT_LT(unprepared, 6.0);
    EXPECT_GE(prepared, 1.0);
    EXPECT_LT(prepared, 6.0);
}

// Every encoding plays for its own length: a file played at another rate
// or sample size than its own would be off by far more than the margin.
TEST_F(Win32Sound, PlaysEveryEncodingForItsLength) {
    struct Case {
        std::string name;
        TEncoding encoding;
        int channels;
        int rate;
        double seconds;
        std::string prepared;  // prepared ahead: this file, none, or another
    };
    const std::vector<Case> cases = {
        {"pcm16_44k1_stereo.wav", {1, 16}, 2, 44100, 0.4, "this"},
        {"pcm16_8k_mono.wav", {1, 16}, 1, 8000, 0.5, "this"},
        {"pcm8_8k_mono.wav", {1, 8}, 1, 8000, 0.5, "this"},
        {"pcm16_48k_mono.wav", {1, 16}, 1, 48000, 0.6, "this"},
        {"pcm24_48k_mono.wav", {1, 24}, 1, 48000, 0.4, "this"},
        {"pcm32_44k1_mono.wav", {1, 32}, 1, 44100, 0.4, "this"},
        {"float_48k_stereo.wav", {3, 32}, 2, 48000, 0.5, "this"},
        {"extensible16_22k_stereo.wav", {0xFFFE, 16}, 2, 22050, 0.4, "this"},
        {"mulaw_8k_mono.wav", {7, 8}, 1, 8000, 0.5, "this"},
        {"pcm16_11k_unprepared.wav", {1, 16}, 1, 11025, 0.3, ""},
        {"pcm16_16k_other_prepared.wav", {1, 16}, 1, 16000, 0.3, "other"},
    };
    const std::string other = Tone("other.wav", 1.5);
    TWin32SoundService service;
    std::this_thread::sleep_for(kSinceProgramStart);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path =
            Write(c.name, WaveBytes(c.encoding, c.channels, c.rate, c.seconds));
        const std::string prepared = c.prepared == "this" ? path : c.prepared.empty() ? "" : other;
        const double took = TimePlay(service, path, prepared);
        std::printf("%s: %.3f s for %.3f s\n", c.name.c_str(), took, c.seconds);
        EXPECT_GE(took, c.seconds - 0.005);
        // A play at a wrong rate or one that hangs on; the margin is five
        // times an idle machine's.
        EXPECT_LT(took, 5 * (c.seconds + 0.3));
    }
}

TEST_F(Win32Sound, StopFromAnotherThreadEndsASynchronousPlayAtOnce) {
    const std::string path = Tone("three_seconds.wav", 3.0);
    TWin32SoundService service;
    ASSERT_TRUE(service.PrepareSound(path));
    bool played = false;
    Clock::time_point returned;
    std::thread worker([&] {
        played = service.PlaySound(path, SND_FILENAME);
        returned = Clock::now();
    });
    std::this_thread::sleep_for(200ms);
    const auto stopped = Clock::now();
    service.StopSound();
    worker.join();
    EXPECT_TRUE(played);  // stopped on purpose: not a failure
    EXPECT_LT(returned - stopped, 500ms);
    service.StopSound();  // nothing plays: no effect
}

// An asynchronous play returns at once; looping, it plays on long after
// one play of the sound would have ended, until stopped.
TEST_F(Win32Sound, LoopPlaysUntilStopped) {
    const std::string path = Tone("short.wav", 0.1);
    TWin32SoundService service;
    // Returning at once means well before the sound's own length.
    auto start = Clock::now();
    ASSERT_TRUE(service.PlaySound(path, SND_FILENAME | SND_ASYNC | SND_LOOP));
    EXPECT_LT(SecondsSince(start), 1.5);
    for (int i = 0; i < 7; ++i) {
        std::this_thread::sleep_for(100ms);
        ASSERT_TRUE(service.IsPlaying()) << "after " << (i + 1) * 100 << " ms";
    }
    service.StopSound();
    EXPECT_FALSE(service.IsPlaying());

    start = Clock::now();
    ASSERT_TRUE(service.PlaySound(path, SND_FILENAME | SND_ASYNC));
    EXPECT_LT(SecondsSince(start), 1.5);
    EXPECT_TRUE(service.IsPlaying());
    start = Clock::now();
    while (service.IsPlaying() && SecondsSince(start) < 5)
        std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(service.IsPlaying()) << "once, not looping";
}

// What cannot be played is found out when preparing, before the keyer
// keys the transmitter, and again when playing: each time with one line.
TEST_F(Win32Sound, RefusesWhatIsNotASoundFileWithOneLine) {
    std::string wave = WaveBytes({1, 16}, 1, 8000, 0.1);
    Write("empty.wav", "");
    Write("text.wav", "CQ CQ CQ de LY1ABC\n");
    Write("header.wav", WaveBytes({1, 16}, 1, 8000, 0));
    Write("no_fmt.wav", Chunk("RIFF", "WAVE" + Chunk("data", "\1\2\3\4")));
    Write("unknown_codec.wav", wave.replace(20, 2, "\x34\x12", 2));
    std::filesystem::create_directory(dir_ / "folder.wav");

    TWin32SoundService service;
    for (const std::string name : {"missing.wav", "empty.wav", "text.wav", "header.wav",
                                   "no_fmt.wav", "unknown_codec.wav", "folder.wav", ""}) {
        const std::string path = name.empty() ? name : (dir_ / name).string();
        SCOPED_TRACE(path);
        const std::string prepared = StderrOf([&] { EXPECT_FALSE(service.PrepareSound(path)); });
        EXPECT_EQ(Lines(prepared), 1u) << prepared;
        // A header without samples plays as nothing, and that is no failure.
        const bool silent = name == "header.wav";
        for (const std::uint32_t flags : {0u, unsigned{SND_ASYNC}}) {
            const std::string said =
                StderrOf([&] { EXPECT_EQ(service.PlaySound(path, SND_FILENAME | flags), silent); });
            EXPECT_EQ(Lines(said), silent ? 0u : 1u) << said;
            EXPECT_EQ(said.rfind("ZIVSound: cannot play", 0), silent ? std::string::npos : 0u);
        }
    }
    const std::string folder = (dir_ / "folder.wav").string();
    EXPECT_EQ(StderrOf([&] { service.PrepareSound(folder); }),
              "ZIVSound: cannot play " + folder + ": it is a folder\n");
    const std::string codec = (dir_ / "unknown_codec.wav").string();
    EXPECT_EQ(StderrOf([&] { service.PrepareSound(codec); }),
              "ZIVSound: cannot play " + codec +
                  ": unsupported sound format (tag 0x1234, 16-bit, 1 channels at 8000 Hz)\n");
}

}  // namespace
}  // namespace ziv::test
