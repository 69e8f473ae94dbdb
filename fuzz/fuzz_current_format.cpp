// Reading the current format's block on arbitrary bytes: it never reads past the block (an
// exact-size heap copy, at any alignment), and it agrees with a reading of the header's fields
// at their byte offsets. The first byte chooses the format type (even: FORMAT_VideoInfo) and
// whether the block starts one byte in (so that it is unaligned); the rest is the block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "capture/current_format.h"

namespace {

// Where the fields lie in a VIDEOINFOHEADER: two RECTs, two DWORDs and a REFERENCE_TIME, then
// the BITMAPINFOHEADER (biSize, biWidth, biHeight, biPlanes, biBitCount, biCompression).
constexpr std::size_t kHeaderSize = 88;
constexpr std::size_t kWidthAt = 52;
constexpr std::size_t kHeightAt = 56;
constexpr std::size_t kCompressionAt = 64;
static_assert(sizeof(VIDEOINFOHEADER) == kHeaderSize);
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) + offsetof(BITMAPINFOHEADER, biHeight) ==
              kHeightAt);

std::uint32_t Le32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool videoInfo = (data[0] & 1) == 0;
    const std::size_t offset = (data[0] & 2) ? 1 : 0;
    const std::size_t length = size - 1;
    // The block ends where the allocation ends, so any overread shows.
    auto storage = std::make_unique<std::uint8_t[]>(offset + length);
    std::memcpy(storage.get() + offset, data + 1, length);
    const std::uint8_t* block = storage.get() + offset;

    CurrentFormatReading reading =
        ReadCurrentFormatBlock(videoInfo ? FORMAT_VideoInfo : FORMAT_VideoInfo2, block, length);

    CurrentFormatStatus expected = CurrentFormatStatus::Read;
    std::int32_t width = 0;
    std::int64_t height = 0;
    std::uint32_t compression = 0;
    if (!videoInfo) {
        expected = CurrentFormatStatus::OtherFormatType;
    } else if (length < kHeaderSize) {
        expected = CurrentFormatStatus::ShortBlock;
    } else {
        height = static_cast<std::int32_t>(Le32(block + kHeightAt));
        if (height < 0) height = -height;
        if (height > std::numeric_limits<std::int32_t>::max()) {
            expected = CurrentFormatStatus::HeightOutOfRange;
            height = 0;
        } else {
            width = static_cast<std::int32_t>(Le32(block + kWidthAt));
            compression = Le32(block + kCompressionAt);
        }
    }
    Check(reading.status == expected);
    Check(reading.format.width == width);
    Check(reading.format.height == height);
    Check(reading.format.compression == compression);
    Check((CurrentFormatResult(reading.status) == S_OK) ==
          (expected == CurrentFormatStatus::Read ||
           expected == CurrentFormatStatus::OtherFormatType));
    return 0;
}
