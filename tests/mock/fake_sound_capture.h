#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/sound_capture.h"

namespace ziv::test {

// A sound input the test feeds: what it Feed()s is what the next Take()
// returns; a start or a later take can be made to fail.
class TFakeSoundCapture : public TSoundCapture {
public:
    bool Start(std::string* error) override {
        ++Starts;
        if (!StartError.empty()) {
            *error = StartError;
            return false;
        }
        return true;
    }
    int SampleRate() const override { return Rate; }
    bool Take(std::vector<std::int16_t>* samples, std::string* error) override {
        samples->insert(samples->end(), Pending.begin(), Pending.end());
        Pending.clear();
        if (!TakeError.empty()) {
            *error = TakeError;
            return false;
        }
        return true;
    }
    void Stop() override {}

    // Queues `ms` of a full-scale-ish tone (amplitude `amplitude`) or silence (0).
    void Feed(int ms, int amplitude) {
        const int count = Rate * ms / 1000;
        for (int i = 0; i < count; ++i)
            Pending.push_back(
                static_cast<std::int16_t>((i / 24) % 2 == 0 ? amplitude : -amplitude));
    }

    int Rate = 48000;
    int Starts = 0;
    std::string StartError;
    std::string TakeError;
    std::vector<std::int16_t> Pending;
};

}  // namespace ziv::test
