// The camera doubles' moving picture: every layout against the picture's own pixels, the
// layouts against each other, the motion of the block and the JPEG frames.
#include <gtest/gtest.h>

#include <jpeglib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/camera_picture/camera_picture.h"
#include "platform/camera_picture/jpeg_encoder.h"
#include "platform/four_cc.h"

namespace {

std::vector<std::uint8_t> Frame(PictureLayout layout, int width, int height,
                                std::uint64_t frame = 0, bool topDown = false) {
    CameraPicture picture({width, height, layout, topDown});
    std::vector<std::uint8_t> bytes(picture.FrameSize(), 0xEE);
    EXPECT_EQ(picture.Draw(frame, bytes.data(), bytes.size()), bytes.size());
    return bytes;
}

std::vector<std::uint8_t> PixelBgr(int width, int height, std::uint64_t frame, int x, int y) {
    std::vector<std::uint8_t> bgr(3);
    CameraPicture::Pixel(width, height, frame, x, y, bgr.data());
    return bgr;
}

TEST(CameraPicture, RgbRowsArePaddedAndFollowTheOrientation) {
    // 5 pixels of 3 bytes: 15 bytes a row, padded to 16.
    const int width = 5, height = 8;
    const std::uint64_t frame = 3;  // the block is in the band, off the left edge
    const auto bottomUp = Frame(PictureLayout::Rgb24, width, height, frame);
    const auto topDown = Frame(PictureLayout::Rgb24, width, height, frame, true);
    ASSERT_EQ(bottomUp.size(), 16u * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto expected = PixelBgr(width, height, frame, x, y);
            const std::size_t up = static_cast<std::size_t>(height - 1 - y) * 16 + x * 3;
            const std::size_t down = static_cast<std::size_t>(y) * 16 + x * 3;
            EXPECT_EQ(std::vector<std::uint8_t>(bottomUp.begin() + up, bottomUp.begin() + up + 3),
                      expected);
            EXPECT_EQ(std::vector<std::uint8_t>(topDown.begin() + down, topDown.begin() + down + 3),
                      expected);
        }
        EXPECT_EQ(bottomUp[static_cast<std::size_t>(y) * 16 + 15], 0) << "padding of row " << y;
    }
    // 32 bits a pixel: B, G, R and a zero byte, no padding.
    const auto rgb32 = Frame(PictureLayout::Rgb32, width, height, frame, true);
    ASSERT_EQ(rgb32.size(), 20u * height);
    EXPECT_EQ(std::vector<std::uint8_t>(rgb32.begin() + 4, rgb32.begin() + 7),
              PixelBgr(width, height, frame, 1, 0));
    EXPECT_EQ(rgb32[7], 0);
}

TEST(CameraPicture, YuvLayoutsAreTheSameSamplesInTheirOwnOrder) {
    const int width = 64, height = 32;
    const std::uint64_t frame = 2;
    const auto yuy2 = Frame(PictureLayout::Yuy2, width, height, frame);
    const auto uyvy = Frame(PictureLayout::Uyvy, width, height, frame);
    const auto yvyu = Frame(PictureLayout::Yvyu, width, height, frame);
    ASSERT_EQ(yuy2.size(), 64u * 32u * 2u);
    for (std::size_t i = 0; i < yuy2.size(); i += 4) {
        ASSERT_EQ(uyvy[i], yuy2[i + 1]);
        ASSERT_EQ(uyvy[i + 1], yuy2[i]);
        ASSERT_EQ(uyvy[i + 3], yuy2[i + 2]);
        ASSERT_EQ(yvyu[i + 1], yuy2[i + 3]);
        ASSERT_EQ(yvyu[i + 3], yuy2[i + 1]);
    }
    // White at the left: Y 218, neutral chroma; blue (x 52) has U above V.
    EXPECT_EQ(yuy2[0], 218);
    EXPECT_EQ(yuy2[1], 128);
    EXPECT_GT(yuy2[52 * 2 + 1], 200);
    EXPECT_LT(yuy2[52 * 2 + 3], 128);

    const auto i420 = Frame(PictureLayout::I420, width, height, frame);
    const auto yv12 = Frame(PictureLayout::Yv12, width, height, frame);
    const auto nv12 = Frame(PictureLayout::Nv12, width, height, frame);
    const auto grey = Frame(PictureLayout::Grey, width, height, frame);
    const std::size_t luma = 64 * 32, chroma = luma / 4;
    ASSERT_EQ(i420.size(), luma + 2 * chroma);
    ASSERT_EQ(grey.size(), luma);
    for (std::size_t i = 0; i < luma; ++i) {
        ASSERT_EQ(yv12[i], i420[i]);
        ASSERT_EQ(nv12[i], i420[i]);
        ASSERT_EQ(grey[i], i420[i]);
    }
    for (std::size_t i = 0; i < chroma; ++i) {
        ASSERT_EQ(yv12[luma + i], i420[luma + chroma + i]);  // V first
        ASSERT_EQ(yv12[luma + chroma + i], i420[luma + i]);
        ASSERT_EQ(nv12[luma + 2 * i], i420[luma + i]);  // U, V interleaved
        ASSERT_EQ(nv12[luma + 2 * i + 1], i420[luma + chroma + i]);
    }
    // The packed luma is the planar luma.
    for (int x = 0; x < width; ++x) ASSERT_EQ(yuy2[static_cast<std::size_t>(x) * 2], i420[x]);
}

