// The sound service, one contract for both systems: PulseAudio's on Linux,
// the Win32 wave output's under Wine. Each test plays real files as the
// keyer does (synchronously) and listens, through the system's sound
// capture, to what reached the sink.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio/sound_rig.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace ziv::test {
namespace {

class SoundService : public SoundTest {
protected:
    // Plays `path`, a message `length` s long, while listening, `prepared`
    // (if any) prepared ahead with the keyer's key-up delay. What is wrong
    // with the play: heard whole, at its own rate (a file played at another
    // rate or sample size would be off in length and pitch by far more than
    // the margins), and returning after its last sample, as the keyer
    // unkeys when Play returns.
    std::string PlayAndListen(TSoundService& player, const std::string& path, double length,
                              const std::string& prepared = "") {
        TPlatformSoundCapture capture;
        std::string error, faults;
        Samples samples;
        EXPECT_TRUE(capture.Start(&error)) << error;
        EXPECT_TRUE(TakeFirstSamples(capture, &samples, &error)) << "not listening " << error;
        if (!prepared.empty()) {
            EXPECT_TRUE(player.PrepareSound(prepared)) << prepared;
            // As the keyer does once it has keyed: the message is due when
            // the play is asked for.
            if (prepared == path)
                player.CueSound(120);
            std::this_thread::sleep_for(120ms);
        }
        const auto start = Clock::now();
        EXPECT_TRUE(player.PlaySound(path, SND_FILENAME)) << path;
        const double took = SecondsSince(start);
        // Whatever is still in flight after Play has returned is kept too:
        // a sound cut off when Play returns shows as a missing end.
        EXPECT_TRUE(TakeUntilEnded(capture, &samples, &error)) << error;
        const THeard heard = Analyse(samples, capture.SampleRate());
        std::printf("%s: %.3f s heard in %.3f s, play returned after %.3f s, of %.3f s\n",
                    path.c_str(), heard.seconds, heard.span, took, length);
        if (std::abs(heard.seconds - length) > kLengthTolerance)
            faults += " length";
        if (std::abs(heard.hertz - 440) > 4)
            faults += " pitch";
        if (std::abs(heard.bodyPeak - kBody) > 0.1)
            faults += " level";
        if (heard.endPeak < kEnd - 0.15)
            faults += " end missing";
        if (took < length - 0.005)
            faults += " returned early";
        if (took > 5 * (length + 0.3))  // only a play that hangs on: five times an idle machine's
            faults += " returned late";
        return faults;
    }
};

TEST_F(SoundService, PlaysEveryEncodingWholeAtItsOwnRate) {
    struct Case {
        std::string name;
        TEncoding encoding;
        int channels;
        int rate;
        double seconds;
        std::string prepared;  // prepared ahead: this file, none, or another
    };
    const std::vector<Case> cases = {
        {"pcm16_44k1_mono.wav", {1, 16}, 1, 44100, 1.0, ""},
        {"pcm16_44k1_stereo.wav", {1, 16}, 2, 44100, 0.4, "this"},
        {"pcm8_8k_mono.wav", {1, 8}, 1, 8000, 0.5, "this"},
        {"pcm24_48k_mono.wav", {1, 24}, 1, 48000, 0.4, "this"},
        {"pcm32_44k1_mono.wav", {1, 32}, 1, 44100, 0.4, "this"},
        {"float_48k_stereo.wav", {3, 32}, 2, 48000, 0.5, "this"},
        {"extensible16_22k_stereo.wav", {0xFFFE, 16}, 2, 22050, 0.4, "this"},
        {"mulaw_8k_mono.wav", {7, 8}, 1, 8000, 0.5, "this"},
        {"pcm16_16k_other_prepared.wav", {1, 16}, 1, 16000, 0.3, "other"},
    };
    const std::string other = Tone("other.wav", 1.5);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path =
            Write(c.name, WaveBytes(c.encoding, c.channels, c.rate, c.seconds));
        const std::string prepared = c.prepared == "this" ? path : c.prepared.empty() ? "" : other;
        // A starved machine breaks a play up now and then (Wine 8 gives its
        // sound threads no priority over other work): a case gets three
        // plays, and a fault spoils every one.
        std::string faults = "not played";
        for (int attempt = 0; attempt < 3 && !faults.empty(); ++attempt)
            faults = PlayAndListen(service, path, c.seconds + 0.05, prepared);
        EXPECT_EQ(faults, "");
    }
}

