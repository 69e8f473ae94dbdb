#include "watch/keeper_rules.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>

#include "capture/device_name.h"
#include "watch/station_camera.h"

namespace {

// The earliest of some deadlines as seen from `now`: an overdue one counts as earlier still.
std::optional<Tick> Earliest(Tick now, std::initializer_list<std::optional<Tick>> deadlines) {
    std::optional<Tick> earliest;
    for (const std::optional<Tick>& deadline : deadlines) {
        if (deadline && (!earliest || TicksSince(*deadline, now) < TicksSince(*earliest, now))) {
            earliest = deadline;
        }
    }
    return earliest;
}

KeeperAction Act(KeeperActionKind kind, std::string text = {}) {
    KeeperAction action{};
    action.kind = kind;
    action.text = std::move(text);
    return action;
}

KeeperAction Log(std::string text) { return Act(KeeperActionKind::Log, std::move(text)); }

KeeperAction Report(KeeperEvent event, std::string text) {
    KeeperAction action = Act(KeeperActionKind::Report, std::move(text));
    action.event = event;
    return action;
}

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

// What an apply found and did, for the log.
std::string ApplyLine(const std::string& reason, const ApplyResult& result) {
    std::string line = reason + ": ";
    if (result.outcome != AutosetExitCode::Applied) return line + ApplyOutcomeText(result.outcome);
    const std::string stored = std::to_string(result.stored);
    if (!result.sent) return line + "the camera's zoom is " + stored + " as stored";
    line += "the camera's zoom was " + std::to_string(result.found) + "; set to " + stored;
    if (result.readBack && *result.readBack != result.stored) {
        line += ", reads back " + std::to_string(*result.readBack);
    }
    return line;
}

}  // namespace

std::string ApplyOutcomeText(AutosetExitCode outcome) {
    switch (outcome) {
        case AutosetExitCode::Applied:
            return "applied (the stored zoom is on the camera)";
        case AutosetExitCode::NoCamera:
            return "no camera";
        case AutosetExitCode::NoZoom:
            return "the camera has no usable zoom";
        case AutosetExitCode::Refused:
            return "the camera refused the stored zoom";
    }
    return "unknown outcome";
}

KeeperActions KeeperRules::Started(Tick now) {
    KeeperActions out{Log("started"), Report(KeeperEvent::Started, "started")};
    pollAt_ = now;
    Trigger(now, "at start", 0);
    SaveState(out);
    CloseWith(now, out);
    return out;
}

KeeperActions KeeperRules::ApplyEnded(Tick now, const ApplyResult& result) {
    KeeperActions out;
    if (!applying_) {  // not asked for: nothing to judge
        CloseWith(now, out);
        return out;
    }
    const PlannedApply apply = *applying_;
    applying_.reset();
    ++state_.applies;
    if (result.skipped) {
        state_.lastOutcome.reset();
        planned_.reset();
        retrying_.reset();
        checkAt_.reset();
        // The polls notice the settings coming back.
        pollAt_ = Earliest(now, {pollAt_, now + KeeperTimes::kPollAbsent});
        if (*result.skipped == ApplySkip::StationSettingsMissing) {
            state_.lastText = "config.dat is missing";
            out.push_back(
                Log("nothing applied: config.dat is missing or unreadable; waiting for it"));
            station_ = Station::NoSettings;
        } else {
            state_.lastText = "config.ini holds no zoom";
            if (zoomStored_) {
                out.push_back(
                    Log("nothing applied: config.ini holds no zoom ([options] zoom); waiting for "
                        "one"));
            }
            zoomStored_ = false;
        }
    } else {
        state_.lastOutcome = result.outcome;
        state_.lastText = ApplyOutcomeText(result.outcome);
        const bool keptSet = TakeKeptOutcomes(apply, result, out);
        if (result.outcome == AutosetExitCode::Applied) {
            Applied(now, result, apply, keptSet, out);
        } else {
            Failed(now, result, apply, out);
        }
    }
    SaveState(out);
    CloseWith(now, out);
    return out;
}

