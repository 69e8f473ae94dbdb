#include "watch/keeper_rules.h"

#include <algorithm>
#include <iterator>

#include "capture/device_name.h"
#include "watch/station_camera.h"

namespace {

bool Reached(Tick now, Tick deadline) { return static_cast<std::int32_t>(now - deadline) >= 0; }

// The earlier of two deadlines as seen from `now`: an overdue one counts as earlier still.
std::optional<Tick> Earlier(Tick now, std::optional<Tick> a, std::optional<Tick> b) {
    if (!a) return b;
    if (!b) return a;
    return static_cast<std::int32_t>(*a - now) <= static_cast<std::int32_t>(*b - now) ? a : b;
}

KeeperAction Log(std::string text) { return {KeeperActionKind::Log, std::move(text), {}}; }

std::string CameraLabel(const std::string& cameraName) {
    const std::string lookup = DeviceLookupName(cameraName);
    if (lookup.size() == 2 && lookup[0] == '#') return "(device " + lookup + ")";
    return "\"" + lookup + "\"";
}

std::string Seconds(Tick ms) { return std::to_string(ms / 1000) + " s"; }

// The names of `from` that `minus` does not hold, counting repeated names one by one.
std::vector<std::string> NamesMissingFrom(std::vector<std::string> from,
                                          std::vector<std::string> minus) {
    std::sort(from.begin(), from.end());
    std::sort(minus.begin(), minus.end());
    std::vector<std::string> rest;
    std::set_difference(from.begin(), from.end(), minus.begin(), minus.end(),
                        std::back_inserter(rest));
    return rest;
}

}  // namespace

std::string AutosetExitText(std::uint32_t exitCode) {
    switch (exitCode) {
        case 0:
            return "0 (the stored zoom is on the camera)";
        case 2:
            return "2 (no camera)";
        case 3:
            return "3 (the camera has no usable zoom)";
        case 4:
            return "4 (the camera refused the stored zoom)";
        default:
            return "unexpected exit code " + std::to_string(exitCode);
    }
}

KeeperActions KeeperRules::Started(Tick now) {
    KeeperActions out{Log("started")};
    pollAt_ = now;
    Trigger(now, "at start", 0);
    CloseWith(now, out);
    return out;
}

KeeperActions KeeperRules::ChildStarted(Tick now) {
    childStartedAt_ = now;
    KeeperActions out{Log("autoset started (" + childReason_ + ")")};
    CloseWith(now, out);
    return out;
}

KeeperActions KeeperRules::ChildNotStarted(Tick now, ChildStartFailure failure,
                                           const std::string& detail) {
    childRunning_ = false;
    KeeperActions out;
    if (failure == ChildStartFailure::SettingsMissing) {
        // Autoset would only wait for a person; the device polls notice the file coming back.
        out.push_back(Log("autoset not started: config.dat is missing; waiting for it"));
        station_ = Station::NoSettings;
        runAt_.reset();
        pollAt_ = Earlier(now, pollAt_, now + KeeperTimes::kPollAbsent);
    } else {
        out.push_back(Log("autoset could not be started: " + detail));
        RetryOrGiveUp(now, out);
    }
    FinishChild(now, out);
    CloseWith(now, out);
    return out;
}

KeeperActions KeeperRules::ChildEnded(Tick now, std::uint32_t exitCode) {
    childRunning_ = false;
    KeeperActions out{Log("autoset ended with " + AutosetExitText(exitCode))};
    if (exitCode == 0) {
        failures_ = 0;
        if (childIsConfirming_) {
            out.push_back(Log("the zoom held; nothing more until the camera arrives again"));
        } else {
            runAt_ = now + KeeperTimes::kConfirm;
            runReason_ = "confirming the zoom held";
            runIsConfirming_ = true;
            runIsSettling_ = false;
            out.push_back(Log("confirming run in " + Seconds(KeeperTimes::kConfirm)));
        }
    } else if (exitCode == 4) {
        runAt_.reset();
        out.push_back(
            Log("no retry: the camera does not take this zoom; waiting for it to arrive "
                "again"));
    } else {
        RetryOrGiveUp(now, out);
    }
    FinishChild(now, out);
    CloseWith(now, out);
    return out;
}

