#include "audio/rate_converter.h"

#include <algorithm>

namespace ziv::pulse {
namespace {

// Frames read from the source at a time.
constexpr sf_count_t kChunkFrames = 1024;

}  // namespace

std::unique_ptr<TRateConverter> TRateConverter::Open(int channels, int fromRate, int toRate,
                                                     std::string* error) {
    const double ratio = static_cast<double>(toRate) / fromRate;
    if (src_is_valid_ratio(ratio) == 0) {
        *error = "cannot convert " + std::to_string(fromRate) + " Hz to " + std::to_string(toRate) +
                 " Hz";
        return nullptr;
    }
    int code = 0;
    SRC_STATE* state = src_new(SRC_SINC_MEDIUM_QUALITY, channels, &code);
    if (state == nullptr) {
        *error = src_strerror(code);
        return nullptr;
    }
    return std::unique_ptr<TRateConverter>(new TRateConverter(state, channels, ratio));
}

TRateConverter::TRateConverter(SRC_STATE* state, int channels, double ratio)
    : state_(state),
      channels_(channels),
      ratio_(ratio),
      input_(static_cast<size_t>(kChunkFrames * channels)) {}

sf_count_t TRateConverter::Read(float* out, sf_count_t frames, const TSource& source,
                                std::string* error) {
    sf_count_t made = 0;
    while (made < frames) {
        if (pending_ == 0 && !sourceEnded_) {
            pending_ = std::max<sf_count_t>(0, source(input_.data(), kChunkFrames));
            sourceEnded_ = pending_ < kChunkFrames;
        }
        SRC_DATA data{};
        data.data_in = input_.data();
        data.input_frames = static_cast<long>(pending_);
        data.data_out = out + made * channels_;
        data.output_frames = static_cast<long>(frames - made);
        data.end_of_input = sourceEnded_ ? 1 : 0;
        data.src_ratio = ratio_;
        if (const int code = src_process(state_.get(), &data); code != 0) {
            *error = src_strerror(code);
            return -1;
        }
        const sf_count_t used = data.input_frames_used;
        std::copy(input_.begin() + used * channels_, input_.begin() + pending_ * channels_,
                  input_.begin());
        pending_ -= used;
        made += data.output_frames_gen;
        // Nothing in and nothing out: the end, once the source has ended.
        if (used == 0 && data.output_frames_gen == 0)
            break;
    }
    return made;
}

void TRateConverter::Reset() {
    src_reset(state_.get());
    pending_ = 0;
    sourceEnded_ = false;
}

}  // namespace ziv::pulse
