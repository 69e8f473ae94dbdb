// AVX-512 YUV converters (BW and VBMI): sixteen pixel pairs per step, the integer formulas of
// the AVX2 form in twice the lanes. What limits these loops is the number of vector
// instructions per pixel, so each step uses AVX-512's wider operations where they replace two:
// VBMI's two-table byte permute puts the clamped B, G, R bytes of the sixteen pairs in pixel
// order with two instructions (the narrower forms need a shuffle per output register and
// channel), a two-table word permute gathers the sums' high words, a ternary logic operation
// masks and offsets an entry. The rows' last pairs go to the AVX2 form.

// First: it sets the diagnostics for the intrinsics it includes.
#include "video/bgr_pixels_avx512.h"

#include "video/yuv_formulas.h"
#include "video/yuv_rows.h"

namespace {

using bgr_pixels_avx512::StoreBgrPixels;

// vpternlogd truth table of (a & b) | c.
constexpr int kAndOr = 0xea;

// (i * multiplier + addend) >> (shift - 8), whose low byte is to be cleared for 256 times the
// table entry (see the AVX2 form).
template <int Shift>
CAMZOOM_AVX512 inline __m512i EntryTimes256Unmasked(__m512i index, std::int32_t multiplier,
                                                    std::int32_t addend) {
    static_assert(Shift > 8, "the entry's shift must leave room for the factor 256");
    const __m512i sum = _mm512_add_epi32(_mm512_mullo_epi32(index, _mm512_set1_epi32(multiplier)),
                                         _mm512_set1_epi32(addend));
    return _mm512_srai_epi32(sum, Shift - 8);
}

#define CAMZOOM_ENTRY_TIMES_256(index, formula) \
    EntryTimes256Unmasked<(formula).shift>((index), (formula).multiplier, (formula).addend)

// Each byte is clamp(floor((76309 Y + 125 + 256 C) / 65536)), C the chroma sum (see the SSE4.1
// form): per pair and channel one term K = 256 C + 125, shared by both pixels.
static_assert(kLumaFormula.shift == 8, "the folded form divides by 256 twice");
static_assert(kLumaFormula.addend >= 0 && kLumaFormula.addend < 256,
              "the addend fills the cleared low byte");

struct Chroma {
    __m512i blue;
    __m512i green;
    __m512i red;
};

// 256 C + 125 from an unmasked entry: clearing the low byte and filling it with 125 is one
// ternary logic operation.
CAMZOOM_AVX512 inline __m512i Term(__m512i unmasked) {
    return _mm512_ternarylogic_epi32(unmasked, _mm512_set1_epi32(~0xff),
                                     _mm512_set1_epi32(kLumaFormula.addend), kAndOr);
}

CAMZOOM_AVX512 inline Chroma ChromaOf(__m512i u, __m512i v) {
    const __m512i vGreen =
        _mm512_and_si512(CAMZOOM_ENTRY_TIMES_256(v, kVGreenFormula), _mm512_set1_epi32(~0xff));
    return {Term(CAMZOOM_ENTRY_TIMES_256(u, kUBlueFormula)),
            _mm512_add_epi32(Term(CAMZOOM_ENTRY_TIMES_256(u, kUGreenFormula)), vGreen),
            Term(CAMZOOM_ENTRY_TIMES_256(v, kVRedFormula))};
}

// The high words of the even and the odd pixels' sums, in pixel order as 16-bit lanes: one
// two-table word permute.
CAMZOOM_AVX512 inline __m512i HighWords(__m512i even, __m512i odd) {
    const __m512i index =
        _mm512_set_epi16(63, 31, 61, 29, 59, 27, 57, 25, 55, 23, 53, 21, 51, 19, 49, 17, 47, 15, 45,
                         13, 43, 11, 41, 9, 39, 7, 37, 5, 35, 3, 33, 1);
    return _mm512_permutex2var_epi16(even, index, odd);
}

// Converts sixteen pairs and writes exactly their 96 bytes.
CAMZOOM_AVX512 inline void StorePairs(__m512i y0, __m512i y1, const Chroma& chroma,
                                      std::uint8_t* target) {
    const __m512i luma = _mm512_set1_epi32(kLumaFormula.multiplier);
    const __m512i l0 = _mm512_mullo_epi32(y0, luma);
    const __m512i l1 = _mm512_mullo_epi32(y1, luma);
    // Each value lies within -300..560: the signed high word holds it whole and the
    // saturating pack to bytes is the clamp.
    const __m512i blue =
        HighWords(_mm512_add_epi32(l0, chroma.blue), _mm512_add_epi32(l1, chroma.blue));
    const __m512i green =
        HighWords(_mm512_add_epi32(l0, chroma.green), _mm512_add_epi32(l1, chroma.green));
    const __m512i red =
        HighWords(_mm512_add_epi32(l0, chroma.red), _mm512_add_epi32(l1, chroma.red));
    StoreBgrPixels(blue, green, red, target);
}

// Thirty-two luma bytes as the even (Y0) and odd (Y1) pixels of sixteen pairs.
CAMZOOM_AVX512 inline void LoadLuma(const std::uint8_t* source, __m512i& y0, __m512i& y1) {
    const __m512i words =
        _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(source)));
    y0 = _mm512_and_si512(words, _mm512_set1_epi32(0xffff));
    y1 = _mm512_srli_epi32(words, 16);
}

