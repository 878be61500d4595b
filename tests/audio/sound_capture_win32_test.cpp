// Records through the Win32 wave input while this process plays a known
// tone through the Win32 wave output. Under Wine both go to the private
// PulseAudio server that scripts/test-windows.sh starts, whose default
// source is the monitor of the null sink played into: what is recorded is
// what is played.
#include "audio/sound_capture_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "base/windows_api.h"

#include "audio/sound_service_win32.h"

namespace ziv::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Samples = std::vector<std::int16_t>;

constexpr int kRate = 48000;
constexpr double kToneHz = 1000;
// What the devices need to settle after the start of a capture: those
// first samples are not judged.
constexpr double kSettleSeconds = 0.3;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Put(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Ten seconds of the tone at half scale, 16-bit mono: longer than a test
// records, since each new round of a loop starts after a gap of tens of
// milliseconds, which the count of zero crossings would notice.
std::string ToneWave() {
    std::string data;
    for (int i = 0; i < 10 * kRate; ++i) {
        const double v = 0.5 * std::sin(2 * std::numbers::pi * kToneHz * i / kRate);
        Put(data, static_cast<std::uint32_t>(static_cast<std::int32_t>(v * 32767)), 2);
    }
    std::string out = "RIFF";
    Put(out, static_cast<std::uint32_t>(36 + data.size()), 4);
    out += "WAVEfmt ";
    Put(out, 16, 4);
    Put(out, 1, 2);  // PCM
    Put(out, 1, 2);  // mono
    Put(out, kRate, 4);
    Put(out, kRate * 2, 4);
    Put(out, 2, 2);
    Put(out, 16, 2);
    out += "data";
    Put(out, static_cast<std::uint32_t>(data.size()), 4);
    return out + data;
}

// What a stretch of samples holds.
struct TSound {
    double hz = 0;  // by the median period between upward zero crossings
    double dbfs = -200;
};

// The median period stands up to the gaps a busy machine leaves in the
// tone being played: a plain count of crossings over the stretch did not.
TSound Measure(const Samples& samples, std::size_t from) {
    TSound sound;
    if (samples.size() <= from + 1)
        return sound;
    double power = 0;
    std::vector<std::size_t> periods;
    std::size_t lastCrossing = 0;
    for (std::size_t i = from; i < samples.size(); ++i) {
        power += static_cast<double>(samples[i]) * samples[i];
        if (i > from && samples[i - 1] < 0 && samples[i] >= 0) {
            if (lastCrossing != 0)
                periods.push_back(i - lastCrossing);
            lastCrossing = i;
        }
    }
    const auto count = static_cast<double>(samples.size() - from);
    if (!periods.empty()) {
        std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
        sound.hz = kRate / static_cast<double>(periods[periods.size() / 2]);
    }
    if (power > 0)
        sound.dbfs = 10 * std::log10(power / count / (32768.0 * 32768.0));
    return sound;
}

void ExpectTone(const Samples& samples) {
    const TSound sound = Measure(samples, static_cast<std::size_t>(kSettleSeconds * kRate));
    std::printf("%zu samples: %.1f Hz at %.1f dBFS\n", samples.size(), sound.hz, sound.dbfs);
    EXPECT_NEAR(sound.hz, kToneHz, kToneHz * 0.02);
    EXPECT_GT(sound.dbfs, -40);
}

// Takes what comes in for `seconds`, ten times a second as the recorder
// does; each Take returns at once.
Samples Record(TWin32SoundCapture& capture, double seconds) {
    Samples samples;
    const auto start = Clock::now();
    while (SecondsSince(start) < seconds) {
        std::this_thread::sleep_for(100ms);
        std::string error;
        const auto asked = Clock::now();
        EXPECT_TRUE(capture.Take(&samples, &error)) << error;
        EXPECT_LT(SecondsSince(asked), 0.25);
    }
    return samples;
}

class Win32SoundCapture : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = (std::filesystem::temp_directory_path() /
                 ("ziv-capture-" + std::to_string(GetCurrentProcessId()) + ".wav"))
                    .string();
        std::ofstream(path_, std::ios::binary) << ToneWave();
    }
    void TearDown() override {
        player_.StopSound();
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }

    void PlayTone() {
        ASSERT_TRUE(player_.PlaySound(path_, SND_FILENAME | SND_ASYNC | SND_LOOP));
        WaitForTheInput();
    }

    // For about two seconds after the test server starts, its null sink
    // still sleeps for its longest latency: a recording started then gets
    // nothing for up to two seconds (parec too). The tests judge the
    // capture, not the server's start.
    static void WaitForTheInput() {
        TWin32SoundCapture capture;
        std::string error;
        ASSERT_TRUE(capture.Start(&error)) << error;
        Samples samples;
        const auto start = Clock::now();
        while (samples.empty() && SecondsSince(start) < 4) {
            std::this_thread::sleep_for(50ms);
            ASSERT_TRUE(capture.Take(&samples, &error)) << error;
        }
        std::printf("the input delivers after %.3f s\n", SecondsSince(start));
        ASSERT_FALSE(samples.empty());
    }

    std::string path_;
    TWin32SoundService player_;
};

