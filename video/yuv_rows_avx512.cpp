// AVX-512 YUV converters (BW and VBMI): sixteen pixel pairs per step, the integer formulas of
// the AVX2 form in twice the lanes. What limits these loops is the number of vector
// instructions per pixel, so each step uses AVX-512's wider operations where they replace two:
// VBMI's two-table byte permute puts the clamped B, G, R bytes of the sixteen pairs in pixel
// order with two instructions (the narrower forms need a shuffle per output register and
// channel), a two-table word permute gathers the sums' high words, a ternary logic operation
// masks and offsets an entry. The rows' last pairs go to the AVX2 form.

// GCC 12 reports the deliberately undefined source operand of its own AVX-512 intrinsics as
// uninitialised once they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#include <immintrin.h>

#include "video/yuv_formulas.h"
#include "video/yuv_rows.h"

#define CAMZOOM_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,avx2,sse4.1")))

namespace {

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

// Byte n of the 96 written for sixteen pairs is channel n % 3 of pixel p = n / 3. After the
// packs, 128-bit lane j of `bg` holds B then G of pixels 8j..8j+7 and lane j of `rr` R of them
// (twice); bit 6 of an index selects `rr`.
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
    const __m512i bg = _mm512_packus_epi16(blue, green);
    const __m512i rr = _mm512_packus_epi16(red, red);
    _mm512_storeu_si512(target, _mm512_permutex2var_epi8(bg, PixelOrder<0>(), rr));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + 64),
                        _mm512_castsi512_si256(_mm512_permutex2var_epi8(bg, PixelOrder<64>(), rr)));
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
