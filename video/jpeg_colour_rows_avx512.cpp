// AVX-512 form of the Motion-JPEG colour rows: 32 pixels per step in 16-bit lanes.
//
// Each chroma row is first laid out once as 16-bit values with its edge samples repeated at
// both ends (column sums for 4:2:0), so that every step reads its samples and their two
// neighbours with three overlapping loads, the row's ends included, and one word permute
// interleaves the even and the odd pixels. The colour formulas' 17-bit factors are split into a
// multiple of 65536 and a 16-bit rest, whose rounded product is the high word of the product
// plus the top bit of its low word; green's two products are summed in 32 bits by one
// multiply-add per eight pixels.

// First: it sets the diagnostics for the intrinsics it includes.
#include "video/bgr_pixels_avx512.h"

#include <cstring>

#include "video/jpeg_colour_rows.h"

namespace {

using bgr_pixels_avx512::StoreBgrPixels;

// 91881 = 65536 + 26345, 116130 = 2 * 65536 - 14942, -46802 = -65536 + 18734.
constexpr short kCrToRedRest = 26345;
constexpr short kCbToBlueRest = -14942;
constexpr short kCbToGreen = -22554;
constexpr short kCrToGreenRest = 18734;

// `work` from index 1 on receives the n samples (3 near + far for 4:2:0), index 0 and n + 1
// the edge samples again; 32 values are written per step, so up to 31 beyond the row's end.
template <bool ColumnSums>
CAMZOOM_AVX512 void LayOut(const std::uint8_t* nearRow, const std::uint8_t* farRow, int n,
                           std::int16_t* work) {
    for (int i = 0; i < n; i += 32) {
        __m512i value =
            _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(nearRow + i)));
        if constexpr (ColumnSums) {
            const __m512i far = _mm512_cvtepu8_epi16(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(farRow + i)));
            value = _mm512_add_epi16(_mm512_add_epi16(value, _mm512_add_epi16(value, value)), far);
        }
        _mm512_storeu_si512(work + 1 + i, value);
    }
    work[0] = work[1];
    work[n + 1] = work[n];
}

// The chroma of 32 pixels, less 128, from the laid-out row at chroma sample `first` (work
// index first + 1): pixel 2k is sample k weighted 3 with sample k - 1, pixel 2k + 1 with
// sample k + 1. The even and the odd pixels are worked out in sixteen lanes each, from three
// overlapping loads, and interleaved by one word permute; subtracting 128 before the arithmetic
// shift keeps the quotient exact.
CAMZOOM_AVX512 inline __m256i LoadSixteen(const std::int16_t* values) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values));
}

template <bool ColumnSums>
CAMZOOM_AVX512 inline __m512i Upsample(const std::int16_t* work, int first) {
    const __m256i before = LoadSixteen(work + first);
    const __m256i at = LoadSixteen(work + first + 1);
    const __m256i after = LoadSixteen(work + first + 2);
    const __m256i three = _mm256_add_epi16(at, _mm256_add_epi16(at, at));
    constexpr int kShift = ColumnSums ? 4 : 2;
    constexpr short kOffset = 128 << kShift;
    const __m256i even = _mm256_srai_epi16(
        _mm256_add_epi16(_mm256_add_epi16(three, before),
                         _mm256_set1_epi16(static_cast<short>((ColumnSums ? 8 : 1) - kOffset))),
        kShift);
    const __m256i odd = _mm256_srai_epi16(
        _mm256_add_epi16(_mm256_add_epi16(three, after),
                         _mm256_set1_epi16(static_cast<short>((ColumnSums ? 7 : 2) - kOffset))),
        kShift);
    const __m512i interleave =
        _mm512_set_epi16(47, 15, 46, 14, 45, 13, 44, 12, 43, 11, 42, 10, 41, 9, 40, 8, 39, 7, 38, 6,
                         37, 5, 36, 4, 35, 3, 34, 2, 33, 1, 32, 0);
    return _mm512_permutex2var_epi16(_mm512_castsi256_si512(even), interleave,
                                     _mm512_castsi256_si512(odd));
}