TEST_F(Win32SoundCapture, RecordsTheToneForAsLongAsItRuns) {
    ASSERT_NO_FATAL_FAILURE(PlayTone());
    TWin32SoundCapture capture;
    std::string error;
    auto start = Clock::now();
    ASSERT_TRUE(capture.Start(&error)) << error;
    const double opening = SecondsSince(start);
    EXPECT_EQ(capture.SampleRate(), kRate);

    start = Clock::now();
    const Samples samples = Record(capture, 1.5);
    const double seconds = SecondsSince(start);
    capture.Stop();
    std::printf("opened in %.3f s; %.3f s of samples in %.3f s\n", opening,
                static_cast<double>(samples.size()) / kRate, seconds);
    // What the device holds in its buffers has not come yet, and a busy
    // machine delays more.
    EXPECT_GT(static_cast<double>(samples.size()) / kRate, seconds - 0.75);
    EXPECT_LT(static_cast<double>(samples.size()) / kRate, seconds + 0.05);
    ExpectTone(samples);
}

TEST_F(Win32SoundCapture, StopsPromptlyAndStartsAgain) {
    ASSERT_NO_FATAL_FAILURE(PlayTone());
    TWin32SoundCapture capture;
    std::string error;
    ASSERT_TRUE(capture.Start(&error)) << error;
    Samples first = Record(capture, 0.6);
    EXPECT_FALSE(first.empty());

    auto start = Clock::now();
    capture.Stop();
    const double stopping = SecondsSince(start);
    EXPECT_LT(stopping, 1.0);
    // Nothing comes after the stop, and asking does not wait for anything.
    std::this_thread::sleep_for(200ms);
    const std::size_t before = first.size();
    start = Clock::now();
    EXPECT_TRUE(capture.Take(&first, &error)) << error;
    EXPECT_EQ(first.size(), before);
    EXPECT_LT(SecondsSince(start), 0.25);
    start = Clock::now();
    capture.Stop();
    EXPECT_LT(SecondsSince(start), 0.25);

    start = Clock::now();
    ASSERT_TRUE(capture.Start(&error)) << error;
    const double restarting = SecondsSince(start);
    std::printf("stopped in %.3f s, started again in %.3f s\n", stopping, restarting);
    ExpectTone(Record(capture, 1.0));
    // A start while capturing ends the running capture first.
    ASSERT_TRUE(capture.Start(&error)) << error;
    ExpectTone(Record(capture, 0.8));
    capture.Stop();
    capture.Stop();
}

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Wine loads its audio drivers as DLLs, and DLL overrides may be set for
// one program name: a copy of this test under a name of its own, with every
// audio driver turned off, finds no input at all.
constexpr char kNoDriversVariable[] = "ZIV_CAPTURE_NO_DRIVERS";

// Runs the copy on this very test; its exit code.
DWORD RunWithoutDrivers() {
    char self[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, self, sizeof self) == 0)
        return 100;
    const std::string name =
        "ziv-capture-no-drivers-" + std::to_string(GetCurrentProcessId()) + ".exe";
    const std::filesystem::path copy = std::filesystem::temp_directory_path() / name;
    std::error_code failed;
    if (!std::filesystem::copy_file(self, copy, failed))
        return 101;
    const std::string app = "Software\\Wine\\AppDefaults\\" + name;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, (app + "\\DllOverrides").c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 102;
    for (const char* driver : {"winepulse.drv", "winealsa.drv", "wineoss.drv"})
        RegSetValueExA(key, driver, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);  // off
    RegCloseKey(key);

    SetEnvironmentVariableA(kNoDriversVariable, "1");
    std::string line = "\"" + copy.string() +
                       "\" --gtest_filter=Win32SoundCaptureWithoutDevice.StartFailsWithOneLine";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    DWORD code = 103;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &child)) {
        if (WaitForSingleObject(child.hProcess, 20000) == WAIT_OBJECT_0)
            GetExitCodeProcess(child.hProcess, &code);
        else
            TerminateProcess(child.hProcess, code = 104);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    SetEnvironmentVariableA(kNoDriversVariable, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, app.c_str());
    std::filesystem::remove(copy, failed);
    return code;
}

TEST(Win32SoundCaptureWithoutDevice, StartFailsWithOneLine) {
    if (!UnderWine())
        GTEST_SKIP() << "the default input of this system cannot be hidden";
    if (std::getenv(kNoDriversVariable) == nullptr) {
        EXPECT_EQ(RunWithoutDrivers(), 0u) << "the run without audio drivers failed";
        return;
    }
    TWin32SoundCapture capture;
    std::string error;
    const auto start = Clock::now();
    const bool started = capture.Start(&error);
    const double took = SecondsSince(start);
    ASSERT_FALSE(started) << "an input device is there all the same";
    std::printf("refused in %.3f s: %s\n", took, error.c_str());
    EXPECT_LT(took, 2.5);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
    Samples samples;
    EXPECT_TRUE(capture.Take(&samples, &error));
    EXPECT_TRUE(samples.empty());
    capture.Stop();
}

}  // namespace
}  // namespace ziv::test
