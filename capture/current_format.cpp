#include "capture/current_format.h"

#include <cstring>
#include <limits>

CurrentFormatReading ReadCurrentFormatBlock(const GUID& formatType, const BYTE* block,
                                            std::size_t size) {
    CurrentFormatReading reading;
    if (!IsEqualGUID(formatType, FORMAT_VideoInfo)) {
        reading.status = CurrentFormatStatus::OtherFormatType;
        return reading;
    }
    if (!block || size < sizeof(VIDEOINFOHEADER)) {
        reading.status = CurrentFormatStatus::ShortBlock;
        return reading;
    }
    // Copied out: the platform promises no alignment of the block.
    VIDEOINFOHEADER info;
    std::memcpy(&info, block, sizeof info);
    const std::int32_t rows = info.bmiHeader.biHeight;
    if (rows == std::numeric_limits<std::int32_t>::min()) {
        reading.status = CurrentFormatStatus::HeightOutOfRange;
        return reading;
    }
    reading.status = CurrentFormatStatus::Read;
    reading.format.width = info.bmiHeader.biWidth;
    reading.format.height = rows < 0 ? -rows : rows;
    reading.format.compression = info.bmiHeader.biCompression;
    return reading;
}

HRESULT CurrentFormatResult(CurrentFormatStatus status) {
    switch (status) {
        case CurrentFormatStatus::Read:
        case CurrentFormatStatus::OtherFormatType:
            return S_OK;
        case CurrentFormatStatus::ShortBlock:
        case CurrentFormatStatus::HeightOutOfRange:
            break;
    }
    return E_FAIL;
}
