#pragma once

#include <cstdint>

// Integer forms of the YUV tables: entry i of each table equals (i * multiplier + addend) >> shift
// for every i in 0..255 (tests check all 256). The SIMD converters compute the entries this way
// instead of looking them up, and so stay bit-identical to the table path.
struct TYuvFormula {
    std::int32_t multiplier;
    std::int32_t addend;
    int shift;

    constexpr std::int32_t operator()(std::int32_t i) const {
        return (i * multiplier + addend) >> shift;
    }
};

inline constexpr TYuvFormula kLumaFormula{76309, 125, 8};
inline constexpr TYuvFormula kUGreenFormula{-51349, 256, 9};
inline constexpr TYuvFormula kUBlueFormula{264403, -36285201, 9};
inline constexpr TYuvFormula kVRedFormula{418389, -58436895, 10};
inline constexpr TYuvFormula kVGreenFormula{-213115, 35540945, 10};
