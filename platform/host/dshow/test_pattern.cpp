#include "platform/host/dshow/test_pattern.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/camera_picture/camera_picture.h"

namespace host::dshow {

namespace {

ControlReading ReadingOf(const std::optional<CameraControlConfig>& control) {
    ControlReading reading;
    if (!control) return reading;
    reading.present = true;
    reading.min = control->min;
    reading.max = control->max;
    reading.defaultValue = control->defaultValue;
    reading.value = control->value;
    reading.automatic = (control->flags & CameraControl_Flags_Auto) != 0;
    return reading;
}

}  // namespace

PictureControlReadings PictureReadingsOf(const DeviceConfig& device) {
    PictureControlReadings readings;
    // An interface the device does not offer has no controls that act.
    if (device.cameraControl) {
        for (std::size_t i = 0; i < readings.camera.size(); ++i) {
            readings.camera[i] = ReadingOf(device.controls[i]);
        }
    }
    if (device.videoProcAmp) {
        for (std::size_t i = 0; i < readings.procAmp.size(); ++i) {
            readings.procAmp[i] = ReadingOf(device.procAmp[i]);
        }
    }
    return readings;
}

void PaintTestPattern(BYTE* data, std::size_t size, const DeviceConfig& format, std::uint32_t frame,
                      const PictureEffects& effects) {
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
    picture.SetEffects(effects);
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
