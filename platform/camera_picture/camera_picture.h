#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/camera_picture/picture_effects.h"

// The moving picture that the camera doubles send, the host's simulated camera and the virtual
// camera alike, so that the host tests and the tests under Wine look at the same picture: eight
// colour bars (white, yellow, cyan, green, magenta, red, blue, black, left to right) and a grey
// block in the middle band that moves 8 pixels right per frame, leaves at the right edge and
// comes back at the left. The camera's controls change it (picture_effects.h). Portable: both
// builds compile it, and it includes nothing of either platform.

// How the bytes of one frame are laid out.
enum class PictureLayout {
    Rgb24,  // B, G, R, rows padded to 4 bytes; bottom-up unless top-down
    Rgb32,  // B, G, R, 0; bottom-up unless top-down
    Yuy2,   // packed 4:2:2, Y0 U Y1 V (also YUYV and YUNV)
    Uyvy,   // packed 4:2:2, U Y0 V Y1 (also HDYC)
    Yvyu,   // packed 4:2:2, Y0 V Y1 U
    I420,   // planar 4:2:0: the Y plane, then U, then V (also IYUV)
    Yv12,   // planar 4:2:0: the Y plane, then V, then U
    Nv12,   // the Y plane, then U and V interleaved
    Grey,   // the Y plane alone (Y800, GREY)
    Mjpg,   // one baseline JPEG per frame
};

// The layout of a capture format's compression code: 0 (uncompressed RGB) with 24 or 32 bits a
// pixel, or a FourCC. nullopt for any other code or RGB depth.
std::optional<PictureLayout> PictureLayoutOf(std::uint32_t compression, int bitCount);

struct PictureFormat {
    int width = 0;
    int height = 0;
    PictureLayout layout = PictureLayout::Rgb24;
    bool topDown = false;  // RGB rows top first
};

// Draws the frames of one format; keeps the picture's buffer from frame to frame.
class CameraPicture {
  public:
    explicit CameraPicture(const PictureFormat& format);

    // What the camera's controls do to the frames drawn from now on; none at first.
    void SetEffects(const PictureEffects& effects) { effects_ = effects; }

    // The bytes one frame takes; 0 for Motion-JPEG, whose frames vary, and for an empty
    // picture.
    std::size_t FrameSize() const;

    // Writes frame number `frame` into `target`; returns the bytes written, 0 (nothing written)
    // when the frame does not fit into `capacity` bytes.
    std::size_t Draw(std::uint64_t frame, std::uint8_t* target, std::size_t capacity);

    // Frame number `frame` as a baseline JPEG (quality 85, 4:2:0); empty for an empty picture.
    std::vector<std::uint8_t> Jpeg(std::uint64_t frame);

    // The colour of pixel (x, y) of frame `frame` without effects, top row 0, as B, G, R.
    static void Pixel(int width, int height, std::uint64_t frame, int x, int y,
                      std::uint8_t bgr[3]);

  private:
    void DrawBgr(std::uint64_t frame);
    void WriteRgb(std::uint8_t* target, std::size_t bytesPerPixel) const;
    void WritePacked(std::uint8_t* target) const;
    void WritePlanar(std::uint8_t* target) const;

    PictureFormat format_;
    PictureEffects effects_;
    std::vector<std::uint8_t> bgr_;  // top row first, 3 bytes a pixel, no padding
    std::vector<std::uint8_t> scratch_;
};
