#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace ziv::e2e {

// One line of the serial double's log: the levels after the event.
struct TLineEvent {
    std::int64_t ns = 0;  // CLOCK_MONOTONIC
    std::string device;
    std::string event;  // open, lines, close, hangup, reap
    bool rts = false;
    bool dtr = false;
    int pid = 0;
};

std::vector<TLineEvent> ReadLineLog(const std::string& path);

enum class TPttLine { Rts, Dtr };

struct TPtt {
    TPttLine line = TPttLine::Rts;
    bool inverted = false;

    bool KeyedLevel() const { return !inverted; }
    TPttLine OtherLine() const { return line == TPttLine::Rts ? TPttLine::Dtr : TPttLine::Rts; }
};

bool LevelOf(const TLineEvent& event, TPttLine line);

// A time the PTT line of one device sat at its keyed level.
struct TKeyedSpan {
    static constexpr std::int64_t kStillKeyed = std::numeric_limits<std::int64_t>::max();
    std::int64_t keyNs = 0;
    std::int64_t unkeyNs = kStillKeyed;
    // What keyed it: "lines" when the program switched the line; "open"
    // when it happened while the port was being opened (Linux raises both
    // lines at the first open, and the program then sets them one by one);
    // "close" when the device dropped the lines at the last close (HUPCL).
    std::string cause;

    double Ms() const { return double(unkeyNs - keyNs) / 1e6; }
};

// The keyed spans of `ptt` on `device`, oldest first. A closed device
// counts as its last levels until the next event.
std::vector<TKeyedSpan> KeyedSpans(const std::vector<TLineEvent>& events, const std::string& device,
                                   const TPtt& ptt);
// The transmissions: keyed spans the program started by switching the line.
std::vector<TKeyedSpan> Transmissions(const std::vector<TLineEvent>& events,
                                      const std::string& device, const TPtt& ptt);

// How long after an open the program may still be setting the port up.
// No operator is that fast, so nothing keyed then is a transmission.
constexpr std::int64_t kOpeningNs = 50'000'000;

// The events of one device, oldest first.
std::vector<TLineEvent> EventsOf(const std::vector<TLineEvent>& events, const std::string& device);

}  // namespace ziv::e2e
