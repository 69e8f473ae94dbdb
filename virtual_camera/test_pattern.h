#pragma once
// The moving test picture: eight colour bars with a grey block that moves right by 8 pixels a
// frame, rendered in the camera's delivery layout.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "virtual_camera/jpeg_encoder.h"
#include "virtual_camera/media_type.h"

namespace vcam {

class TestPattern {
  public:
    explicit TestPattern(const VideoFormat& format);

    // Writes frame number `frame` into `target`; returns the bytes written, 0 when it did not fit.
    size_t Render(uint64_t frame, uint8_t* target, size_t capacity);

    // Colour of the picture at (x, y), top-down, as B, G, R.
    static void PixelAt(int width, int height, uint64_t frame, int x, int y, uint8_t bgr[3]);

  private:
    void RenderBgr(uint64_t frame);
    size_t WriteRgb24(uint8_t* target) const;
    size_t WriteYuy2(uint8_t* target) const;
    size_t WritePlanar(uint8_t* target, bool vFirst) const;

    VideoFormat format_;
    std::vector<uint8_t> bgr_;  // top-down, 3 bytes a pixel, no padding
    JpegEncoder jpeg_;
};

}  // namespace vcam
