// Motion-JPEG frames: decode and draw, clipping, failures that leave the bitmap alone, limits.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "unit/video/frame_conversion_support.h"
#include "video/frame_conversion.h"

namespace {

using namespace conversion_test;

std::vector<std::uint8_t> ColourJpeg(int width, int height, JpegOptions options = {}) {
    return EncodeJpeg(PhotoLikeRgb(width, height), width, height, 3, JCS_RGB, options);
}

bool Convert(TFrameConversion& conversion, const std::vector<std::uint8_t>& jpeg, Bitmap& bitmap) {
    return conversion.ConvertFrame(static_cast<std::int32_t>(jpeg.size()), jpeg.data(),
                                   bitmap.Width(), bitmap.Height(), kCompressionMjpg, bitmap);
}

// The bitmap region [0, rows) x [0, columns) equals the reference picture's.
void ExpectPicture(const Bitmap& bitmap, const std::vector<std::uint8_t>& picture, int pictureWidth,
                   int rows, int columns) {
    for (int r = 0; r < rows; ++r) {
        ASSERT_EQ(0, std::memcmp(bitmap.ScanLine(r),
                                 picture.data() + static_cast<std::size_t>(r) * pictureWidth * 3,
                                 static_cast<std::size_t>(columns) * 3))
            << "row " << r;
    }
}

std::unique_ptr<Bitmap> NoticeOver(const Bitmap& before, const std::string& secondLine) {
    auto expected = std::make_unique<Bitmap>();
    expected->SetSize(before.Width(), before.Height());
    Canvas& canvas = expected->GetCanvas();
    canvas.Draw(0, 0, before);
    DrawNotice(*expected, secondLine);
    return expected;
}

TEST(ConversionJpeg, SameSizeFramesEqualLibjpegsOwnDecode) {
    for (JpegOptions options : {JpegOptions{85, 2, 1, false}, JpegOptions{85, 2, 2, false},
                                JpegOptions{60, 1, 1, true}}) {
        TFrameConversion conversion;
        Bitmap bitmap;
        ASSERT_TRUE(bitmap.SetSize(70, 45));
        for (unsigned frame = 0; frame < 3; ++frame) {  // the objects are reused
            const auto jpeg =
                EncodeJpeg(PhotoLikeRgb(70, 45, frame + 1), 70, 45, 3, JCS_RGB, options);
            ASSERT_TRUE(Convert(conversion, jpeg, bitmap));
            int width = 0, height = 0;
            const auto picture = ReferenceDecodeBgr(jpeg, width, height);
            ExpectPicture(bitmap, picture, width, 45, 70);
        }
    }
}

// Colour frames on every path, ours and libjpeg's own colour rows alike, against libjpeg's
// decode of the whole picture.
TEST(ConversionJpeg, EveryPathDecodesAsLibjpegDoes) {
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
                int pictureWidth = 0, pictureHeight = 0;
                const auto picture = ReferenceDecodeBgr(jpeg, pictureWidth, pictureHeight);
                ASSERT_EQ(pictureWidth, width);
                ASSERT_EQ(pictureHeight, height);
                ExpectPicture(bitmap, picture, width, height, width);
            }
        }
    }
}

TEST(ConversionJpeg, SmallerPictureKeepsTheRestLargerIsCutOff) {
    TFrameConversion conversion;
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(40, 30));
    Fill(bitmap, 0x5A);
    const auto small = ColourJpeg(17, 11);
    ASSERT_TRUE(Convert(conversion, small, bitmap));
    int width = 0, height = 0;
    auto picture = ReferenceDecodeBgr(small, width, height);
    ExpectPicture(bitmap, picture, width, 11, 17);
    for (int r = 0; r < 30; ++r) {
        const std::uint8_t* row = bitmap.ScanLine(r);
        const int from = r < 11 ? 17 : 0;
        for (int c = from * 3; c < 40 * 3; ++c) ASSERT_EQ(row[c], 0x5A) << r << "," << c / 3;
    }

    const auto large = ColourJpeg(57, 44);
    ASSERT_TRUE(Convert(conversion, large, bitmap));
    picture = ReferenceDecodeBgr(large, width, height);
    ExpectPicture(bitmap, picture, width, 30, 40);
}

