// Size checks, layouts and the unsupported-format notice.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "unit/video/frame_conversion_support.h"
#include "video/frame_conversion.h"

namespace {

using conversion_test::DrawNotice;
using conversion_test::Fill;
using conversion_test::SamePixels;

// What the bitmap must look like after a notice over `background`.
std::unique_ptr<Bitmap> ExpectedNotice(int width, int height, std::uint8_t background,
                                       const std::string& secondLine) {
    auto expected = std::make_unique<Bitmap>();
    expected->SetSize(width, height);
    Fill(*expected, background);
    DrawNotice(*expected, secondLine);
    return expected;
}

const std::uint8_t* Pixel(const Bitmap& bitmap, int row, int column) {
    return bitmap.ScanLine(row) + column * 3;
}

TEST(ConversionSizes, PackedFrameOf640x480) {
    TFrameConversion conversion;
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(640, 480));
    std::vector<std::uint8_t> frame(614400);
    for (std::size_t i = 0; i < frame.size(); i += 4) {
        frame[i] = frame[i + 2] = 235;  // white
        frame[i + 1] = frame[i + 3] = 128;
    }
    Fill(bitmap, 7);
    EXPECT_TRUE(conversion.ConvertFrame(614400, frame.data(), 640, 480, kCompressionYuy2, bitmap));
    EXPECT_EQ(Pixel(bitmap, 479, 639)[0], 255);
    EXPECT_EQ(Pixel(bitmap, 0, 0)[2], 255);

    Fill(bitmap, 7);
    EXPECT_TRUE(conversion.ConvertFrame(614399, frame.data(), 640, 480, kCompressionYuy2, bitmap));
    EXPECT_TRUE(SamePixels(bitmap, *ExpectedNotice(640, 480, 7, "DataSize: 614399  FourCC: YUY2")));
}

TEST(ConversionSizes, EachCodeAcceptsExactlyItsSize) {
    struct Case {
        std::uint32_t code;
        std::int32_t size;
    };
    const Case cases[] = {{kCompressionRgb, 921600},  {kCompressionI420, 460800},
                          {kCompressionIyuv, 460800}, {kCompressionYv12, 460800},
                          {kCompressionYuy2, 614400}, {kCompressionYunv, 614400},
                          {kCompressionYuyv, 614400}};
    for (const Case& c : cases) {
        EXPECT_TRUE(TFrameConversion::SizeFits(c.code, c.size, 640, 480)) << c.code;
        EXPECT_FALSE(TFrameConversion::SizeFits(c.code, c.size - 1, 640, 480)) << c.code;
        EXPECT_FALSE(TFrameConversion::SizeFits(c.code, c.size + 1, 640, 480)) << c.code;
    }
    EXPECT_TRUE(TFrameConversion::SizeFits(kCompressionMjpg, 1, 640, 480));
    EXPECT_FALSE(TFrameConversion::SizeFits(MakeFourCC('N', 'V', '1', '2'), 460800, 640, 480));
}

// Products that do not fit 32 bits accept nothing, in particular not their wrapped value.
TEST(ConversionSizes, ProductsDoNotWrap) {
    // 65536 x 32768 x 2 is 2^32: wrapped to 32 bits it would be 0.
    EXPECT_FALSE(TFrameConversion::SizeFits(kCompressionYuy2, 0, 65536, 32768));
    // 65536 x 21846 x 3 wraps to 131072.
    EXPECT_FALSE(TFrameConversion::SizeFits(kCompressionRgb, 131072, 65536, 21846));
    // 46341^2 x 3 / 2 wraps to a negative number in 32 bits.
    EXPECT_FALSE(TFrameConversion::SizeFits(kCompressionI420, -1073697453, 46341, 46341));
    // Two negative sides would give a positive product.
    EXPECT_FALSE(TFrameConversion::SizeFits(kCompressionRgb, 12, -2, -2));

    TFrameConversion conversion;
    Bitmap bitmap;
    bitmap.SetSize(8, 8);
    Fill(bitmap, 9);
    const std::uint8_t byte = 0;
    EXPECT_TRUE(conversion.ConvertFrame(0, &byte, 65536, 32768, kCompressionYuy2, bitmap));
    EXPECT_TRUE(SamePixels(bitmap, *ExpectedNotice(8, 8, 9, "DataSize: 0  FourCC: YUY2")));
}

