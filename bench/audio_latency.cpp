// Measures the PulseAudio sound service against a private null-sink server:
// how long a synchronous play takes against the file's length, how soon
// the first sample reaches the sink after the play call (with and without
// preparing the stream during the key-up delay), and how long after the
// last sample the play call returns (when the transmitter is unkeyed).
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <thread>
#include <string>
#include <vector>

#include "monitor_recorder.h"
#include "audio/private_pulse_server.h"
#include "audio/sound_service_pulse.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using ziv::test::TMonitorRecorder;
using ziv::test::TPrivatePulseServer;

constexpr int kRate = TPrivatePulseServer::kRate;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void WriteTone(const std::string& path, double seconds) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    const auto frames = static_cast<long>(seconds * kRate);
    std::vector<float> samples(static_cast<std::size_t>(frames));
    for (long i = 0; i < frames; ++i)
        samples[static_cast<std::size_t>(i)] =
            static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 440 * i / kRate));
    sf_writef_float(file, samples.data(), frames);
    sf_close(file);
}

struct TFigures {
    std::vector<double> wall, onset, afterLast;
};

void Print(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("  %-44s median %7.1f ms   min %7.1f   max %7.1f   (n=%zu)\n", what,
                v[v.size() / 2], v.front(), v.back(), v.size());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    TPrivatePulseServer server;
    if (!server.Start()) {
        std::fprintf(stderr, "cannot start a private PulseAudio server: %s\n",
                     server.Error().c_str());
        return 1;
    }
    const std::string shortFile = server.Dir() + "/one.wav";
    const std::string longFile = server.Dir() + "/five.wav";
    WriteTone(shortFile, 1.0);
    WriteTone(longFile, 5.0);

    ziv::TPulseSoundService service;
    TMonitorRecorder recorder;
    if (!recorder.WaitUntilListening(20, 5s)) {  // past the start-up stall
        std::fprintf(stderr, "cannot record the sink's monitor\n");
        return 1;
    }
    service.PlaySound(shortFile, ziv::SND_FILENAME);  // connects to the server

    std::printf("Synchronous play on a private null sink (%d Hz), %d runs each\n", kRate, runs);
    struct Case {
        const char* name;
        const std::string* path;
        double seconds;
        bool prepare;
    };
    for (const Case& c : {Case{"1 s file", &shortFile, 1.0, false},
                          Case{"1 s file, prepared 120 ms ahead", &shortFile, 1.0, true},
                          Case{"5 s file", &longFile, 5.0, false},
                          Case{"5 s file, prepared 120 ms ahead", &longFile, 5.0, true}}) {
        TFigures f;
        for (int run = 0; run < runs; ++run) {
            if (c.prepare) {
                service.PrepareSound(*c.path);
                std::this_thread::sleep_for(120ms);  // the keyer's key-up delay
            }
            const auto call = Clock::now();
            const bool ok = service.PlaySound(*c.path, ziv::SND_FILENAME);
            const auto returned = Clock::now();
            std::this_thread::sleep_for(200ms);  // let the recording catch up
            Clock::time_point first, last;
            if (!ok || !recorder.FindSound(call, &first, &last)) {
                std::fprintf(stderr, "run %d of %s: nothing heard\n", run, c.name);
                return 1;
            }
            f.wall.push_back(Ms(returned - call) - c.seconds * 1000);
            f.onset.push_back(Ms(first - call));
            f.afterLast.push_back(Ms(returned - last));
        }
        std::printf("%s\n", c.name);
        Print("(a) Play's wall time beyond the file's length", f.wall);
        Print("(b) Play call -> first sample at the sink", f.onset);
        Print("(c) last sample at the sink -> Play returns", f.afterLast);
    }
    return 0;
}
