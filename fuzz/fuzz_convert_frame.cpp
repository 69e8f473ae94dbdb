// ConvertFrame on every compression code. The first input bytes choose the code, the frame
// size, whether the buffer has the code's size, and for Motion-JPEG whether the rest is taken
// as it is or encoded as a small JPEG first and then damaged (so that the decoder sees real
// structure). Every frame is converted on the scalar and the best SIMD path, which must agree;
// Motion-JPEG frames also by libjpeg's own upsampling and colour conversion (the SSE4.1 path),
// against our colour rows on the other two.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/bitmap.h"
#include "platform/camera_picture/jpeg_encoder.h"
#include "video/frame_conversion.h"

namespace {

constexpr std::uint32_t kCodes[] = {kCompressionRgb,  kCompressionI420, kCompressionIyuv,
                                    kCompressionYv12, kCompressionYuy2, kCompressionYunv,
                                    kCompressionYuyv, kCompressionMjpg};

class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    const std::uint8_t* Rest() const { return data_ + at_; }
    std::size_t RestSize() const { return size_ - at_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A small JPEG of the given kind with pixels taken from `reader`; empty if libjpeg refuses.
std::vector<std::uint8_t> Encode(Reader& reader, int width, int height, int kind) {
    const JpegInput input = kind % 3 == 0   ? JpegInput::Rgb
                            : kind % 3 == 1 ? JpegInput::Grey
                                            : JpegInput::Cmyk;
    const int components = input == JpegInput::Rgb ? 3 : input == JpegInput::Grey ? 1 : 4;
    JpegSettings settings;
    settings.quality = 20 + reader.Byte() % 80;
    settings.lumaHorizontal = 1 + (kind / 3) % 2;
    settings.lumaVertical = 1 + (kind / 6) % 2;
    settings.progressive = (kind & 16) != 0;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * components);
    for (auto& b : pixels) b = reader.Byte();
    return EncodeJpeg(pixels.data(), width, height, input, settings);
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_convert_frame: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader reader(data, size);
    const std::uint8_t selector = reader.Byte();
    const int width = reader.Byte() % 72;
    const int height = reader.Byte() % 40;
    const std::uint8_t sizing = reader.Byte();
    std::uint32_t code = kCodes[selector % 9 < 8 ? selector % 9 : 0];
    if (selector % 9 == 8) {  // any code at all
        code = 0;
        for (int i = 0; i < 4; ++i) code |= static_cast<std::uint32_t>(reader.Byte()) << (8 * i);
    }

    Bitmap bitmap;
    if (!bitmap.SetSize(width, height)) return 0;
    std::vector<std::uint8_t> frame;
    if (code == kCompressionMjpg && (sizing & 1)) {
        // Encode a small picture, then damage it: (offset, value) pairs and a cut.
        const int jpegWidth = 1 + reader.Byte() % 80;
        const int jpegHeight = 1 + reader.Byte() % 80;
        const int kind = reader.Byte();
        const int damages = reader.Byte() % 8;
        const std::uint8_t cut = reader.Byte();
        std::vector<std::pair<std::uint16_t, std::uint8_t>> edits;
        for (int i = 0; i < damages; ++i) {
            const std::uint16_t offset =
                static_cast<std::uint16_t>(reader.Byte() | (reader.Byte() << 8));
            edits.emplace_back(offset, reader.Byte());
        }
        frame = Encode(reader, jpegWidth, jpegHeight, kind);
        Check(!frame.empty(), "the encoder refused a valid picture");
        for (const auto& [offset, value] : edits) {
            if (!frame.empty()) frame[offset % frame.size()] = value;
        }
        if (cut != 0 && cut < frame.size()) frame.resize(frame.size() - cut);
    } else {
        frame.assign(reader.Rest(), reader.Rest() + reader.RestSize());
        // Give the YUV and RGB codes their exact size most of the time.
        const bool exact = (sizing & 3) != 0;
        if (exact && code != kCompressionMjpg) {
            std::size_t wanted = static_cast<std::size_t>(width) * height;
            if (code == kCompressionRgb)
                wanted *= 3;
            else if (code == kCompressionYuy2 || code == kCompressionYunv ||
                     code == kCompressionYuyv)
                wanted *= 2;
            else if (code != kCompressionI420 && code != kCompressionIyuv &&
                     code != kCompressionYv12)
                wanted = frame.size();
            else
                wanted = wanted * 3 / 2;
            std::vector<std::uint8_t> sized(wanted);
            for (std::size_t i = 0; i < wanted; ++i) {
                sized[i] = frame.empty() ? static_cast<std::uint8_t>(i) : frame[i % frame.size()];
            }
            frame = std::move(sized);
        }
    }
    // An exactly sized heap copy, so that any read past the end is caught.
    const std::size_t length = frame.size();
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[length == 0 ? 1 : length]);
    if (length != 0) std::memcpy(buffer.get(), frame.data(), length);
    const auto size32 = static_cast<std::int32_t>(length);

    static TFrameConversion scalar;  // reused as the video image reuses its conversion
    static TFrameConversion best;
    static TFrameConversion libjpegFinish;
    static bool configured = false;
    if (!configured) {
        scalar.SetConversionPath(TConversionPath::Scalar);
        libjpegFinish.SetConversionPath(TConversionPath::Sse41);
        libjpegFinish.SetJpegPixelLimit(1 << 20);
        scalar.SetJpegPixelLimit(1 << 20);  // keeps each run short; the limit itself is tested
        best.SetJpegPixelLimit(1 << 20);
        configured = true;
    }
    // The whole pixel memory, row padding included: nothing may be written beyond the pixels.
    const std::size_t memory = static_cast<std::size_t>(bitmap.RowStride()) * height;
    if (memory != 0) std::memset(bitmap.PixelMemory(), 0x5A, memory);
    Check(scalar.ConvertFrame(size32, buffer.get(), width, height, code, bitmap),
          "ConvertFrame dropped an exception");

    auto agrees = [&](TFrameConversion& conversion) {
        Bitmap other;
        other.SetSize(width, height);
        if (memory != 0) std::memset(other.PixelMemory(), 0x5A, memory);
        Check(conversion.ConvertFrame(size32, buffer.get(), width, height, code, other),
              "ConvertFrame dropped an exception");
        return memory == 0 || std::memcmp(bitmap.PixelMemory(), other.PixelMemory(), memory) == 0;
    };
    Check(agrees(best), "SIMD and scalar conversions differ");
    if (code == kCompressionMjpg && libjpegFinish.ConversionPath() == TConversionPath::Sse41) {
        Check(agrees(libjpegFinish), "our colour rows and libjpeg's differ");
    }
    return 0;
}
