#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/platform.h"

// The stream's current output format as the device's stream configuration describes it: a
// format type and a format block, of which a VIDEOINFOHEADER is read.

struct CurrentFormat {
    std::int32_t width = 0;
    std::int32_t height = 0;        // rows, also for a top-down (negative biHeight) format
    std::uint32_t compression = 0;  // 0 for uncompressed RGB, otherwise a FourCC
};

enum class CurrentFormatStatus {
    Read,              // FORMAT_VideoInfo: biWidth, |biHeight| and biCompression
    OtherFormatType,   // not FORMAT_VideoInfo: nothing is read, all three stay 0
    ShortBlock,        // no block, or one too short for a VIDEOINFOHEADER: all three stay 0
    HeightOutOfRange,  // biHeight is INT_MIN, whose rows no 32-bit height holds: all three 0
};

struct CurrentFormatReading {
    CurrentFormatStatus status = CurrentFormatStatus::OtherFormatType;
    CurrentFormat format;
};

// Reads `size` bytes at `block` (any alignment) as the format block of `formatType`.
CurrentFormatReading ReadCurrentFormatBlock(const GUID& formatType, const BYTE* block,
                                            std::size_t size);

// What ReadCurrentFormat answers for a reading: success for a format read or of another type,
// E_FAIL for a block that does not describe a frame.
HRESULT CurrentFormatResult(CurrentFormatStatus status);
