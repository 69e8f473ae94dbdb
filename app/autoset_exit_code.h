#pragma once

#include <cstdint>
#include <optional>

// What an autoset run found on its way, as far as its exit code depends on it.
struct AutosetOutcome {
    // OpenCamera answered 0: a device matched and its graph runs.
    bool cameraOpened = false;
    // Status of the latest reading of the Zoom control: 0 read, 1 no camera-control interface
    // (or no camera), negative the control could not be read.
    std::int32_t zoomReading = 1;
    // Status of sending the stored zoom to the camera; none when nothing was sent.
    std::optional<std::int32_t> zoomSetting;
};

// The exit codes of an autoset run that ends by closing its window; the first that applies wins.
enum class AutosetExitCode : int {
    Applied = 0,   // the stored zoom is on the camera: accepted, or equal to the last reading
    NoCamera = 2,  // no device matched the configured name, or it could not be started
    NoZoom = 3,    // the camera is open but offers no camera control, or its Zoom was unreadable
    Refused = 4,   // the camera answered the setting of the zoom with a failure
};

AutosetExitCode AutosetExitCodeFor(const AutosetOutcome& outcome);
