// The YUV tables, their integer forms, and single pixels through every conversion path.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <tuple>
#include <vector>

#include "platform/bitmap.h"
#include "video/frame_conversion.h"
#include "video/yuv_formulas.h"

namespace {

std::vector<TConversionPath> SupportedPaths() {
    std::vector<TConversionPath> paths{TConversionPath::Scalar};
    for (TConversionPath path :
         {TConversionPath::Sse41, TConversionPath::Avx2, TConversionPath::Avx512}) {
        if (TFrameConversion::PathSupported(path)) paths.push_back(path);
    }
    return paths;
}

TEST(ConversionTables, ListedEntriesIncludingTheTies) {
    TFrameConversion conversion;
    conversion.BuildYuvTables();
    const auto& luma = conversion.LumaTable();
    EXPECT_EQ(luma[1], 298);
    EXPECT_EQ(luma[16], 4769);
    EXPECT_EQ(luma[128], 38154);
    EXPECT_EQ(luma[235], 70049);
    EXPECT_EQ(luma[250], 74520);  // 74520.5, tie to even
    EXPECT_EQ(luma[255], 76011);
    EXPECT_EQ(conversion.UGreenTable()[128], -12837);
    EXPECT_EQ(conversion.UGreenTable()[255], -25574);
    EXPECT_EQ(conversion.UBlueTable()[0], -70870);
    EXPECT_EQ(conversion.UBlueTable()[128], -4769);
    EXPECT_EQ(conversion.UBlueTable()[193], 28798);  // 28797.5, tie to even
    EXPECT_EQ(conversion.UBlueTable()[255], 60815);
    EXPECT_EQ(conversion.VRedTable()[0], -57068);
    EXPECT_EQ(conversion.VRedTable()[128], -4769);
    EXPECT_EQ(conversion.VRedTable()[172], 13208);  // 13208.5 in decimal, below it in binary
    EXPECT_EQ(conversion.VGreenTable()[0], 34707);
    EXPECT_EQ(conversion.VGreenTable()[128], 8068);
    EXPECT_EQ(conversion.VGreenTable()[255], -18363);
}

TEST(ConversionTables, EntriesStayInTheirRanges) {
    TFrameConversion conversion;
    conversion.BuildYuvTables();
    auto range = [](const std::array<std::int32_t, 256>& table) {
        auto [low, high] = std::minmax_element(table.begin(), table.end());
        return std::make_pair(*low, *high);
    };
    EXPECT_EQ(range(conversion.LumaTable()), std::make_pair(0, 76011));
    EXPECT_EQ(range(conversion.UGreenTable()), std::make_pair(-25574, 0));
    EXPECT_EQ(range(conversion.UBlueTable()), std::make_pair(-70870, 60815));
    EXPECT_EQ(range(conversion.VRedTable()), std::make_pair(-57068, 47121));
    EXPECT_EQ(range(conversion.VGreenTable()), std::make_pair(-18363, 34707));
}

// The SIMD paths compute entries instead of reading them: every entry must match its formula.
TEST(ConversionTables, EveryEntryEqualsItsIntegerFormula) {
    TFrameConversion conversion;
    conversion.BuildYuvTables();
    const std::tuple<const char*, const std::array<std::int32_t, 256>*, TYuvFormula> tables[] = {
        {"luma", &conversion.LumaTable(), kLumaFormula},
        {"u green", &conversion.UGreenTable(), kUGreenFormula},
        {"u blue", &conversion.UBlueTable(), kUBlueFormula},
        {"v red", &conversion.VRedTable(), kVRedFormula},
        {"v green", &conversion.VGreenTable(), kVGreenFormula}};
    for (const auto& [name, table, formula] : tables) {
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ((*table)[static_cast<std::size_t>(i)], formula(i)) << name << " entry " << i;
        }
    }
}

TEST(ConversionTables, ClampTable) {
    TFrameConversion conversion;
    conversion.BuildYuvTables();
    for (int k = -1023; k <= 1023; ++k) {
        const int expected = k < 0 ? 0 : k > 255 ? 255 : k;
        ASSERT_EQ(conversion.Clamp(k), expected) << k;
    }
}

struct PixelCase {
    int y, u, v;
    std::array<int, 3> bgr;
};

// Converts one 2 x 1 packed frame with both pixels (y, u, v) on the given path.
std::array<int, 6> ConvertPixelPair(TConversionPath path, int y, int u, int v) {
    TFrameConversion conversion;
    conversion.SetConversionPath(path);
    Bitmap bitmap;
    bitmap.SetSize(2, 1);
    const std::uint8_t frame[4] = {static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(u),
                                   static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(v)};
    EXPECT_TRUE(conversion.ConvertFrame(4, frame, 2, 1, kCompressionYuy2, bitmap));
    const std::uint8_t* row = bitmap.ScanLine(0);
    return {row[0], row[1], row[2], row[3], row[4], row[5]};
}

