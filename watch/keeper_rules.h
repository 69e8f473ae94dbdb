#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/autoset_exit_code.h"
#include "platform/tick.h"
#include "watch/keeper_event_ids.h"

// The keeper's decisions: when to apply the stored zoom to the station's camera, when to look at
// the device list, what to write to the log and to the platform's event log, and when to end. No
// I/O: the shell feeds events in and carries the actions out, in order (KeeperDriver).
//
// Protocol with the shell: after Apply, ApplyEnded follows before any other event; after Poll,
// DevicesSeen; the last action of every answer is SetTimer, and the shell calls TimerDue once
// that deadline has come (earlier calls do no harm).

enum class KeeperActionKind {
    Apply,      // apply the stored zoom to the station's camera, then ApplyEnded; `text`: why
    Poll,       // enumerate the video input devices and read the settings, then DevicesSeen
    Log,        // `text` is one line of the log
    Report,     // `event` and `text` go to the platform's event log
    SaveState,  // `state` is what a status query should see from now on
    SetTimer,   // the one timer: call TimerDue at `deadline`; none: no deadline, wait only
    Quit,       // leave the loop; the program ends with 0
};

// Whether the keeper sets the zoom back between arrivals.
enum class Holding {
    On,       // it checks the camera's zoom and sets the stored one back when it changed
    HeldOff,  // it stopped for a while: something kept changing the zoom
    Off,      // turned off in the settings: it applies at start, arrival and resume only
};

// What a status query sees: the last apply's outcome and how the keeper holds the zoom.
struct KeeperState {
    std::string camera;  // the station's camera as the log names it; empty before it is known
    // The last apply's outcome; none before the first or when the settings were missing.
    std::optional<AutosetExitCode> lastOutcome;
    std::string lastText;  // the last apply's outcome in words
    Holding holding = Holding::On;
    std::uint32_t applies = 0;  // applies ended so far: a new one is stamped with its time

    bool operator==(const KeeperState&) const = default;
};

struct KeeperAction {
    KeeperActionKind kind;
    std::string text;
    std::optional<Tick> deadline;
    KeeperEvent event = KeeperEvent::Started;
    KeeperState state;
    // Apply: the [camera] keys left alone (refused, or not on the camera) until it arrives again.
    std::vector<std::string> leftAlone;

    bool operator==(const KeeperAction&) const = default;
};

using KeeperActions = std::vector<KeeperAction>;

// What one look at the devices and the settings found.
struct DevicesSeenEvent {
    std::vector<std::string> names;  // friendly names in enumeration order
    // "VCapSource" of config.dat as it reads now; none while the file is missing or unreadable.
    std::optional<std::string> cameraName;
    // config.ini holds a zoom to apply ([options] zoom).
    bool zoomStored = true;
    // config.ini's [watch] hold: false turns holding off.
    bool hold = true;
};

enum class DeviceChange { Arrived, Removed };

// Why an apply tried nothing.
enum class ApplySkip {
    StationSettingsMissing,  // config.dat is not there or unreadable: no camera name
    StoredZoomMissing,       // config.ini holds no zoom: the keeper never writes one
};

// What an apply did with one control kept in [camera].
struct KeptControlOutcome {
    enum class What {
        Held,        // it was as kept
        Set,         // it differed and the kept setting was sent and taken
        Refused,     // the camera refused it: left alone until the camera arrives again
        NotOffered,  // the camera has no such control (or it could not be read): left alone too
    };
    std::string key;  // the control's [camera] key
    What what = What::Held;
    std::string was;       // what the camera had: a number, or "auto"
    std::string wanted;    // what [camera] keeps
    std::string readBack;  // after a setting that was taken

    bool operator==(const KeptControlOutcome&) const = default;
};

// What one apply found and did.
struct ApplyResult {
    std::optional<ApplySkip> skipped;
    // With the meanings of autoset's exit codes: applied, no camera, no usable zoom, refused.
    AutosetExitCode outcome = AutosetExitCode::NoCamera;
    std::int32_t stored = 0;                // the zoom applied
    std::int32_t found = 0;                 // the camera's zoom before
    bool sent = false;                      // the camera's zoom differed: the stored one was sent
    std::optional<std::int32_t> readBack;   // the camera's zoom after an accepted setting
    std::vector<KeptControlOutcome> kept;   // the [camera] controls, in the file's order
    std::vector<std::string> ignoredLines;  // [camera] lines that were not taken, and why
};

