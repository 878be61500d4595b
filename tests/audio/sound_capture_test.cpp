// The sound capture, one contract for both systems: PulseAudio's on Linux,
// the Win32 wave input's under Wine. It records the default input, the
// monitor of the sink into which the system's sound service plays a tone.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "audio/sound_rig.h"

#ifdef _WIN32
#include "base/windows_api.h"
#endif

namespace ziv::test {
namespace {

class SoundCapture : public SoundTest {
protected:
    // Ten seconds of the tone, longer than a test records, played as the
    // keyer plays (synchronously) on a thread of its own.
    void PlayTone() {
        const std::string tone = Write("tone.wav", WaveBytes({1, 16}, 1, 48000, 10, false));
        player_ = std::thread([this, tone] { service.PlaySound(tone, SND_FILENAME); });
    }
    void TearDown() override {
        service.StopSound();
        if (player_.joinable())
            player_.join();
        SoundTest::TearDown();
    }

    static void ExpectTone(const Samples& samples, int rate) {
        const THeard heard = Analyse(samples, rate);
        std::printf("%zu samples: %.1f Hz, peak %.2f\n", samples.size(), heard.hertz,
                    heard.bodyPeak);
        EXPECT_NEAR(heard.hertz, 440, 440 * 0.02);
        EXPECT_NEAR(heard.bodyPeak, kBody, 0.15);
    }

    std::thread player_;
};

// The capture is made after the warm-up: its own start-up loads Wine's
// drivers on a thread, which a first play beside it could trip over.
TEST_F(SoundCapture, RecordsTheToneForAsLongAsItRunsAndStopsPromptly) {
    TPlatformSoundCapture capture;
    ASSERT_NO_FATAL_FAILURE(PlayTone());
    std::string error;
    const auto started = Clock::now();
    ASSERT_TRUE(capture.Start(&error)) << error;
    EXPECT_EQ(capture.SampleRate(), 48000);

    // The samples come in real time: never more than the time since the
    // start holds, however late a busy machine delivers them.
    Samples samples;
    ASSERT_TRUE(TakeUntil(capture, &samples, &error, [](const Samples& s) {
        return s.size() >= 3 * 48000;
    })) << error;
    const double seconds = SecondsSince(started);
    const double got = static_cast<double>(samples.size()) / 48000;
    std::printf("%.3f s of samples in %.3f s\n", got, seconds);
    EXPECT_LT(got, seconds + 0.1);
    ExpectTone(samples, capture.SampleRate());

    // Nothing comes after the stop, and neither asking nor another stop
    // waits for anything.
    auto start = Clock::now();
    capture.Stop();
    EXPECT_LT(SecondsSince(start), 1.0);
    std::this_thread::sleep_for(200ms);
    const std::size_t before = samples.size();
    start = Clock::now();
    EXPECT_TRUE(capture.Take(&samples, &error)) << error;
    EXPECT_EQ(samples.size(), before);
    capture.Stop();
    EXPECT_LT(SecondsSince(start), 0.25);

    // Started again, and started while capturing: the running capture ends
    // first and a new one records.
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(capture.Start(&error)) << error;
        Samples again;
        ASSERT_TRUE(TakeUntil(capture, &again, &error, [](const Samples& s) {
            return s.size() >= 48000;
        })) << error;
        ExpectTone(again, capture.SampleRate());
    }
    capture.Stop();
}

#ifdef _WIN32
// Wine loads its audio drivers as DLLs, and DLL overrides may be set for
// one program name: a copy of this test under a name of its own, with every
// audio driver turned off, finds no input at all.
constexpr char kNoDrivers[] = "ZIV_CAPTURE_NO_DRIVERS";

// Runs the copy on this very test; its exit code.
DWORD RunWithoutDrivers() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string name = "ziv-no-drivers-" + std::to_string(GetCurrentProcessId()) + ".exe";
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

