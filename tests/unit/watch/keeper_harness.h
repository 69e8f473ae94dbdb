#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "watch/keeper_driver.h"

// Plays the world around the keeper's rules, through the same driver as the program: a clock,
// the device list, config.dat and config.ini, and a camera whose zoom the applies read and set
// as the real apply does (sent only when it differs). Times in the records are milliseconds
// since the start, whatever tick the clock began at.
class KeeperHarness : public KeeperWorld {
  public:
    explicit KeeperHarness(Tick startTick = 1000) : start_(startTick), now_(startTick) {}

    // The world.
    std::string cameraName = "Desk Cam";
    bool cameraPresent = false;
    bool settingsPresent = true;                   // config.dat
    std::optional<std::int32_t> storedZoom = 320;  // config.ini's zoom; none: no key
    bool hold = true;                              // config.ini's [watch] hold
    std::vector<std::string> otherDevices;
    bool cameraHasZoom = true;
    bool cameraRefuses = false;
    std::int32_t cameraZoom = 100;
    // [camera] as kept (key, "value" or "auto"), the camera's own controls as they stand, and
    // the keys whose setting the camera refuses.
    std::vector<std::pair<std::string, std::string>> keptControls;
    std::map<std::string, std::string> cameraControls;
    std::set<std::string> refusedControls;
    std::vector<std::string> ignoredLines;  // [camera] lines not taken

    // Records.
    std::vector<std::string> log;
    std::vector<Tick> applies;  // when an apply ran
    std::vector<Tick> sends;    // when an apply had to send the zoom
    std::vector<AutosetExitCode> outcomes;
    std::vector<KeeperEvent> reports;
    std::optional<KeeperState> state;
    int polls = 0;
    std::vector<std::string> leftAloneSeen;  // at the last apply

    Tick Elapsed() const { return now_ - start_; }

    void Start() { driver_.Started(); }
    void Notify(DeviceChange change) { driver_.DeviceNotified(change); }
    void Resume() { driver_.Resumed(); }
    void UseChanged(std::vector<std::string> lines = {}) { driver_.CameraUseChanged(lines); }
    void Stop() { driver_.StopRequested(""); }
    bool Quit() const { return driver_.QuitRequested(); }

    // Lets `ms` pass, the timer firing as a shell would see it.
    void RunFor(Tick ms) {
        const Tick target = now_ + ms;
        for (;;) {
            std::optional<Tick> next = driver_.Deadline();
            if (!next || TicksSince(*next, target) > 0 || driver_.QuitRequested()) break;
            if (TicksSince(*next, now_) > 0) now_ = *next;
            driver_.TimerIfDue();
        }
        now_ = target;
    }

    int LinesWith(const std::string& part) const {
        return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const std::string& l) {
            return l.find(part) != std::string::npos;
        }));
    }
    int ReportsOf(KeeperEvent event) const {
        return static_cast<int>(std::count(reports.begin(), reports.end(), event));
    }
    std::string Log() const {
        std::string all;
        for (const std::string& line : log) all += line + "\n";
        return all;
    }

    // KeeperWorld.
    Tick Now() override { return now_; }
    void Log(const std::string& line) override { log.push_back(line); }
    void Report(KeeperEvent event, const std::string&) override { reports.push_back(event); }
    void SaveState(const KeeperState& saved) override { state = saved; }

    DevicesSeenEvent LookAtDevices() override {
        ++polls;
        DevicesSeenEvent seen{Devices(), std::nullopt, storedZoom.has_value(), hold};
        if (settingsPresent) seen.cameraName = cameraName;
        return seen;
    }

    ApplyResult Apply(const std::string&, const std::vector<std::string>& alone) override {
        leftAloneSeen = alone;
        applies.push_back(Elapsed());
        ApplyResult result;
        if (!settingsPresent) {
            result.skipped = ApplySkip::StationSettingsMissing;
            return result;
        }
        if (!storedZoom) {
            result.skipped = ApplySkip::StoredZoomMissing;
            return result;
        }
        result.stored = *storedZoom;
        if (!cameraPresent) {
            result.outcome = AutosetExitCode::NoCamera;
        } else if (!cameraHasZoom) {
            result.outcome = AutosetExitCode::NoZoom;
        } else {
            result.found = cameraZoom;
            result.sent = cameraZoom != *storedZoom;
            if (result.sent) sends.push_back(Elapsed());
            if (result.sent && cameraRefuses) {
                result.outcome = AutosetExitCode::Refused;
            } else {
                cameraZoom = *storedZoom;
                if (result.sent) result.readBack = cameraZoom;
                result.outcome = AutosetExitCode::Applied;
            }
        }
        if (cameraPresent) ApplyKept(alone, result);
        result.ignoredLines = ignoredLines;
        outcomes.push_back(result.outcome);
        return result;
    }

  private:
    void ApplyKept(const std::vector<std::string>& alone, ApplyResult& result) {
        for (const auto& [key, wanted] : keptControls) {
            if (std::find(alone.begin(), alone.end(), key) != alone.end()) continue;
            KeptControlOutcome kept{key, KeptControlOutcome::What::Held, "", wanted, ""};
            auto on = cameraControls.find(key);
            if (on == cameraControls.end()) {
                kept.what = KeptControlOutcome::What::NotOffered;
            } else if (on->second != wanted) {
                kept.was = on->second;
                if (refusedControls.count(key)) {
                    kept.what = KeptControlOutcome::What::Refused;
                } else {
                    kept.what = KeptControlOutcome::What::Set;
                    on->second = wanted;
                    kept.readBack = wanted;
                }
            }
            result.kept.push_back(kept);
        }
    }

    std::vector<std::string> Devices() const {
        std::vector<std::string> names = otherDevices;
        if (cameraPresent) names.insert(names.begin() + (names.empty() ? 0 : 1), cameraName);
        return names;
    }

    Tick start_;
    Tick now_;
    KeeperDriver driver_{*this};
};
