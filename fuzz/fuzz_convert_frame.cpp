// ConvertFrame on every compression code. The first input bytes choose the code, the frame
// size, whether the buffer has the code's size, and for Motion-JPEG whether the rest is taken
// as it is or encoded as a small JPEG first and then damaged (so that the decoder sees real
// structure). YUV frames are converted on the scalar and the best SIMD path and must agree.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <jpeglib.h>

#include "platform/bitmap.h"
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
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    errors.error_exit = [](j_common_ptr) { std::abort(); };  // valid settings only below
    jpeg_create_compress(&info);
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    jpeg_mem_dest(&info, &output, &outputSize);
    const int components = kind % 3 == 0 ? 3 : kind % 3 == 1 ? 1 : 4;
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 3 ? JCS_RGB : components == 1 ? JCS_GRAYSCALE : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 20 + reader.Byte() % 80, TRUE);
    if (components == 3) {
        info.comp_info[0].h_samp_factor = 1 + (kind / 3) % 2;
        info.comp_info[0].v_samp_factor = 1 + (kind / 6) % 2;
    }
    if (kind & 16) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * components);
    while (info.next_scanline < info.image_height) {
        for (auto& b : row) b = reader.Byte();
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> jpeg(output, output + outputSize);
    std::free(output);
    jpeg_destroy_compress(&info);
    return jpeg;
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
    static bool configured = false;
    if (!configured) {
        scalar.SetConversionPath(TConversionPath::Scalar);
        scalar.SetJpegPixelLimit(1 << 20);  // keeps each run short; the limit itself is tested
        best.SetJpegPixelLimit(1 << 20);
        configured = true;
    }
    // The whole pixel memory, row padding included: nothing may be written beyond the pixels.
    const std::size_t memory = static_cast<std::size_t>(bitmap.RowStride()) * height;
    if (memory != 0) std::memset(bitmap.PixelMemory(), 0x5A, memory);
    Check(scalar.ConvertFrame(size32, buffer.get(), width, height, code, bitmap),
          "ConvertFrame dropped an exception");

    if (code != kCompressionMjpg) {
        Bitmap other;
        other.SetSize(width, height);
        if (memory != 0) std::memset(other.PixelMemory(), 0x5A, memory);
        Check(best.ConvertFrame(size32, buffer.get(), width, height, code, other),
              "ConvertFrame dropped an exception");
        Check(memory == 0 || std::memcmp(bitmap.PixelMemory(), other.PixelMemory(), memory) == 0,
              "SIMD and scalar conversions differ");
    }
    return 0;
}
