#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/setting_pacer.h"

// The rules of choosing the zoom with a slider: which positions the camera's Zoom control
// takes, how far the keys move, how often a dragged slider may set the camera, and what
// closing the choice leaves on the camera and in config.ini. No I/O: the dialog feeds it.

// The Zoom control as the camera reported it.
struct ZoomControlReading {
    // GetCameraProperty's status: 0 read, 1 no camera or no camera control, negative failure.
    std::int32_t status = 1;
    std::int32_t min = 0;
    std::int32_t max = 0;
    std::int32_t step = 0;
    std::int32_t value = 0;
};

// Why the zoom cannot be chosen.
enum class ZoomChoiceStatus {
    Usable,      // a camera is open and its Zoom control was read with a range
    NoCamera,    // no camera is open
    NoZoom,      // the camera has no camera-control interface, or Zoom could not be read
    EmptyRange,  // the camera reported a Zoom range whose minimum lies above its maximum
};

// The positions the slider takes: min, min + step, min + 2 step, ... and max itself (a range
// that the step does not divide still reaches its end). A step of 0 or less counts as 1.
struct ZoomRange {
    std::int32_t min = 0;
    std::int32_t max = 0;
    std::int32_t step = 1;

    // The position nearest `value` (ties go up); values outside the range go to its ends.
    std::int32_t Snap(std::int64_t value) const;
    // What Page Up / Page Down move: a tenth of the range in whole steps, at least one step.
    std::int32_t PageSize() const;
};

struct ZoomChoiceStart {
    ZoomChoiceStatus status = ZoomChoiceStatus::NoCamera;
    ZoomRange range;           // meaningful when usable
    std::int32_t initial = 0;  // the camera's zoom, snapped into the range
};

// What the dialog can offer, from whether a camera is open and the Zoom control's reading.
ZoomChoiceStart StartZoomChoice(bool cameraOpen, const ZoomControlReading& reading);

// The one-line text of a dialog that cannot offer the choice; empty when usable.
std::string ZoomUnavailableText(ZoomChoiceStatus status);

// The zoom slider's pacing (setting_pacer.h): at most one setting per interval, always the last
// position.
class ZoomSettingPacer : public SettingPacer<std::int32_t> {
  public:
    using SettingPacer<std::int32_t>::SettingPacer;
    // The value last sent, or the camera's zoom when nothing was.
    std::int32_t CameraZoom() const { return OnCamera(); }
};

// Cancel: the zoom to set back on the camera, none when the camera still has the zoom it had
// when the choice began (nothing was sent, or the last setting went back to it).
std::optional<std::int32_t> ZoomToRestore(std::int32_t atStart, const ZoomSettingPacer& pacer);

// Save: the text stored as the options file's zoom entry.
std::string StoredZoomText(std::int32_t value);
