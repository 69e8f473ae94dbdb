#pragma once

#include <cstdint>
#include <vector>

// The one JPEG encoder of the tree (over libjpeg-turbo), for the camera doubles, the tests and
// the fuzz targets; the product itself only decodes.

// How the pixels handed to the encoder are laid out: bytes per pixel and their order.
enum class JpegInput { Bgr, Rgb, Grey, Cmyk };

struct JpegSettings {
    int quality = 85;
    // Sampling factors of the luma component of a colour picture: 2x2 is 4:2:0 (libjpeg's
    // default), 2x1 is 4:2:2, 1x1 is 4:4:4. Grey and CMYK pictures ignore them.
    int lumaHorizontal = 2;
    int lumaVertical = 2;
    bool progressive = false;
};

// Encodes `pixels` (rows top first, no padding); empty when libjpeg refuses the picture or the
// settings.
std::vector<std::uint8_t> EncodeJpeg(const std::uint8_t* pixels, int width, int height,
                                     JpegInput input, const JpegSettings& settings = {});
