#include "watch/keeper_driver.h"

#include <deque>

void KeeperDriver::Started() { Carry(rules_.Started(world_.Now())); }

void KeeperDriver::DeviceNotified(DeviceChange change) {
    Carry(rules_.DeviceNotified(world_.Now(), change));
}

void KeeperDriver::Resumed() { Carry(rules_.Resumed(world_.Now())); }

void KeeperDriver::CameraUseChanged(const std::vector<std::string>& lines) {
    Carry(rules_.CameraUseChanged(world_.Now(), lines));
}

void KeeperDriver::TimerIfDue() {
    const Tick now = world_.Now();
    if (deadline_ && Reached(now, *deadline_)) Carry(rules_.TimerDue(now));
}

void KeeperDriver::StopRequested(const std::string& reason) {
    Carry(rules_.StopRequested(world_.Now(), reason));
}

void KeeperDriver::Carry(KeeperActions actions) {
    // What the polls and applies of the answers owe, in the order of their actions.
    struct Owed {
        KeeperActionKind kind;
        DevicesSeenEvent seen;
        ApplyResult applied;
    };
    std::deque<Owed> owed;
    for (;;) {
        world_.Answered(actions);
        for (const KeeperAction& action : actions) {
            switch (action.kind) {
                case KeeperActionKind::Log:
                    world_.Log(action.text);
                    break;
                case KeeperActionKind::Report:
                    world_.Report(action.event, action.text);
                    break;
                case KeeperActionKind::SaveState:
                    world_.SaveState(action.state);
                    break;
                case KeeperActionKind::SetTimer:
                    deadline_ = action.deadline;
                    break;
                case KeeperActionKind::Poll:
                    owed.push_back({action.kind, world_.LookAtDevices(), {}});
                    break;
                case KeeperActionKind::Apply:
                    owed.push_back({action.kind, {}, world_.Apply(action.text, action.leftAlone)});
                    break;
                case KeeperActionKind::Quit:
                    quit_ = true;
                    break;
            }
        }
        if (owed.empty()) return;
        const Owed next = std::move(owed.front());
        owed.pop_front();
        const Tick now = world_.Now();
        actions = next.kind == KeeperActionKind::Poll ? rules_.DevicesSeen(now, next.seen)
                                                      : rules_.ApplyEnded(now, next.applied);
    }
}