void KeeperRules::Applied(Tick now, const ApplyResult& result, const PlannedApply& apply,
                          bool keptSet, KeeperActions& out) {
    const bool setBack = result.sent || keptSet;
    retrying_.reset();
    waitingForArrival_ = false;
    if (apply.kind != ApplyKind::Check || result.sent)
        out.push_back(Log(ApplyLine(apply.reason, result)));
    if (failureReported_) {
        failureReported_ = false;
        out.push_back(
            Report(KeeperEvent::Recovered, "the stored zoom " + std::to_string(result.stored) +
                                               " is on the camera " + camera_ + " again"));
    }
    if (apply.kind != ApplyKind::Trigger && setBack) CountSetBack(now, out);

    if (apply.kind == ApplyKind::Trigger) {
        planned_ = PlannedApply{now + KeeperTimes::kConfirm, ApplyKind::Confirm,
                                "confirming the zoom held", false};
        out.push_back(Log("confirming in " + Seconds(KeeperTimes::kConfirm)));
        return;
    }
    if (apply.kind == ApplyKind::Confirm && !setBack) {
        out.push_back(Log(Holds() ? "the zoom held; holding it: checking every " +
                                        Seconds(KeeperTimes::kCheck) + " while the camera is here"
                                  : "the zoom held; nothing more until the camera arrives again"));
    }
    PlanCheck(now, KeeperTimes::kCheck);
}

void KeeperRules::Failed(Tick now, const ApplyResult& result, const PlannedApply& apply,
                         KeeperActions& out) {
    out.push_back(Log(ApplyLine(apply.reason, result)));
    checkAt_.reset();
    if (result.outcome == AutosetExitCode::Refused) {
        // Asking again would only be refused again: the next arrival tries.
        waitingForArrival_ = true;
        planned_.reset();
        retrying_.reset();
        failureReported_ = true;
        out.push_back(
            Log("no retry: the camera does not take this zoom; waiting for it to arrive again"));
        out.push_back(Report(
            KeeperEvent::CameraRefusedSetting,
            "the camera " + camera_ + " refused the stored zoom " + std::to_string(result.stored)));
        return;
    }
    // The camera went away or lost its control since the last look: look at the list now, and
    // retry as after any failed apply (an arrival starts afresh).
    if (apply.kind != ApplyKind::Trigger && result.outcome == AutosetExitCode::NoCamera) {
        pollAt_ = now;
    }
    RetryOrGiveUp(now, out);
}

KeeperActions KeeperRules::DevicesSeen(Tick now, const DevicesSeenEvent& seen) {
    KeeperActions out;
    const Station next = Judge(seen);
    const std::string camera = seen.cameraName ? CameraLabel(*seen.cameraName) : camera_;
    if (station_ == Station::Unknown) {
        if (next == Station::Present)
            out.push_back(Log("the station's camera " + camera + " is here"));
        if (next == Station::Absent) {
            out.push_back(Log("the station's camera " + camera + " is not here"));
        }
    } else {
        LogOtherDevices(seen, out);
    }
    LogStationChange(next, camera, out);

    // Another device coming or going is no reason; only the station's camera coming back is.
    const bool arrived =
        next == Station::Present &&
        (station_ == Station::Absent || station_ == Station::NoSettings || removalNotified_);
    const bool left = station_ == Station::Present && next != Station::Present;
    station_ = next;
    camera_ = camera;
    state_.camera = camera;
    lastNames_ = seen.names;
    removalNotified_ = false;
    pollAt_ = now + (next == Station::Present && seen.zoomStored ? KeeperTimes::kPollPresent
                                                                 : KeeperTimes::kPollAbsent);
    if (left) {
        checkAt_.reset();
        if (planned_ && planned_->kind != ApplyKind::Trigger) planned_.reset();
    }
    TakeSettings(now, seen, out);
    if (arrived) {
        waitingForArrival_ = false;
        if (heldOffUntil_) EndHoldOff("the camera arrived", out);
        Trigger(now, "camera arrived", KeeperTimes::kSettle);
    }
    if (!planned_ && !checkAt_) PlanCheck(now, KeeperTimes::kCheck);
    SaveState(out);
    CloseWith(now, out);
    return out;
}

