#pragma once

// The picture a simulated device sends: the camera doubles' moving picture
// (platform/camera_picture/) laid out in the device's format.

#include <cstddef>
#include <cstdint>

#include "platform/camera_picture/picture_effects.h"
#include "platform/host/dshow/test_controls.h"

namespace host::dshow {

// Fills `size` bytes at `data` with frame number `frame` in the layout of `format`. A buffer too
// small for the frame carries what fits, as a real device's does; bytes the frame does not use
// are zero. 8- and 16-bit RGB stay black; a code that no layout has gets a byte ramp that moves
// with the frame. `effects`: what the device's controls do to the picture.
void PaintTestPattern(BYTE* data, std::size_t size, const DeviceConfig& format, std::uint32_t frame,
                      const PictureEffects& effects = {});

// The device's controls as the picture reads them (automatic mode: flags with the automatic bit).
PictureControlReadings PictureReadingsOf(const DeviceConfig& device);

}  // namespace host::dshow
