#include "platform/host/dshow/test_pattern.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/camera_picture/camera_picture.h"

namespace host::dshow {

void PaintTestPattern(BYTE* data, std::size_t size, const DeviceConfig& format,
                      std::uint32_t frame) {
    if (size == 0) return;
    std::memset(data, 0, size);
    if (format.width <= 0 || format.height <= 0) return;
    const std::optional<PictureLayout> layout =
        PictureLayoutOf(format.compression, format.bitCount);
    if (!layout) {
        if (format.compression == BI_RGB) return;
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<BYTE>(i + frame);
        return;
    }
    CameraPicture picture({format.width, format.height, *layout, format.topDown});
    if (picture.Draw(frame, data, size) != 0) return;
    // Too small a buffer (or a Motion-JPEG frame, whose size varies): the frame's first bytes.
    std::vector<std::uint8_t> whole;
    if (*layout == PictureLayout::Mjpg) {
        whole = picture.Jpeg(frame);
    } else {
        whole.resize(picture.FrameSize());
        picture.Draw(frame, whole.data(), whole.size());
    }
    std::memcpy(data, whole.data(), std::min(size, whole.size()));
}

}  // namespace host::dshow
