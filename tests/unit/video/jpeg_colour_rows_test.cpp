// The Motion-JPEG colour rows: the AVX-512 form against the reference row on random rows of
// every width near its steps, and whole decodes on every path against libjpeg's own.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "platform/bitmap.h"
#include "unit/video/frame_conversion_support.h"
#include "video/frame_conversion.h"
#include "video/jpeg_colour_rows.h"

namespace {

using conversion_test::EncodeJpeg;
using conversion_test::JpegOptions;
using conversion_test::PhotoLikeRgb;
using conversion_test::ReferenceDecodeBgr;

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

// The picture rows of `bitmap` against libjpeg's own decode of `jpeg`, byte for byte.
void ExpectLibjpegsPicture(const std::vector<std::uint8_t>& jpeg, const Bitmap& bitmap) {
    int width = 0, height = 0;
    const auto picture = ReferenceDecodeBgr(jpeg, width, height);
    ASSERT_EQ(width, bitmap.Width());
    ASSERT_EQ(height, bitmap.Height());
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(width);
    for (int r = 0; r < height; ++r) {
        ASSERT_TRUE(std::equal(bitmap.ScanLine(r), bitmap.ScanLine(r) + rowBytes,
                               picture.data() + rowBytes * static_cast<std::size_t>(r)))
            << "row " << r;
    }
}

TEST(JpegColourRows, EveryPathDecodesAsLibjpegDoes) {
    struct Sampling {
        const char* name;
        JpegOptions options;
    };
    const Sampling samplings[] = {{"4:2:2", {85, 2, 1, false}},
                                  {"4:2:0", {85, 2, 2, false}},
                                  {"4:2:0 progressive", {70, 2, 2, true}},
                                  {"4:2:2 progressive", {70, 2, 1, true}}};
    // Below the narrowest rows (libjpeg's path), one and two rows, heights that end inside and
    // at an iMCU row of 8 and 16, widths around the 32-pixel step.
    const std::pair<int, int> sizes[] = {{3, 3},   {4, 5},   {5, 1},     {5, 2},   {6, 3},
                                         {7, 17},  {31, 16}, {33, 31},   {64, 48}, {65, 8},
                                         {97, 33}, {13, 15}, {320, 241}, {641, 9}};
    for (TConversionPath path : {TConversionPath::Scalar, TConversionPath::Sse41,
                                 TConversionPath::Avx2, TConversionPath::Avx512}) {
        if (!TFrameConversion::PathSupported(path)) continue;
        TFrameConversion conversion;  // reused across sizes and samplings, as for a camera
        conversion.SetConversionPath(path);
        for (const Sampling& sampling : samplings) {
            for (const auto& [width, height] : sizes) {
                SCOPED_TRACE(::testing::Message()
                             << "path " << static_cast<int>(path) << " " << sampling.name << " "
                             << width << "x" << height);
                const auto jpeg = EncodeJpeg(PhotoLikeRgb(width, height, width * 31u + height),
                                             width, height, 3, JCS_RGB, sampling.options);
                Bitmap bitmap;
                ASSERT_TRUE(bitmap.SetSize(width, height));
                ASSERT_TRUE(conversion.ConvertFrame(static_cast<std::int32_t>(jpeg.size()),
                                                    jpeg.data(), width, height, kCompressionMjpg,
                                                    bitmap));
                ExpectLibjpegsPicture(jpeg, bitmap);
            }
        }
    }
}

}  // namespace