// What cannot be played is found out when preparing, before the keyer
// keys the transmitter, and again when playing: each time with one line.
TEST_F(SoundService, RefusesWhatIsNotASoundFileWithOneLine) {
    std::string wave = WaveBytes({1, 16}, 1, 8000, 0.1);
    Write("empty.wav", "");
    Write("text.wav", "CQ CQ CQ de LY1ABC\n");
    Write("header.wav", WaveBytes({1, 16}, 1, 8000, 0));
    Write("no_fmt.wav", Chunk("RIFF", "WAVE" + Chunk("data", "\1\2\3\4")));
    Write("unknown_codec.wav", wave.replace(20, 2, "\x34\x12", 2));
    std::filesystem::create_directory(dir_ + "/folder.wav");
    std::vector<std::string> names = {
        "missing.wav", "empty.wav",         "text.wav",   "header.wav",
        "no_fmt.wav",  "unknown_codec.wav", "folder.wav", ""};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir_ + "/fifo.wav").c_str(), 0600), 0);
    names.push_back("fifo.wav");
#endif

    for (const std::string& name : names) {
        const std::string path = name.empty() ? name : dir_ + "/" + name;
        SCOPED_TRACE(path);
        const std::string prepared = StderrOf([&] { EXPECT_FALSE(service.PrepareSound(path)); });
        EXPECT_EQ(Lines(prepared), 1u) << prepared;
        // A header without samples plays as nothing, and that is no failure.
        const bool silent = name == "header.wav";
        const std::string said =
            StderrOf([&] { EXPECT_EQ(service.PlaySound(path, SND_FILENAME), silent); });
        EXPECT_EQ(Lines(said), silent ? 0u : 1u) << said;
        EXPECT_EQ(said.rfind("ZIVSound: cannot play", 0), silent ? std::string::npos : 0u);
    }
#ifdef _WIN32
    const std::string folder = dir_ + "/folder.wav";
    EXPECT_EQ(StderrOf([&] { service.PrepareSound(folder); }),
              "ZIVSound: cannot play " + folder + ": it is a folder\n");
    const std::string codec = dir_ + "/unknown_codec.wav";
    EXPECT_EQ(StderrOf([&] { service.PrepareSound(codec); }),
              "ZIVSound: cannot play " + codec +
                  ": unsupported sound format (tag 0x1234, 16-bit, 1 channels at 8000 Hz)\n");
#else
    EXPECT_EQ(StderrOf([&] { EXPECT_FALSE(service.PlaySound(dir_ + "/missing.wav", SND_SYNC)); }),
              "ZIVSound: cannot play " + dir_ + "/missing.wav: No such file or directory\n");
#endif
}

// The keyer's stop during a message: a stop from another thread ends the
// synchronous play, which counts as played.
TEST_F(SoundService, StopFromAnotherThreadEndsASynchronousPlay) {
    const std::string path = Tone("long.wav", 10.0);
    TPlatformSoundCapture capture;
    std::string error;
    Samples samples;
    ASSERT_TRUE(capture.Start(&error)) << error;
    ASSERT_TRUE(TakeFirstSamples(capture, &samples, &error)) << error;
    ASSERT_TRUE(service.PrepareSound(path));
    std::atomic<bool> played = false;
    std::thread worker([&] { played = service.PlaySound(path, SND_FILENAME); });
    EXPECT_TRUE(TakeUntilHeard(capture, &samples, &error)) << error;
#ifndef _WIN32
    // The desktop's sound settings show and route the stream by these.
    for (const char* property : {"application.name = \"ZIVSound\"", "media.role = \"phone\""})
        EXPECT_TRUE(Pactl(std::string("list sink-inputs | grep -qF '") + property + "'"))
            << property;
#endif
    service.StopSound();
    worker.join();
    EXPECT_TRUE(played);  // stopped on purpose: not a failure
    ASSERT_TRUE(TakeUntilEnded(capture, &samples, &error)) << error;
    const double heard = Analyse(samples, capture.SampleRate()).span;
    std::printf("%.3f s heard of 10 s\n", heard);
    EXPECT_GT(heard, 0);
    EXPECT_LT(heard, 3.0);

    // A stop in the key-up delay (Escape, a failed key) drops a cued
    // message before it is heard, and the next play is whole.
    samples.clear();
    ASSERT_TRUE(service.PrepareSound(path));
    service.CueSound(120);
    std::this_thread::sleep_for(40ms);
    service.StopSound();
    const auto second = static_cast<std::size_t>(capture.SampleRate());
    ASSERT_TRUE(TakeUntil(capture, &samples, &error, [second](const Samples& s) {
        return s.size() > second;
    })) << error;
    EXPECT_EQ(std::count_if(samples.begin(), samples.end(), Audible), 0)
        << "a stopped cue was heard";
}

