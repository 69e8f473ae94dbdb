#include "watch/zoom_apply.h"

#include "capture/camera_controls.h"
#include "video/VFrames.h"

namespace {

constexpr auto kZoomId = static_cast<std::int32_t>(TCameraProperty::Zoom);

}  // namespace

ApplyResult ApplyStoredZoom(const std::string& cameraName, std::int32_t storedZoom) {
    ApplyResult result;
    result.stored = storedZoom;
    AutosetOutcome outcome;
    DeviceCameraControls::Opening opening = DeviceCameraControls::Open(cameraName);
    outcome.cameraOpened = opening.result != CameraControlsOpening::NoCamera;
    if (opening.controls) {
        CameraControlState zoom;
        outcome.zoomReading = opening.controls->Read(kZoomId, zoom);
        if (outcome.zoomReading == S_OK) {
            result.found = zoom.value;
            if (zoom.value != storedZoom) {
                result.sent = true;
                outcome.zoomSetting = opening.controls->Set(kZoomId, storedZoom,
                                                            FlagsForMode(IsManualMode(zoom.flags)));
                CameraControlState after;
                if (*outcome.zoomSetting >= 0 && opening.controls->Read(kZoomId, after) == S_OK) {
                    result.readBack = after.value;
                }
            }
        }
    }
    result.outcome = AutosetExitCodeFor(outcome);
    return result;
}
