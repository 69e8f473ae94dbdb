// The zoom choice's rules on arbitrary readings and move sequences: every snapped value is a
// position of the range (an end, or the minimum plus whole steps) and no other position lies
// nearer; the pacer never sends two settings less than the interval apart, and after its timer
// has run past the interval the camera holds the slider's last position.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/zoom_choice.h"
#include "platform/tick.h"

namespace {

template <typename T>
T Take(const std::uint8_t*& data, std::size_t& size) {
    T value{};
    const std::size_t n = size < sizeof(T) ? size : sizeof(T);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

bool IsPosition(const ZoomRange& range, std::int64_t value) {
    if (value == range.min || value == range.max) return true;
    return value > range.min && value < range.max && (value - range.min) % range.step == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ZoomControlReading reading;
    reading.status = Take<std::uint8_t>(data, size) % 3 == 0 ? 0 : 1;
    reading.min = Take<std::int32_t>(data, size);
    reading.max = Take<std::int32_t>(data, size);
    reading.step = Take<std::int32_t>(data, size);
    reading.value = Take<std::int32_t>(data, size);
    const ZoomChoiceStart start = StartZoomChoice(true, reading);
    if (start.status != ZoomChoiceStatus::Usable) return 0;
    const ZoomRange& range = start.range;
    if (range.step < 1 || !IsPosition(range, start.initial)) std::abort();
    const std::int32_t page = range.PageSize();
    if (page < range.step || page % range.step != 0) std::abort();

    ZoomSettingPacer pacer(reading.value);
    std::uint32_t now = Take<std::uint32_t>(data, size);
    std::uint32_t lastSentAt = 0;
    bool sentBefore = false;
    std::int32_t last = reading.value;
    while (size >= 6) {
        now += Take<std::uint8_t>(data, size);
        const std::int64_t wanted = Take<std::int32_t>(data, size);
        const std::int32_t snapped = range.Snap(wanted);
        if (!IsPosition(range, snapped)) std::abort();
        // No position lies nearer than the snapped one (the neighbours on the grid).
        const std::int64_t distance = std::llabs(wanted - snapped);
        for (std::int64_t other :
             {static_cast<std::int64_t>(snapped) - range.step,
              static_cast<std::int64_t>(snapped) + range.step, static_cast<std::int64_t>(range.min),
              static_cast<std::int64_t>(range.max)}) {
            if (IsPosition(range, other) && std::llabs(wanted - other) < distance) std::abort();
        }
        const bool timerRuns = Take<std::uint8_t>(data, size) & 1;
        std::optional<std::int32_t> sent = pacer.Moved(snapped, now);
        if (!sent && timerRuns) sent = pacer.Due(now);
        last = snapped;
        if (sent) {
            if (sentBefore && Reached(now, lastSentAt) &&
                now - lastSentAt < ZoomSettingPacer::kDefaultIntervalMs)
                std::abort();
            if (*sent != snapped) std::abort();  // only the newest position is ever sent
            sentBefore = true;
            lastSentAt = now;
        }
    }
    pacer.Due(now + ZoomSettingPacer::kDefaultIntervalMs);
    if (pacer.Waiting() || pacer.CameraZoom() != last) std::abort();
    return 0;
}