    SetEnvironmentVariableA(kNoDrivers, "1");
    std::string line =
        "\"" + copy.string() + "\" --gtest_filter=SoundCaptureWithoutDevice.StartFailsWithOneLine";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    DWORD code = 103;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &child)) {
        if (WaitForSingleObject(child.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(child.hProcess, &code);
        else
            TerminateProcess(child.hProcess, code = 104);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    SetEnvironmentVariableA(kNoDrivers, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, app.c_str());
    std::filesystem::remove(copy, failed);
    return code;
}

TEST(SoundCaptureWithoutDevice, StartFailsWithOneLine) {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr)
        GTEST_SKIP() << "the default input of this system cannot be hidden";
    if (std::getenv(kNoDrivers) == nullptr) {
        EXPECT_EQ(RunWithoutDrivers(), 0u) << "the run without audio drivers failed";
        return;
    }
    TWin32SoundCapture capture;
    std::string error;
    const auto start = Clock::now();
    ASSERT_FALSE(capture.Start(&error)) << "an input device is there all the same";
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
    Samples samples;
    EXPECT_TRUE(capture.Take(&samples, &error));
    EXPECT_TRUE(samples.empty());
    capture.Stop();
}
#else
// The recorder takes on the user-interface thread: a frozen server holds up
// neither a take nor the stop, and a start gives up on it after two
// seconds. An input unplugged or a server crashing mid-capture ends the
// capture cleanly: it says so and keeps failing until stopped. Each failure
// says why, and a capture that is not running fails nothing.
TEST_F(SoundCapture, TroubleWithTheInputOrServerHoldsNothingUpAndIsSaid) {
    TPlatformSoundCapture capture;
    std::string error;
    Samples samples;
    ASSERT_TRUE(capture.Start(&error)) << error;
    ASSERT_TRUE(TakeFirstSamples(capture, &samples, &error)) << error;
    server_.Pause();
    double slowest = 0;
    for (int i = 0; i < 10; ++i) {
        std::this_thread::sleep_for(50ms);
        const auto at = Clock::now();
        EXPECT_TRUE(capture.Take(&samples, &error)) << error;
        slowest = std::max(slowest, SecondsSince(at));
    }
    EXPECT_LT(slowest, 0.5);  // a take that waits for the server waits until it thaws
    auto at = Clock::now();
    capture.Stop();
    EXPECT_LT(SecondsSince(at), 1.0);
    at = Clock::now();
    EXPECT_FALSE(capture.Start(&error));
    EXPECT_EQ(error, "the sound server does not answer");
    EXPECT_GT(SecondsSince(at), 1.5);
    EXPECT_LT(SecondsSince(at), 10.0);
    server_.Resume();

    // Takes until one fails (TakeUntil gives up on a capture that never
    // fails after 15 s).
    const auto takeUntilFailed = [&] {
        return TakeUntil(capture, &samples, &error, [](const Samples&) { return false; })
                   ? "(never failed)"
                   : error;
    };
    ASSERT_TRUE(capture.Start(&error)) << error;
    ASSERT_TRUE(TakeFirstSamples(capture, &samples, &error)) << error;
    ASSERT_TRUE(Pactl("unload-module module-null-sink"));
    EXPECT_EQ(takeUntilFailed(), "the sound input went away");
    capture.Stop();
    EXPECT_FALSE(capture.Start(&error));  // no source at all: the monitor went with its sink
    EXPECT_EQ(error, "No such entity");

    ASSERT_TRUE(Pactl("load-module module-null-sink sink_name=other"));
    ASSERT_TRUE(Pactl("set-default-source other.monitor"));
    // A new sink's monitor is silent until something plays.
    ASSERT_NO_FATAL_FAILURE(PlayTone());
    ASSERT_TRUE(capture.Start(&error)) << error;
    samples.clear();
    ASSERT_TRUE(TakeFirstSamples(capture, &samples, &error)) << error;
    const std::size_t before = samples.size();
    server_.Kill();
    EXPECT_EQ(takeUntilFailed(), "the sound server went away");
    EXPECT_GE(samples.size(), before);
    EXPECT_FALSE(capture.Take(&samples, &error));
    at = Clock::now();
    capture.Stop();
    EXPECT_LT(SecondsSince(at), 1.0);
    EXPECT_FALSE(capture.Start(&error));
    EXPECT_EQ(error, "Connection refused");
    samples.clear();
    EXPECT_TRUE(capture.Take(&samples, &error));
    EXPECT_TRUE(samples.empty());
}
#endif

}  // namespace
}  // namespace ziv::test
