// The rule that turns what an autoset run found into its exit code.
#include "app/autoset_exit_code.h"

AutosetExitCode AutosetExitCodeFor(const AutosetOutcome& outcome) {
    if (!outcome.cameraOpened) return AutosetExitCode::NoCamera;
    if (outcome.zoomReading != 0) return AutosetExitCode::NoZoom;
    if (outcome.zoomSetting && *outcome.zoomSetting < 0) return AutosetExitCode::Refused;
    return AutosetExitCode::Applied;
}
