#include "e2e/harness/line_log.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace ziv::e2e {

namespace {

// "rts=1" -> true; anything malformed reads as false and shows in the test.
bool Flag(const std::string& field, const char* name) {
    const std::string prefix = std::string(name) + "=";
    return field.rfind(prefix, 0) == 0 && field.substr(prefix.size()) == "1";
}

}  // namespace

std::vector<TLineEvent> ReadLineLog(const std::string& path) {
    std::vector<TLineEvent> events;
    std::ifstream in(path);
    std::string text;
    while (std::getline(in, text)) {
        std::istringstream fields(text);
        TLineEvent event;
        std::string rts, dtr, pid;
        if (!(fields >> event.ns >> event.device >> event.event >> rts >> dtr >> pid))
            continue;
        event.rts = Flag(rts, "rts");
        event.dtr = Flag(dtr, "dtr");
        if (pid.rfind("pid=", 0) == 0)
            event.pid = std::atoi(pid.c_str() + 4);
        events.push_back(event);
    }
    // Several processes append; each line is one write, but their stamps
    // may come out of order by the time between stamping and writing.
    std::stable_sort(events.begin(), events.end(),
                     [](const TLineEvent& a, const TLineEvent& b) { return a.ns < b.ns; });
    return events;
}

bool LevelOf(const TLineEvent& event, TPttLine line) {
    return line == TPttLine::Rts ? event.rts : event.dtr;
}

std::vector<TLineEvent> EventsOf(const std::vector<TLineEvent>& events, const std::string& device) {
    std::vector<TLineEvent> mine;
    for (const TLineEvent& e : events)
        if (e.device == device)
            mine.push_back(e);
    return mine;
}

std::vector<TKeyedSpan> KeyedSpans(const std::vector<TLineEvent>& events, const std::string& device,
                                   const TPtt& ptt) {
    std::vector<TKeyedSpan> spans;
    bool keyed = false;
    std::int64_t openedNs = 0;
    for (const TLineEvent& e : EventsOf(events, device)) {
        if (e.event == "open")
            openedNs = e.ns;
        const bool now = LevelOf(e, ptt.line) == ptt.KeyedLevel();
        if (now && !keyed) {
            TKeyedSpan span;
            span.keyNs = e.ns;
            span.cause = e.event == "lines" && e.ns - openedNs < kOpeningNs ? "open" : e.event;
            spans.push_back(span);
        } else if (!now && keyed) {
            spans.back().unkeyNs = e.ns;
        }
        keyed = now;
    }
    return spans;
}

std::vector<TKeyedSpan> Transmissions(const std::vector<TLineEvent>& events,
                                      const std::string& device, const TPtt& ptt) {
    std::vector<TKeyedSpan> sent;
    for (const TKeyedSpan& span : KeyedSpans(events, device, ptt))
        if (span.cause == "lines")
            sent.push_back(span);
    return sent;
}

}  // namespace ziv::e2e
