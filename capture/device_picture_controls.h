#pragma once

#include <memory>
#include <string>

#include "capture/picture_control_access.h"

// The station camera's picture controls, reached without a capture graph: the device that the
// capture graph would choose for the same name, its filter bound from the device list and asked
// for its control interfaces. No pin is connected and nothing runs, so this works while another
// program streams the camera and can never make that program's start fail. Every reference goes
// with the object: keep one only for the duration of one use, so that an unplug, a driver update
// or another program is never held up by us. Main thread of a COM apartment.

enum class PictureControlsOpening {
    Opened,      // the camera was found and offers at least one control interface
    NoCamera,    // no device matches the name (or there is none), or it could not be bound
    NoControls,  // the camera is there but offers none of the control interfaces
};

class DevicePictureControls {
  public:
    struct Opening {
        PictureControlsOpening result = PictureControlsOpening::NoCamera;
        // Without a camera, the status of the device walk or of binding the device (S_FALSE:
        // no device matched).
        HRESULT status = S_FALSE;
        std::unique_ptr<DevicePictureControls> controls;  // set when opened
    };

    static Opening Open(const std::string& cameraName);

    DevicePictureControls(const DevicePictureControls&) = delete;
    DevicePictureControls& operator=(const DevicePictureControls&) = delete;

    bool Offers(ControlInterface face) const { return access_.Offers(face); }
    HRESULT Read(const PictureControl& control, PictureControlState& state) {
        return access_.Read(control, state);
    }
    HRESULT Set(const PictureControl& control, std::int32_t value, std::int32_t flags) {
        return access_.Set(control, value, flags);
    }

  private:
    DevicePictureControls(ComPtr<IBaseFilter> source, PictureControlAccess access);

    // Declared in this order so that the interfaces go before the filter they belong to.
    ComPtr<IBaseFilter> source_;
    PictureControlAccess access_;
};