TEST(CameraPicture, ABufferTooSmallGetsNothing) {
    for (PictureLayout layout :
         {PictureLayout::Rgb24, PictureLayout::Yuy2, PictureLayout::I420, PictureLayout::Mjpg}) {
        CameraPicture picture({16, 8, layout, false});
        std::vector<std::uint8_t> bytes(
            layout == PictureLayout::Mjpg ? 100 : picture.FrameSize() - 1, 0xEE);
        EXPECT_EQ(picture.Draw(0, bytes.data(), bytes.size()), 0u);
        EXPECT_EQ(bytes, std::vector<std::uint8_t>(bytes.size(), 0xEE));
    }
    CameraPicture empty({0, 8, PictureLayout::Rgb24, false});
    std::uint8_t byte = 0xEE;
    EXPECT_EQ(empty.FrameSize(), 0u);
    EXPECT_EQ(empty.Draw(0, &byte, 1), 0u);
    EXPECT_TRUE(empty.Jpeg(0).empty());
}

TEST(CameraPicture, TheBlockMovesRightAndLeavesBeforeItComesBack) {
    const int width = 64, height = 32;  // an 8-pixel block on a track of 72
    const std::vector<std::uint8_t> grey(3, 128);
    const int band = height / 2;
    EXPECT_EQ(PixelBgr(width, height, 0, 0, band), grey);
    EXPECT_EQ(PixelBgr(width, height, 0, 8, band), PixelBgr(width, height, 0, 8, 0));
    EXPECT_EQ(PixelBgr(width, height, 1, 8, band), grey);
    EXPECT_NE(PixelBgr(width, height, 1, 7, band), grey);
    // Frame 8 starts at x 64: gone, the band shows the bars; frame 9 is back at the left.
    for (int x = 0; x < width; ++x) {
        EXPECT_EQ(PixelBgr(width, height, 8, x, band), PixelBgr(width, height, 8, x, 0));
    }
    EXPECT_EQ(PixelBgr(width, height, 9, 0, band), grey);
    // Outside the band only the bars: white at the left, cyan at 5/16, black at the right.
    EXPECT_EQ(PixelBgr(width, height, 0, 0, 0), std::vector<std::uint8_t>(3, 235));
    EXPECT_EQ(PixelBgr(width, height, 0, 20, 0), (std::vector<std::uint8_t>{235, 235, 16}));
    EXPECT_EQ(PixelBgr(width, height, 0, 63, height - 1), std::vector<std::uint8_t>(3, 16));
}

TEST(CameraPicture, JpegFramesDecodeToThePicture) {
    const int width = 64, height = 32;
    CameraPicture picture({width, height, PictureLayout::Mjpg, false});
    const auto jpeg = picture.Jpeg(0);
    ASSERT_GT(jpeg.size(), 4u);
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    ASSERT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    std::vector<std::uint8_t> decoded(static_cast<std::size_t>(width) * height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = decoded.data() + static_cast<std::size_t>(info.output_scanline) * width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    // Bar centres and the block's centre, away from the edges that the compression blurs.
    for (int x : {4, 12, 20, 28, 36, 44, 52, 60}) {
        for (int y : {2, height / 2}) {
            const auto expected = PixelBgr(width, height, 0, x, y);
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(decoded[(static_cast<std::size_t>(y) * width + x) * 3 + c], expected[c],
                            12)
                    << "x " << x << " y " << y;
            }
        }
    }
    std::vector<std::uint8_t> target(jpeg.size());
    EXPECT_EQ(picture.Draw(0, target.data(), target.size()), jpeg.size());
    EXPECT_EQ(target, jpeg);
    EXPECT_NE(picture.Jpeg(1), jpeg);
}

TEST(CameraPicture, CompressionCodesNameTheirLayouts) {
    EXPECT_EQ(PictureLayoutOf(0, 24), PictureLayout::Rgb24);
    EXPECT_EQ(PictureLayoutOf(0, 32), PictureLayout::Rgb32);
    EXPECT_EQ(PictureLayoutOf(0, 16), std::nullopt);
    EXPECT_EQ(PictureLayoutOf(MakeFourCC('Y', 'U', 'N', 'V'), 16), PictureLayout::Yuy2);
    EXPECT_EQ(PictureLayoutOf(MakeFourCC('Y', 'U', 'Y', 'V'), 16), PictureLayout::Yuy2);
    EXPECT_EQ(PictureLayoutOf(MakeFourCC('I', 'Y', 'U', 'V'), 12), PictureLayout::I420);
    EXPECT_EQ(PictureLayoutOf(MakeFourCC('Y', 'V', '1', '2'), 12), PictureLayout::Yv12);
    EXPECT_EQ(PictureLayoutOf(MakeFourCC('M', 'J', 'P', 'G'), 24), PictureLayout::Mjpg);
    EXPECT_EQ(PictureLayoutOf(MakeFourCC('H', '2', '6', '4'), 24), std::nullopt);
}

TEST(JpegEncoder, EveryInputAndRefusedSettings) {
    const std::vector<std::uint8_t> pixels(8 * 8 * 4, 100);
    for (JpegInput input : {JpegInput::Bgr, JpegInput::Rgb, JpegInput::Grey, JpegInput::Cmyk}) {
        const auto jpeg = EncodeJpeg(pixels.data(), 8, 8, input);
        ASSERT_GT(jpeg.size(), 2u);
        EXPECT_EQ(jpeg[0], 0xFF);
        EXPECT_EQ(jpeg[1], 0xD8);
    }
    // libjpeg refuses a sampling factor above 4 and an empty picture: no bytes, no exit.
    JpegSettings refused;
    refused.lumaHorizontal = 5;
    EXPECT_TRUE(EncodeJpeg(pixels.data(), 8, 8, JpegInput::Rgb, refused).empty());
    EXPECT_TRUE(EncodeJpeg(pixels.data(), 0, 8, JpegInput::Rgb).empty());
}

}  // namespace
