#pragma once

#include <samplerate.h>
#include <sndfile.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ziv::pulse {

// Converts interleaved float frames from one rate to another as they are
// read, so that a message of any rate reaches the server at the output's
// own rate: PipeWire's service otherwise converts it with a rate it keeps
// adjusting to its buffer (a 1000 Hz tone heard at 982-986 Hz, with holes
// of a graph cycle).
class TRateConverter {
public:
    // Gives up to `frames` frames of the source; fewer only at its end.
    using TSource = std::function<sf_count_t(float* out, sf_count_t frames)>;

    // Null, with the reason in `error`, when the converter cannot be made.
    static std::unique_ptr<TRateConverter> Open(int channels, int fromRate, int toRate,
                                                std::string* error);

    // Up to `frames` converted frames; fewer only once the source has ended
    // and everything it gave is out; -1 with the reason in `error`.
    sf_count_t Read(float* out, sf_count_t frames, const TSource& source, std::string* error);
    // Forgets everything read so far: the source starts again.
    void Reset();

private:
    struct TStateDeleter {
        void operator()(SRC_STATE* state) const { src_delete(state); }
    };

    TRateConverter(SRC_STATE* state, int channels, double ratio);

    std::unique_ptr<SRC_STATE, TStateDeleter> state_;
    int channels_;
    double ratio_;
    std::vector<float> input_;
    sf_count_t pending_ = 0;  // frames at the start of input_ not yet converted
    bool sourceEnded_ = false;
};

}  // namespace ziv::pulse
