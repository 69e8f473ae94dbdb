// The fitted rectangle of a picture area; both builds compile this one file.
#include "platform/picture_fit.h"

#include <cstdint>

Bounds FitPicture(int width, int height, int areaWidth, int areaHeight) {
    if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return {};
    // Full width unless that makes the picture taller than the area (compared crosswise, in 64
    // bits, so that no rounding decides the side).
    std::int64_t fittedWidth = areaWidth;
    std::int64_t fittedHeight = (static_cast<std::int64_t>(areaWidth) * height + width / 2) / width;
    if (static_cast<std::int64_t>(areaWidth) * height >
        static_cast<std::int64_t>(areaHeight) * width) {
        fittedHeight = areaHeight;
        fittedWidth = (static_cast<std::int64_t>(areaHeight) * width + height / 2) / height;
    }
    if (fittedWidth < 1) fittedWidth = 1;
    if (fittedHeight < 1) fittedHeight = 1;
    return {static_cast<int>((areaWidth - fittedWidth) / 2),
            static_cast<int>((areaHeight - fittedHeight) / 2), static_cast<int>(fittedWidth),
            static_cast<int>(fittedHeight)};
}
