#include "virtual_camera/test_pattern.h"

#include <cstring>

namespace vcam {
namespace {

constexpr uint8_t kBars[8][3] = {
    // B, G, R: white, yellow, cyan, green, magenta, red, blue, black
    {235, 235, 235}, {16, 235, 235}, {235, 235, 16}, {16, 235, 16},
    {235, 16, 235},  {16, 16, 235},  {235, 16, 16},  {16, 16, 16}};

uint8_t Luma(const uint8_t* p) {
    return static_cast<uint8_t>(((66 * p[2] + 129 * p[1] + 25 * p[0] + 128) >> 8) + 16);
}
uint8_t ChromaU(int b, int g, int r) {
    return static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
}
uint8_t ChromaV(int b, int g, int r) {
    return static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

}  // namespace

TestPattern::TestPattern(const VideoFormat& format)
    : format_(format), bgr_(static_cast<size_t>(format.width) * format.height * 3) {}

void TestPattern::PixelAt(int width, int height, uint64_t frame, int x, int y, uint8_t bgr[3]) {
    const int blockWidth = width / 8 > 0 ? width / 8 : 1;
    const int blockLeft = static_cast<int>((frame * 8) % static_cast<uint64_t>(width));
    const bool inBlock =
        y >= height * 3 / 8 && y < height * 5 / 8 && ((x - blockLeft + width) % width) < blockWidth;
    if (inBlock) {
        bgr[0] = bgr[1] = bgr[2] = 128;
        return;
    }
    std::memcpy(bgr, kBars[static_cast<size_t>(x) * 8 / static_cast<size_t>(width)], 3);
}

void TestPattern::RenderBgr(uint64_t frame) {
    const int w = format_.width;
    const int h = format_.height;
    // Rows outside the block's band are the same for every row: render one and copy it.
    std::vector<uint8_t> plain(static_cast<size_t>(w) * 3);
    std::vector<uint8_t> band(static_cast<size_t>(w) * 3);
    for (int x = 0; x < w; ++x) {
        PixelAt(w, h, frame, x, 0, &plain[static_cast<size_t>(x) * 3]);
        PixelAt(w, h, frame, x, h / 2, &band[static_cast<size_t>(x) * 3]);
    }
    for (int y = 0; y < h; ++y) {
        const bool inBand = y >= h * 3 / 8 && y < h * 5 / 8;
        std::memcpy(&bgr_[static_cast<size_t>(y) * w * 3], inBand ? band.data() : plain.data(),
                    plain.size());
    }
}

size_t TestPattern::WriteRgb24(uint8_t* target) const {
    const size_t w = static_cast<size_t>(format_.width);
    const size_t h = static_cast<size_t>(format_.height);
    const size_t stride = (w * 3 + 3) & ~size_t{3};
    for (size_t y = 0; y < h; ++y) {
        // Bottom-up unless the type says top-down (negative height).
        const size_t row = format_.topDown ? y : h - 1 - y;
        uint8_t* line = target + row * stride;
        std::memcpy(line, &bgr_[y * w * 3], w * 3);
        std::memset(line + w * 3, 0, stride - w * 3);
    }
    return stride * h;
}

size_t TestPattern::WriteYuy2(uint8_t* target) const {
    const size_t w = static_cast<size_t>(format_.width);
    const size_t h = static_cast<size_t>(format_.height);
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* src = &bgr_[y * w * 3];
        uint8_t* out = target + y * w * 2;
        for (size_t x = 0; x < w; x += 2) {
            const uint8_t* a = src + x * 3;
            const uint8_t* b = a + 3;
            out[0] = Luma(a);
            out[1] = ChromaU((a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2);
            out[2] = Luma(b);
            out[3] = ChromaV((a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2);
            out += 4;
        }
    }
    return w * h * 2;
}

size_t TestPattern::WritePlanar(uint8_t* target, bool vFirst) const {
    const size_t w = static_cast<size_t>(format_.width);
    const size_t h = static_cast<size_t>(format_.height);
    const size_t cw = w / 2;
    const size_t ch = h / 2;
    uint8_t* yPlane = target;
    uint8_t* first = target + w * h;
    uint8_t* second = first + cw * ch;
    uint8_t* uPlane = vFirst ? second : first;
    uint8_t* vPlane = vFirst ? first : second;
    for (size_t y = 0; y < h; ++y) {
        for (size_t x = 0; x < w; ++x) yPlane[y * w + x] = Luma(&bgr_[(y * w + x) * 3]);
    }
    for (size_t y = 0; y < ch; ++y) {
        for (size_t x = 0; x < cw; ++x) {
            int sum[3] = {0, 0, 0};
            for (size_t dy = 0; dy < 2; ++dy) {
                for (size_t dx = 0; dx < 2; ++dx) {
                    const uint8_t* p = &bgr_[((2 * y + dy) * w + 2 * x + dx) * 3];
                    for (int c = 0; c < 3; ++c) sum[c] += p[c];
                }
            }
            uPlane[y * cw + x] = ChromaU(sum[0] / 4, sum[1] / 4, sum[2] / 4);
            vPlane[y * cw + x] = ChromaV(sum[0] / 4, sum[1] / 4, sum[2] / 4);
        }
    }
    return w * h + 2 * cw * ch;
}

size_t TestPattern::Render(uint64_t frame, uint8_t* target, size_t capacity) {
    if (format_.format != PixelFormat::Mjpg &&
        capacity < FrameBufferSize(format_.format, format_.width, format_.height)) {
        return 0;
    }
    RenderBgr(frame);
    switch (format_.format) {
        case PixelFormat::Rgb24:
            return WriteRgb24(target);
        case PixelFormat::Yuy2:
            return WriteYuy2(target);
        case PixelFormat::I420:
            return WritePlanar(target, false);
        case PixelFormat::Yv12:
            return WritePlanar(target, true);
        case PixelFormat::Mjpg:
            return jpeg_.Encode(bgr_.data(), format_.width, format_.height, target, capacity);
    }
    return 0;
}

}  // namespace vcam