TEST(ConversionRgb, BlockCopyBottomRowFirst) {
    TFrameConversion conversion;
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(4, 3));
    std::vector<std::uint8_t> frame(36);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(conversion.ConvertFrame(36, frame.data(), 4, 3, kCompressionRgb, bitmap));
    EXPECT_EQ(Pixel(bitmap, 2, 0)[0], 0);   // first bytes: the bottom row
    EXPECT_EQ(Pixel(bitmap, 0, 3)[2], 35);  // last bytes: the top row's end
    EXPECT_EQ(0, std::memcmp(bitmap.PixelMemory(), frame.data(), frame.size()));
}

// Rows of 3W bytes where the bitmap pads its rows: each row lands at its own row.
TEST(ConversionRgb, UnpaddedRowsIntoPaddedBitmap) {
    TFrameConversion conversion;
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(3, 2));
    ASSERT_EQ(bitmap.RowStride(), 12);
    std::vector<std::uint8_t> frame(18);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i + 1);
    ASSERT_TRUE(conversion.ConvertFrame(18, frame.data(), 3, 2, kCompressionRgb, bitmap));
    EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(1), frame.data(), 9));
    EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(0), frame.data() + 9, 9));
}

TEST(ConversionRgb, PaddedBufferGetsTheNotice) {
    TFrameConversion conversion;
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(30, 40));
    Fill(bitmap, 200);
    std::vector<std::uint8_t> frame(92 * 40);  // rows of 90 bytes padded to 92
    EXPECT_TRUE(conversion.ConvertFrame(3680, frame.data(), 30, 40, kCompressionRgb, bitmap));
    EXPECT_TRUE(SamePixels(bitmap, *ExpectedNotice(30, 40, 200, "DataSize: 3680  FourCC: RGB")));
}

TEST(ConversionNotice, UnknownCodeWithNonPrintingBytes) {
    TFrameConversion conversion;
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(320, 40));
    Fill(bitmap, 90);
    const std::uint32_t code = 0x00015A20;  // ' ', 'Z', 0x01, 0x00
    const std::uint8_t byte = 0;
    EXPECT_TRUE(conversion.ConvertFrame(-5, &byte, 320, 40, code, bitmap));
    const std::string codeText{' ', 'Z', '\x01', '\0'};
    ASSERT_EQ(codeText.size(), 4u);
    EXPECT_TRUE(
        SamePixels(bitmap, *ExpectedNotice(320, 40, 90, "DataSize: -5  FourCC: " + codeText)));
    // The comparison sees the code text: without its last characters the picture differs.
    EXPECT_FALSE(SamePixels(bitmap, *ExpectedNotice(320, 40, 90, "DataSize: -5  FourCC:  Z")));
}

TEST(ConversionNotice, TwoLinesOverTheOldContentOnly) {
    TFrameConversion conversion;
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(300, 100));
    Fill(bitmap, 60);
    const std::uint8_t byte = 0;
    ASSERT_TRUE(
        conversion.ConvertFrame(1, &byte, 300, 100, MakeFourCC('H', '2', '6', '4'), bitmap));
    const int lineHeight = bitmap.GetCanvas().TextHeight("X");
    ASSERT_GT(lineHeight, 8);
    auto rowChanged = [&](int row) {
        const std::uint8_t* p = bitmap.ScanLine(row);
        return std::any_of(p, p + 300 * 3, [](std::uint8_t b) { return b != 60; });
    };
    for (int row = 0; row < 2 * lineHeight; ++row) EXPECT_TRUE(rowChanged(row)) << row;
    for (int row = 2 * lineHeight; row < 100; ++row) EXPECT_FALSE(rowChanged(row)) << row;
    // Dark text on white: both colours are present in the first line.
    const std::uint8_t* top = bitmap.ScanLine(lineHeight / 2);
    EXPECT_NE(std::find(top, top + 300 * 3, 255), top + 300 * 3);
    EXPECT_NE(std::find_if(top, top + 300 * 3, [](std::uint8_t b) { return b < 128; }),
              top + 300 * 3);
    EXPECT_EQ(Pixel(bitmap, 0, 299)[0], 60);  // beyond the text's width: untouched
}

TEST(ConversionFrame, NullBufferChangesNothing) {
    TFrameConversion conversion;
    Bitmap bitmap;
    bitmap.SetSize(4, 4);
    Fill(bitmap, 3);
    EXPECT_FALSE(conversion.ConvertFrame(48, nullptr, 4, 4, kCompressionRgb, bitmap));
    EXPECT_FALSE(conversion.ConvertFrame(48, nullptr, 4, 4, 0x12345678, bitmap));
    EXPECT_EQ(Pixel(bitmap, 0, 0)[0], 3);
}

