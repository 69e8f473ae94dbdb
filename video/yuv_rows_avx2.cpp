// AVX2 YUV converters: eight pixel pairs per step, the same integer formulas as the SSE4.1 form
// in twice the lanes; each 128-bit half handles four pairs and the halves are stored in order.

#include <immintrin.h>

#include "video/yuv_formulas.h"
#include "video/yuv_rows.h"

#define CAMZOOM_AVX2 __attribute__((target("avx2")))

namespace {

template <int Shift>
CAMZOOM_AVX2 inline __m256i Entry(__m256i index, std::int32_t multiplier, std::int32_t addend) {
    return _mm256_srai_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(index, _mm256_set1_epi32(multiplier)),
                         _mm256_set1_epi32(addend)),
        Shift);
}

#define CAMZOOM_ENTRY(index, formula) \
    Entry<(formula).shift>((index), (formula).multiplier, (formula).addend)

// Each byte is clamp(floor((L + C) / 256)) with L = floor((76309 Y + 125) / 256) and C the
// chroma sum, which equals clamp(floor((76309 Y + 125 + 256 C) / 65536)): one product per
// pixel, and per pair one term per channel, K = 256 C + 125, shared by both pixels.
static_assert(kLumaFormula.shift == 8, "the folded form divides by 256 twice");

struct Chroma {
    __m256i blue;
    __m256i green;
    __m256i red;
};

CAMZOOM_AVX2 inline __m256i Term(__m256i chroma) {
    return _mm256_add_epi32(_mm256_slli_epi32(chroma, 8), _mm256_set1_epi32(kLumaFormula.addend));
}

CAMZOOM_AVX2 inline Chroma ChromaOf(__m256i u, __m256i v) {
    return {
        Term(CAMZOOM_ENTRY(u, kUBlueFormula)),
        Term(_mm256_add_epi32(CAMZOOM_ENTRY(u, kUGreenFormula), CAMZOOM_ENTRY(v, kVGreenFormula))),
        Term(CAMZOOM_ENTRY(v, kVRedFormula))};
}

// Writes 48 bytes: eight pairs of pixels.
CAMZOOM_AVX2 inline void StorePairs(__m256i y0, __m256i y1, const Chroma& chroma,
                                    std::uint8_t* target) {
    const __m256i luma = _mm256_set1_epi32(kLumaFormula.multiplier);
    const __m256i l0 = _mm256_mullo_epi32(y0, luma);
    const __m256i l1 = _mm256_mullo_epi32(y1, luma);
    const __m256i b0 = _mm256_srai_epi32(_mm256_add_epi32(l0, chroma.blue), 16);
    const __m256i g0 = _mm256_srai_epi32(_mm256_add_epi32(l0, chroma.green), 16);
    const __m256i r0 = _mm256_srai_epi32(_mm256_add_epi32(l0, chroma.red), 16);
    const __m256i b1 = _mm256_srai_epi32(_mm256_add_epi32(l1, chroma.blue), 16);
    const __m256i g1 = _mm256_srai_epi32(_mm256_add_epi32(l1, chroma.green), 16);
    const __m256i r1 = _mm256_srai_epi32(_mm256_add_epi32(l1, chroma.red), 16);
    // Per half, p: b0 g0 r0 b1 and q: g1 r1, four bytes each.
    const __m256i p = _mm256_packus_epi16(_mm256_packs_epi32(b0, g0), _mm256_packs_epi32(r0, b1));
    const __m256i q = _mm256_packus_epi16(_mm256_packs_epi32(g1, r1), _mm256_setzero_si256());
    const __m256i out0 = _mm256_or_si256(
        _mm256_shuffle_epi8(
            p, _mm256_setr_epi8(0, 4, 8, 12, -1, -1, 1, 5, 9, 13, -1, -1, 2, 6, 10, 14, 0, 4, 8, 12,
                                -1, -1, 1, 5, 9, 13, -1, -1, 2, 6, 10, 14)),
        _mm256_shuffle_epi8(
            q, _mm256_setr_epi8(-1, -1, -1, -1, 0, 4, -1, -1, -1, -1, 1, 5, -1, -1, -1, -1, -1, -1,
                                -1, -1, 0, 4, -1, -1, -1, -1, 1, 5, -1, -1, -1, -1)));
    const __m256i out1 = _mm256_or_si256(
        _mm256_shuffle_epi8(
            p, _mm256_setr_epi8(-1, -1, 3, 7, 11, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                -1, 3, 7, 11, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1)),
        _mm256_shuffle_epi8(
            q, _mm256_setr_epi8(2, 6, -1, -1, -1, -1, 3, 7, -1, -1, -1, -1, -1, -1, -1, -1, 2, 6,
                                -1, -1, -1, -1, 3, 7, -1, -1, -1, -1, -1, -1, -1, -1)));
    // Half 0 gives bytes 0..23 (out0 low, 8 bytes of out1 low), half 1 bytes 24..47.
    const __m128i out0Low = _mm256_castsi256_si128(out0);
    const __m128i out0High = _mm256_extracti128_si256(out0, 1);
    const __m128i out1Low = _mm256_castsi256_si128(out1);
    const __m128i out1High = _mm256_extracti128_si256(out1, 1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), out0Low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 16),
                     _mm_unpacklo_epi64(out1Low, out0High));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 32),
                     _mm_alignr_epi8(out1High, out0High, 8));
}