KeeperActions KeeperRules::DevicesSeen(Tick now, const DevicesSeenEvent& seen) {
    KeeperActions out;
    Station next = Station::NoSettings;
    std::string camera;
    if (seen.cameraName) {
        camera = CameraLabel(*seen.cameraName);
        next = ListHoldsStationCamera(seen.names, *seen.cameraName) ? Station::Present
                                                                    : Station::Absent;
    }

    if (station_ == Station::Unknown) {
        if (next == Station::Present)
            out.push_back(Log("the station's camera " + camera + " is here"));
        if (next == Station::Absent) {
            out.push_back(Log("the station's camera " + camera + " is not here"));
        }
    } else {
        LogDeviceChanges(seen, out);
    }
    if (next != station_) {
        if (next == Station::Present && station_ != Station::Unknown) {
            out.push_back(Log("the station's camera " + camera + " arrived"));
        } else if (next == Station::Absent && station_ == Station::Present) {
            out.push_back(Log("the station's camera " + camera + " left"));
        } else if (next == Station::Absent && station_ == Station::NoSettings) {
            out.push_back(
                Log("config.dat is back; the station's camera " + camera + " is not here"));
        } else if (next == Station::NoSettings) {
            out.push_back(Log("config.dat is missing or unreadable"));
        }
    } else if (next == Station::Present && removalNotified_) {
        out.push_back(Log("the station's camera " + camera + " was plugged in again"));
    }

    // Another device coming or going is no reason; only the station's camera coming back is.
    const bool arrived =
        next == Station::Present &&
        (station_ == Station::Absent || station_ == Station::NoSettings || removalNotified_);
    station_ = next;
    lastNames_ = seen.names;
    removalNotified_ = false;
    pollAt_ =
        now + (next == Station::Present ? KeeperTimes::kPollPresent : KeeperTimes::kPollAbsent);
    if (arrived) Trigger(now, "camera arrived", KeeperTimes::kSettle);
    CloseWith(now, out);
    return out;
}

KeeperActions KeeperRules::DeviceNotified(Tick now, DeviceChange change) {
    if (change == DeviceChange::Removed) removalNotified_ = true;
    // One look once the burst of events of one plug has settled.
    pollAt_ = now + KeeperTimes::kSettle;
    if (runAt_ && runIsSettling_) runAt_ = now + KeeperTimes::kSettle;
    KeeperActions out;
    CloseWith(now, out);
    return out;
}

KeeperActions KeeperRules::Resumed(Tick now) {
    KeeperActions out{Log("resumed from sleep")};
    pollAt_ = now + KeeperTimes::kSettle;
    Trigger(now, "resumed", KeeperTimes::kSettle);
    CloseWith(now, out);
    return out;
}

KeeperActions KeeperRules::TimerDue(Tick now) {
    KeeperActions out;
    if (stopped_) {
        CloseWith(now, out);
        return out;
    }
    if (childRunning_) {
        if (!childWaitingLogged_ && Reached(now, childStartedAt_ + KeeperTimes::kChildWaiting)) {
            childWaitingLogged_ = true;
            out.push_back(Log("autoset has not ended after " + Seconds(KeeperTimes::kChildWaiting) +
                              ": it waits for someone at the station; no new run while it runs"));
        }
        CloseWith(now, out);
        return out;
    }
    // Never while a child runs: it opens config.dat for itself alone.
    if (pollAt_ && Reached(now, *pollAt_)) {
        pollAt_.reset();
        out.push_back({KeeperActionKind::Poll, {}, {}});
    }
    if (runAt_ && Reached(now, *runAt_)) {
        runAt_.reset();
        childRunning_ = true;
        childIsConfirming_ = runIsConfirming_;
        childReason_ = runReason_;
        childStartedAt_ = now;
        childWaitingLogged_ = false;
        out.push_back({KeeperActionKind::StartChild, runReason_, {}});
    }
    CloseWith(now, out);
    return out;
}

