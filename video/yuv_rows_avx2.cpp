// AVX2 YUV converters: eight pixel pairs per step, the same integer formulas as the SSE4.1 form
// in twice the lanes; each 128-bit half handles four pairs and the halves are stored in order.
// These loops are bound by the shift and shuffle ports, so the work is arranged to spend as few
// shifts and shuffles per pixel as possible; the SSE4.1 form, the fallback of older processors
// and the rows' last few pairs, keeps the plain arrangement.

#include <immintrin.h>

#include "video/yuv_formulas.h"
#include "video/yuv_rows.h"

#define CAMZOOM_AVX2 __attribute__((target("avx2")))

namespace {

// 256 times a table entry: (i * multiplier + addend) >> (shift - 8) with its low byte cleared
// equals (entry << 8) exactly, and costs a logic operation where the entry and a second shift
// would cost two shifts, which compete with the shuffles for the same ports.
template <int Shift>
CAMZOOM_AVX2 inline __m256i EntryTimes256(__m256i index, std::int32_t multiplier,
                                          std::int32_t addend) {
    static_assert(Shift > 8, "the entry's shift must leave room for the factor 256");
    const __m256i sum = _mm256_add_epi32(_mm256_mullo_epi32(index, _mm256_set1_epi32(multiplier)),
                                         _mm256_set1_epi32(addend));
    return _mm256_and_si256(_mm256_srai_epi32(sum, Shift - 8), _mm256_set1_epi32(~0xff));
}

#define CAMZOOM_ENTRY_TIMES_256(index, formula) \
    EntryTimes256<(formula).shift>((index), (formula).multiplier, (formula).addend)

// Each byte is clamp(floor((L + C) / 256)) with L = floor((76309 Y + 125) / 256) and C the
// chroma sum, which equals clamp(floor((76309 Y + 125 + 256 C) / 65536)): one product per
// pixel, and per pair one term per channel, K = 256 C + 125, shared by both pixels.
static_assert(kLumaFormula.shift == 8, "the folded form divides by 256 twice");

struct Chroma {
    __m256i blue;
    __m256i green;
    __m256i red;
};

CAMZOOM_AVX2 inline __m256i Term(__m256i chromaTimes256) {
    return _mm256_add_epi32(chromaTimes256, _mm256_set1_epi32(kLumaFormula.addend));
}

CAMZOOM_AVX2 inline Chroma ChromaOf(__m256i u, __m256i v) {
    return {Term(CAMZOOM_ENTRY_TIMES_256(u, kUBlueFormula)),
            Term(_mm256_add_epi32(CAMZOOM_ENTRY_TIMES_256(u, kUGreenFormula),
                                  CAMZOOM_ENTRY_TIMES_256(v, kVGreenFormula))),
            Term(CAMZOOM_ENTRY_TIMES_256(v, kVRedFormula))};
}

// Eight pairs of pixels as B, G, R bytes: per 128-bit half, `head` holds bytes 0..15 of the
// half's 24 and the low 8 bytes of `tail` the other 8.
struct PairBytes {
    __m256i head;
    __m256i tail;
};

// The high words of the even and the odd pixels' sums, that is the unclamped bytes, as 16-bit
// lanes in pixel order: a shift and a blend, where shifts and a pack would load the processor's
// few shuffle ports, which are what limits this loop.
CAMZOOM_AVX2 inline __m256i HighWords(__m256i even, __m256i odd) {
    return _mm256_blend_epi16(_mm256_srli_epi32(even, 16), odd, 0xaa);
}

CAMZOOM_AVX2 inline PairBytes ConvertPairs(__m256i y0, __m256i y1, const Chroma& chroma) {
    const __m256i luma = _mm256_set1_epi32(kLumaFormula.multiplier);
    const __m256i l0 = _mm256_mullo_epi32(y0, luma);
    const __m256i l1 = _mm256_mullo_epi32(y1, luma);
    // Each value lies within -300..560, so the signed high word holds it whole and the
    // saturating pack to bytes is the clamp.
    const __m256i blue =
        HighWords(_mm256_add_epi32(l0, chroma.blue), _mm256_add_epi32(l1, chroma.blue));
    const __m256i green =
        HighWords(_mm256_add_epi32(l0, chroma.green), _mm256_add_epi32(l1, chroma.green));
    const __m256i red =
        HighWords(_mm256_add_epi32(l0, chroma.red), _mm256_add_epi32(l1, chroma.red));
    // Per half: B0..B7 G0..G7, and R0..R7 twice.
    const __m256i bg = _mm256_packus_epi16(blue, green);
    const __m256i rr = _mm256_packus_epi16(red, red);
    const __m256i head = _mm256_or_si256(
        _mm256_shuffle_epi8(
            bg, _mm256_setr_epi8(0, 8, -1, 1, 9, -1, 2, 10, -1, 3, 11, -1, 4, 12, -1, 5, 0, 8, -1,
                                 1, 9, -1, 2, 10, -1, 3, 11, -1, 4, 12, -1, 5)),
        _mm256_shuffle_epi8(
            rr, _mm256_setr_epi8(-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1, -1,
                                 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1)));
    const __m256i tail = _mm256_or_si256(
        _mm256_shuffle_epi8(
            bg, _mm256_setr_epi8(13, -1, 6, 14, -1, 7, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, 13,
                                 -1, 6, 14, -1, 7, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1)),
        _mm256_shuffle_epi8(
            rr, _mm256_setr_epi8(-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, 5,
                                 -1, -1, 6, -1, -1, 7, -1, -1, -1, -1, -1, -1, -1, -1)));
    return {head, tail};
}

// Writes exactly 48 bytes.
CAMZOOM_AVX2 inline void StorePairs(const PairBytes& bytes, std::uint8_t* target) {
    const __m128i headLow = _mm256_castsi256_si128(bytes.head);
    const __m128i headHigh = _mm256_extracti128_si256(bytes.head, 1);
    const __m128i tailLow = _mm256_castsi256_si128(bytes.tail);
    const __m128i tailHigh = _mm256_extracti128_si256(bytes.tail, 1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), headLow);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 16),
                     _mm_unpacklo_epi64(tailLow, headHigh));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 32),
                     _mm_alignr_epi8(tailHigh, headHigh, 8));
}

