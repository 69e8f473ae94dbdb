// The rules of choosing the zoom: positions, key steps, pacing of settings, restore and store.
#include "app/zoom_choice.h"

#include <algorithm>

std::int32_t ZoomRange::Snap(std::int64_t value) const {
    if (value <= min) return min;
    if (value >= max) return max;
    const std::int64_t stride = std::max<std::int32_t>(step, 1);
    const std::int64_t below = min + (value - min) / stride * stride;
    const std::int64_t above = std::min<std::int64_t>(below + stride, max);
    return static_cast<std::int32_t>(value - below < above - value ? below : above);
}

std::int32_t ZoomRange::PageSize() const {
    const std::int64_t stride = std::max<std::int32_t>(step, 1);
    const std::int64_t tenth = (static_cast<std::int64_t>(max) - min) / 10;
    return static_cast<std::int32_t>(std::max<std::int64_t>(tenth / stride, 1) * stride);
}

ZoomChoiceStart StartZoomChoice(bool cameraOpen, const ZoomControlReading& reading) {
    ZoomChoiceStart start;
    if (!cameraOpen) return start;
    if (reading.status != 0) {
        start.status = ZoomChoiceStatus::NoZoom;
        return start;
    }
    if (reading.min > reading.max) {
        start.status = ZoomChoiceStatus::EmptyRange;
        return start;
    }
    start.status = ZoomChoiceStatus::Usable;
    start.range = {reading.min, reading.max, std::max<std::int32_t>(reading.step, 1)};
    start.initial = start.range.Snap(reading.value);
    return start;
}

std::string ZoomUnavailableText(ZoomChoiceStatus status) {
    switch (status) {
        case ZoomChoiceStatus::Usable:
            return {};
        case ZoomChoiceStatus::NoCamera:
            return "No camera is open.";
        case ZoomChoiceStatus::NoZoom:
            return "The camera offers no zoom control.";
        case ZoomChoiceStatus::EmptyRange:
            return "The camera reports no usable zoom range.";
    }
    return {};
}

std::optional<std::int32_t> ZoomToRestore(std::int32_t atStart, const ZoomSettingPacer& pacer) {
    return SettingToRestore<std::int32_t>(atStart, pacer);
}

std::string StoredZoomText(std::int32_t value) { return std::to_string(value); }
