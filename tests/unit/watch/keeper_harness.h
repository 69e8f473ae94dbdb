#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "watch/keeper_rules.h"

// Plays the keeper's shell and the world around it for KeeperRules: a clock, the device list, a
// config.dat, and children that end after a while with the code the camera's state calls for.
// Times in the records are milliseconds since the start, whatever tick the clock began at.
class KeeperHarness {
  public:
    explicit KeeperHarness(Tick startTick = 1000) : start_(startTick), now_(startTick) {}

    // The world.
    std::string cameraName = "Desk Cam";
    bool cameraPresent = false;
    bool settingsPresent = true;
    std::vector<std::string> otherDevices;
    // What a child ends with while the camera is present; 2 otherwise.
    std::uint32_t codeWithCamera = 0;
    // How long a child runs; none: it never ends by itself.
    std::optional<Tick> childDuration = 1500;

    // Records.
    std::vector<std::string> log;
    std::vector<Tick> childStarts;
    std::vector<std::uint32_t> childCodes;
    int polls = 0;
    int endedChildren = 0;
    bool quit = false;

    Tick Elapsed() const { return now_ - start_; }
    Tick Now() const { return now_; }

    void Start() { Carry(rules_.Started(now_)); }
    void Notify(DeviceChange change) { Carry(rules_.DeviceNotified(now_, change)); }
    void Resume() { Carry(rules_.Resumed(now_)); }
    void Stop() { Carry(rules_.StopRequested(now_, "")); }

    // Lets `ms` pass: children end, the timer fires, as a shell would see them.
    void RunFor(Tick ms) {
        const Tick target = now_ + ms;
        for (;;) {
            std::optional<Tick> next = deadline_;
            if (childRunning_ && childEndsAt_ && (!next || Before(*childEndsAt_, *next))) {
                next = childEndsAt_;
            }
            if (!next || !Before(*next, target + 1)) break;
            if (Before(now_, *next)) now_ = *next;
            if (childRunning_ && childEndsAt_ && !Before(now_, *childEndsAt_)) {
                childRunning_ = false;
                const std::uint32_t code = childCode_;
                childCodes.push_back(code);
                Carry(rules_.ChildEnded(now_, code));
            }
            if (deadline_ && !Before(now_, *deadline_)) Carry(rules_.TimerDue(now_));
            if (quit) return;
        }
        now_ = target;
    }

    int LinesWith(const std::string& part) const {
        return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const std::string& l) {
            return l.find(part) != std::string::npos;
        }));
    }
    std::string Log() const {
        std::string all;
        for (const std::string& line : log) all += line + "\n";
        return all;
    }

  private:
    static bool Before(Tick a, Tick b) { return static_cast<std::int32_t>(a - b) < 0; }

    std::vector<std::string> Devices() const {
        std::vector<std::string> names = otherDevices;
        if (cameraPresent) names.insert(names.begin() + (names.empty() ? 0 : 1), cameraName);
        return names;
    }

    void Carry(KeeperActions actions) {
        std::deque<KeeperActions> later;
        for (;;) {
            for (const KeeperAction& action : actions) Do(action, later);
            if (later.empty()) return;
            actions = later.front();
            later.pop_front();
        }
    }

    void Do(const KeeperAction& action, std::deque<KeeperActions>& later) {
        switch (action.kind) {
            case KeeperActionKind::Log:
                log.push_back(action.text);
                break;
            case KeeperActionKind::SetTimer:
                deadline_ = action.deadline;
                break;
            case KeeperActionKind::Poll: {
                ++polls;
                DevicesSeenEvent seen{Devices(), std::nullopt};
                if (settingsPresent) seen.cameraName = cameraName;
                later.push_back(rules_.DevicesSeen(now_, seen));
                break;
            }
            case KeeperActionKind::StartChild:
                EXPECT_FALSE(childRunning_) << "a second child at " << Elapsed() << " ms";
                if (!settingsPresent) {
                    later.push_back(
                        rules_.ChildNotStarted(now_, ChildStartFailure::SettingsMissing, ""));
                    break;
                }
                childRunning_ = true;
                childStarts.push_back(Elapsed());
                childCode_ = cameraPresent ? codeWithCamera : 2;
                childEndsAt_.reset();
                if (childDuration) childEndsAt_ = now_ + *childDuration;
                later.push_back(rules_.ChildStarted(now_));
                break;
            case KeeperActionKind::EndChild:
                EXPECT_TRUE(childRunning_);
                childRunning_ = false;
                ++endedChildren;
                break;
            case KeeperActionKind::Quit:
                quit = true;
                break;
        }
    }

    KeeperRules rules_;
    Tick start_;
    Tick now_;
    std::optional<Tick> deadline_;
    bool childRunning_ = false;
    std::optional<Tick> childEndsAt_;
    std::uint32_t childCode_ = 0;
};