KeeperActions KeeperRules::StopRequested(Tick now, const std::string& reason) {
    KeeperActions out;
    std::string line = reason.empty() ? "stopped" : "stopped (" + reason + ")";
    if (!stopped_ && childRunning_) {
        if (Reached(now, childStartedAt_ + KeeperTimes::kChildWaiting)) {
            line += "; autoset left running: it waits for someone at the station";
        } else {
            out.push_back({KeeperActionKind::EndChild, {}, {}});
        }
    }
    stopped_ = true;
    out.push_back(Log(line));
    out.push_back({KeeperActionKind::Quit, {}, {}});
    CloseWith(now, out);
    return out;
}

void KeeperRules::Trigger(Tick now, const std::string& reason, Tick delay) {
    if (childRunning_) {
        triggerWhileRunning_ = reason;
        return;
    }
    triggerAt_ = now;
    failures_ = 0;
    runAt_ = now + delay;
    runReason_ = reason;
    runIsSettling_ = delay > 0;
    runIsConfirming_ = false;
}

void KeeperRules::RetryOrGiveUp(Tick now, KeeperActions& out) {
    ++failures_;
    constexpr int kDelays = static_cast<int>(std::size(KeeperTimes::kRetryDelays));
    const Tick delay = KeeperTimes::kRetryDelays[std::min(failures_, kDelays) - 1];
    if ((now - triggerAt_) + delay > KeeperTimes::kRetryWindow) {
        runAt_.reset();
        out.push_back(Log("gave up retrying " + Seconds(now - triggerAt_) +
                          " after the trigger; waiting for the camera to arrive again"));
        return;
    }
    runAt_ = now + delay;
    runReason_ = "retry " + std::to_string(failures_);
    runIsSettling_ = false;
    runIsConfirming_ = false;
    out.push_back(Log("retry in " + Seconds(delay)));
}

void KeeperRules::FinishChild(Tick now, KeeperActions& out) {
    if (!triggerWhileRunning_) return;
    std::string reason = *triggerWhileRunning_;
    triggerWhileRunning_.reset();
    out.push_back(Log("one more run for what happened while autoset ran (" + reason + ")"));
    Trigger(now, reason, KeeperTimes::kSettle);
}

void KeeperRules::LogDeviceChanges(const DevicesSeenEvent& seen, KeeperActions& out) const {
    // The station's camera has lines of its own; these are the other devices.
    const std::string lookup = seen.cameraName ? DeviceLookupName(*seen.cameraName) : "";
    auto isStationByName = [&](const std::string& name) {
        return seen.cameraName && MatchDevice(lookup, name, 0) == DeviceMatch::ByName;
    };
    for (const std::string& name : NamesMissingFrom(seen.names, lastNames_)) {
        if (!isStationByName(name)) {
            out.push_back(Log("device \"" + name + "\" arrived (not the station's camera)"));
        }
    }
    for (const std::string& name : NamesMissingFrom(lastNames_, seen.names)) {
        if (!isStationByName(name)) out.push_back(Log("device \"" + name + "\" left"));
    }
}

void KeeperRules::CloseWith(Tick now, KeeperActions& out) const {
    std::optional<Tick> deadline;
    if (!stopped_) {
        if (childRunning_) {
            if (!childWaitingLogged_) deadline = childStartedAt_ + KeeperTimes::kChildWaiting;
        } else {
            deadline = Earlier(now, pollAt_, runAt_);
        }
    }
    out.push_back({KeeperActionKind::SetTimer, {}, deadline});
}
