// The real program, end to end: key to first sample, tail, loop spacing,
// idle CPU, start to window and peak memory, on a serial device double and
// a private sound server (see tests/e2e/README.md). Prints a Markdown table;
// asserts nothing.
//
//   e2e_timing [transmissions]      (default 20)

#include <signal.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/harness/end_to_end.h"
#include "e2e/harness/window_points.h"

using namespace ziv::e2e;

namespace {

struct TStats {
    std::vector<double> values;
    double Median() const { return At(0.5); }
    double P95() const { return At(0.95); }
    double Min() const {
        return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
    }
    double Max() const {
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    }
    double At(double q) const {
        if (values.empty())
            return 0;
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, static_cast<std::size_t>(q * double(v.size() - 1) + 0.5))];
    }
};

struct TLoopResult {
    TStats keyToSound, tail, spacingError;
    int unheard = 0;
    double longestGapMs = 0;
    double idleCpuMs = -1;
    double startMs = 0;
    double peakRssMb = 0;
};

// User and system time of a process so far, in ms.
double CpuMs(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // Fields after the name: state is the 3rd field; utime and stime the 14th and 15th.
    for (int i = 3; i <= 13; ++i)
        fields >> field;
    long utime = 0, stime = 0;
    fields >> utime >> stime;
    return double(utime + stime) * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

double PeakRssMb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// Busy loops that keep every core saturated while they live.
class TBusyLoops {
public:
    explicit TBusyLoops(int count) {
        for (int i = 0; i < count; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                volatile unsigned long n = 0;
                for (;;)
                    n = n + 1;
            }
            pids_.push_back(pid);
        }
    }
    ~TBusyLoops() {
        for (pid_t pid : pids_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

private:
    std::vector<pid_t> pids_;
};

// The timings of a loop's transmissions from the second on: the first
// cycle of a loop started from the track bar has a short pause.
void Measure(const std::vector<TKeyedSpan>& sent, const std::vector<THeardSound>& sounds,
             const TMarkedMessage& message, TLoopResult& result) {
    for (std::size_t i = 1; i < sent.size(); ++i) {
        const THeardSound* sound = SoundOf(sent[i], sounds);
        if (sound == nullptr) {
            ++result.unheard;
            continue;
        }
        result.keyToSound.values.push_back(double(sound->firstNs - sent[i].keyNs) / 1e6);
        const double tail = double(sent[i].unkeyNs - sound->lastNs) / 1e6;
        result.tail.values.push_back(tail);
        result.longestGapMs = std::max(result.longestGapMs, sound->longestGapMs);
        if (i + 1 < sent.size()) {
            const double expected = 120 + message.Seconds() * 1000 + tail + 1000;
            const double spacing = double(sent[i + 1].keyNs - sent[i].keyNs) / 1e6;
            result.spacingError.values.push_back(spacing - expected);
        }
    }
}

bool RunLoop(int transmissions, bool idleCpu, int busyLoops, TLoopResult& result) {
    const TPtt ptt{TPttLine::Rts, false};
    const TMarkedMessage message{.rate = 48000, .channels = 1, .bodySeconds = 0.3};
    TEndToEnd run;
    TStation* station = run.StationOnCom1(ptt, {message});
    if (!station || !run.Launch(*station)) {
        std::fprintf(stderr, "%s\n", run.Error().c_str());
        return false;
    }
    result.startMs = double(station->ShownNs() - station->StartedNs()) / 1e6;
    if (idleCpu) {
        SleepMs(500);
        const double before = CpuMs(station->Pid());
        SleepMs(10000);
        result.idleCpuMs = CpuMs(station->Pid()) - before;
    }
    {
        TBusyLoops busy(busyLoops);
        station->Key("F1");
        station->Drag(kThumbX, kThumbAtZeroY, kThumbX, kThumbAtOneY);
        // The first cycle is sent but not counted.
        const bool done = run.WaitForTransmissions(
            run.Device(), ptt, std::size_t(transmissions) + 1, transmissions * 3000, 200);
        station->Key("Escape");
        if (!done)
            std::fprintf(stderr, "the loop stopped early:\n%s\n", station->Stderr().c_str());
    }
    result.peakRssMb = PeakRssMb(station->Pid());
    station->Terminate();
    Measure(Transmissions(run.Lines(), run.Device(), ptt), run.Sounds(), message, result);
    return true;
}

std::string Machine() {
    utsname name{};
    ::uname(&name);
    std::string cpu = "unknown CPU";
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("model name", 0) == 0) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    return cpu + ", " + std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " +
           name.sysname + " " + name.release;
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("ZIV_E2E_PROGRAM", ZIV_E2E_PROGRAM_PATH, 0);
    ::setenv("ZIV_E2E_SERIAL_DOUBLE", ZIV_E2E_SERIAL_DOUBLE_PATH, 0);
    const int transmissions = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;

    TLoopResult quiet, busy;
    if (!RunLoop(transmissions, true, 0, quiet) || !RunLoop(transmissions, false, 4, busy))
        return 1;

    auto row = [](const char* what, const char* value, const char* target) {
        std::printf("| %s | %s | %s |\n", what, value, target);
    };
    char text[256];
    std::printf("Machine: %s\n\n", Machine().c_str());
    std::printf(
        "%d transmissions of a 0.4 s message in a loop with a 1 s pause, RTS, "
        "48 kHz null sink.\n\n",
        transmissions);
    std::printf("| measure | measured | target |\n|---|---|---|\n");
    std::snprintf(text, sizeof text, "median %.1f, p95 %.1f, min %.1f", quiet.keyToSound.Median(),
                  quiet.keyToSound.P95(), quiet.keyToSound.Min());
    row("key to first sample (ms)", text, "median <= 122, p95 <= 124, min >= 115");
    std::snprintf(text, sizeof text, "median %.1f, min %.1f, max %.1f", quiet.tail.Median(),
                  quiet.tail.Min(), quiet.tail.Max());
    row("tail: last sample to unkey (ms)", text, "0-5, never negative");
    std::snprintf(text, sizeof text, "median %+.1f, min %+.1f, max %+.1f",
                  quiet.spacingError.Median(), quiet.spacingError.Min(), quiet.spacingError.Max());
    row("loop spacing error (ms)", text, "within 10");
    std::snprintf(text, sizeof text, "%d", quiet.unheard);
    row("transmissions without sound", text, "0");
    std::snprintf(text, sizeof text, "%.0f", quiet.idleCpuMs);
    row("CPU while idle for 10 s, port open (ms)", text, "< 10");
    std::snprintf(text, sizeof text, "%.0f (and %.0f with the CPU saturated)", quiet.startMs,
                  busy.startMs);
    row("process start to window shown (ms)", text, "< 300");
    std::snprintf(text, sizeof text, "%.1f", std::max(quiet.peakRssMb, busy.peakRssMb));
    row("peak resident memory (MB)", text, "< 60");
    std::snprintf(text, sizeof text, "median %.1f, p95 %.1f, max %.1f", busy.keyToSound.Median(),
                  busy.keyToSound.P95(), busy.keyToSound.Max());
    row("key to first sample, CPU saturated (ms)", text, "<= 150");
    std::snprintf(text, sizeof text, "min %.1f, max %.1f", busy.tail.Min(), busy.tail.Max());
    row("tail, CPU saturated (ms)", text, "never negative");
    std::snprintf(text, sizeof text, "%.2f (%d without sound)", busy.longestGapMs, busy.unheard);
    row("longest gap inside a message, CPU saturated (ms)", text, "no gap");
    return 0;
}
