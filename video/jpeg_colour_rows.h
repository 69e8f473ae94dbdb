#pragma once

#include <cstddef>
#include <cstdint>

// The last stage of a Motion-JPEG decode done by our own rows instead of libjpeg's: the chroma
// of a 4:2:2 or 4:2:0 frame upsampled with libjpeg's "fancy" (triangle) filter and the YCbCr
// samples turned into B, G, R bytes with libjpeg's integer formulas, in one pass per picture
// row, giving exactly libjpeg's bytes. libjpeg itself delivers the component rows (raw data
// output); see TJpegImage.
//
// One picture row of `width` pixels (at least 5; a chroma row then holds (width + 1) / 2 > 2
// samples, the narrowest rows that libjpeg filters):
// - `luma`: the row's `width` Y samples;
// - `cbNear`, `crNear`: the chroma row this picture row lies on;
// - `cbFar`, `crFar`: for 4:2:0 the chroma row next to it, above for an even picture row and
//   below for an odd one (the edge row itself at the picture's top and bottom); null for 4:2:2.
// Every input row must be readable up to kJpegRowReadAhead bytes beyond its samples. `work`
// holds JpegColourWorkSize(width) values; `target` receives exactly 3 * width bytes.
using TJpegColourRow = void (*)(const std::uint8_t* luma, const std::uint8_t* cbNear,
                                const std::uint8_t* cbFar, const std::uint8_t* crNear,
                                const std::uint8_t* crFar, int width, std::int16_t* work,
                                std::uint8_t* target);

inline constexpr int kJpegColourRowMinWidth = 5;
inline constexpr std::size_t kJpegRowReadAhead = 64;

inline std::size_t JpegColourWorkSize(int width) {
    return 2 * (static_cast<std::size_t>(width) / 2 + 64);
}

// The reference: libjpeg's formulas one sample at a time.
void JpegColourRowScalar(const std::uint8_t* luma, const std::uint8_t* cbNear,
                         const std::uint8_t* cbFar, const std::uint8_t* crNear,
                         const std::uint8_t* crFar, int width, std::int16_t* work,
                         std::uint8_t* target);
// AVX-512 BW and VBMI; callable only where the processor has them.
void JpegColourRowAvx512(const std::uint8_t* luma, const std::uint8_t* cbNear,
                         const std::uint8_t* cbFar, const std::uint8_t* crNear,
                         const std::uint8_t* crFar, int width, std::int16_t* work,
                         std::uint8_t* target);
