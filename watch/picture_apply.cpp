#include "watch/picture_apply.h"

#include <algorithm>

#include "capture/device_picture_controls.h"

namespace {

constexpr PictureControl kZoom = *PictureControlByKey("zoom");

std::string ModeText(const PictureControlState& state) {
    return IsManualMode(state.flags) ? std::to_string(state.value) : "auto";
}

void ApplyZoom(DevicePictureControls& controls, std::int32_t storedZoom, ApplyResult& result,
               AutosetOutcome& outcome) {
    PictureControlState zoom;
    outcome.zoomReading = controls.Read(kZoom, zoom);
    if (outcome.zoomReading != S_OK) return;
    result.found = zoom.value;
    if (zoom.value == storedZoom) return;
    result.sent = true;
    outcome.zoomSetting = controls.Set(kZoom, storedZoom, FlagsForMode(IsManualMode(zoom.flags)));
    PictureControlState after;
    if (*outcome.zoomSetting >= 0 && controls.Read(kZoom, after) == S_OK) {
        result.readBack = after.value;
    }
}

KeptControlOutcome ApplyKept(DevicePictureControls& controls, const KeptSetting& kept) {
    KeptControlOutcome outcome;
    outcome.key = std::string(kept.control.key);
    outcome.wanted = KeptValueText(kept.value);
    PictureControlState state;
    if (controls.Read(kept.control, state) != S_OK) {
        outcome.what = KeptControlOutcome::What::NotOffered;
        return outcome;
    }
    outcome.was = ModeText(state);
    if (outcome.was == outcome.wanted) return outcome;

    HRESULT hr = S_OK;
    if (!kept.value) {
        hr = controls.Set(kept.control, state.value, kCameraControlFlagsAuto);
    } else {
        // Automatic mode off first: a camera may ignore a value written while it decides itself.
        if (!IsManualMode(state.flags)) {
            hr = controls.Set(kept.control, state.value, kCameraControlFlagsManual);
        }
        if (SUCCEEDED(hr) && *kept.value != state.value) {
            hr = controls.Set(kept.control, *kept.value, kCameraControlFlagsManual);
        }
    }
    if (FAILED(hr)) {
        outcome.what = KeptControlOutcome::What::Refused;
        return outcome;
    }
    outcome.what = KeptControlOutcome::What::Set;
    PictureControlState after;
    if (controls.Read(kept.control, after) == S_OK) outcome.readBack = ModeText(after);
    return outcome;
}

}  // namespace

ApplyResult ApplyStoredPicture(const std::string& cameraName, std::int32_t storedZoom,
                               const std::vector<KeptSetting>& kept,
                               const std::vector<std::string>& leftAlone) {
    ApplyResult result;
    result.stored = storedZoom;
    AutosetOutcome outcome;
    DevicePictureControls::Opening opening = DevicePictureControls::Open(cameraName);
    outcome.cameraOpened = opening.result != PictureControlsOpening::NoCamera;
    if (opening.controls) {
        ApplyZoom(*opening.controls, storedZoom, result, outcome);
        for (const KeptSetting& setting : kept) {
            const bool alone = std::find(leftAlone.begin(), leftAlone.end(), setting.control.key) !=
                               leftAlone.end();
            if (!alone) result.kept.push_back(ApplyKept(*opening.controls, setting));
        }
    }
    result.outcome = AutosetExitCodeFor(outcome);
    return result;
}
