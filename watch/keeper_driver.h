#pragma once

#include <optional>
#include <string>

#include "watch/keeper_rules.h"

// What the keeper's actions do in the world: the program's shell, the unit tests' simulated
// station and the fuzz target each give their own, and KeeperDriver carries the actions out
// through it the same way for all three.
class KeeperWorld {
  public:
    virtual ~KeeperWorld() = default;

    virtual Tick Now() = 0;
    virtual void Log(const std::string& line) = 0;
    virtual void Report(KeeperEvent event, const std::string& text) = 0;
    virtual void SaveState(const KeeperState& state) = 0;
    // Looks at the device list and the settings.
    virtual DevicesSeenEvent LookAtDevices() = 0;
    // Applies the stored zoom and the [camera] controls to the station's camera, but for the
    // controls `leftAlone`; `reason` is what the log calls it.
    virtual ApplyResult Apply(const std::string& reason,
                              const std::vector<std::string>& leftAlone) = 0;
    // Every answer of the rules, as given, before it is carried out.
    virtual void Answered(const KeeperActions& /*answer*/) {}
};

// The one interpreter of the rules' actions: feeds an event in, carries out the answer in order,
// and feeds the events that its polls and applies owe back in the same order, each with the time
// it is fed at, until nothing is owed. The answer's timer is then the latest word.
class KeeperDriver {
  public:
    explicit KeeperDriver(KeeperWorld& world) : world_(world) {}

    void Started();
    void DeviceNotified(DeviceChange change);
    void Resumed();
    void CameraUseChanged(const std::vector<std::string>& lines);
    // Calls TimerDue when the deadline has come; does nothing before.
    void TimerIfDue();
    void StopRequested(const std::string& reason);

    // When TimerIfDue has something to do; none: only an outside event can.
    std::optional<Tick> Deadline() const { return deadline_; }
    bool QuitRequested() const { return quit_; }

  private:
    void Carry(KeeperActions actions);

    KeeperWorld& world_;
    KeeperRules rules_;
    std::optional<Tick> deadline_;
    bool quit_ = false;
};