// Writes the same 48 bytes and 8 more after them with fewer shuffles. The 8 extra bytes must be
// overwritten by the pairs that follow, so this is only for a group with at least two more
// pairs after it in the row (SpillIsCovered).
constexpr bool SpillIsCovered(int j, int pairs) { return pairs - (j + 8) >= 2; }

CAMZOOM_AVX2 inline void StorePairsSpilling(const PairBytes& bytes, std::uint8_t* target) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm256_castsi256_si128(bytes.head));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 16), _mm256_castsi256_si128(bytes.tail));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 24),
                     _mm256_extracti128_si256(bytes.head, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 40),
                     _mm256_extracti128_si256(bytes.tail, 1));
}

// Sixteen luma bytes as the even (Y0) and odd (Y1) pixels of eight pairs.
CAMZOOM_AVX2 inline void LoadLuma(const std::uint8_t* source, __m256i& y0, __m256i& y1) {
    const __m256i words =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source)));
    y0 = _mm256_blend_epi16(words, _mm256_setzero_si256(), 0xaa);
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
        const PairBytes bytes = ConvertPairs(y0, y1, ChromaOf(u, v));
        if (SpillIsCovered(j, pairs)) {
            StorePairsSpilling(bytes, target);
        } else {
            StorePairs(bytes, target);
        }
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
        const bool spill = SpillIsCovered(j, pairs);
        __m256i y0, y1;
        LoadLuma(luma0 + 2 * j, y0, y1);
        const PairBytes row0 = ConvertPairs(y0, y1, chroma);
        spill ? StorePairsSpilling(row0, target0 + 6 * j) : StorePairs(row0, target0 + 6 * j);
        if (luma1) {
            LoadLuma(luma1 + 2 * j, y0, y1);
            const PairBytes row1 = ConvertPairs(y0, y1, chroma);
            spill ? StorePairsSpilling(row1, target1 + 6 * j) : StorePairs(row1, target1 + 6 * j);
        }
    }
    Planar420RowsSse41(luma0 + 2 * j, luma1 ? luma1 + 2 * j : nullptr, u + j, v + j,
                       target0 + 6 * j, target1 ? target1 + 6 * j : nullptr, pairs - j, tables);
}
