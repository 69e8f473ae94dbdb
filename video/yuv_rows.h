#pragma once

#include <cstdint>

// Row converters of the YUV layouts. Each writes `pairs` pixel pairs (six bytes each, B, G, R
// twice) from the row's first byte on and nothing beyond them.

struct TYuvTables {
    const std::int32_t* luma;
    const std::int32_t* uGreen;
    const std::int32_t* uBlue;
    const std::int32_t* vRed;
    const std::int32_t* vGreen;
    const std::uint8_t* clamp;  // entry 0 of the clamp table; valid from -1023 to +1023
};

// Packed 4:2:2: `pairs` groups of Y0, U, Y1, V.
using TPacked422Row = void (*)(const std::uint8_t* source, std::uint8_t* target, int pairs,
                               const TYuvTables& tables);
// Planar 4:2:0: one chroma row serving one or two picture rows (`luma1`/`target1` null for
// one). Each luma row holds 2 * pairs bytes; each chroma row `pairs` bytes.
using TPlanar420Rows = void (*)(const std::uint8_t* luma0, const std::uint8_t* luma1,
                                const std::uint8_t* u, const std::uint8_t* v, std::uint8_t* target0,
                                std::uint8_t* target1, int pairs, const TYuvTables& tables);

// The reference: table lookups, as the tables define the conversion.
void Packed422RowScalar(const std::uint8_t* source, std::uint8_t* target, int pairs,
                        const TYuvTables& tables);
void Planar420RowsScalar(const std::uint8_t* luma0, const std::uint8_t* luma1,
                         const std::uint8_t* u, const std::uint8_t* v, std::uint8_t* target0,
                         std::uint8_t* target1, int pairs, const TYuvTables& tables);

// SIMD forms; callable only where the processor has the instruction set.
void Packed422RowSse41(const std::uint8_t* source, std::uint8_t* target, int pairs,
                       const TYuvTables& tables);
void Planar420RowsSse41(const std::uint8_t* luma0, const std::uint8_t* luma1, const std::uint8_t* u,
                        const std::uint8_t* v, std::uint8_t* target0, std::uint8_t* target1,
                        int pairs, const TYuvTables& tables);
void Packed422RowAvx2(const std::uint8_t* source, std::uint8_t* target, int pairs,
                      const TYuvTables& tables);
void Planar420RowsAvx2(const std::uint8_t* luma0, const std::uint8_t* luma1, const std::uint8_t* u,
                       const std::uint8_t* v, std::uint8_t* target0, std::uint8_t* target1,
                       int pairs, const TYuvTables& tables);
void Packed422RowAvx512(const std::uint8_t* source, std::uint8_t* target, int pairs,
                        const TYuvTables& tables);
void Planar420RowsAvx512(const std::uint8_t* luma0, const std::uint8_t* luma1,
                         const std::uint8_t* u, const std::uint8_t* v, std::uint8_t* target0,
                         std::uint8_t* target1, int pairs, const TYuvTables& tables);