// (value * (65536 k + rest) + 32768) >> 16 for 16-bit lanes, as k * value plus the rounded
// high word of value * rest.
CAMZOOM_AVX512 inline __m512i RoundedRest(__m512i value, __m512i factor) {
    return _mm512_add_epi16(_mm512_mulhi_epi16(value, factor),
                            _mm512_srli_epi16(_mm512_mullo_epi16(value, factor), 15));
}

// (cb * -22554 + cr * 18734 + 32768) >> 16: in-lane interleaving, one multiply-add per half and
// the in-lane pack that undoes the interleaving. `factors` holds -22554 and 18734 in each pair of
// lanes, `half` 32768 in each 32-bit lane.
CAMZOOM_AVX512 inline __m512i GreenRest(__m512i cb, __m512i cr, __m512i factors, __m512i half) {
    const __m512i low = _mm512_srai_epi32(
        _mm512_add_epi32(_mm512_madd_epi16(_mm512_unpacklo_epi16(cb, cr), factors), half), 16);
    const __m512i high = _mm512_srai_epi32(
        _mm512_add_epi32(_mm512_madd_epi16(_mm512_unpackhi_epi16(cb, cr), factors), half), 16);
    return _mm512_packs_epi32(low, high);
}

template <bool ColumnSums>
CAMZOOM_AVX512 void Row(const std::uint8_t* luma, const std::uint8_t* cbNear,
                        const std::uint8_t* cbFar, const std::uint8_t* crNear,
                        const std::uint8_t* crFar, int width, std::int16_t* work,
                        std::uint8_t* target) {
    const int n = (width + 1) / 2;
    std::int16_t* const cbWork = work;
    std::int16_t* const crWork = work + JpegColourWorkSize(width) / 2;
    LayOut<ColumnSums>(cbNear, cbFar, n, cbWork);
    LayOut<ColumnSums>(crNear, crFar, n, crWork);
    // The constants are set once, outside the loop: GCC would broadcast them again in every step.
    const __m512i blueRest = _mm512_set1_epi16(kCbToBlueRest);
    const __m512i redRest = _mm512_set1_epi16(kCrToRedRest);
    const __m512i greenFactors = _mm512_set1_epi32(static_cast<int>(
        (static_cast<unsigned>(static_cast<unsigned short>(kCrToGreenRest)) << 16) |
        static_cast<unsigned short>(kCbToGreen)));
    const __m512i half = _mm512_set1_epi32(1 << 15);
    for (int x = 0; x < width; x += 32) {
        const __m512i y =
            _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma + x)));
        const __m512i cb = Upsample<ColumnSums>(cbWork, x / 2);
        const __m512i cr = Upsample<ColumnSums>(crWork, x / 2);
        const __m512i blue = _mm512_add_epi16(
            y, _mm512_add_epi16(_mm512_add_epi16(cb, cb), RoundedRest(cb, blueRest)));
        const __m512i green =
            _mm512_add_epi16(y, _mm512_sub_epi16(GreenRest(cb, cr, greenFactors, half), cr));
        const __m512i red = _mm512_add_epi16(y, _mm512_add_epi16(cr, RoundedRest(cr, redRest)));
        if (x + 32 <= width) {
            StoreBgrPixels(blue, green, red, target + 3 * x);
        } else {
            std::uint8_t last[96];
            StoreBgrPixels(blue, green, red, last);
            std::memcpy(target + 3 * x, last, 3 * static_cast<std::size_t>(width - x));
        }
    }
}

}  // namespace

CAMZOOM_AVX512 void JpegColourRowAvx512(const std::uint8_t* luma, const std::uint8_t* cbNear,
                                        const std::uint8_t* cbFar, const std::uint8_t* crNear,
                                        const std::uint8_t* crFar, int width, std::int16_t* work,
                                        std::uint8_t* target) {
    if (cbFar) {
        Row<true>(luma, cbNear, cbFar, crNear, crFar, width, work, target);
    } else {
        Row<false>(luma, cbNear, nullptr, crNear, nullptr, width, work, target);
    }
}