CAMZOOM_AVX512 inline __m512i LoadSixteenBytes(const std::uint8_t* source) {
    return _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source)));
}

}  // namespace

CAMZOOM_AVX512 void Packed422RowAvx512(const std::uint8_t* source, std::uint8_t* target, int pairs,
                                       const TYuvTables& tables) {
    // U and Y1 as 32-bit lanes: one shuffle each, where a shift and a mask would take two.
    const __m512i byteMask = _mm512_set1_epi32(0xff);
    const __m512i uBytes = _mm512_broadcast_i32x4(
        _mm_setr_epi8(1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1));
    const __m512i y1Bytes = _mm512_broadcast_i32x4(
        _mm_setr_epi8(2, -1, -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1, -1, -1));
    int j = 0;
    for (; j + 16 <= pairs; j += 16, source += 64, target += 96) {
        const __m512i group = _mm512_loadu_si512(source);
        const __m512i y0 = _mm512_and_si512(group, byteMask);
        const __m512i u = _mm512_shuffle_epi8(group, uBytes);
        const __m512i y1 = _mm512_shuffle_epi8(group, y1Bytes);
        const __m512i v = _mm512_srli_epi32(group, 24);
        StorePairs(y0, y1, ChromaOf(u, v), target);
    }
    Packed422RowAvx2(source, target, pairs - j, tables);
}

CAMZOOM_AVX512 void Planar420RowsAvx512(const std::uint8_t* luma0, const std::uint8_t* luma1,
                                        const std::uint8_t* u, const std::uint8_t* v,
                                        std::uint8_t* target0, std::uint8_t* target1, int pairs,
                                        const TYuvTables& tables) {
    int j = 0;
    for (; j + 16 <= pairs; j += 16) {
        const Chroma chroma = ChromaOf(LoadSixteenBytes(u + j), LoadSixteenBytes(v + j));
        __m512i y0, y1;
        LoadLuma(luma0 + 2 * j, y0, y1);
        StorePairs(y0, y1, chroma, target0 + 6 * j);
        if (luma1) {
            LoadLuma(luma1 + 2 * j, y0, y1);
            StorePairs(y0, y1, chroma, target1 + 6 * j);
        }
    }
    Planar420RowsAvx2(luma0 + 2 * j, luma1 ? luma1 + 2 * j : nullptr, u + j, v + j, target0 + 6 * j,
                      target1 ? target1 + 6 * j : nullptr, pairs - j, tables);
}
