// The rules of choosing the zoom: positions, key steps, pacing of settings, restore and store.
#include "app/zoom_choice.h"

#include <algorithm>

#include "platform/tick.h"

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

ZoomSettingPacer::ZoomSettingPacer(std::int32_t cameraZoom, std::uint32_t intervalMs)
    : cameraZoom_(cameraZoom), intervalMs_(intervalMs) {}

std::optional<std::int32_t> ZoomSettingPacer::Moved(std::int32_t value, std::uint32_t now) {
    if (value == cameraZoom_) {
        waiting_.reset();  // back where the camera is: a waiting value is stale
        return std::nullopt;
    }
    if (!lastSentAt_ || std::int64_t{TicksSince(now, *lastSentAt_)} >= intervalMs_ ||
        TicksSince(now, *lastSentAt_) < 0) {
        return Send(value, now);
    }
    waiting_ = value;
    return std::nullopt;
}

std::optional<std::int32_t> ZoomSettingPacer::Due(std::uint32_t now) {
    if (!waiting_) return std::nullopt;
    if (lastSentAt_ && std::int64_t{TicksSince(now, *lastSentAt_)} < intervalMs_ &&
        TicksSince(now, *lastSentAt_) >= 0) {
        return std::nullopt;
    }
    return Send(*waiting_, now);
}

std::optional<std::int32_t> ZoomSettingPacer::Flush(std::uint32_t now) {
    if (!waiting_) return std::nullopt;
    return Send(*waiting_, now);
}

std::optional<std::int32_t> ZoomSettingPacer::Send(std::int32_t value, std::uint32_t now) {
    waiting_.reset();
    lastSentAt_ = now;
    cameraZoom_ = value;
    sentAny_ = true;
    return value;
}

std::optional<std::int32_t> ZoomToRestore(std::int32_t atStart, const ZoomSettingPacer& pacer) {
    if (!pacer.SentAny() || pacer.CameraZoom() == atStart) return std::nullopt;
    return atStart;
}

std::string StoredZoomText(std::int32_t value) { return std::to_string(value); }
