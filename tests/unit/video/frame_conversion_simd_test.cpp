// The SIMD paths against the scalar table path on random frames of many sizes.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "platform/bitmap.h"
#include "unit/video/frame_conversion_support.h"
#include "video/frame_conversion.h"

namespace {

std::vector<TConversionPath> SimdPaths() {
    std::vector<TConversionPath> paths;
    for (TConversionPath path :
         {TConversionPath::Sse41, TConversionPath::Avx2, TConversionPath::Avx512}) {
        if (TFrameConversion::PathSupported(path)) paths.push_back(path);
    }
    return paths;
}

// The whole pixel memory, row padding included: a converter must write nothing beyond its
// pixels, not even into the padding.
void FillMemory(Bitmap& bitmap, std::uint8_t value) {
    std::fill_n(
        bitmap.PixelMemory(),
        static_cast<std::size_t>(bitmap.RowStride()) * static_cast<std::size_t>(bitmap.Height()),
        value);
}

bool SameMemory(const Bitmap& a, const Bitmap& b) {
    const std::size_t bytes =
        static_cast<std::size_t>(a.RowStride()) * static_cast<std::size_t>(a.Height());
    return a.RowStride() == b.RowStride() && a.Height() == b.Height() &&
           std::equal(a.PixelMemory(), a.PixelMemory() + bytes, b.PixelMemory());
}

TEST(ConversionSimd, ForcingAPathIsHonouredWhereSupported) {
    TFrameConversion conversion;
    EXPECT_EQ(conversion.ConversionPath(), TFrameConversion::BestSupportedPath());
    EXPECT_EQ(conversion.SetConversionPath(TConversionPath::Scalar), TConversionPath::Scalar);
    for (TConversionPath path : SimdPaths()) EXPECT_EQ(conversion.SetConversionPath(path), path);
}

TEST(ConversionSimd, RandomFramesEqualTheScalarPath) {
    const auto paths = SimdPaths();
    if (paths.empty()) GTEST_SKIP() << "no SIMD path on this processor";
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> byte(0, 255);
    // Around every multiple of 8 and of 16 pairs (the widest path's step), including odd widths
    // whose last column stays untouched and widths that leave one or two pairs after the last
    // full group.
    const int widths[] = {1,  2,  3,   4,   5,   6,   7,   8,   9,   10,  14,  15, 16,
                          17, 18, 19,  20,  23,  31,  32,  33,  34,  35,  36,  47, 48,
                          49, 50, 51,  52,  63,  64,  65,  66,  67,  68,  95,  96, 97,
                          98, 99, 100, 127, 128, 129, 130, 131, 132, 191, 640, 641};
    const int heights[] = {1, 2, 3, 4, 7};
    const std::uint32_t codes[] = {kCompressionYuy2, kCompressionI420, kCompressionYv12};
    TFrameConversion reference;
    reference.SetConversionPath(TConversionPath::Scalar);
    for (int width : widths) {
        for (int height : heights) {
            for (std::uint32_t code : codes) {
                const std::size_t pixels = static_cast<std::size_t>(width) * height;
                const std::size_t size = code == kCompressionYuy2 ? pixels * 2 : pixels * 3 / 2;
                std::vector<std::uint8_t> frame(size);
                for (auto& b : frame) b = static_cast<std::uint8_t>(byte(random));
                const auto background = static_cast<std::uint8_t>(byte(random));
                Bitmap expected;
                ASSERT_TRUE(expected.SetSize(width, height));
                FillMemory(expected, background);
                // An exactly sized copy, so that reading past the end shows under ASan.
                std::vector<std::uint8_t> exact(frame);
                ASSERT_TRUE(reference.ConvertFrame(static_cast<std::int32_t>(size), exact.data(),
                                                   width, height, code, expected));
                for (TConversionPath path : paths) {
                    TFrameConversion conversion;
                    conversion.SetConversionPath(path);
                    Bitmap actual;
                    ASSERT_TRUE(actual.SetSize(width, height));
                    FillMemory(actual, background);
                    ASSERT_TRUE(conversion.ConvertFrame(static_cast<std::int32_t>(size),
                                                        exact.data(), width, height, code, actual));
                    ASSERT_TRUE(SameMemory(actual, expected))
                        << "path " << static_cast<int>(path) << " " << width << "x" << height
                        << " code " << std::hex << code;
                }
            }
        }
    }
}

}  // namespace
