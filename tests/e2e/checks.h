#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/harness/end_to_end.h"

namespace ziv::e2e {

// Key to first sample: two 60 ms ticks, then the sound output's start.
constexpr double kKeyToSoundMs = 120;
constexpr double kKeyToSoundToleranceMs = 15;
// The unkey may come at most this long after the last sample.
constexpr double kLongestTailMs = 250;

// One transmission: the message heard whole, at its own rate, inside the
// keyed window. `tailFloorMs` is how far before the last sample the unkey
// may seem to come: the recording's clock is good to about 1 ms, and a
// resampling server smears the edges by a little more.
inline void ExpectWholeSend(const TKeyedSpan& span, const std::vector<THeardSound>& sounds,
                            const TMarkedMessage& message, double tailFloorMs,
                            const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_NE(span.unkeyNs, TKeyedSpan::kStillKeyed) << "the transmitter stayed keyed";
    const THeardSound* sound = SoundOf(span, sounds);
    ASSERT_NE(sound, nullptr) << "keyed for " << span.Ms() << " ms and nothing was heard";
    const double keyToSoundMs = double(sound->firstNs - span.keyNs) / 1e6;
    const double tailMs = double(span.unkeyNs - sound->lastNs) / 1e6;
    EXPECT_NEAR(keyToSoundMs, kKeyToSoundMs, kKeyToSoundToleranceMs);
    EXPECT_GE(tailMs, tailFloorMs) << "unkeyed before the last sample";
    EXPECT_LE(tailMs, kLongestTailMs);
    EXPECT_TRUE(sound->startMarker) << "the start of the message was clipped";
    EXPECT_TRUE(sound->endMarker) << "the end of the message was clipped";
    // A message played at another rate would be longer or shorter.
    EXPECT_NEAR(sound->Seconds(), message.Seconds(), 0.003);
    EXPECT_LT(sound->longestGapMs, 1.0) << "the sound broke off inside the message";
}

// The other line keeps the level the port's opening left it at, and no
// line sits at the keyed level for long while the port opens.
inline void ExpectQuietLines(const std::vector<TLineEvent>& events, const std::string& device,
                             const TPtt& ptt) {
    const std::vector<TLineEvent> mine = EventsOf(events, device);
    ASSERT_FALSE(mine.empty()) << device << " was never opened";
    const TPttLine other = ptt.OtherLine();
    std::int64_t openedNs = 0;
    bool level = false;
    for (const TLineEvent& e : mine) {
        if (e.event == "open")
            openedNs = e.ns;
        if (e.event != "lines")
            continue;
        if (e.ns - openedNs < kOpeningNs)
            level = LevelOf(e, other);
        else
            EXPECT_EQ(LevelOf(e, other), level) << "the other line moved at " << e.ns;
    }
    // Linux raises both lines at the open: keyed for a Normal PTT on either
    // line until the program lowers them. Inverted, the open raises them to
    // idle, and the other line rests low, which keys nothing.
    std::vector<TPttLine> watched{ptt.line};
    if (!ptt.inverted)
        watched.push_back(other);
    for (TPttLine line : watched)
        for (const TKeyedSpan& span : KeyedSpans(events, device, TPtt{line, ptt.inverted}))
            if (span.cause == "open") {
                EXPECT_LT(span.Ms(), 5.0) << "a line sat at the keyed level after the open";
            }
}

}  // namespace ziv::e2e
