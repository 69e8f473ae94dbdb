#include "platform/camera_picture/camera_picture.h"

#include <cstring>

#include "platform/camera_picture/jpeg_encoder.h"
#include "platform/four_cc.h"

namespace {

// B, G, R of the bars, left to right.
constexpr std::uint8_t kBars[8][3] = {{235, 235, 235}, {16, 235, 235}, {235, 235, 16},
                                      {16, 235, 16},   {235, 16, 235}, {16, 16, 235},
                                      {235, 16, 16},   {16, 16, 16}};
constexpr std::uint8_t kBlockGrey = 128;
constexpr std::uint64_t kBlockStep = 8;  // pixels a frame

// BT.601, studio range; `p` is B, G, R.
std::uint8_t Luma(const std::uint8_t* p) {
    return static_cast<std::uint8_t>(((66 * p[2] + 129 * p[1] + 25 * p[0] + 128) >> 8) + 16);
}
std::uint8_t ChromaU(int b, int g, int r) {
    return static_cast<std::uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
}
std::uint8_t ChromaV(int b, int g, int r) {
    return static_cast<std::uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

bool InBand(int y, int height) { return y >= height * 3 / 8 && y < height * 5 / 8; }

const std::uint8_t* BarAt(int x, int width) {
    return kBars[static_cast<std::size_t>(x) * 8 / static_cast<std::size_t>(width)];
}

std::size_t RgbStride(int width, std::size_t bytesPerPixel) {
    return (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~std::size_t{3};
}

// Byte positions of Y0, U, Y1, V within each 4-byte pair of pixels.
struct PackedOrder {
    int y0, u, y1, v;
};

PackedOrder PackedOrderOf(PictureLayout layout) {
    switch (layout) {
        case PictureLayout::Uyvy:
            return {1, 0, 3, 2};
        case PictureLayout::Yvyu:
            return {0, 3, 2, 1};
        default:
            return {0, 1, 2, 3};
    }
}

}  // namespace

std::optional<PictureLayout> PictureLayoutOf(std::uint32_t compression, int bitCount) {
    if (compression == 0) {
        if (bitCount == 24) return PictureLayout::Rgb24;
        if (bitCount == 32) return PictureLayout::Rgb32;
        return std::nullopt;
    }
    struct Code {
        std::uint32_t compression;
        PictureLayout layout;
    };
    static constexpr Code kCodes[] = {
        {MakeFourCC('Y', 'U', 'Y', '2'), PictureLayout::Yuy2},
        {MakeFourCC('Y', 'U', 'Y', 'V'), PictureLayout::Yuy2},
        {MakeFourCC('Y', 'U', 'N', 'V'), PictureLayout::Yuy2},
        {MakeFourCC('U', 'Y', 'V', 'Y'), PictureLayout::Uyvy},
        {MakeFourCC('H', 'D', 'Y', 'C'), PictureLayout::Uyvy},
        {MakeFourCC('Y', 'V', 'Y', 'U'), PictureLayout::Yvyu},
        {MakeFourCC('I', '4', '2', '0'), PictureLayout::I420},
        {MakeFourCC('I', 'Y', 'U', 'V'), PictureLayout::I420},
        {MakeFourCC('Y', 'V', '1', '2'), PictureLayout::Yv12},
        {MakeFourCC('N', 'V', '1', '2'), PictureLayout::Nv12},
        {MakeFourCC('Y', '8', '0', '0'), PictureLayout::Grey},
        {MakeFourCC('G', 'R', 'E', 'Y'), PictureLayout::Grey},
        {MakeFourCC('M', 'J', 'P', 'G'), PictureLayout::Mjpg},
    };
    for (const Code& code : kCodes) {
        if (code.compression == compression) return code.layout;
    }
    return std::nullopt;
}

CameraPicture::CameraPicture(const PictureFormat& format) : format_(format) {
    if (format_.width > 0 && format_.height > 0) {
        bgr_.resize(static_cast<std::size_t>(format_.width) * format_.height * 3);
    }
}

void CameraPicture::Pixel(int width, int height, std::uint64_t frame, int x, int y,
                          std::uint8_t bgr[3]) {
    const int blockWidth = width / 8 > 0 ? width / 8 : 1;
    // The block slides off the right edge entirely before it comes back at the left.
    const std::uint64_t track = static_cast<std::uint64_t>(width) + blockWidth;
    const int blockLeft = static_cast<int>((frame * kBlockStep) % track);
    if (InBand(y, height) && x >= blockLeft && x < blockLeft + blockWidth) {
        bgr[0] = bgr[1] = bgr[2] = kBlockGrey;
        return;
    }
    std::memcpy(bgr, BarAt(x, width), 3);
}

std::size_t CameraPicture::FrameSize() const {
    if (bgr_.empty()) return 0;
    const std::size_t w = static_cast<std::size_t>(format_.width);
    const std::size_t h = static_cast<std::size_t>(format_.height);
    switch (format_.layout) {
        case PictureLayout::Rgb24:
            return RgbStride(format_.width, 3) * h;
        case PictureLayout::Rgb32:
            return RgbStride(format_.width, 4) * h;
        case PictureLayout::Yuy2:
        case PictureLayout::Uyvy:
        case PictureLayout::Yvyu:
            return w * 2 * h;
        case PictureLayout::I420:
        case PictureLayout::Yv12:
        case PictureLayout::Nv12:
            return w * h + 2 * ((w / 2) * (h / 2));
        case PictureLayout::Grey:
            return w * h;
        case PictureLayout::Mjpg:
            return 0;
    }
    return 0;
}

void CameraPicture::DrawBgr(std::uint64_t frame) {
    const int w = format_.width;
    const int h = format_.height;
    // Rows outside the block's band are all alike, and so are the rows inside it: draw one of
    // each and copy them.
    std::vector<std::uint8_t> plain(static_cast<std::size_t>(w) * 3);
    std::vector<std::uint8_t> band(static_cast<std::size_t>(w) * 3);
    for (int x = 0; x < w; ++x) {
        std::memcpy(&plain[static_cast<std::size_t>(x) * 3], BarAt(x, w), 3);
        Pixel(w, h, frame, x, h * 3 / 8, &band[static_cast<std::size_t>(x) * 3]);
    }
    for (int y = 0; y < h; ++y) {
        std::memcpy(&bgr_[static_cast<std::size_t>(y) * plain.size()],
                    InBand(y, h) ? band.data() : plain.data(), plain.size());
    }
    ApplyPictureEffects(effects_, bgr_.data(), w, h, scratch_);
}

void CameraPicture::WriteRgb(std::uint8_t* target, std::size_t bytesPerPixel) const {
    const std::size_t w = static_cast<std::size_t>(format_.width);
    const std::size_t h = static_cast<std::size_t>(format_.height);
    const std::size_t stride = RgbStride(format_.width, bytesPerPixel);
    std::memset(target, 0, stride * h);
    for (std::size_t y = 0; y < h; ++y) {
        // Bottom-up unless top-down: the picture's top row is the last one in memory.
        std::uint8_t* line = target + (format_.topDown ? y : h - 1 - y) * stride;
        const std::uint8_t* source = &bgr_[y * w * 3];
        for (std::size_t x = 0; x < w; ++x) {
            std::memcpy(line + x * bytesPerPixel, source + x * 3, 3);
        }
    }
}

void CameraPicture::WritePacked(std::uint8_t* target) const {
    const std::size_t w = static_cast<std::size_t>(format_.width);
    const std::size_t h = static_cast<std::size_t>(format_.height);
    const PackedOrder order = PackedOrderOf(format_.layout);
    std::memset(target, 0, w * 2 * h);
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* source = &bgr_[y * w * 3];
        std::uint8_t* out = target + y * w * 2;
        // An odd last pixel has no partner for its chroma and stays zero.
        for (std::size_t x = 0; x + 1 < w; x += 2, out += 4) {
            const std::uint8_t* a = source + x * 3;
            const std::uint8_t* b = a + 3;
            const int blue = (a[0] + b[0]) / 2, green = (a[1] + b[1]) / 2, red = (a[2] + b[2]) / 2;
            out[order.y0] = Luma(a);
            out[order.u] = ChromaU(blue, green, red);
            out[order.y1] = Luma(b);
            out[order.v] = ChromaV(blue, green, red);
        }
    }
}

void CameraPicture::WritePlanar(std::uint8_t* target) const {
    const std::size_t w = static_cast<std::size_t>(format_.width);
    const std::size_t h = static_cast<std::size_t>(format_.height);
    const std::size_t cw = w / 2;
    const std::size_t ch = h / 2;
    for (std::size_t i = 0; i < w * h; ++i) target[i] = Luma(&bgr_[i * 3]);
    std::uint8_t* first = target + w * h;
    std::uint8_t* second = first + cw * ch;
    for (std::size_t y = 0; y < ch; ++y) {
        for (std::size_t x = 0; x < cw; ++x) {
            // Each chroma sample stands for a 2x2 square of pixels: their mean colour.
            int sum[3] = {0, 0, 0};
            for (std::size_t dy = 0; dy < 2; ++dy) {
                for (std::size_t dx = 0; dx < 2; ++dx) {
                    const std::uint8_t* p = &bgr_[((2 * y + dy) * w + 2 * x + dx) * 3];
                    for (int c = 0; c < 3; ++c) sum[c] += p[c];
                }
            }
            const std::uint8_t u = ChromaU(sum[0] / 4, sum[1] / 4, sum[2] / 4);
            const std::uint8_t v = ChromaV(sum[0] / 4, sum[1] / 4, sum[2] / 4);
            const std::size_t at = y * cw + x;
            switch (format_.layout) {
                case PictureLayout::Nv12:
                    first[2 * at] = u;
                    first[2 * at + 1] = v;
                    break;
                case PictureLayout::Yv12:
                    first[at] = v;
                    second[at] = u;
                    break;
                default:
                    first[at] = u;
                    second[at] = v;
                    break;
            }
        }
    }
}

std::size_t CameraPicture::Draw(std::uint64_t frame, std::uint8_t* target, std::size_t capacity) {
    if (bgr_.empty()) return 0;
    if (format_.layout == PictureLayout::Mjpg) {
        const std::vector<std::uint8_t> jpeg = Jpeg(frame);
        if (jpeg.empty() || jpeg.size() > capacity) return 0;
        std::memcpy(target, jpeg.data(), jpeg.size());
        return jpeg.size();
    }
    const std::size_t size = FrameSize();
    if (capacity < size) return 0;
    DrawBgr(frame);
    switch (format_.layout) {
        case PictureLayout::Rgb24:
            WriteRgb(target, 3);
            break;
        case PictureLayout::Rgb32:
            WriteRgb(target, 4);
            break;
        case PictureLayout::Yuy2:
        case PictureLayout::Uyvy:
        case PictureLayout::Yvyu:
            WritePacked(target);
            break;
        case PictureLayout::Grey:
            for (std::size_t i = 0; i < size; ++i) target[i] = Luma(&bgr_[i * 3]);
            break;
        default:
            WritePlanar(target);
            break;
    }
    return size;
}

std::vector<std::uint8_t> CameraPicture::Jpeg(std::uint64_t frame) {
    if (bgr_.empty()) return {};
    DrawBgr(frame);
    return EncodeJpeg(bgr_.data(), format_.width, format_.height, JpegInput::Bgr);
}
