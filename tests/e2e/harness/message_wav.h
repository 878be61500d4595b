#pragma once

#include <cstddef>
#include <string>

namespace ziv::e2e {

// A message whose ends can be told apart in a recording: a start marker
// at 2 kHz, a body at 1 kHz and an end marker at 3 kHz, each at half
// scale. A clipped start or end shows as a short or missing marker.
struct TMarkedMessage {
    int rate = 48000;
    int channels = 1;
    bool floatSamples = false;  // 32-bit float instead of 16-bit PCM
    double bodySeconds = 0.3;

    static constexpr double kMarkerSeconds = 0.050;
    static constexpr double kStartHz = 2000;
    static constexpr double kBodyHz = 1000;
    static constexpr double kEndHz = 3000;

    double Seconds() const { return bodySeconds + 2 * kMarkerSeconds; }
};

// Writes the message as a WAV file; false with the reason in `error`.
bool WriteMarkedMessage(const std::string& path, const TMarkedMessage& message, std::string& error);

// A plain tone at half scale after a stretch of digital silence, as 16-bit
// mono: what is played into the sink for the program to record. Its
// frequency tells one recording from another wherever it turns up.
struct TTone {
    double hertz = 700;
    double silenceSeconds = 0.5;
    double seconds = 1.2;
    int rate = 48000;
};

bool WriteTone(const std::string& path, const TTone& tone, std::string& error);

// The frequency of a steady tone from its rising zero crossings.
double ZeroCrossingHertz(const float* samples, std::size_t count, int rate);

}  // namespace ziv::e2e