#ifndef _WIN32
// A server that stops taking samples mid-message: the play fails, and the
// keyer unkeys, after the program's stall allowance; the service is used
// again once the server answers. No output device, then no server: each
// play fails at once with one line saying which, and a restarted server
// works on the next play.
TEST_F(SoundService, FrozenOrMissingServerOrDeviceFailsPlaysWithOneLineUntilItIsBack) {
    EXPECT_LE(TPulseSoundService::TOptions().stallMs, 1000) << "the transmitter is keyed meanwhile";
    TPulseSoundService::TOptions options;
    options.connectMs = 500;
    options.startMs = 10000;  // a stall taken for a slow start would hold on 10 s
    TPulseSoundService impatient(options);
    const std::string path = Tone("long.wav", 10.0), msg = Tone("msg.wav", 0.2);
    TPulseSoundCapture listening;
    std::string error;
    Samples samples;
    ASSERT_TRUE(listening.Start(&error)) << error;
    ASSERT_TRUE(TakeFirstSamples(listening, &samples, &error)) << error;
    // Frozen once the message is heard: it has started.
    Clock::time_point frozen, returned;
    std::thread freezer([&] {
        EXPECT_TRUE(TakeUntilHeard(listening, &samples, &error)) << error;
        server_.Pause();
        frozen = Clock::now();
    });
    bool played = true;
    std::string said = StderrOf([&] {
        played = impatient.PlaySound(path, SND_FILENAME);
        returned = Clock::now();
    });
    freezer.join();
    const double held = std::chrono::duration<double>(returned - frozen).count();
    std::printf("a play held on %.3f s after the server froze\n", held);
    EXPECT_FALSE(played);
    EXPECT_LT(held, 3.5);  // five times an idle machine's
    EXPECT_EQ(said,
              "ZIVSound: cannot play " + path + ": the sound device stopped taking samples\n");

    // Still frozen: two plays wait for the same fresh connection; the first
    // to give up drops it, and the other must not use it afterwards.
    std::atomic<int> failed = 0;
    said = StderrOf([&] {
        std::thread first([&] { failed += impatient.PlaySound(path, SND_FILENAME) ? 0 : 1; });
        std::this_thread::sleep_for(100ms);
        failed += impatient.PlaySound(path, SND_FILENAME) ? 0 : 1;
        first.join();
    });
    server_.Resume();
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(Lines(said), 2u) << said;
    EXPECT_EQ(PlayAndListen(impatient, msg, 0.25), "");

    ASSERT_TRUE(Pactl("unload-module module-null-sink"));
    const std::string noDevice =
        "ZIVSound: cannot play " + msg + ": no sound output device (No such entity)\n";
    EXPECT_EQ(StderrOf([&] { EXPECT_FALSE(service.PrepareSound(msg)); }), noDevice);
    EXPECT_EQ(StderrOf([&] { EXPECT_FALSE(service.PlaySound(msg, SND_FILENAME)); }), noDevice);

    server_.Kill();
    // Give the connection a moment to notice, as the minutes between two
    // transmissions would.
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(StderrOf([&] {
                  EXPECT_FALSE(service.PrepareSound(msg));
              }).rfind("ZIVSound: no sound server: ", 0),
              0u);
    EXPECT_EQ(StderrOf([&] { EXPECT_FALSE(service.PlaySound(msg, SND_FILENAME)); }),
              "ZIVSound: no sound server: Connection refused\n");

    listening.Stop();
    ASSERT_NO_FATAL_FAILURE(StartServer());
    EXPECT_EQ(PlayAndListen(service, msg, 0.25), "");
}
#endif

}  // namespace
}  // namespace ziv::test
