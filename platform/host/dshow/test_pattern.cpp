#include "platform/host/dshow/test_pattern.h"

#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace host::dshow {
namespace {

struct Yuv {
    BYTE y, u, v;
};

// BT.601, studio range.
Yuv ToYuv(const BYTE bgr[3]) {
    int b = bgr[0], g = bgr[1], r = bgr[2];
    int y = ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16;
    int u = ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128;
    int v = ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128;
    return {static_cast<BYTE>(std::clamp(y, 0, 255)), static_cast<BYTE>(std::clamp(u, 0, 255)),
            static_cast<BYTE>(std::clamp(v, 0, 255))};
}

Yuv PixelYuv(int x, int y, const DeviceConfig& format, std::uint32_t frame) {
    BYTE bgr[3];
    TestPatternPixel(x, y, format.width, format.height, frame, bgr);
    return ToYuv(bgr);
}

bool Is(DWORD compression, char a, char b, char c, char d) {
    return compression == MakeFourCC(a, b, c, d);
}

void PaintRgb(BYTE* data, std::size_t size, const DeviceConfig& format, std::uint32_t frame) {
    std::size_t bytes = format.bitCount / 8u;
    if (bytes < 3) return;
    std::size_t stride = ((static_cast<std::size_t>(format.width) * format.bitCount + 31) / 32) * 4;
    for (int row = 0; row < format.height; ++row) {
        // Bottom-up unless the device says top-down: the last row in memory is the top.
        int y = format.topDown ? row : format.height - 1 - row;
        std::size_t offset = static_cast<std::size_t>(row) * stride;
        for (int x = 0; x < format.width; ++x) {
            std::size_t at = offset + static_cast<std::size_t>(x) * bytes;
            if (at + bytes > size) return;
            TestPatternPixel(x, y, format.width, format.height, frame, data + at);
        }
    }
}

// Byte positions of Y0, U, Y1, V within each 4-byte pair of pixels.
bool Packed422Order(DWORD compression, int order[4]) {
    if (Is(compression, 'Y', 'U', 'Y', '2') || Is(compression, 'Y', 'U', 'Y', 'V') ||
        Is(compression, 'Y', 'U', 'N', 'V')) {
        order[0] = 0, order[1] = 1, order[2] = 2, order[3] = 3;
    } else if (Is(compression, 'U', 'Y', 'V', 'Y') || Is(compression, 'H', 'D', 'Y', 'C')) {
        order[0] = 1, order[1] = 0, order[2] = 3, order[3] = 2;
    } else if (Is(compression, 'Y', 'V', 'Y', 'U')) {
        order[0] = 0, order[1] = 3, order[2] = 2, order[3] = 1;
    } else {
        return false;
    }
    return true;
}

void PaintPacked422(BYTE* data, std::size_t size, const DeviceConfig& format, std::uint32_t frame,
                    const int order[4]) {
    std::size_t at = 0;
    for (int y = 0; y < format.height; ++y) {
        for (int x = 0; x + 1 < format.width; x += 2) {
            if (at + 4 > size) return;
            Yuv left = PixelYuv(x, y, format, frame);
            Yuv right = PixelYuv(x + 1, y, format, frame);
            data[at + order[0]] = left.y;
            data[at + order[1]] = static_cast<BYTE>((left.u + right.u + 1) / 2);
            data[at + order[2]] = right.y;
            data[at + order[3]] = static_cast<BYTE>((left.v + right.v + 1) / 2);
            at += 4;
        }
    }
}

void PaintPlanar420(BYTE* data, std::size_t size, const DeviceConfig& format, std::uint32_t frame) {
    std::size_t width = static_cast<std::size_t>(format.width);
    std::size_t height = static_cast<std::size_t>(format.height);
    std::size_t lumaSize = width * height;
    std::size_t chromaSize = lumaSize / 4;
    if (size < lumaSize + 2 * chromaSize) return;
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            data[y * width + x] =
                PixelYuv(static_cast<int>(x), static_cast<int>(y), format, frame).y;
        }
    }
    bool nv12 = Is(format.compression, 'N', 'V', '1', '2');
    bool vFirst = Is(format.compression, 'Y', 'V', '1', '2');
    BYTE* first = data + lumaSize;
    BYTE* second = first + chromaSize;
    std::size_t chromaWidth = width / 2;
    for (std::size_t k = 0; k < height / 2; ++k) {
        for (std::size_t j = 0; j < chromaWidth; ++j) {
            Yuv c = PixelYuv(static_cast<int>(2 * j), static_cast<int>(2 * k), format, frame);
            std::size_t at = k * chromaWidth + j;
            if (nv12) {
                first[2 * at] = c.u;
                first[2 * at + 1] = c.v;
            } else {
                first[at] = vFirst ? c.v : c.u;
                second[at] = vFirst ? c.u : c.v;
            }
        }
    }
}

