#pragma once

// What the sound contract tests share: the platform's service and capture
// on a sound server only the tests use (Linux: one of each test's own;
// Wine: the one scripts/test-windows.sh starts), the monitor of its null
// sink as the default input, so what a test records is what was played;
// test files written byte by byte; and what a recording holds.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include "audio/sound_capture_win32.h"
#include "audio/sound_service_win32.h"
#else
#include "audio/private_pulse_server.h"
#include "audio/sound_capture_pulse.h"
#include "audio/sound_service_pulse.h"
#endif
#include "settings/settings_test_support.h"

namespace ziv::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Samples = std::vector<std::int16_t>;

#ifdef _WIN32
using TPlatformSoundService = TWin32SoundService;
using TPlatformSoundCapture = TWin32SoundCapture;
#else
using TPlatformSoundService = TPulseSoundService;
using TPlatformSoundCapture = TPulseSoundCapture;
#endif

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// What `call` writes to standard error.
template <typename Call>
std::string StderrOf(Call call) {
    ::testing::internal::CaptureStderr();
    call();
    return ::testing::internal::GetCapturedStderr();
}

inline std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// How the samples of a test file are stored.
struct TEncoding {
    std::uint16_t tag;  // 1 PCM, 3 IEEE float, 7 mu-law, 0xFFFE extensible PCM
    int bits;
};

inline void Put(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline void PutSample(std::string& out, TEncoding e, double v) {
    if (e.tag == 3) {
        const float f = static_cast<float>(v);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        Put(out, bits, 4);
    } else if (e.tag == 7) {  // G.711 mu-law
        const int pcm = static_cast<int>(v * 32767);
        const int magnitude = std::min(std::abs(pcm), 32635) + 0x84;
        int exponent = 7;
        for (int mask = 0x4000; (magnitude & mask) == 0 && exponent > 0; mask >>= 1)
            --exponent;
        const int mantissa = (magnitude >> (exponent + 3)) & 0x0F;
        out.push_back(static_cast<char>(~((pcm < 0 ? 0x80 : 0) | (exponent << 4) | mantissa)));
    } else if (e.bits == 8) {
        out.push_back(static_cast<char>(128 + static_cast<int>(v * 127)));
    } else {
        const double full = std::ldexp(1.0, e.bits - 1) - 1;
        Put(out, static_cast<std::uint32_t>(static_cast<std::int64_t>(v * full)), e.bits / 8);
    }
}

// A RIFF chunk: id, little-endian size, body, pad byte.
inline std::string Chunk(const char* id, const std::string& body) {
    std::string out(id, 4);
    Put(out, static_cast<std::uint32_t>(body.size()), 4);
    out += body;
    if (body.size() % 2 != 0)
        out.push_back('\0');
    return out;
}

inline constexpr double kBody = 0.5;  // amplitude of a message's body
inline constexpr double kEnd = 0.9;   // amplitude of its last 50 ms

// A message: a 440 Hz tone of `seconds` at `body`, then (unless endless)
// 50 ms of 1 kHz louder, so that a clipped end shows as a missing loud
// tail; a LIST chunk before the samples, as sound editors write it.
inline std::string WaveBytes(TEncoding e, int channels, int rate, double seconds,
                             bool loudEnd = true, double body = kBody) {
    const auto block = static_cast<std::uint32_t>(channels * e.bits / 8);
    const auto bits = static_cast<std::uint32_t>(e.bits);
    std::string fmt;
    Put(fmt, e.tag, 2);
    Put(fmt, static_cast<std::uint32_t>(channels), 2);
    Put(fmt, static_cast<std::uint32_t>(rate), 4);
    Put(fmt, static_cast<std::uint32_t>(rate) * block, 4);
    Put(fmt, block, 2);
    Put(fmt, bits, 2);
    if (e.tag == 0xFFFE) {  // cbSize, valid bits, channel mask, KSDATAFORMAT_SUBTYPE_PCM
        Put(fmt, 22, 2);
        Put(fmt, bits, 2);
        Put(fmt, channels == 1 ? 0x4 : 0x3, 4);
        fmt += std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 16);
    } else if (e.tag != 1) {
        Put(fmt, 0, 2);  // cbSize
    }
    std::string data;
    const auto frames = static_cast<long>(seconds * rate);
    for (long i = 0; i < frames + (seconds > 0 && loudEnd ? rate / 20 : 0); ++i) {
        const double t = 2 * std::numbers::pi * i / rate;
        const double v = i < frames ? body * std::sin(440 * t) : kEnd * std::sin(1000 * t);
        for (int c = 0; c < channels; ++c)
            PutSample(data, e, v);
    }
    return Chunk("RIFF",
                 "WAVE" + Chunk("fmt ", fmt) + Chunk("LIST", "INFOtest") + Chunk("data", data));
}

// How far a heard length may be off: under Wine an output starved of CPU
// drops and repeats a few milliseconds here and there (21 ms seen with the
// CPU saturated); PulseAudio's own clients keep to the sample. Either
// catches a start or an end cut off; a wrong rate shows in the pitch.
#ifdef _WIN32
inline constexpr double kLengthTolerance = 0.04;
#else
inline constexpr double kLengthTolerance = 0.006;
#endif

// What a recording holds: where the sound is, how long, at what pitch.
struct THeard {
    double span = 0;     // from the first to the last audible sample
    double seconds = 0;  // of that, the sound: a starved output's gaps left out
    double hertz = 0;    // of the body, by the median period between crossings
    double bodyPeak = 0;
    double endPeak = 0;  // loudest sample of the last 40 ms
};