TEST(ConversionPixels, ListedPixelsOnEveryPath) {
    const PixelCase cases[] = {{16, 128, 128, {0, 0, 0}},        {235, 128, 128, {255, 255, 255}},
                               {128, 128, 128, {130, 130, 130}}, {17, 128, 128, {1, 1, 1}},
                               {15, 128, 128, {0, 0, 0}},        {81, 90, 240, {0, 0, 254}},
                               {145, 54, 34, {0, 255, 0}},       {41, 240, 110, {255, 0, 0}},
                               {0, 0, 0, {0, 135, 0}},           {255, 255, 255, {255, 125, 255}}};
    for (TConversionPath path : SupportedPaths()) {
        for (const PixelCase& c : cases) {
            const auto pair = ConvertPixelPair(path, c.y, c.u, c.v);
            const std::array<int, 6> expected{c.bgr[0], c.bgr[1], c.bgr[2],
                                              c.bgr[0], c.bgr[1], c.bgr[2]};
            EXPECT_EQ(pair, expected)
                << "path " << static_cast<int>(path) << " YUV " << c.y << "," << c.u << "," << c.v;
        }
    }
}

// Every (Y, U, V) triple: one 512 x 128 packed frame per U holds all V and Y values.
TEST(ConversionPixels, EveryTripleMatchesTheTablesOnEveryPath) {
    TFrameConversion reference;
    reference.SetConversionPath(TConversionPath::Scalar);
    reference.BuildYuvTables();
    std::vector<std::uint8_t> frame(512 * 128 * 2);
    for (TConversionPath path : SupportedPaths()) {
        TFrameConversion conversion;
        conversion.SetConversionPath(path);
        Bitmap bitmap;
        ASSERT_TRUE(bitmap.SetSize(512, 128));
        for (int u = 0; u < 256; ++u) {
            std::size_t at = 0;
            for (int v = 0; v < 256; ++v) {
                for (int y = 0; y < 256; y += 2) {
                    frame[at++] = static_cast<std::uint8_t>(y);
                    frame[at++] = static_cast<std::uint8_t>(u);
                    frame[at++] = static_cast<std::uint8_t>(y + 1);
                    frame[at++] = static_cast<std::uint8_t>(v);
                }
            }
            ASSERT_TRUE(conversion.ConvertFrame(static_cast<std::int32_t>(frame.size()),
                                                frame.data(), 512, 128, kCompressionYuy2, bitmap));
            for (int row = 0; row < 128; ++row) {
                const std::uint8_t* pixels = bitmap.ScanLine(row);
                for (int column = 0; column < 512; ++column) {
                    const int v = (row * 512 + column) / 256;
                    const int y = column % 256;
                    const int luma = reference.LumaTable()[static_cast<std::size_t>(y)];
                    const int blue = reference.Clamp(
                        (luma + reference.UBlueTable()[static_cast<std::size_t>(u)]) / 256);
                    const int green = reference.Clamp(
                        (luma + reference.UGreenTable()[static_cast<std::size_t>(u)] +
                         reference.VGreenTable()[static_cast<std::size_t>(v)]) /
                        256);
                    const int red = reference.Clamp(
                        (luma + reference.VRedTable()[static_cast<std::size_t>(v)]) / 256);
                    const std::uint8_t* p = pixels + column * 3;
                    ASSERT_TRUE(p[0] == blue && p[1] == green && p[2] == red)
                        << "path " << static_cast<int>(path) << " YUV " << y << "," << u << ","
                        << v;
                }
            }
        }
    }
}

TEST(ConversionTables, BuiltOnTheFirstYuvFrameOnly) {
    TFrameConversion conversion;
    Bitmap bitmap;
    bitmap.SetSize(2, 2);
    const std::vector<std::uint8_t> rgb(12, 0x40);
    ASSERT_TRUE(conversion.ConvertFrame(12, rgb.data(), 2, 2, kCompressionRgb, bitmap));
    const std::uint8_t notJpeg[4] = {1, 2, 3, 4};
    ASSERT_TRUE(conversion.ConvertFrame(4, notJpeg, 2, 2, kCompressionMjpg, bitmap));
    EXPECT_FALSE(conversion.TablesReady());
    EXPECT_EQ(conversion.TableBuildCount(), 0);

    const std::vector<std::uint8_t> packed(8, 128);
    ASSERT_TRUE(conversion.ConvertFrame(8, packed.data(), 2, 2, kCompressionYuy2, bitmap));
    EXPECT_TRUE(conversion.TablesReady());
    ASSERT_TRUE(conversion.ConvertFrame(8, packed.data(), 2, 2, kCompressionYuy2, bitmap));
    const std::vector<std::uint8_t> planar(6, 128);
    ASSERT_TRUE(conversion.ConvertFrame(6, planar.data(), 2, 2, kCompressionI420, bitmap));
    // Another format later (a camera opened again) uses the same tables.
    Bitmap larger;
    larger.SetSize(4, 2);
    const std::vector<std::uint8_t> packedLarger(16, 128);
    ASSERT_TRUE(conversion.ConvertFrame(16, packedLarger.data(), 4, 2, kCompressionYunv, larger));
    EXPECT_EQ(conversion.TableBuildCount(), 1);
}

}  // namespace
