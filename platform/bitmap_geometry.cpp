#include "platform/bitmap_geometry.h"

std::optional<BitmapGeometry> BitmapGeometryOf(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxBitmapWidth) return std::nullopt;
    const long long stride = (static_cast<long long>(width) * 24 + 31) / 32 * 4;
    if (height != 0 && stride > INT_MAX / height) return std::nullopt;
    return BitmapGeometry{static_cast<int>(stride), static_cast<std::size_t>(stride * height)};
}

std::optional<std::size_t> BottomUpRowOffset(int height, int stride, int row) {
    if (row < 0 || row >= height) return std::nullopt;
    return static_cast<std::size_t>(height - 1 - row) * static_cast<std::size_t>(stride);
}
