#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The keeper's decisions: when to run "camzoom.exe autoset", when to look at the device list,
// what to write to the log and when to end. No I/O: the shell feeds events in and carries the
// actions out, in order.
//
// Protocol with the shell: after StartChild exactly one of ChildStarted or ChildNotStarted
// follows; after Poll, DevicesSeen; the last action of every answer is SetTimer, and the shell
// calls TimerDue once that deadline has come (earlier calls do no harm).

// The 32-bit wrapping millisecond tick; deadlines are compared by unsigned difference, so a
// wrap of the counter changes nothing.
using Tick = std::uint32_t;

enum class KeeperActionKind {
    StartChild,  // run "camzoom.exe autoset" (after checking that config.dat exists)
    EndChild,    // end the running child: the keeper is stopping
    Poll,        // enumerate the video input devices and read config.dat, then DevicesSeen
    Log,         // `text` is one line of the log
    SetTimer,    // the one timer: call TimerDue at `deadline`; none: no deadline, wait only
    Quit,        // leave the loop; the program ends with 0
};

struct KeeperAction {
    KeeperActionKind kind;
    std::string text;
    std::optional<Tick> deadline;

    bool operator==(const KeeperAction&) const = default;
};

using KeeperActions = std::vector<KeeperAction>;

// What one look at the devices found.
struct DevicesSeenEvent {
    std::vector<std::string> names;  // friendly names in enumeration order
    // "VCapSource" of config.dat as it reads now; none while the file is missing or unreadable.
    std::optional<std::string> cameraName;
};

enum class DeviceChange { Arrived, Removed };

enum class ChildStartFailure {
    SettingsMissing,  // config.dat is not there: autoset would wait for a person
    StartFailed,      // the process could not be started; the detail says why
};

// The schedule, in milliseconds.
struct KeeperTimes {
    static constexpr Tick kSettle = 1000;          // quiet after device events before a run
    static constexpr Tick kConfirm = 10'000;       // after 0, the run that checks the zoom held
    static constexpr Tick kRetryWindow = 600'000;  // no retry starts later after its trigger
    static constexpr Tick kPollAbsent = 2000;      // device list while the camera is absent
    static constexpr Tick kPollPresent = 60'000;   // ... and while it is present
    static constexpr Tick kChildWaiting = 60'000;  // a child this old waits for a person
    // Delays after the 1st, 2nd, ... failed run; the last one repeats.
    static constexpr Tick kRetryDelays[] = {2000, 5000, 10'000, 30'000, 60'000};
};

class KeeperRules {
  public:
    KeeperActions Started(Tick now);
    KeeperActions ChildStarted(Tick now);
    KeeperActions ChildNotStarted(Tick now, ChildStartFailure failure, const std::string& detail);
    KeeperActions ChildEnded(Tick now, std::uint32_t exitCode);
    KeeperActions DevicesSeen(Tick now, const DevicesSeenEvent& seen);
    KeeperActions DeviceNotified(Tick now, DeviceChange change);
    KeeperActions Resumed(Tick now);
    KeeperActions TimerDue(Tick now);
    // `reason` completes the log line, e.g. "the session ends"; empty for a plain stop.
    KeeperActions StopRequested(Tick now, const std::string& reason);

  private:
    enum class Station { Unknown, Present, Absent, NoSettings };

    void Trigger(Tick now, const std::string& reason, Tick delay);
    void RetryOrGiveUp(Tick now, KeeperActions& out);
    void FinishChild(Tick now, KeeperActions& out);
    void LogDeviceChanges(const DevicesSeenEvent& seen, KeeperActions& out) const;
    void CloseWith(Tick now, KeeperActions& out) const;

    Station station_ = Station::Unknown;
    std::vector<std::string> lastNames_;
    std::optional<Tick> pollAt_;
    bool removalNotified_ = false;

    // The run's trigger: its time bounds the retries.
    Tick triggerAt_ = 0;
    int failures_ = 0;
    std::optional<Tick> runAt_;
    std::string runReason_;
    bool runIsSettling_ = false;  // an arrival's run, which further device events push out
    bool runIsConfirming_ = false;
    // A trigger that came while a child ran: one run after it ends.
    std::optional<std::string> triggerWhileRunning_;

    bool childRunning_ = false;
    bool childIsConfirming_ = false;
    std::string childReason_;
    Tick childStartedAt_ = 0;
    bool childWaitingLogged_ = false;
    bool stopped_ = false;
};

// The log text of an autoset exit code: "0 (the stored zoom is on the camera)", ...,
// "unexpected exit code N".
std::string AutosetExitText(std::uint32_t exitCode);
