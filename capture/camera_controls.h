#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "capture/camera_control_flags.h"
#include "capture/platform.h"

// The station camera's camera controls, reached without a capture graph: the device that the
// capture graph would choose for the same name, its filter bound from the device list and asked
// for the camera-control interface. No pin is connected and nothing runs, so this works while
// another program streams the camera and can never make that program's start fail. Every
// reference goes with the object: keep one only for the duration of one use, so that an unplug,
// a driver update or another program is never held up by us. Main thread of a COM apartment.

// One control as read: its range, step, default, the modes it offers, and its current value
// and mode.
struct CameraControlState {
    std::int32_t min = 0;
    std::int32_t max = 0;
    std::int32_t step = 0;
    std::int32_t defaultValue = 0;
    std::int32_t capsFlags = 0;
    std::int32_t value = 0;
    std::int32_t flags = kCameraControlFlagsManual;
};

enum class CameraControlsOpening {
    Opened,           // the camera was found and offers the camera-control interface
    NoCamera,         // no device matches the name (or there is none), or it could not be bound
    NoCameraControl,  // the camera is there but offers no camera-control interface
};

class DeviceCameraControls {
  public:
    struct Opening {
        CameraControlsOpening result = CameraControlsOpening::NoCamera;
        // The platform's status: of the device walk or of binding the device when there is no
        // camera (S_FALSE: no device matched), of asking for the interface when it has none.
        HRESULT status = S_FALSE;
        std::unique_ptr<DeviceCameraControls> controls;  // set when opened
    };

    static Opening Open(const std::string& cameraName);

    DeviceCameraControls(const DeviceCameraControls&) = delete;
    DeviceCameraControls& operator=(const DeviceCameraControls&) = delete;

    // GetRange, then Get when that succeeded; the status of the last call made. A failed call
    // leaves what it would have written as it was in `state`.
    HRESULT Read(std::int32_t id, CameraControlState& state);
    HRESULT Set(std::int32_t id, std::int32_t value, std::int32_t flags);

  private:
    DeviceCameraControls(ComPtr<IBaseFilter> source, ComPtr<IAMCameraControl> control);

    // Declared in this order so that the interface goes before the filter it belongs to.
    ComPtr<IBaseFilter> source_;
    ComPtr<IAMCameraControl> control_;
};
