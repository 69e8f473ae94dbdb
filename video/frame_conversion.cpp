// Frame conversion: chooses the layout by compression code and buffer size, converts into the
// frame bitmap, and writes the two-line notice for anything it cannot convert.

#include "video/frame_conversion.h"

#include <cstring>
#include <string>

#include "platform/bitmap.h"
#include "video/jpeg_colour_rows.h"
#include "video/jpeg_image.h"
#include "video/memory_stream.h"
#include "video/yuv_rows.h"

namespace {

bool IsPlanar420(std::uint32_t code) {
    return code == kCompressionI420 || code == kCompressionIyuv || code == kCompressionYv12;
}

bool IsPacked422(std::uint32_t code) {
    return code == kCompressionYuy2 || code == kCompressionYunv || code == kCompressionYuyv;
}

TPacked422Row Packed422RowFor(TConversionPath path) {
    switch (path) {
        case TConversionPath::Avx512:
            return Packed422RowAvx512;
        case TConversionPath::Avx2:
            return Packed422RowAvx2;
        case TConversionPath::Sse41:
            return Packed422RowSse41;
        case TConversionPath::Scalar:
            break;
    }
    return Packed422RowScalar;
}

TPlanar420Rows Planar420RowsFor(TConversionPath path) {
    switch (path) {
        case TConversionPath::Avx512:
            return Planar420RowsAvx512;
        case TConversionPath::Avx2:
            return Planar420RowsAvx2;
        case TConversionPath::Sse41:
            return Planar420RowsSse41;
        case TConversionPath::Scalar:
            break;
    }
    return Planar420RowsScalar;
}

// How colour JPEG frames are finished: with our AVX-512 rows, which outrun libjpeg's own
// upsampling and colour conversion; on the scalar path with the reference rows, so that the
// raw-data decode is checked on any processor; otherwise by libjpeg itself (null).
TJpegColourRow JpegColourRowFor(TConversionPath path) {
    switch (path) {
        case TConversionPath::Avx512:
            return JpegColourRowAvx512;
        case TConversionPath::Scalar:
            return JpegColourRowScalar;
        case TConversionPath::Avx2:
        case TConversionPath::Sse41:
            break;
    }
    return nullptr;
}

}  // namespace

TFrameConversion::TFrameConversion()
    : FJpeg(std::make_unique<TJpegImage>()),
      FJpegStream(std::make_unique<TMemoryStream>()),
      FPath(BestSupportedPath()) {
    FJpeg->SetColourRow(JpegColourRowFor(FPath));
}

TFrameConversion::~TFrameConversion() = default;

// Each path's rows hand their last pairs to the next narrower path, so a path needs every
// instruction set below it as well.
bool TFrameConversion::PathSupported(TConversionPath path) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    switch (path) {
        case TConversionPath::Scalar:
            return true;
        case TConversionPath::Sse41:
            return __builtin_cpu_supports("sse4.1");
        case TConversionPath::Avx2:
            return __builtin_cpu_supports("avx2") && PathSupported(TConversionPath::Sse41);
        case TConversionPath::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vbmi") && PathSupported(TConversionPath::Avx2);
    }
    return false;
#else
    return path == TConversionPath::Scalar;
#endif
}

TConversionPath TFrameConversion::BestSupportedPath() {
    for (TConversionPath path :
         {TConversionPath::Avx512, TConversionPath::Avx2, TConversionPath::Sse41}) {
        if (PathSupported(path)) return path;
    }
    return TConversionPath::Scalar;
}

TConversionPath TFrameConversion::SetConversionPath(TConversionPath wanted) {
    FPath = PathSupported(wanted) ? wanted : BestSupportedPath();
    FJpeg->SetColourRow(JpegColourRowFor(FPath));
    return FPath;
}

void TFrameConversion::SetJpegPixelLimit(std::int64_t pixels) { FJpeg->SetPixelLimit(pixels); }

bool TFrameConversion::SizeFits(std::uint32_t compression, std::int32_t size, std::int32_t width,
                                std::int32_t height) {
    if (compression == kCompressionMjpg) return true;
    if (width < 0 || height < 0) return false;
    const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
    std::int64_t expected = -1;
    if (compression == kCompressionRgb) {
        expected = pixels * 3;
    } else if (IsPlanar420(compression)) {
        expected = pixels * 3 / 2;
    } else if (IsPacked422(compression)) {
        expected = pixels * 2;
    }
    return expected >= 0 && expected <= INT32_MAX && expected == size;
}

bool TFrameConversion::ConvertFrame(std::int32_t size, const std::uint8_t* buffer,
                                    std::int32_t frameWidth, std::int32_t frameHeight,
                                    std::uint32_t compression, Bitmap& bitmap) noexcept {
    if (!buffer) return false;
    try {
        // The buffer is read by the bitmap's size: a bitmap that does not have the format's
        // size (it could not be resized) gets the notice rather than a conversion.
        const bool fits = SizeFits(compression, size, frameWidth, frameHeight) &&
                          (compression == kCompressionMjpg ||
                           (bitmap.Width() == frameWidth && bitmap.Height() == frameHeight));
        bool converted = false;
        if (fits && compression == kCompressionRgb) {
            converted = ConvertRgb(size, buffer, frameWidth, frameHeight, bitmap);
        } else if (fits && IsPlanar420(compression)) {
            ConvertPlanar420(buffer, compression, bitmap);
            converted = true;
        } else if (fits && IsPacked422(compression)) {
            ConvertPacked422(buffer, bitmap);
            converted = true;
        } else if (compression == kCompressionMjpg) {
            converted = ConvertMotionJpeg(size, buffer, bitmap);
        }
        if (!converted) WriteNotice(size, compression, bitmap);
        return true;
    } catch (...) {
        return false;
    }
}

