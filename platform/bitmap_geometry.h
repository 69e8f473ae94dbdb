#pragma once

#include <climits>
#include <cstddef>
#include <optional>

// The layout of the 24-bit bitmap on both builds: rows of 3 bytes a pixel padded to a multiple
// of 4 bytes. GDI measures a DIB's rows in bits (width * 24 + 31) in an int, so that is the
// widest row either build accepts; the whole picture's bytes must fit an int as well, so that
// no size computed from the stride and the height (as GDI and the converters do) overflows.
struct BitmapGeometry {
    int stride = 0;         // bytes a row, padding included
    std::size_t bytes = 0;  // stride * height
};

constexpr int kMaxBitmapWidth = (INT_MAX - 31) / 24;

// The geometry of a width x height bitmap; none for a negative size, a width over
// kMaxBitmapWidth or a picture of more than INT_MAX bytes. A zero width or height is an empty
// bitmap of 0 bytes (with the stride of its width).
std::optional<BitmapGeometry> BitmapGeometryOf(int width, int height);

// Where the row with visual index `row` (0 = top) starts in the bottom-up pixel memory of a
// bitmap `height` rows high; none for a row outside the picture.
std::optional<std::size_t> BottomUpRowOffset(int height, int stride, int row);
