#include "watch/zoom_apply.h"

#include "capture/device_picture_controls.h"

namespace {

constexpr PictureControl kZoom = *PictureControlByKey("zoom");

}  // namespace

ApplyResult ApplyStoredZoom(const std::string& cameraName, std::int32_t storedZoom) {
    ApplyResult result;
    result.stored = storedZoom;
    AutosetOutcome outcome;
    DevicePictureControls::Opening opening = DevicePictureControls::Open(cameraName);
    outcome.cameraOpened = opening.result != PictureControlsOpening::NoCamera;
    if (opening.controls) {
        PictureControlState zoom;
        outcome.zoomReading = opening.controls->Read(kZoom, zoom);
        if (outcome.zoomReading == S_OK) {
            result.found = zoom.value;
            if (zoom.value != storedZoom) {
                result.sent = true;
                outcome.zoomSetting = opening.controls->Set(kZoom, storedZoom,
                                                            FlagsForMode(IsManualMode(zoom.flags)));
                PictureControlState after;
                if (*outcome.zoomSetting >= 0 && opening.controls->Read(kZoom, after) == S_OK) {
                    result.readBack = after.value;
                }
            }
        }
    }
    result.outcome = AutosetExitCodeFor(outcome);
    return result;
}