bool TFrameConversion::ConvertRgb(std::int32_t size, const std::uint8_t* buffer, std::int32_t width,
                                  std::int32_t height, Bitmap& bitmap) {
    if (size == 0) return true;
    std::uint8_t* pixels = bitmap.PixelMemory();
    if (!pixels) return false;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    const auto stride = static_cast<std::size_t>(bitmap.RowStride());
    if (stride == rowBytes) {
        std::memcpy(pixels, buffer, static_cast<std::size_t>(size));
        return true;
    }
    // Rows of 3W bytes into rows padded to 4: row by row, both bottom-up.
    for (std::int32_t r = 0; r < height; ++r) {
        std::memcpy(pixels + static_cast<std::size_t>(r) * stride,
                    buffer + static_cast<std::size_t>(r) * rowBytes, rowBytes);
    }
    return true;
}

void TFrameConversion::ConvertPlanar420(const std::uint8_t* buffer, std::uint32_t compression,
                                        Bitmap& bitmap) {
    BuildYuvTables();
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    if (height <= 0) return;
    const TYuvTables tables{FLumaTable.data(), FUGreenTable.data(), FUBlueTable.data(),
                            FVRedTable.data(), FVGreenTable.data(), FClampTable.data() + 1023};
    const TPlanar420Rows rows = Planar420RowsFor(FPath);
    const int pairs = width / 2;
    const auto pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::uint8_t* first = buffer + pixels;
    const std::uint8_t* second = first + pixels / 4;
    const bool vFirst = compression == kCompressionYv12;
    const std::uint8_t* uPlane = vFirst ? second : first;
    const std::uint8_t* vPlane = vFirst ? first : second;
    // Luma rows follow one another without realignment: 2 * pairs bytes each. Chroma row k
    // serves picture rows 2k and 2k + 1; the planes hold height / 2 of them, so the last row of
    // an odd height has no chroma row of its own in the buffer and is left as it is.
    const std::size_t lumaRow = 2 * static_cast<std::size_t>(pairs);
    for (int k = 0; k < height / 2; ++k) {
        const std::size_t chroma = static_cast<std::size_t>(pairs) * static_cast<std::size_t>(k);
        const std::uint8_t* luma0 = buffer + lumaRow * static_cast<std::size_t>(2 * k);
        rows(luma0, luma0 + lumaRow, uPlane + chroma, vPlane + chroma, bitmap.ScanLine(2 * k),
             bitmap.ScanLine(2 * k + 1), pairs, tables);
    }
}

void TFrameConversion::ConvertPacked422(const std::uint8_t* buffer, Bitmap& bitmap) {
    BuildYuvTables();
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    if (height <= 0) return;
    const TYuvTables tables{FLumaTable.data(), FUGreenTable.data(), FUBlueTable.data(),
                            FVRedTable.data(), FVGreenTable.data(), FClampTable.data() + 1023};
    const TPacked422Row row = Packed422RowFor(FPath);
    const int pairs = width / 2;
    // The buffer is read straight on, four bytes per pair, nothing skipped between rows.
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(pairs);
    for (int r = 0; r < height; ++r) {
        row(buffer + rowBytes * static_cast<std::size_t>(r), bitmap.ScanLine(r), pairs, tables);
    }
}

bool TFrameConversion::ConvertMotionJpeg(std::int32_t size, const std::uint8_t* buffer,
                                         Bitmap& bitmap) {
    try {
        const std::size_t count = size > 0 ? static_cast<std::size_t>(size) : 0;
        FJpegStream->Clear();
        FJpegStream->SetSize(count);
        FJpegStream->SetPosition(0);
        FJpegStream->Write(buffer, count);
        FJpegStream->SetPosition(0);
        return FJpeg->LoadFromStream(*FJpegStream) && FJpeg->Draw(bitmap);
    } catch (...) {
        return false;
    }
}

void TFrameConversion::WriteNotice(std::int32_t size, std::uint32_t compression, Bitmap& bitmap) {
    Canvas& canvas = bitmap.GetCanvas();
    canvas.TextOut(0, 0, "Unknown compression");
    const int lineHeight = canvas.TextHeight("X");
    std::string code = "RGB";
    if (compression != kCompressionRgb) {
        code.assign(4, '\0');
        for (int i = 0; i < 4; ++i) code[i] = static_cast<char>((compression >> (8 * i)) & 0xff);
    }
    canvas.TextOut(0, lineHeight, "DataSize: " + std::to_string(size) + "  FourCC: " + code);
}
