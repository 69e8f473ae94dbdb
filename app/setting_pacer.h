#pragma once

#include <cstdint>
#include <optional>

#include "platform/tick.h"

// Coalesces a control's moves into settings of the camera: at most one setting per interval and
// always the last one chosen. A move after a quiet interval is sent at once; moves within the
// interval wait, and the newest of them is sent when the interval since the last setting has
// passed (the dialog's timer asks). A camera takes a setting in tens of milliseconds, and a
// dragged slider moves far more often than that: unpaced, the settings would queue up behind
// each other and the picture would trail the thumb. Ticks are the 32-bit wrapping millisecond
// tick. `Setting` is anything the camera takes in one call and that compares with ==.
template <typename Setting>
class SettingPacer {
  public:
    static constexpr std::uint32_t kDefaultIntervalMs = 50;

    // `onCamera` is on the camera already: moving back to it sends nothing.
    explicit SettingPacer(Setting onCamera, std::uint32_t intervalMs = kDefaultIntervalMs)
        : onCamera_(onCamera), intervalMs_(intervalMs) {}

    // The control moved to `setting` at `now`: what to send now, or none (it waits, or it is
    // what the camera already has).
    std::optional<Setting> Moved(const Setting& setting, Tick now) {
        if (setting == onCamera_) {
            waiting_.reset();  // back where the camera is: a waiting setting is stale
            return std::nullopt;
        }
        if (IntervalPassed(now)) return Send(setting, now);
        waiting_ = setting;
        return std::nullopt;
    }
    // The timer ran at `now`: the waiting setting when its time has come.
    std::optional<Setting> Due(Tick now) {
        if (!waiting_ || !IntervalPassed(now)) return std::nullopt;
        return Send(*waiting_, now);
    }
    // The waiting setting at `now` regardless of the interval (Save sends the last choice first).
    std::optional<Setting> Flush(Tick now) {
        if (!waiting_) return std::nullopt;
        return Send(*waiting_, now);
    }
    // A setting waits for its time: the dialog keeps its timer running.
    bool Waiting() const { return waiting_.has_value(); }
    // The setting last sent, or the camera's when nothing was.
    const Setting& OnCamera() const { return onCamera_; }
    // Something was sent since the start.
    bool SentAny() const { return sentAny_; }

  private:
    // A tick before the last setting (the clock went back) counts as a passed interval, so
    // that a setting never waits for good.
    bool IntervalPassed(Tick now) const {
        if (!lastSentAt_) return true;
        const std::int32_t since = TicksSince(now, *lastSentAt_);
        return since < 0 || static_cast<std::uint32_t>(since) >= intervalMs_;
    }
    std::optional<Setting> Send(const Setting& setting, Tick now) {
        waiting_.reset();
        lastSentAt_ = now;
        onCamera_ = setting;
        sentAny_ = true;
        return setting;
    }

    Setting onCamera_;
    std::uint32_t intervalMs_;
    std::optional<Tick> lastSentAt_;
    std::optional<Setting> waiting_;
    bool sentAny_ = false;
};

// Closing without Save: the setting to put back on the camera, none when the camera still has
// what it had when the choice began (nothing was sent, or the last setting went back to it).
template <typename Setting>
std::optional<Setting> SettingToRestore(const Setting& atStart,
                                        const SettingPacer<Setting>& pacer) {
    if (!pacer.SentAny() || pacer.OnCamera() == atStart) return std::nullopt;
    return atStart;
}
