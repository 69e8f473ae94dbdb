#pragma once

// The picture a simulated device sends: colour bars with a block that moves one step per frame,
// laid out in the device's format (RGB, packed or planar YUV, grey, or Motion-JPEG).

#include <cstddef>
#include <cstdint>

#include "platform/host/dshow/test_controls.h"

namespace host::dshow {

// Fills `size` bytes at `data` with frame number `frame` in the layout of `format`; bytes the
// layout does not use are zero.
void PaintTestPattern(BYTE* data, std::size_t size, const DeviceConfig& format,
                      std::uint32_t frame);

// The colour of pixel (x, y) of frame `frame`, top row 0, as B, G, R.
void TestPatternPixel(int x, int y, int width, int height, std::uint32_t frame, BYTE bgr[3]);

}  // namespace host::dshow