// A frame format that the bitmap does not have (it could not be resized) is not converted.
TEST(ConversionFrame, BitmapOfAnotherSizeGetsTheNotice) {
    TFrameConversion conversion;
    Bitmap bitmap;
    bitmap.SetSize(200, 30);
    Fill(bitmap, 1);
    std::vector<std::uint8_t> frame(400 * 40 * 2);
    EXPECT_TRUE(conversion.ConvertFrame(static_cast<std::int32_t>(frame.size()), frame.data(), 400,
                                        40, kCompressionYuy2, bitmap));
    EXPECT_TRUE(SamePixels(bitmap, *ExpectedNotice(200, 30, 1, "DataSize: 32000  FourCC: YUY2")));
}

// Planar frame with distinct chroma rows: U = 60 + 20k, V = 200 - 20k for chroma row k.
std::vector<std::uint8_t> PlanarFrame(int width, int height, bool vFirst) {
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    std::vector<std::uint8_t> frame(pixels * 3 / 2);
    for (std::size_t i = 0; i < pixels; ++i) frame[i] = static_cast<std::uint8_t>(100 + i % 50);
    const std::size_t plane = pixels / 4;
    for (std::size_t i = 0; i < plane; ++i) {
        const int k = static_cast<int>(i / static_cast<std::size_t>(width / 2));
        const auto u = static_cast<std::uint8_t>(60 + 20 * k);
        const auto v = static_cast<std::uint8_t>(200 - 20 * k);
        frame[pixels + i] = vFirst ? v : u;
        frame[pixels + plane + i] = vFirst ? u : v;
    }
    return frame;
}

TEST(ConversionPlanar, ChromaRowServesTwoPictureRowsAndPlaneOrderFollowsTheCode) {
    const int width = 8, height = 8;
    for (TConversionPath path : {TConversionPath::Scalar, TFrameConversion::BestSupportedPath()}) {
        TFrameConversion conversion;
        conversion.SetConversionPath(path);
        Bitmap i420, yv12, single;
        i420.SetSize(width, height);
        yv12.SetSize(width, height);
        const auto uFirst = PlanarFrame(width, height, false);
        const auto vFirst = PlanarFrame(width, height, true);
        ASSERT_TRUE(
            conversion.ConvertFrame(96, uFirst.data(), width, height, kCompressionI420, i420));
        ASSERT_TRUE(
            conversion.ConvertFrame(96, vFirst.data(), width, height, kCompressionYv12, yv12));
        EXPECT_TRUE(SamePixels(i420, yv12));

        // Each pixel against a 2 x 1 packed frame of its own Y, U and V.
        single.SetSize(2, 1);
        for (int row = 0; row < height; ++row) {
            const int k = row / 2;
            for (int column = 0; column < width; ++column) {
                const std::uint8_t y = uFirst[static_cast<std::size_t>(row * width + column)];
                const std::uint8_t packed[4] = {y, static_cast<std::uint8_t>(60 + 20 * k), y,
                                                static_cast<std::uint8_t>(200 - 20 * k)};
                ASSERT_TRUE(conversion.ConvertFrame(4, packed, 2, 1, kCompressionYuy2, single));
                ASSERT_EQ(0, std::memcmp(Pixel(i420, row, column), single.ScanLine(0), 3))
                    << row << "," << column;
            }
        }
    }
}

TEST(ConversionPlanar, OddWidthLeavesTheLastColumnAndReadsLumaStraightOn) {
    const int width = 5, height = 4;
    TFrameConversion conversion;
    Bitmap bitmap, single;
    bitmap.SetSize(width, height);
    single.SetSize(2, 1);
    Fill(bitmap, 0xAB);
    std::vector<std::uint8_t> frame(30);  // 5 * 4 * 3 / 2
    for (std::size_t i = 0; i < 20; ++i) frame[i] = static_cast<std::uint8_t>(20 + 10 * i);
    for (std::size_t i = 20; i < 30; ++i) frame[i] = static_cast<std::uint8_t>(100 + i);
    ASSERT_TRUE(conversion.ConvertFrame(30, frame.data(), width, height, kCompressionI420, bitmap));
    for (int row = 0; row < height; ++row) {
        EXPECT_EQ(Pixel(bitmap, row, 4)[0], 0xAB);
        // Row r's luma starts at 4r: two pairs per row, nothing skipped.
        const std::uint8_t y = frame[static_cast<std::size_t>(4 * row + 2)];
        // U plane at 20 (5 bytes), V plane at 25; chroma row k starts at 2k.
        const std::uint8_t u = frame[static_cast<std::size_t>(20 + 2 * (row / 2) + 1)];
        const std::uint8_t v = frame[static_cast<std::size_t>(25 + 2 * (row / 2) + 1)];
        const std::uint8_t packed[4] = {y, u, y, v};
        ASSERT_TRUE(conversion.ConvertFrame(4, packed, 2, 1, kCompressionYuy2, single));
        EXPECT_EQ(0, std::memcmp(Pixel(bitmap, row, 2), single.ScanLine(0), 3)) << row;
    }
}

