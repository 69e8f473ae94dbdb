#pragma once
// Encodes a top-down BGR picture as a baseline JPEG with libjpeg-turbo.
#include <cstddef>
#include <cstdint>

namespace vcam {

class JpegEncoder {
  public:
    // Returns the JPEG size written into `target`, or 0 when encoding failed or did not fit.
    size_t Encode(const uint8_t* bgr, int width, int height, uint8_t* target, size_t capacity);
};

}  // namespace vcam
