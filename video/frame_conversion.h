#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/four_cc.h"

class Bitmap;
class TJpegImage;
class TMemoryStream;

// Compression codes of the capture formats: 0 for uncompressed RGB, otherwise a FourCC.
inline constexpr std::uint32_t kCompressionRgb = 0;
inline constexpr std::uint32_t kCompressionI420 = MakeFourCC('I', '4', '2', '0');
inline constexpr std::uint32_t kCompressionIyuv = MakeFourCC('I', 'Y', 'U', 'V');
inline constexpr std::uint32_t kCompressionYv12 = MakeFourCC('Y', 'V', '1', '2');
inline constexpr std::uint32_t kCompressionYuy2 = MakeFourCC('Y', 'U', 'Y', '2');
inline constexpr std::uint32_t kCompressionYunv = MakeFourCC('Y', 'U', 'N', 'V');
inline constexpr std::uint32_t kCompressionYuyv = MakeFourCC('Y', 'U', 'Y', 'V');
inline constexpr std::uint32_t kCompressionMjpg = MakeFourCC('M', 'J', 'P', 'G');

// Which implementation converts the YUV layouts. All of them give the same bytes; the scalar
// table path is the reference the others are tested against. Avx512 needs AVX-512 BW and VBMI.
enum class TConversionPath { Scalar, Sse41, Avx2, Avx512 };

// Turns one delivered frame buffer into the video image's 24-bit frame bitmap: uncompressed RGB,
// planar YUV 4:2:0, packed YUV 4:2:2 and Motion-JPEG; anything else gets a two-line notice.
// One object per video image: the YUV tables are built once, on its first YUV frame, and the
// JPEG stream and image objects keep their buffers from frame to frame. Main thread only.
class TFrameConversion {
  public:
    TFrameConversion();
    ~TFrameConversion();
    TFrameConversion(const TFrameConversion&) = delete;
    TFrameConversion& operator=(const TFrameConversion&) = delete;

    // Converts `size` bytes at `buffer` of a frameWidth x frameHeight frame with the given
    // compression code into `bitmap` (already sized to the frame). Returns true when the buffer
    // has been dealt with (converted or the notice written), i.e. when the caller sets its
    // converted flag; false for a null buffer or when an exception was dropped. Never throws.
    bool ConvertFrame(std::int32_t size, const std::uint8_t* buffer, std::int32_t frameWidth,
                      std::int32_t frameHeight, std::uint32_t compression, Bitmap& bitmap) noexcept;

    // Fills the five YUV tables and the clamp table, once per object.
    void BuildYuvTables();
    // Fill every pixel pair of `bitmap` from a buffer whose size has been matched already.
    // `compression` tells I420/IYUV (U plane first) from YV12 (V plane first). A planar frame
    // of odd height has no chroma row for its last row in the buffer: that row is left alone.
    void ConvertPlanar420(const std::uint8_t* buffer, std::uint32_t compression, Bitmap& bitmap);
    void ConvertPacked422(const std::uint8_t* buffer, Bitmap& bitmap);

    // Chooses the YUV implementation; a path the processor cannot run falls back to the best
    // one it can. Returns the path now in use. The default is the best supported path.
    TConversionPath SetConversionPath(TConversionPath wanted);
    TConversionPath ConversionPath() const { return FPath; }
    static TConversionPath BestSupportedPath();
    // Whether this processor runs `path` (checked at run time, whatever the build targets).
    static bool PathSupported(TConversionPath path);

    // Largest JPEG picture decoded, in pixels: 64 million unless lowered (the fuzz target does,
    // to keep runs short). Each side is limited to 16384 as well; larger frames, and frames of
    // other than one grey or three colour components, get the notice before anything is
    // allocated for their picture.
    void SetJpegPixelLimit(std::int64_t pixels);

    // Whether `size` is the one size that `compression` accepts for a width x height frame.
    // Products are taken in 64 bits: a format whose size does not fit 32 bits accepts nothing.
    // Motion-JPEG accepts any size; an unknown code none.
    static bool SizeFits(std::uint32_t compression, std::int32_t size, std::int32_t width,
                         std::int32_t height);

    bool TablesReady() const { return FTablesReady; }
    // How often the tables have been built: at most once in an object's life.
    int TableBuildCount() const { return FTableBuilds; }
    const std::array<std::int32_t, 256>& LumaTable() const { return FLumaTable; }
    const std::array<std::int32_t, 256>& UGreenTable() const { return FUGreenTable; }
    const std::array<std::int32_t, 256>& UBlueTable() const { return FUBlueTable; }
    const std::array<std::int32_t, 256>& VRedTable() const { return FVRedTable; }
    const std::array<std::int32_t, 256>& VGreenTable() const { return FVGreenTable; }
    // Clamp table entry for a quotient k in -1023..1023.
    std::uint8_t Clamp(int k) const { return FClampTable[static_cast<std::size_t>(k + 1023)]; }

  private:
    bool ConvertRgb(std::int32_t size, const std::uint8_t* buffer, std::int32_t width,
                    std::int32_t height, Bitmap& bitmap);
    bool ConvertMotionJpeg(std::int32_t size, const std::uint8_t* buffer, Bitmap& bitmap);
    void WriteNotice(std::int32_t size, std::uint32_t compression, Bitmap& bitmap);

    std::array<std::int32_t, 256> FLumaTable{};
    std::array<std::int32_t, 256> FUGreenTable{};
    std::array<std::int32_t, 256> FUBlueTable{};
    std::array<std::int32_t, 256> FVRedTable{};
    std::array<std::int32_t, 256> FVGreenTable{};
    std::array<std::uint8_t, 2047> FClampTable{};
    bool FTablesReady = false;
    int FTableBuilds = 0;
    std::unique_ptr<TJpegImage> FJpeg;
    std::unique_ptr<TMemoryStream> FJpegStream;
    TConversionPath FPath;
};
