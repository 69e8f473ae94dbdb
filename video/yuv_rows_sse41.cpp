// SSE4.1 YUV converters: four pixel pairs per step. The table entries are computed with their
// integer formulas in 32-bit lanes, so the bytes equal the table path's exactly; the clamp to
// 0..255 is the two saturating packs.

#include <immintrin.h>

#include <cstring>

#include "video/yuv_formulas.h"
#include "video/yuv_rows.h"

#define CAMZOOM_SSE41 __attribute__((target("sse4.1")))

namespace {

template <int Shift>
CAMZOOM_SSE41 inline __m128i Entry(__m128i index, std::int32_t multiplier, std::int32_t addend) {
    return _mm_srai_epi32(
        _mm_add_epi32(_mm_mullo_epi32(index, _mm_set1_epi32(multiplier)), _mm_set1_epi32(addend)),
        Shift);
}

#define CAMZOOM_ENTRY(index, formula) \
    Entry<(formula).shift>((index), (formula).multiplier, (formula).addend)

// Each byte is clamp(floor((L + C) / 256)) with L = floor((76309 Y + 125) / 256) and C the
// chroma sum, which equals clamp(floor((76309 Y + 125 + 256 C) / 65536)): one product per
// pixel, and per pair one term per channel, K = 256 C + 125, shared by both pixels.
static_assert(kLumaFormula.shift == 8, "the folded form divides by 256 twice");

struct Chroma {
    __m128i blue;
    __m128i green;
    __m128i red;
};

CAMZOOM_SSE41 inline __m128i Term(__m128i chroma) {
    return _mm_add_epi32(_mm_slli_epi32(chroma, 8), _mm_set1_epi32(kLumaFormula.addend));
}

CAMZOOM_SSE41 inline Chroma ChromaOf(__m128i u, __m128i v) {
    return {Term(CAMZOOM_ENTRY(u, kUBlueFormula)),
            Term(_mm_add_epi32(CAMZOOM_ENTRY(u, kUGreenFormula), CAMZOOM_ENTRY(v, kVGreenFormula))),
            Term(CAMZOOM_ENTRY(v, kVRedFormula))};
}

// Writes 24 bytes: four pairs of pixels (Y0 and Y1 of each pair share one chroma lane).
CAMZOOM_SSE41 inline void StorePairs(__m128i y0, __m128i y1, const Chroma& chroma,
                                     std::uint8_t* target) {
    const __m128i luma = _mm_set1_epi32(kLumaFormula.multiplier);
    const __m128i l0 = _mm_mullo_epi32(y0, luma);
    const __m128i l1 = _mm_mullo_epi32(y1, luma);
    const __m128i b0 = _mm_srai_epi32(_mm_add_epi32(l0, chroma.blue), 16);
    const __m128i g0 = _mm_srai_epi32(_mm_add_epi32(l0, chroma.green), 16);
    const __m128i r0 = _mm_srai_epi32(_mm_add_epi32(l0, chroma.red), 16);
    const __m128i b1 = _mm_srai_epi32(_mm_add_epi32(l1, chroma.blue), 16);
    const __m128i g1 = _mm_srai_epi32(_mm_add_epi32(l1, chroma.green), 16);
    const __m128i r1 = _mm_srai_epi32(_mm_add_epi32(l1, chroma.red), 16);
    // p: b0[0..3] g0[0..3] r0[0..3] b1[0..3]; q: g1[0..3] r1[0..3]
    const __m128i p = _mm_packus_epi16(_mm_packs_epi32(b0, g0), _mm_packs_epi32(r0, b1));
    const __m128i q = _mm_packus_epi16(_mm_packs_epi32(g1, r1), _mm_setzero_si128());
    const __m128i out0 = _mm_or_si128(
        _mm_shuffle_epi8(p, _mm_setr_epi8(0, 4, 8, 12, -1, -1, 1, 5, 9, 13, -1, -1, 2, 6, 10, 14)),
        _mm_shuffle_epi8(
            q, _mm_setr_epi8(-1, -1, -1, -1, 0, 4, -1, -1, -1, -1, 1, 5, -1, -1, -1, -1)));
    const __m128i out1 = _mm_or_si128(
        _mm_shuffle_epi8(
            p, _mm_setr_epi8(-1, -1, 3, 7, 11, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1)),
        _mm_shuffle_epi8(
            q, _mm_setr_epi8(2, 6, -1, -1, -1, -1, 3, 7, -1, -1, -1, -1, -1, -1, -1, -1)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), out0);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(target + 16), out1);
}

CAMZOOM_SSE41 inline __m128i LoadFourBytes(const std::uint8_t* source) {
    std::int32_t bytes;
    std::memcpy(&bytes, source, sizeof bytes);
    return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes));
}

// Eight luma bytes as the even (Y0) and odd (Y1) pixels of four pairs.
CAMZOOM_SSE41 inline void LoadLuma(const std::uint8_t* source, __m128i& y0, __m128i& y1) {
    const __m128i words =
        _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(source)));
    y0 = _mm_and_si128(words, _mm_set1_epi32(0xffff));
    y1 = _mm_srli_epi32(words, 16);
}

}  // namespace

CAMZOOM_SSE41 void Packed422RowSse41(const std::uint8_t* source, std::uint8_t* target, int pairs,
                                     const TYuvTables& tables) {
    const __m128i byteMask = _mm_set1_epi32(0xff);
    int j = 0;
    for (; j + 4 <= pairs; j += 4, source += 16, target += 24) {
        const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
        const __m128i y0 = _mm_and_si128(group, byteMask);
        const __m128i u = _mm_and_si128(_mm_srli_epi32(group, 8), byteMask);
        const __m128i y1 = _mm_and_si128(_mm_srli_epi32(group, 16), byteMask);
        const __m128i v = _mm_srli_epi32(group, 24);
        StorePairs(y0, y1, ChromaOf(u, v), target);
    }
    Packed422RowScalar(source, target, pairs - j, tables);
}

CAMZOOM_SSE41 void Planar420RowsSse41(const std::uint8_t* luma0, const std::uint8_t* luma1,
                                      const std::uint8_t* u, const std::uint8_t* v,
                                      std::uint8_t* target0, std::uint8_t* target1, int pairs,
                                      const TYuvTables& tables) {
    int j = 0;
    for (; j + 4 <= pairs; j += 4) {
        const Chroma chroma = ChromaOf(LoadFourBytes(u + j), LoadFourBytes(v + j));
        __m128i y0, y1;
        LoadLuma(luma0 + 2 * j, y0, y1);
        StorePairs(y0, y1, chroma, target0 + 6 * j);
        if (luma1) {
            LoadLuma(luma1 + 2 * j, y0, y1);
            StorePairs(y0, y1, chroma, target1 + 6 * j);
        }
    }
    Planar420RowsScalar(luma0 + 2 * j, luma1 ? luma1 + 2 * j : nullptr, u + j, v + j,
                        target0 + 6 * j, target1 ? target1 + 6 * j : nullptr, pairs - j, tables);
}
