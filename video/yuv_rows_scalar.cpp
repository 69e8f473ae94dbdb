// The reference YUV converters: every pixel from the tables, the sums truncated toward zero
// before the clamp table is read.

#include "video/yuv_rows.h"

namespace {

inline void WritePixel(const TYuvTables& tables, int y, int blueChroma, int uGreen, int vGreen,
                       int redChroma, std::uint8_t* target) {
    const int luma = tables.luma[y];
    target[0] = tables.clamp[(luma + blueChroma) / 256];
    target[1] = tables.clamp[(luma + uGreen + vGreen) / 256];
    target[2] = tables.clamp[(luma + redChroma) / 256];
}

inline void WritePair(const TYuvTables& tables, int y0, int y1, int u, int v,
                      std::uint8_t* target) {
    const int blueChroma = tables.uBlue[u];
    const int uGreen = tables.uGreen[u];
    const int vGreen = tables.vGreen[v];
    const int redChroma = tables.vRed[v];
    WritePixel(tables, y0, blueChroma, uGreen, vGreen, redChroma, target);
    WritePixel(tables, y1, blueChroma, uGreen, vGreen, redChroma, target + 3);
}

}  // namespace

void Packed422RowScalar(const std::uint8_t* source, std::uint8_t* target, int pairs,
                        const TYuvTables& tables) {
    for (int j = 0; j < pairs; ++j, source += 4, target += 6) {
        WritePair(tables, source[0], source[2], source[1], source[3], target);
    }
}

void Planar420RowsScalar(const std::uint8_t* luma0, const std::uint8_t* luma1,
                         const std::uint8_t* u, const std::uint8_t* v, std::uint8_t* target0,
                         std::uint8_t* target1, int pairs, const TYuvTables& tables) {
    for (int j = 0; j < pairs; ++j) {
        WritePair(tables, luma0[2 * j], luma0[2 * j + 1], u[j], v[j], target0 + 6 * j);
    }
    if (!luma1) return;
    for (int j = 0; j < pairs; ++j) {
        WritePair(tables, luma1[2 * j], luma1[2 * j + 1], u[j], v[j], target1 + 6 * j);
    }
}