inline bool Audible(std::int16_t v) {
    return std::abs(v) > 1600;
}

// The median period stands up to gaps a busy machine leaves in a tone.
inline THeard Analyse(const Samples& s, int rate) {
    THeard heard;
    const auto first = std::find_if(s.begin(), s.end(), Audible);
    if (first == s.end())
        return heard;
    const auto begin = static_cast<std::size_t>(first - s.begin());
    const auto end = s.size() - static_cast<std::size_t>(
                                    std::find_if(s.rbegin(), s.rend(), Audible) - s.rbegin());
    heard.span = static_cast<double>(end - begin) / rate;
    // A tone is quiet for a fraction of a millisecond around each zero.
    const auto gapMin = static_cast<std::size_t>(rate / 2000);
    std::size_t gaps = 0;
    for (std::size_t i = begin, quiet = 0; i < end; ++i) {
        quiet = Audible(s[i]) ? 0 : quiet + 1;
        gaps += quiet == gapMin ? gapMin : quiet > gapMin ? 1 : 0;
    }
    heard.seconds = static_cast<double>(end - begin - gaps) / rate;
    // The body away from its edges, and the last 40 ms.
    const auto from = begin + static_cast<std::size_t>(0.05 * rate);
    const auto to = end - std::min(end, static_cast<std::size_t>(0.1 * rate));
    std::vector<std::size_t> periods;
    for (std::size_t i = from + 1, lastCrossing = 0; i < to; ++i) {
        heard.bodyPeak = std::max(heard.bodyPeak, std::abs(s[i]) / 32768.0);
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (lastCrossing != 0)
                periods.push_back(i - lastCrossing);
            lastCrossing = i;
        }
    }
    if (!periods.empty()) {
        std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
        heard.hertz = rate / static_cast<double>(periods[periods.size() / 2]);
    }
    for (auto i = end - std::min(end, static_cast<std::size_t>(0.04 * rate)); i < end; ++i)
        heard.endPeak = std::max(heard.endPeak, std::abs(s[i]) / 32768.0);
    return heard;
}

// Takes what comes in until `enough` holds for it, as the recorder takes
// (often, never waiting); false with the reason when a take failed or 15 s
// passed. A new null sink's monitor starts late and a busy machine delivers
// late: the tests wait for what they measure, never for a time.
template <typename F>
bool TakeUntil(TSoundCapture& capture, Samples* samples, std::string* error, F enough) {
    for (const auto start = Clock::now(); !enough(*samples); std::this_thread::sleep_for(50ms)) {
        if (SecondsSince(start) > 15) {
            *error = "not there after 15 s";
            return false;
        }
        if (!capture.Take(samples, error))
            return false;
    }
    return true;
}

inline bool TakeFirstSamples(TSoundCapture& capture, Samples* samples, std::string* error) {
    return TakeUntil(capture, samples, error, [](const Samples& s) { return !s.empty(); });
}

inline bool TakeUntilHeard(TSoundCapture& capture, Samples* samples, std::string* error) {
    return TakeUntil(capture, samples, error,
                     [](const Samples& s) { return std::any_of(s.begin(), s.end(), Audible); });
}

// Until a sound has been heard and 0.3 s of silence has followed it.
inline bool TakeUntilEnded(TSoundCapture& capture, Samples* samples, std::string* error) {
    const auto quiet = static_cast<std::ptrdiff_t>(0.3 * capture.SampleRate());
    return TakeUntil(capture, samples, error, [quiet](const Samples& s) {
        const auto last = std::find_if(s.rbegin(), s.rend(), Audible);
        return last != s.rend() && last - s.rbegin() > quiet;
    });
}

// The sound server of one test, and a folder for its files.
class SoundTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartServer()); }

    void StartServer() {
#ifndef _WIN32
        ASSERT_TRUE(server_.Start()) << server_.Error();
        ASSERT_TRUE(Pactl(std::string("set-default-source ") + TPrivatePulseServer::kMonitor));
#endif
        // A process's first sound loads the audio drivers (a second or two
        // under Wine), which a first recording would not wait for: silence
        // is played first, as the keyer plays long before it records.
        ASSERT_TRUE(service.PlaySound(
            Write("silence.wav", WaveBytes({1, 16}, 1, 48000, 0.1, false, 0)), SND_FILENAME));
        // The first stream ever to record a new null sink's monitor gets
        // its first samples late; one short recording takes that wait here.
        // (Wine's first wave input of a process, on a starved machine, may
        // refuse its buffers once: that is the server's start too.)
        std::string error;
        bool listening = false;
        for (int attempt = 0; attempt < 3 && !listening; ++attempt) {
            TPlatformSoundCapture first;
            Samples samples;
            listening = first.Start(&error) && TakeFirstSamples(first, &samples, &error);
        }
        ASSERT_TRUE(listening) << "the input records nothing: " << error;
    }
#ifndef _WIN32
    // Calls pactl on the private server (the environment points at it).
    static bool Pactl(const std::string& args) {
        return std::system(("pactl " + args + " >/dev/null 2>&1").c_str()) == 0;
    }
    TPrivatePulseServer server_;
#endif

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // A 16-bit mono message at 44.1 kHz.
    std::string Tone(const std::string& name, double seconds) {
        return Write(name, WaveBytes({1, 16}, 1, 44100, seconds));
    }

    const TempDir temp_;
    const std::string dir_ = temp_.Path();
    // The process's one service, as the keyer's: two opening their outputs
    // at once trip Wine's wave mapper.
    TPlatformSoundService service;
};

}  // namespace ziv::test
