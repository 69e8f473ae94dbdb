#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/camera_section.h"
#include "app/setting_pacer.h"
#include "app/zoom_choice.h"
#include "capture/picture_control_access.h"

// The rules of the "Camera settings" dialog, one row per picture control the camera offers:
// which controls get a row, where the slider starts, what Defaults chooses, which rows start
// marked Keep, what Save stores and what closing without Save sets back. No I/O: the dialog
// feeds it.

// What one setting of a control sends: a value and its mode.
struct ControlSetting {
    std::int32_t value = 0;
    bool automatic = false;

    bool operator==(const ControlSetting&) const = default;
    std::int32_t Flags() const {
        return automatic ? kCameraControlFlagsAuto : kCameraControlFlagsManual;
    }
};

using ControlSettingPacer = SettingPacer<ControlSetting>;

// One row as the dialog opens it.
struct SettingRowStart {
    PictureControl control;
    ZoomRange range;               // the slider's positions (the zoom dialog's snapping rule)
    std::int32_t defaultValue;     // snapped into the range
    bool offersAuto = false;       // the camera reports automatic mode as possible
    bool onlyAuto = false;         // ... and not manual mode: the row cannot leave automatic
    ControlSetting atStart;        // as the camera had it, unsnapped: what Cancel sets back
    std::int32_t sliderStart = 0;  // the camera's value snapped into the range
    bool keep = false;             // stored for the station already
};

// The row of `control` from its reading (GetPictureControl's status and state); none when the
// camera does not offer it (any status but 0) or reports a range whose minimum lies above its
// maximum. A control whose current mode is automatic but that does not report automatic mode
// as possible still shows it as automatic: the mode on the camera is the fact. A control that is
// automatic now and reports automatic mode alone as possible is only automatic: no value can be
// chosen for it (a camera that reports no modes at all is not taken at its word).
std::optional<SettingRowStart> StartSettingRow(const PictureControl& control, std::int32_t status,
                                               const PictureControlState& state, bool keep);

// Whether the row of `control` starts marked Keep: it is in [camera], or, for the zoom, which
// lives in [options], a zoom is stored there.
bool StartsKept(const PictureControl& control, const std::vector<KeptSetting>& kept,
                bool zoomStored);

// Defaults: the camera's default value, in automatic mode where the control offers it (the
// mode in which a camera comes up for the controls that have one: exposure, focus, white
// balance).
ControlSetting DefaultSetting(const SettingRowStart& row);

// Save: the [camera] line of a row marked Keep ("auto" for a row in automatic mode). Never
// asked for the zoom, which goes to [options] zoom.
KeptSetting KeptSettingOf(const PictureControl& control, const ControlSetting& setting);

// The one-line text of a dialog without rows.
std::string CameraSettingsUnavailableText(bool cameraOpen);
