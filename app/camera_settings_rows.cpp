// The rules of the camera settings dialog's rows: start, Defaults, Keep and the stored line.
#include "app/camera_settings_rows.h"

#include <algorithm>

std::optional<SettingRowStart> StartSettingRow(const PictureControl& control, std::int32_t status,
                                               const PictureControlState& state, bool keep) {
    if (status != 0 || state.min > state.max) return std::nullopt;
    const ZoomRange range{state.min, state.max, std::max<std::int32_t>(state.step, 1)};
    const bool automaticNow = !IsManualMode(state.flags);
    const bool reportsAuto = (state.capsFlags & kCameraControlFlagsAuto) != 0;
    const bool reportsManual = (state.capsFlags & kCameraControlFlagsManual) != 0;
    return SettingRowStart{
        .control = control,
        .range = range,
        .defaultValue = range.Snap(state.defaultValue),
        .offersAuto = reportsAuto || automaticNow,
        .onlyAuto = automaticNow && reportsAuto && !reportsManual,
        .atStart = {state.value, automaticNow},
        .sliderStart = range.Snap(state.value),
        .keep = keep,
    };
}

bool StartsKept(const PictureControl& control, const std::vector<KeptSetting>& kept,
                bool zoomStored) {
    if (IsZoom(control)) return zoomStored;
    return std::any_of(kept.begin(), kept.end(), [&](const KeptSetting& setting) {
        return setting.control.key == control.key;
    });
}

ControlSetting DefaultSetting(const SettingRowStart& row) {
    return {row.defaultValue, row.offersAuto};
}

KeptSetting KeptSettingOf(const PictureControl& control, const ControlSetting& setting) {
    if (setting.automatic) return {control, std::nullopt};
    return {control, setting.value};
}

std::string CameraSettingsUnavailableText(bool cameraOpen) {
    return cameraOpen ? "The camera offers none of the picture controls." : "No camera is open.";
}
