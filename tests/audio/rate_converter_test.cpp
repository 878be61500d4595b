#include "audio/rate_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace ziv::pulse {
namespace {

// A tone of `frames` frames at `rate`, given in the pieces asked for.
struct TToneSource {
    int rate, channels;
    sf_count_t frames, at = 0;
    sf_count_t operator()(float* out, sf_count_t wanted) {
        const sf_count_t n = std::min(wanted, frames - at);
        for (sf_count_t i = 0; i < n; ++i, ++at)
            std::fill_n(out + i * channels, channels,
                        static_cast<float>(0.5 * std::sin(2 * M_PI * 1000.0 * at / rate)));
        return n;
    }
};

std::vector<float> ConvertAll(TRateConverter& converter, TToneSource source, int channels) {
    std::vector<float> out;
    std::vector<float> piece(777 * channels);
    std::string error;
    for (;;) {
        const sf_count_t made = converter.Read(piece.data(), 777, std::ref(source), &error);
        EXPECT_GE(made, 0) << error;
        out.insert(out.end(), piece.begin(),
                   piece.begin() + std::max<sf_count_t>(made, 0) * channels);
        if (made < 777)
            return out;
    }
}

// The whole sound comes out, at its length in the new rate and at its
// level (a lost filter tail would clip the message's end), and again the
// same after a rewind.
TEST(RateConverter, ConvertsTheWholeSoundAndStartsAgainAfterReset) {
    for (const auto& [rate, channels] : {std::pair{8000, 1}, std::pair{44100, 2}}) {
        std::string error;
        const auto converter = TRateConverter::Open(channels, rate, 48000, &error);
        ASSERT_TRUE(converter) << error;
        const TToneSource tone{rate, channels, rate * 2 / 5};
        const std::vector<float> first = ConvertAll(*converter, tone, channels);
        EXPECT_NEAR(static_cast<double>(first.size()) / channels, 19200, 1) << rate;
        const auto peak = *std::max_element(first.begin(), first.end());
        EXPECT_NEAR(peak, 0.5, 0.02) << rate;
        converter->Reset();
        EXPECT_EQ(ConvertAll(*converter, tone, channels), first) << rate;
    }
}

}  // namespace
}  // namespace ziv::pulse