KeeperRules::Station KeeperRules::Judge(const DevicesSeenEvent& seen) const {
    if (!seen.cameraName) return Station::NoSettings;
    return ListHoldsStationCamera(seen.names, *seen.cameraName) ? Station::Present
                                                                : Station::Absent;
}

void KeeperRules::LogStationChange(Station next, const std::string& camera,
                                   KeeperActions& out) const {
    if (next == station_) {
        if (next == Station::Present && removalNotified_) {
            out.push_back(Log("the station's camera " + camera + " was plugged in again"));
        }
        return;
    }
    if (next == Station::Present && station_ != Station::Unknown) {
        out.push_back(Log("the station's camera " + camera + " arrived"));
    } else if (next == Station::Absent && station_ == Station::Present) {
        out.push_back(Log("the station's camera " + camera + " left"));
    } else if (next == Station::Absent && station_ == Station::NoSettings) {
        out.push_back(Log("config.dat is back; the station's camera " + camera + " is not here"));
    } else if (next == Station::NoSettings) {
        out.push_back(Log("config.dat is missing or unreadable"));
    }
}

void KeeperRules::LogOtherDevices(const DevicesSeenEvent& seen, KeeperActions& out) const {
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

void KeeperRules::TakeSettings(Tick now, const DevicesSeenEvent& seen, KeeperActions& out) {
    if (seen.hold != holdSetting_) {
        holdSetting_ = seen.hold;
        if (holdSetting_) {
            out.push_back(Log("holding turned on in config.ini ([watch] hold)"));
            state_.holding = heldOffUntil_ ? Holding::HeldOff : Holding::On;
            PlanCheck(now, KeeperTimes::kCheck);
        } else {
            out.push_back(
                Log("holding turned off in config.ini ([watch] hold=0): the zoom is applied at "
                    "start, arrival and resume only"));
            state_.holding = Holding::Off;
            checkAt_.reset();
        }
    }
    if (station_ == Station::NoSettings) return;
    if (zoomStored_ && !seen.zoomStored) {
        zoomStored_ = false;
        out.push_back(
            Log("config.ini holds no zoom ([options] zoom); nothing applied until it does"));
        checkAt_.reset();
        planned_.reset();
        retrying_.reset();
    } else if (!zoomStored_ && seen.zoomStored) {
        zoomStored_ = true;
        out.push_back(Log("config.ini holds a zoom again"));
        if (station_ == Station::Present) Trigger(now, "the zoom is stored again", 0);
    }
}

KeeperActions KeeperRules::DeviceNotified(Tick now, DeviceChange change) {
    if (change == DeviceChange::Removed) removalNotified_ = true;
    // One look once the burst of events of one plug has settled.
    pollAt_ = now + KeeperTimes::kSettle;
    if (planned_ && planned_->settling) planned_->at = now + KeeperTimes::kSettle;
    KeeperActions out;
    CloseWith(now, out);
    return out;
}

KeeperActions KeeperRules::Resumed(Tick now) {
    KeeperActions out{Log("resumed from sleep")};
    pollAt_ = now + KeeperTimes::kSettle;
    waitingForArrival_ = false;
    if (heldOffUntil_) EndHoldOff("resumed from sleep", out);
    Trigger(now, "resumed", KeeperTimes::kSettle);
    SaveState(out);
    CloseWith(now, out);
    return out;
}

KeeperActions KeeperRules::CameraUseChanged(Tick now, const std::vector<std::string>& lines) {
    KeeperActions out;
    for (const std::string& line : lines) out.push_back(Log(line));
    // A hint, not proof: reason enough to look at the zoom again, nothing more.
    if (holdSetting_ && station_ == Station::Present && zoomStored_ && !stopped_) {
        waitingForArrival_ = false;
        if (heldOffUntil_) EndHoldOff("a program's use of the camera changed", out);
        checkAt_ = Earliest(now, {checkAt_, now + KeeperTimes::kUseSettle});
    }
    SaveState(out);
    CloseWith(now, out);
    return out;
}

KeeperActions KeeperRules::TimerDue(Tick now) {
    KeeperActions out;
    if (stopped_ || applying_) {
        CloseWith(now, out);
        return out;
    }
    if (heldOffUntil_ && Reached(now, *heldOffUntil_)) {
        EndHoldOff("after " + Seconds(KeeperTimes::kHoldOffPause), out);
        PlanCheck(now, 0);
        SaveState(out);
    }
    if (pollAt_ && Reached(now, *pollAt_)) {
        // An apply that is due waits for this look: it may change what is to be done.
        pollAt_.reset();
        out.push_back(Act(KeeperActionKind::Poll));
    } else if (planned_ && Reached(now, planned_->at) &&
               (station_ == Station::NoSettings || !zoomStored_)) {
        planned_.reset();  // nothing to apply: the settings coming back trigger
    } else if (planned_ && Reached(now, planned_->at)) {
        applying_ = std::move(planned_);
        planned_.reset();
        checkAt_.reset();  // this apply checks as well
        out.push_back(ApplyAction(applying_->reason));
    } else if (checkAt_ && Reached(now, *checkAt_)) {
        checkAt_.reset();
        applying_ = PlannedApply{now, ApplyKind::Check, "check", false};
        out.push_back(ApplyAction(applying_->reason));
    }
    CloseWith(now, out);
    return out;
}

KeeperAction KeeperRules::ApplyAction(const std::string& reason) const {
    KeeperAction action = Act(KeeperActionKind::Apply, reason);
    action.leftAlone = leftAlone_;
    return action;
}

bool KeeperRules::TakeKeptOutcomes(const PlannedApply& apply, const ApplyResult& result,
                                   KeeperActions& out) {
    if (result.ignoredLines != ignoredLogged_) {
        for (const std::string& line : result.ignoredLines) out.push_back(Log(line + "; ignored"));
        ignoredLogged_ = result.ignoredLines;
    }
    bool set = false;
    for (const KeptControlOutcome& kept : result.kept) {
        const std::string change = kept.key + " was " + kept.was;
        switch (kept.what) {
            case KeptControlOutcome::What::Held:
                break;
            case KeptControlOutcome::What::Set:
                set = true;
                out.push_back(Log(apply.reason + ": " + change + "; set to " + kept.wanted +
                                  (kept.readBack == kept.wanted || kept.readBack.empty()
                                       ? std::string()
                                       : ", reads back " + kept.readBack)));
                break;
            case KeptControlOutcome::What::Refused:
                leftAlone_.push_back(kept.key);
                out.push_back(Log(apply.reason + ": the camera refused " + kept.key + "=" +
                                  kept.wanted + "; left alone until the camera arrives again"));
                out.push_back(
                    Report(KeeperEvent::CameraRefusedSetting,
                           "the camera " + camera_ + " refused " + kept.key + "=" + kept.wanted));
                break;
            case KeptControlOutcome::What::NotOffered:
                leftAlone_.push_back(kept.key);
                out.push_back(Log(apply.reason + ": the camera has no " + kept.key +
                                  " to set; left alone until the camera arrives again"));
                break;
        }
    }
    return set;
}

KeeperActions KeeperRules::StopRequested(Tick now, const std::string& reason) {
    KeeperActions out{Log(reason.empty() ? "stopped" : "stopped (" + reason + ")")};
    stopped_ = true;
    out.push_back(Act(KeeperActionKind::Quit));
    CloseWith(now, out);
    return out;
}

void KeeperRules::Trigger(Tick now, const std::string& reason, Tick delay) {
    // A camera that arrives (or wakes, or is met at the start) is asked for everything again.
    leftAlone_.clear();
    retrying_ = Retrying{now, 0};
    planned_ = PlannedApply{now + delay, ApplyKind::Trigger, reason, delay > 0};
}

void KeeperRules::RetryOrGiveUp(Tick now, KeeperActions& out) {
    if (!retrying_) retrying_ = Retrying{now, 0};
    ++retrying_->failures;
    constexpr int kDelays = static_cast<int>(std::size(KeeperTimes::kRetryDelays));
    const Tick delay = KeeperTimes::kRetryDelays[std::min(retrying_->failures, kDelays) - 1];
    const Tick since = now - retrying_->since;
    if (since + delay > KeeperTimes::kRetryWindow) {
        planned_.reset();
        retrying_.reset();
        waitingForArrival_ = true;
        const std::string line = "gave up retrying " + Seconds(since) +
                                 " after the trigger; waiting for the camera to arrive again";
        out.push_back(Log(line));
        failureReported_ = true;
        out.push_back(Report(KeeperEvent::FailureOutlastedRetries,
                             "the camera " + camera_ + ": " + state_.lastText + "; " + line));
        return;
    }
    planned_ = PlannedApply{now + delay, ApplyKind::Trigger,
                            "retry " + std::to_string(retrying_->failures), false};
    out.push_back(Log("retry in " + Seconds(delay)));
}

void KeeperRules::CountSetBack(Tick now, KeeperActions& out) {
    while (!setBacks_.empty() && TicksSince(now, setBacks_.front()) >=
                                     static_cast<std::int32_t>(KeeperTimes::kSetBackWindow)) {
        setBacks_.pop_front();
    }
    setBacks_.push_back(now);
    if (static_cast<int>(setBacks_.size()) >= KeeperTimes::kSetBacksAllowed) HoldOff(now, out);
}

void KeeperRules::HoldOff(Tick now, KeeperActions& out) {
    heldOffUntil_ = now + KeeperTimes::kHoldOffPause;
    setBacks_.clear();
    checkAt_.reset();
    if (planned_ && planned_->kind != ApplyKind::Trigger) planned_.reset();
    state_.holding = Holding::HeldOff;
    const std::string line =
        "holding off: the zoom was set back " + std::to_string(KeeperTimes::kSetBacksAllowed) +
        " times within " + Seconds(KeeperTimes::kSetBackWindow) +
        "; something keeps changing it. Trying again in " + Seconds(KeeperTimes::kHoldOffPause) +
        ", at the camera's next arrival or when a program starts or stops "
        "using the camera";
    out.push_back(Log(line));
    out.push_back(Report(KeeperEvent::HoldingOff, "the camera " + camera_ + ": " + line));
}

void KeeperRules::EndHoldOff(const std::string& why, KeeperActions& out) {
    heldOffUntil_.reset();
    state_.holding = holdSetting_ ? Holding::On : Holding::Off;
    out.push_back(Log("holding again (" + why + ")"));
}

void KeeperRules::PlanCheck(Tick now, Tick delay) {
    if (!Holds()) return;
    checkAt_ = Earliest(now, {checkAt_, now + delay});
}

bool KeeperRules::Holds() const {
    return holdSetting_ && !heldOffUntil_ && !waitingForArrival_ && zoomStored_ &&
           station_ == Station::Present && !stopped_;
}

void KeeperRules::SaveState(KeeperActions& out) const {
    KeeperAction action = Act(KeeperActionKind::SaveState);
    action.state = state_;
    out.push_back(std::move(action));
}

void KeeperRules::CloseWith(Tick now, KeeperActions& out) const {
    std::optional<Tick> deadline;
    // While an apply is owed its answer comes first; after a stop nothing is due.
    if (!stopped_ && !applying_) {
        deadline =
            Earliest(now, {pollAt_, planned_ ? std::optional<Tick>(planned_->at) : std::nullopt,
                           checkAt_, heldOffUntil_});
    }
    KeeperAction timer = Act(KeeperActionKind::SetTimer);
    timer.deadline = deadline;
    out.push_back(std::move(timer));
}