// An odd height has no chroma row for its last row in a buffer of (W * H * 3) / 2 bytes: that
// row is left alone and nothing past the buffer is read (the buffer is sized exactly).
TEST(ConversionPlanar, OddHeightLeavesTheLastRowAndStaysInTheBuffer) {
    for (TConversionPath path : {TConversionPath::Scalar, TFrameConversion::BestSupportedPath()}) {
        const int width = 64, height = 5;
        TFrameConversion conversion;
        conversion.SetConversionPath(path);
        Bitmap bitmap;
        bitmap.SetSize(width, height);
        Fill(bitmap, 0xCD);
        const std::size_t size = width * height * 3 / 2;
        auto frame = std::make_unique<std::uint8_t[]>(size);
        std::fill_n(frame.get(), size, 128);
        ASSERT_TRUE(conversion.ConvertFrame(static_cast<std::int32_t>(size), frame.get(), width,
                                            height, kCompressionIyuv, bitmap));
        EXPECT_EQ(Pixel(bitmap, 3, 63)[0], 130);
        for (int column = 0; column < width; ++column) {
            EXPECT_EQ(Pixel(bitmap, 4, column)[1], 0xCD);
        }
    }
}

TEST(ConversionPacked, OddWidthLeavesTheLastColumnAndReadsStraightOn) {
    TFrameConversion conversion;
    Bitmap bitmap, single;
    bitmap.SetSize(3, 2);
    single.SetSize(2, 1);
    Fill(bitmap, 0xAB);
    // 3 x 2 x 2 = 12 bytes; one pair per row, row 1 starts at byte 4.
    const std::uint8_t frame[12] = {16, 128, 235, 128, 81, 90, 145, 240, 1, 2, 3, 4};
    ASSERT_TRUE(conversion.ConvertFrame(12, frame, 3, 2, kCompressionYuyv, bitmap));
    ASSERT_TRUE(conversion.ConvertFrame(4, frame + 4, 2, 1, kCompressionYuy2, single));
    EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(1), single.ScanLine(0), 6));
    EXPECT_EQ(Pixel(bitmap, 0, 0)[0], 0);
    EXPECT_EQ(Pixel(bitmap, 0, 1)[0], 255);
    EXPECT_EQ(Pixel(bitmap, 0, 2)[0], 0xAB);
    EXPECT_EQ(Pixel(bitmap, 1, 2)[0], 0xAB);
}

TEST(ConversionFrame, ZeroWidthOrHeightWritesNothing) {
    TFrameConversion conversion;
    const std::uint8_t byte = 0;
    for (auto [width, height] : {std::pair{0, 4}, std::pair{4, 0}, std::pair{0, 0}}) {
        Bitmap bitmap;
        ASSERT_TRUE(bitmap.SetSize(width, height));
        for (std::uint32_t code : {kCompressionYuy2, kCompressionI420, kCompressionRgb}) {
            EXPECT_TRUE(conversion.ConvertFrame(0, &byte, width, height, code, bitmap));
        }
    }
    // The bitmap around an empty frame is another matter: a 4 x 4 bitmap with a 0 x 4 format
    // is not the format's bitmap and gets the notice.
    Bitmap bitmap;
    bitmap.SetSize(4, 4);
    Fill(bitmap, 5);
    EXPECT_TRUE(conversion.ConvertFrame(0, &byte, 0, 4, kCompressionYuy2, bitmap));
    EXPECT_TRUE(SamePixels(bitmap, *ExpectedNotice(4, 4, 5, "DataSize: 0  FourCC: YUY2")));
}

}  // namespace