// The schedule, in milliseconds.
struct KeeperTimes {
    static constexpr Tick kSettle = 1000;           // quiet after device events before an apply
    static constexpr Tick kConfirm = 10'000;        // after an apply, the check that it held
    static constexpr Tick kRetryWindow = 600'000;   // no retry starts later after its trigger
    static constexpr Tick kPollAbsent = 2000;       // device list while the camera is absent
    static constexpr Tick kPollPresent = 60'000;    // ... and while it is present
    static constexpr Tick kCheck = 10'000;          // holding: the zoom's check while present
    static constexpr Tick kUseSettle = 2000;        // after a camera-use change, before a check
    static constexpr Tick kSetBackWindow = 60'000;  // set-backs are counted over this long
    static constexpr int kSetBacksAllowed = 3;      // ... and after this many it holds off
    static constexpr Tick kHoldOffPause = 600'000;  // holding off ends after this at the latest
    // Delays after the 1st, 2nd, ... failed apply; the last one repeats.
    static constexpr Tick kRetryDelays[] = {2000, 5000, 10'000, 30'000, 60'000};
};

class KeeperRules {
  public:
    KeeperActions Started(Tick now);
    KeeperActions ApplyEnded(Tick now, const ApplyResult& result);
    KeeperActions DevicesSeen(Tick now, const DevicesSeenEvent& seen);
    KeeperActions DeviceNotified(Tick now, DeviceChange change);
    KeeperActions Resumed(Tick now);
    // A program started or stopped using a camera, or the platform's records of it changed
    // otherwise; `lines` says which program did what, as far as the records tell.
    KeeperActions CameraUseChanged(Tick now, const std::vector<std::string>& lines);
    KeeperActions TimerDue(Tick now);
    // `reason` completes the log line, e.g. "the session ends"; empty for a plain stop.
    KeeperActions StopRequested(Tick now, const std::string& reason);

  private:
    enum class Station { Unknown, Present, Absent, NoSettings };
    enum class ApplyKind {
        Trigger,  // start, arrival, resume, settings back: retried while it fails
        Confirm,  // the check that an applied zoom held
        Check,    // holding: the camera's zoom looked at, set back when it changed
    };
    struct PlannedApply {
        Tick at = 0;
        ApplyKind kind = ApplyKind::Trigger;
        std::string reason;
        bool settling = false;  // an arrival's apply, which further device events push out
    };
    // A trigger's retries: its time bounds them.
    struct Retrying {
        Tick since = 0;
        int failures = 0;
    };

    void Trigger(Tick now, const std::string& reason, Tick delay);
    // What the apply did with the [camera] controls: the log's lines, and whether any was set.
    bool TakeKeptOutcomes(const PlannedApply& apply, const ApplyResult& result, KeeperActions& out);
    KeeperAction ApplyAction(const std::string& reason) const;
    void RetryOrGiveUp(Tick now, KeeperActions& out);
    void Applied(Tick now, const ApplyResult& result, const PlannedApply& apply, bool keptSet,
                 KeeperActions& out);
    void Failed(Tick now, const ApplyResult& result, const PlannedApply& apply, KeeperActions& out);
    void CountSetBack(Tick now, KeeperActions& out);
    void HoldOff(Tick now, KeeperActions& out);
    void EndHoldOff(const std::string& why, KeeperActions& out);
    void Recovered(KeeperActions& out);
    void PlanCheck(Tick now, Tick delay);
    bool Holds() const;

    Station Judge(const DevicesSeenEvent& seen) const;
    void LogStationChange(Station next, const std::string& camera, KeeperActions& out) const;
    void LogOtherDevices(const DevicesSeenEvent& seen, KeeperActions& out) const;
    void TakeSettings(Tick now, const DevicesSeenEvent& seen, KeeperActions& out);

    void SaveState(KeeperActions& out) const;
    void CloseWith(Tick now, KeeperActions& out) const;

    Station station_ = Station::Unknown;
    std::string camera_;
    std::vector<std::string> lastNames_;
    std::optional<Tick> pollAt_;
    bool removalNotified_ = false;
    bool zoomStored_ = true;
    bool holdSetting_ = true;

    std::optional<PlannedApply> planned_;
    std::optional<Retrying> retrying_;
    std::optional<PlannedApply> applying_;  // asked for; its ApplyEnded is owed
    std::optional<Tick> checkAt_;
    // Until an arrival, a resume or a camera-use change the camera is not asked again: it
    // refused, or the retries ran out.
    bool waitingForArrival_ = false;
    std::deque<Tick> setBacks_;
    std::optional<Tick> heldOffUntil_;
    // A failure went to the event log: the next applied zoom is reported as a recovery.
    bool failureReported_ = false;
    // [camera] keys that the camera refused or does not have, until it arrives again.
    std::vector<std::string> leftAlone_;
    std::vector<std::string> ignoredLogged_;

    KeeperState state_;
    bool stopped_ = false;
};

// The log text of an apply's outcome: "applied (the stored zoom is on the camera)", ...
std::string ApplyOutcomeText(AutosetExitCode outcome);