void PaintGrey(BYTE* data, std::size_t size, const DeviceConfig& format, std::uint32_t frame) {
    std::size_t at = 0;
    for (int y = 0; y < format.height; ++y) {
        for (int x = 0; x < format.width; ++x, ++at) {
            if (at >= size) return;
            data[at] = PixelYuv(x, y, format, frame).y;
        }
    }
}

void PaintJpeg(BYTE* data, std::size_t size, const DeviceConfig& format, std::uint32_t frame) {
    std::vector<BYTE> row(static_cast<std::size_t>(format.width) * 3);
    jpeg_compress_struct compressor{};
    jpeg_error_mgr errors{};
    compressor.err = jpeg_std_error(&errors);
    jpeg_create_compress(&compressor);
    unsigned char* encoded = nullptr;
    unsigned long encodedSize = 0;
    jpeg_mem_dest(&compressor, &encoded, &encodedSize);
    compressor.image_width = static_cast<JDIMENSION>(format.width);
    compressor.image_height = static_cast<JDIMENSION>(format.height);
    compressor.input_components = 3;
    compressor.in_color_space = JCS_RGB;
    jpeg_set_defaults(&compressor);
    jpeg_set_quality(&compressor, 80, TRUE);
    jpeg_start_compress(&compressor, TRUE);
    for (int y = 0; y < format.height; ++y) {
        for (int x = 0; x < format.width; ++x) {
            BYTE bgr[3];
            TestPatternPixel(x, y, format.width, format.height, frame, bgr);
            row[static_cast<std::size_t>(x) * 3] = bgr[2];
            row[static_cast<std::size_t>(x) * 3 + 1] = bgr[1];
            row[static_cast<std::size_t>(x) * 3 + 2] = bgr[0];
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&compressor, rows, 1);
    }
    jpeg_finish_compress(&compressor);
    jpeg_destroy_compress(&compressor);
    // A sample buffer too small for the picture carries what fits, as a real device would.
    std::memcpy(data, encoded, std::min<std::size_t>(size, encodedSize));
    std::free(encoded);
}

}  // namespace

void TestPatternPixel(int x, int y, int width, int height, std::uint32_t frame, BYTE bgr[3]) {
    // White, yellow, cyan, green, magenta, red, blue, black; as B, G, R.
    static const BYTE bars[8][3] = {{235, 235, 235}, {16, 235, 235}, {235, 235, 16}, {16, 235, 16},
                                    {235, 16, 235},  {16, 16, 235},  {235, 16, 16},  {16, 16, 16}};
    int bar = width > 0 ? std::clamp(x * 8 / width, 0, 7) : 0;
    std::memcpy(bgr, bars[bar], 3);
    // A grey block runs across the lower third, one block width per 32 frames.
    int block = std::max(8, width / 16);
    int blockX = width > 0 ? static_cast<int>((frame * static_cast<std::uint32_t>(block) / 32) %
                                              static_cast<std::uint32_t>(width))
                           : 0;
    if (y >= height * 2 / 3 && y < height * 2 / 3 + block && x >= blockX && x < blockX + block) {
        bgr[0] = bgr[1] = bgr[2] = 128;
    }
}

void PaintTestPattern(BYTE* data, std::size_t size, const DeviceConfig& format,
                      std::uint32_t frame) {
    if (size == 0) return;
    std::memset(data, 0, size);
    if (format.width <= 0 || format.height <= 0) return;
    int order[4];
    if (format.compression == BI_RGB) {
        PaintRgb(data, size, format, frame);
    } else if (Packed422Order(format.compression, order)) {
        PaintPacked422(data, size, format, frame, order);
    } else if (Is(format.compression, 'I', '4', '2', '0') ||
               Is(format.compression, 'I', 'Y', 'U', 'V') ||
               Is(format.compression, 'Y', 'V', '1', '2') ||
               Is(format.compression, 'N', 'V', '1', '2')) {
        PaintPlanar420(data, size, format, frame);
    } else if (Is(format.compression, 'Y', '8', '0', '0') ||
               Is(format.compression, 'G', 'R', 'E', 'Y')) {
        PaintGrey(data, size, format, frame);
    } else if (Is(format.compression, 'M', 'J', 'P', 'G')) {
        PaintJpeg(data, size, format, frame);
    } else {
        // A layout nobody here knows: a byte ramp that moves with the frame.
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<BYTE>(i + frame);
    }
}

}  // namespace host::dshow
