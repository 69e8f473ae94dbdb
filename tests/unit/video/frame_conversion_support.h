#pragma once

// Helpers of the frame conversion tests: JPEG frames encoded at test time (with the camera
// doubles' encoder), reference decodes with libjpeg itself, photo-like pictures and bitmap
// comparisons.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "platform/bitmap.h"
#include "platform/camera_picture/jpeg_encoder.h"

namespace conversion_test {

struct JpegOptions {
    int quality = 85;
    int hSampling = 2;  // of the luma component: 2x1 is 4:2:2, 2x2 is 4:2:0
    int vSampling = 1;
    bool progressive = false;
};

// Encodes `pixels` (components bytes per pixel, rows top first) in `space`: JCS_RGB,
// JCS_EXT_BGR, JCS_GRAYSCALE or JCS_CMYK.
inline std::vector<std::uint8_t> EncodeJpeg(const std::vector<std::uint8_t>& pixels, int width,
                                            int height, int components, J_COLOR_SPACE space,
                                            const JpegOptions& options = {}) {
    const JpegInput input = components == 1        ? JpegInput::Grey
                            : components == 4      ? JpegInput::Cmyk
                            : space == JCS_EXT_BGR ? JpegInput::Bgr
                                                   : JpegInput::Rgb;
    return ::EncodeJpeg(
        pixels.data(), width, height, input,
        {options.quality, options.hSampling, options.vSampling, options.progressive});
}

// Smooth gradients with fine noise: compresses like a camera picture. R, G, B per pixel.
inline std::vector<std::uint8_t> PhotoLikeRgb(int width, int height, unsigned seed = 1) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-6, 6);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
    auto clamp = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = clamp(x * 255 / (width > 1 ? width - 1 : 1) + noise(random));
            p[1] = clamp(y * 255 / (height > 1 ? height - 1 : 1) + noise(random));
            p[2] = clamp(((x / 16 + y / 16) % 2 ? 200 : 60) + noise(random));
        }
    }
    return pixels;
}

// The decompression settings of the conversion, written out here independently of it, for a
// colour frame read up to its header: B, G, R output.
inline void UseConversionSettings(jpeg_decompress_struct& info) {
    info.dct_method = JDCT_FLOAT;
    info.do_fancy_upsampling = TRUE;
    info.do_block_smoothing = TRUE;
    info.out_color_space = JCS_EXT_BGR;
}

// What libjpeg itself makes of a colour frame with the conversion's settings: B, G, R rows.
inline std::vector<std::uint8_t> ReferenceDecodeBgr(const std::vector<std::uint8_t>& jpeg,
                                                    int& width, int& height) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    UseConversionSettings(info);
    jpeg_start_decompress(&info);
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.data() + static_cast<std::size_t>(info.output_scanline) * width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return picture;
}

inline void Fill(Bitmap& bitmap, std::uint8_t value) {
    for (int r = 0; r < bitmap.Height(); ++r) {
        std::fill_n(bitmap.ScanLine(r), static_cast<std::size_t>(bitmap.Width()) * 3, value);
    }
}

// Visible bytes only: the row padding is no part of the picture.
inline bool SamePixels(const Bitmap& a, const Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int r = 0; r < a.Height(); ++r) {
        if (!std::equal(a.ScanLine(r), a.ScanLine(r) + static_cast<std::size_t>(a.Width()) * 3,
                        b.ScanLine(r))) {
            return false;
        }
    }
    return true;
}

// The notice as the canvas draws it, over a bitmap filled with `background`.
inline void DrawNotice(Bitmap& bitmap, const std::string& secondLine) {
    Canvas& canvas = bitmap.GetCanvas();
    canvas.TextOut(0, 0, "Unknown compression");
    canvas.TextOut(0, canvas.TextHeight("X"), secondLine);
}

}  // namespace conversion_test
