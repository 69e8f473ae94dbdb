#pragma once

// Thirty-two pixels' B, G, R values, 16-bit lanes in pixel order, stored as 96 bytes of 24-bit
// pixels with AVX-512 BW and VBMI: two saturating packs (the clamp to 0..255) and two two-table
// byte permutes. Included only by the translation units that are compiled for AVX-512, before
// anything else, as it also sets their diagnostics.

// GCC 12 reports the deliberately undefined source operand of its own AVX-512 intrinsics as
// uninitialised once they are inlined; the warnings point into the intrinsics' headers, so they
// are turned off before those are included.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#include <immintrin.h>

#include <cstdint>

#define CAMZOOM_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,avx2,sse4.1")))

namespace bgr_pixels_avx512 {

// Byte n of the 96 written for 32 pixels is channel n % 3 of pixel p = n / 3. After the packs,
// 128-bit lane j of `bg` holds B then G of pixels 8j..8j+7 and lane j of `rr` R of them (twice);
// bit 6 of an index selects `rr`.
constexpr char PixelByteIndex(int n) {
    const int p = n / 3;
    const int channel = n % 3;
    const int at = 16 * (p / 8) + p % 8;
    return static_cast<char>(channel == 0 ? at : channel == 1 ? at + 8 : 64 + at);
}

template <int First>
CAMZOOM_AVX512 inline __m512i PixelOrder() {
    return _mm512_set_epi8(
        PixelByteIndex(First + 63), PixelByteIndex(First + 62), PixelByteIndex(First + 61),
        PixelByteIndex(First + 60), PixelByteIndex(First + 59), PixelByteIndex(First + 58),
        PixelByteIndex(First + 57), PixelByteIndex(First + 56), PixelByteIndex(First + 55),
        PixelByteIndex(First + 54), PixelByteIndex(First + 53), PixelByteIndex(First + 52),
        PixelByteIndex(First + 51), PixelByteIndex(First + 50), PixelByteIndex(First + 49),
        PixelByteIndex(First + 48), PixelByteIndex(First + 47), PixelByteIndex(First + 46),
        PixelByteIndex(First + 45), PixelByteIndex(First + 44), PixelByteIndex(First + 43),
        PixelByteIndex(First + 42), PixelByteIndex(First + 41), PixelByteIndex(First + 40),
        PixelByteIndex(First + 39), PixelByteIndex(First + 38), PixelByteIndex(First + 37),
        PixelByteIndex(First + 36), PixelByteIndex(First + 35), PixelByteIndex(First + 34),
        PixelByteIndex(First + 33), PixelByteIndex(First + 32), PixelByteIndex(First + 31),
        PixelByteIndex(First + 30), PixelByteIndex(First + 29), PixelByteIndex(First + 28),
        PixelByteIndex(First + 27), PixelByteIndex(First + 26), PixelByteIndex(First + 25),
        PixelByteIndex(First + 24), PixelByteIndex(First + 23), PixelByteIndex(First + 22),
        PixelByteIndex(First + 21), PixelByteIndex(First + 20), PixelByteIndex(First + 19),
        PixelByteIndex(First + 18), PixelByteIndex(First + 17), PixelByteIndex(First + 16),
        PixelByteIndex(First + 15), PixelByteIndex(First + 14), PixelByteIndex(First + 13),
        PixelByteIndex(First + 12), PixelByteIndex(First + 11), PixelByteIndex(First + 10),
        PixelByteIndex(First + 9), PixelByteIndex(First + 8), PixelByteIndex(First + 7),
        PixelByteIndex(First + 6), PixelByteIndex(First + 5), PixelByteIndex(First + 4),
        PixelByteIndex(First + 3), PixelByteIndex(First + 2), PixelByteIndex(First + 1),
        PixelByteIndex(First));
}

// Clamps each lane to 0..255 and writes exactly the 96 bytes of the 32 pixels.
CAMZOOM_AVX512 inline void StoreBgrPixels(__m512i blue, __m512i green, __m512i red,
                                          std::uint8_t* target) {
    const __m512i bg = _mm512_packus_epi16(blue, green);
    const __m512i rr = _mm512_packus_epi16(red, red);
    _mm512_storeu_si512(target, _mm512_permutex2var_epi8(bg, PixelOrder<0>(), rr));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + 64),
                        _mm512_castsi512_si256(_mm512_permutex2var_epi8(bg, PixelOrder<64>(), rr)));
}

}  // namespace bgr_pixels_avx512
