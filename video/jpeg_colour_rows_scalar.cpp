// libjpeg's fancy upsampling and YCbCr-to-RGB conversion, written out. Both filters weight the
// nearer chroma sample 3 and the farther 1: 4:2:2 across a row ((3 a + b + 1 or 2) / 4), 4:2:0
// across and down ((3 a + b) per column first, then (3 s + t + 8 or 7) / 16). The biases
// alternate between a picture's even and odd samples; at a row's ends the edge sample stands
// in for its missing neighbour. The colour formulas use 16 fraction bits, rounded, with the
// results clamped to 0..255.

#include <algorithm>

#include "video/jpeg_colour_rows.h"

namespace {

constexpr int kFractionBits = 16;
constexpr int kHalf = 1 << (kFractionBits - 1);
constexpr int kCrToRed = 91881;     // 1.40200
constexpr int kCbToBlue = 116130;   // 1.77200
constexpr int kCrToGreen = -46802;  // -0.71414
constexpr int kCbToGreen = -22554;  // -0.34414

inline std::uint8_t Clamp(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// The row's chroma samples before the horizontal filter: column sums for 4:2:0.
inline int Column(const std::uint8_t* nearRow, const std::uint8_t* farRow, int i) {
    return farRow ? 3 * nearRow[i] + farRow[i] : nearRow[i];
}

// Chroma of picture column x from the row's n samples.
inline int Upsampled(const std::uint8_t* nearRow, const std::uint8_t* farRow, int n, int x) {
    const int i = x / 2;
    const bool odd = x % 2 != 0;
    const int neighbour = odd ? std::min(i + 1, n - 1) : std::max(i - 1, 0);
    const int sum = 3 * Column(nearRow, farRow, i) + Column(nearRow, farRow, neighbour);
    if (farRow) return (sum + (odd ? 7 : 8)) >> 4;
    return (sum + (odd ? 2 : 1)) >> 2;
}

}  // namespace

void JpegColourRowScalar(const std::uint8_t* luma, const std::uint8_t* cbNear,
                         const std::uint8_t* cbFar, const std::uint8_t* crNear,
                         const std::uint8_t* crFar, int width, std::int16_t*,
                         std::uint8_t* target) {
    const int n = (width + 1) / 2;
    for (int x = 0; x < width; ++x, target += 3) {
        const int y = luma[x];
        const int cb = Upsampled(cbNear, cbFar, n, x) - 128;
        const int cr = Upsampled(crNear, crFar, n, x) - 128;
        target[0] = Clamp(y + ((kCbToBlue * cb + kHalf) >> kFractionBits));
        target[1] = Clamp(y + ((kCbToGreen * cb + kHalf + kCrToGreen * cr) >> kFractionBits));
        target[2] = Clamp(y + ((kCrToRed * cr + kHalf) >> kFractionBits));
    }
}
