#pragma once

#include <cstdint>

#include "capture/camera_control_flags.h"
#include "capture/picture_controls.h"
#include "capture/platform.h"

// One control as read: its range, step, default, the modes it offers, and its current value
// and mode.
struct PictureControlState {
    std::int32_t min = 0;
    std::int32_t max = 0;
    std::int32_t step = 0;
    std::int32_t defaultValue = 0;
    std::int32_t capsFlags = 0;
    std::int32_t value = 0;
    std::int32_t flags = kCameraControlFlagsManual;
};

// The picture controls of one source filter through the interfaces it offers: the camera-control
// and video-processing interfaces, and the kernel-streaming property set for the power-line
// frequency. The two interfaces share their flag values (1 automatic, 2 manual).
class PictureControlAccess {
  public:
    PictureControlAccess() = default;
    // Asks `source` for the interfaces; one that it does not offer, or whose query fails or
    // raises, is left out. `camera` is its camera-control interface when already asked for.
    explicit PictureControlAccess(IBaseFilter& source);
    PictureControlAccess(IBaseFilter& source, ComPtr<IAMCameraControl> camera);

    bool Offers(ControlInterface face) const;
    bool OffersAny() const;

    // GetRange, then Get when that succeeded; the status of the last call made. S_FALSE, and
    // nothing written, without the control's interface. A failed call leaves what it would have
    // written as it was. The power-line frequency's range is the documented one (0 off to 2,
    // 60 Hz, steps of 1) and its default is its current value, which the property set does not
    // give through this interface.
    HRESULT Read(const PictureControl& control, PictureControlState& state);
    // S_FALSE without the control's interface.
    HRESULT Set(const PictureControl& control, std::int32_t value, std::int32_t flags);

  private:
    HRESULT ReadPowerLine(PictureControlState& state);
    HRESULT SetPowerLine(std::int32_t value);

    ComPtr<IAMCameraControl> camera_;
    ComPtr<IAMVideoProcAmp> procAmp_;
    ComPtr<IKsPropertySet> properties_;  // only when it offers the power-line frequency
};
