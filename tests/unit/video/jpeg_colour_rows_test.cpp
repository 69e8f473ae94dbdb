// The Motion-JPEG colour rows: the AVX-512 form against the reference row on random rows of
// every width near its steps.

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <vector>

#include "video/frame_conversion.h"
#include "video/jpeg_colour_rows.h"

namespace {

// A row of `samples` values drawn from `pick`, readable as far as the rows promise.
template <typename Pick>
std::vector<std::uint8_t> Row(int samples, Pick&& pick) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(samples) + kJpegRowReadAhead);
    for (auto& b : row) b = pick();
    return row;
}

TEST(JpegColourRows, Avx512EqualsTheReferenceRow) {
    if (!TFrameConversion::PathSupported(TConversionPath::Avx512)) {
        GTEST_SKIP() << "no AVX-512 BW and VBMI on this processor";
    }
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> byte(0, 255);
    // Extremes only: the clamps at both ends and the largest column sums.
    const std::uint8_t extremes[] = {0, 1, 16, 127, 128, 129, 235, 240, 254, 255};
    std::uniform_int_distribution<std::size_t> extreme(0, std::size(extremes) - 1);
    std::vector<int> widths;
    for (int w = kJpegColourRowMinWidth; w <= 70; ++w) widths.push_back(w);
    for (int w : {95, 96, 97, 127, 128, 129, 130, 639, 640, 641, 1279, 1280, 1920}) {
        widths.push_back(w);
    }
    for (int width : widths) {
        for (bool extremesOnly : {false, true}) {
            auto pick = [&] {
                return static_cast<std::uint8_t>(extremesOnly ? extremes[extreme(random)]
                                                              : byte(random));
            };
            const int n = (width + 1) / 2;
            const auto luma = Row(width, pick);
            const auto cbNear = Row(n, pick), cbFar = Row(n, pick);
            const auto crNear = Row(n, pick), crFar = Row(n, pick);
            for (bool columnSums : {false, true}) {
                SCOPED_TRACE(::testing::Message()
                             << "width " << width << (columnSums ? " 4:2:0" : " 4:2:2")
                             << (extremesOnly ? " extremes" : ""));
                const std::uint8_t* cbOther = columnSums ? cbFar.data() : nullptr;
                const std::uint8_t* crOther = columnSums ? crFar.data() : nullptr;
                const std::size_t bytes = 3 * static_cast<std::size_t>(width);
                std::vector<std::int16_t> work(JpegColourWorkSize(width));
                std::vector<std::uint8_t> expected(bytes + 64, 0xa5);
                std::vector<std::uint8_t> actual(bytes + 64, 0xa5);
                JpegColourRowScalar(luma.data(), cbNear.data(), cbOther, crNear.data(), crOther,
                                    width, work.data(), expected.data());
                JpegColourRowAvx512(luma.data(), cbNear.data(), cbOther, crNear.data(), crOther,
                                    width, work.data(), actual.data());
                ASSERT_EQ(actual, expected);  // the bytes after the row still hold the canary
            }
        }
    }
}

}  // namespace
