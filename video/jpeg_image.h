#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/bitmap.h"
#include "video/jpeg_colour_rows.h"
#include "video/jpeg_component_rows.h"

class TMemoryStream;

// The JPEG image object (`FJpeg`): the bytes of the last Motion-JPEG frame, its header values
// and its decoded picture, all kept from frame to frame so that their buffers are reused.
// Decoding uses libjpeg with full scale, the floating-point inverse DCT, fancy upsampling and
// block smoothing; colour frames come out as B, G, R, one-component frames are quantised to
// 236 grey levels. With a colour row set (SetColourRow), a 4:2:2 or 4:2:0 colour frame is
// taken from libjpeg as component rows and finished by that row instead, to the same bytes.
// Failures are results, never exceptions out of the decoder; only memory
// exhaustion of our own buffers throws (std::bad_alloc).
class TJpegImage {
  public:
    static constexpr int kMaxSide = 16384;
    static constexpr std::int64_t kMaxPixels = 64'000'000;

    TJpegImage();
    ~TJpegImage();
    TJpegImage(const TJpegImage&) = delete;
    TJpegImage& operator=(const TJpegImage&) = delete;

    // Drops the previous frame, copies the stream's bytes from its position to its end and
    // reads the header. False when they are not a JPEG image, when the decoder raises, or when
    // the picture is one we do not decode: more than kMaxSide on a side, more than the pixel
    // limit in all, or not one grey or three colour components.
    bool LoadFromStream(const TMemoryStream& stream);

    // Decompresses the whole loaded image, then draws it on `bitmap` with its top-left pixel on
    // the bitmap's, cut off at the bitmap's right and bottom edges. On false (nothing loaded,
    // or the decoder raised) the bitmap is untouched.
    bool Draw(Bitmap& bitmap);

    void SetPixelLimit(std::int64_t pixels) { pixelLimit_ = pixels; }

    // The rows that finish colour frames of 4:2:2 and 4:2:0 chroma instead of libjpeg's own
    // upsampling and colour conversion (same bytes, one pass); null, the default, for libjpeg's.
    void SetColourRow(TJpegColourRow row) { colourRow_ = row; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Components() const { return components_; }
    bool Progressive() const { return progressive_; }

    struct Decoder;  // libjpeg's decompressor with its error manager, opaque here

  private:
    bool DecodeColour(std::uint8_t* const* rows);
    void CopyColourPicture(Bitmap& bitmap) const;
    void CopyGreyPicture(Bitmap& bitmap) const;

    std::unique_ptr<Decoder> decoder_;
    std::vector<std::uint8_t> bytes_;
    bool loaded_ = false;
    int width_ = 0;
    int height_ = 0;
    int components_ = 0;
    bool progressive_ = false;
    std::int64_t pixelLimit_ = kMaxPixels;
    TJpegColourRow colourRow_ = nullptr;

    // The decoded picture: a bitmap of the frame's size when it matches the target (then put
    // in place by swapping pixels), otherwise rows of B, G, R or of grey-level indices.
    Bitmap scratch_;
    std::vector<std::uint8_t> picture_;
    std::size_t pictureStride_ = 0;
    std::vector<std::uint8_t*> rows_;
    std::array<std::uint8_t, 256> greyLevels_{};
    TJpegComponentRows componentRows_;  // libjpeg's raw output for our colour rows
};