TEST(ConversionJpeg, NotAJpegImageGetsTheNoticeOverTheEarlierPicture) {
    TFrameConversion conversion;
    Bitmap bitmap, before;
    ASSERT_TRUE(bitmap.SetSize(200, 60));
    ASSERT_TRUE(before.SetSize(200, 60));
    ASSERT_TRUE(Convert(conversion, ColourJpeg(200, 60), bitmap));
    before.GetCanvas().Draw(0, 0, bitmap);
    const std::vector<std::uint8_t> text{'n', 'o', 't', ' ', 'a', ' ', 'J', 'P', 'E', 'G'};
    EXPECT_TRUE(Convert(conversion, text, bitmap));
    EXPECT_TRUE(SamePixels(bitmap, *NoticeOver(before, "DataSize: 10  FourCC: MJPG")));
    // Below the two lines the picture is the earlier one.
    const int below = 2 * bitmap.GetCanvas().TextHeight("X");
    EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(below), before.ScanLine(below), 600));

    before.GetCanvas().Draw(0, 0, bitmap);
    const std::uint8_t empty = 0;
    EXPECT_TRUE(conversion.ConvertFrame(0, &empty, 200, 60, kCompressionMjpg, bitmap));
    EXPECT_TRUE(SamePixels(bitmap, *NoticeOver(before, "DataSize: 0  FourCC: MJPG")));
}

// Replaces the end-of-image marker with a Huffman table segment whose counts are impossible:
// libjpeg raises only in jpeg_finish_decompress, after every row has been produced.
std::vector<std::uint8_t> WithErrorAfterTheLastRow(std::vector<std::uint8_t> jpeg) {
    jpeg.resize(jpeg.size() - 2);  // drop FF D9
    const std::uint8_t segment[] = {0xFF, 0xC4, 0x00, 0x13, 0x00};
    jpeg.insert(jpeg.end(), std::begin(segment), std::end(segment));
    jpeg.insert(jpeg.end(), 16, 0xFF);
    jpeg.push_back(0xFF);
    jpeg.push_back(0xD9);
    return jpeg;
}

TEST(ConversionJpeg, DecoderErrorAfterTheLastRowLeavesThePicture) {
    for (auto [width, height] : {std::pair{64, 48}, std::pair{32, 16}}) {
        TFrameConversion conversion;
        Bitmap bitmap, before;
        ASSERT_TRUE(bitmap.SetSize(64, 48));
        ASSERT_TRUE(before.SetSize(64, 48));
        Fill(bitmap, 0x33);
        ASSERT_TRUE(Convert(conversion, ColourJpeg(64, 48), bitmap));
        before.GetCanvas().Draw(0, 0, bitmap);
        const auto broken = WithErrorAfterTheLastRow(
            EncodeJpeg(PhotoLikeRgb(width, height, 9), width, height, 3, JCS_RGB));
        EXPECT_TRUE(Convert(conversion, broken, bitmap));
        const std::string line = "DataSize: " + std::to_string(broken.size()) + "  FourCC: MJPG";
        EXPECT_TRUE(SamePixels(bitmap, *NoticeOver(before, line))) << width << "x" << height;
        // The object recovers: the next good frame decodes.
        const auto good = ColourJpeg(64, 48);
        ASSERT_TRUE(Convert(conversion, good, bitmap));
        int w = 0, h = 0;
        const auto picture = ReferenceDecodeBgr(good, w, h);
        ExpectPicture(bitmap, picture, w, 48, 64);
    }
}

TEST(ConversionJpeg, BitmapWithoutPixelsTakesNothing) {
    for (auto [width, height] : {std::pair{0, 5}, std::pair{5, 0}}) {
        TFrameConversion conversion;
        Bitmap bitmap;
        ASSERT_TRUE(bitmap.SetSize(width, height));
        EXPECT_TRUE(Convert(conversion, ColourJpeg(8, 8), bitmap));
        const auto grey = EncodeJpeg(std::vector<std::uint8_t>(64, 90), 8, 8, 1, JCS_GRAYSCALE);
        EXPECT_TRUE(Convert(conversion, grey, bitmap));
    }
}