// Sixteen luma bytes as the even (Y0) and odd (Y1) pixels of eight pairs.
CAMZOOM_AVX2 inline void LoadLuma(const std::uint8_t* source, __m256i& y0, __m256i& y1) {
    const __m256i words =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source)));
    y0 = _mm256_and_si256(words, _mm256_set1_epi32(0xffff));
    y1 = _mm256_srli_epi32(words, 16);
}

CAMZOOM_AVX2 inline __m256i LoadEightBytes(const std::uint8_t* source) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(source)));
}

}  // namespace

CAMZOOM_AVX2 void Packed422RowAvx2(const std::uint8_t* source, std::uint8_t* target, int pairs,
                                   const TYuvTables& tables) {
    const __m256i byteMask = _mm256_set1_epi32(0xff);
    int j = 0;
    for (; j + 8 <= pairs; j += 8, source += 32, target += 48) {
        const __m256i group = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
        const __m256i y0 = _mm256_and_si256(group, byteMask);
        const __m256i u = _mm256_and_si256(_mm256_srli_epi32(group, 8), byteMask);
        const __m256i y1 = _mm256_and_si256(_mm256_srli_epi32(group, 16), byteMask);
        const __m256i v = _mm256_srli_epi32(group, 24);
        StorePairs(y0, y1, ChromaOf(u, v), target);
    }
    Packed422RowSse41(source, target, pairs - j, tables);
}

CAMZOOM_AVX2 void Planar420RowsAvx2(const std::uint8_t* luma0, const std::uint8_t* luma1,
                                    const std::uint8_t* u, const std::uint8_t* v,
                                    std::uint8_t* target0, std::uint8_t* target1, int pairs,
                                    const TYuvTables& tables) {
    int j = 0;
    for (; j + 8 <= pairs; j += 8) {
        const Chroma chroma = ChromaOf(LoadEightBytes(u + j), LoadEightBytes(v + j));
        __m256i y0, y1;
        LoadLuma(luma0 + 2 * j, y0, y1);
        StorePairs(y0, y1, chroma, target0 + 6 * j);
        if (luma1) {
            LoadLuma(luma1 + 2 * j, y0, y1);
            StorePairs(y0, y1, chroma, target1 + 6 * j);
        }
    }
    Planar420RowsSse41(luma0 + 2 * j, luma1 ? luma1 + 2 * j : nullptr, u + j, v + j,
                       target0 + 6 * j, target1 ? target1 + 6 * j : nullptr, pairs - j, tables);
}