TEST(ConversionJpeg, GreyFrameIsDrawnGrey) {
    const int width = 48, height = 32;
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            grey[static_cast<std::size_t>(y * width + x)] = static_cast<std::uint8_t>(x * 5 + y);
    }
    const auto jpeg = EncodeJpeg(grey, width, height, 1, JCS_GRAYSCALE, {95, 1, 1, false});
    TFrameConversion conversion;
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(width, height));
    Fill(bitmap, 0);
    ASSERT_TRUE(Convert(conversion, jpeg, bitmap));
    int farOff = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = bitmap.ScanLine(y) + x * 3;
            ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << y << "," << x;
            // 236 levels with dithering, after a quality-95 round trip: close to the source.
            if (std::abs(p[0] - grey[static_cast<std::size_t>(y * width + x)]) > 6) ++farOff;
        }
    }
    EXPECT_LT(farOff, width * height / 50);
}

TEST(ConversionJpeg, FourComponentFrameGetsTheNotice) {
    const int width = 16, height = 16;
    std::vector<std::uint8_t> cmyk(static_cast<std::size_t>(width) * height * 4, 100);
    const auto jpeg = EncodeJpeg(cmyk, width, height, 4, JCS_CMYK);
    TFrameConversion conversion;
    Bitmap bitmap, before;
    ASSERT_TRUE(bitmap.SetSize(160, 40));
    ASSERT_TRUE(before.SetSize(160, 40));
    Fill(bitmap, 0x77);
    Fill(before, 0x77);
    EXPECT_TRUE(Convert(conversion, jpeg, bitmap));
    const std::string line = "DataSize: " + std::to_string(jpeg.size()) + "  FourCC: MJPG";
    EXPECT_TRUE(SamePixels(bitmap, *NoticeOver(before, line)));
}

// Sets the frame size in the start-of-frame segment.
std::vector<std::uint8_t> WithClaimedSize(std::vector<std::uint8_t> jpeg, int width, int height) {
    for (std::size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<std::uint8_t>(height);
            jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<std::uint8_t>(width);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no start-of-frame segment";
    return jpeg;
}

TEST(ConversionJpeg, OversizedHeadersGetTheNoticeBeforeDecoding) {
    const auto jpeg = ColourJpeg(16, 16);
    TFrameConversion conversion;
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(300, 40));
    for (auto [width, height] : {std::pair{16385, 8}, std::pair{8, 16385}, std::pair{10000, 6401},
                                 std::pair{65535, 65535}}) {
        Fill(bitmap, 0x11);
        Bitmap before;
        before.SetSize(300, 40);
        Fill(before, 0x11);
        const auto claimed = WithClaimedSize(jpeg, width, height);
        EXPECT_TRUE(Convert(conversion, claimed, bitmap));
        const std::string line = "DataSize: " + std::to_string(claimed.size()) + "  FourCC: MJPG";
        EXPECT_TRUE(SamePixels(bitmap, *NoticeOver(before, line))) << width << "x" << height;
    }
    // At the limit the frame is decoded (its missing data come out as grey): the picture
    // reaches the bitmap's right edge, which the notice would not.
    Fill(bitmap, 0x11);
    EXPECT_TRUE(Convert(conversion, WithClaimedSize(jpeg, 16384, 16), bitmap));
    EXPECT_NE(bitmap.ScanLine(0)[299 * 3], 0x11);
    EXPECT_EQ(bitmap.ScanLine(39)[299 * 3], 0x11);
}

TEST(ConversionJpeg, PixelLimitCanBeLowered) {
    const auto jpeg = ColourJpeg(64, 64);
    TFrameConversion conversion;
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(64, 64));
    Fill(bitmap, 0x22);
    conversion.SetJpegPixelLimit(64 * 63);
    ASSERT_TRUE(Convert(conversion, jpeg, bitmap));
    EXPECT_EQ(bitmap.ScanLine(63)[191], 0x22);  // notice at the top, picture not drawn
    conversion.SetJpegPixelLimit(64 * 64);
    ASSERT_TRUE(Convert(conversion, jpeg, bitmap));
    EXPECT_NE(bitmap.ScanLine(63)[191], 0x22);
}

}  // namespace
