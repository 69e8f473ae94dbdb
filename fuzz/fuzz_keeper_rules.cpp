// The keeper's decisions on arbitrary event sequences, fed as the shell feeds them (a started or
// refused child after StartChild, a device list after Poll, ticks that wrap): every answer ends
// with exactly one SetTimer; never a second child while one runs; EndChild only for a running
// child; nothing but the closing timer after Quit; and the keeper never goes deaf: while it runs,
// no child runs and no device list is awaited, it always has a deadline.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "watch/keeper_rules.h"

namespace {

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return size_ == 0; }

    template <typename T>
    T Take() {
        T value{};
        const std::size_t n = size_ < sizeof(T) ? size_ : sizeof(T);
        std::memcpy(&value, data_, n);
        data_ += n;
        size_ -= n;
        return value;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

const char* const kNames[] = {"Station Cam", "Other Cam", "  station cam ", "Third"};

class Checker {
  public:
    // Carries out one answer as the shell would and checks it; the events that a StartChild or
    // a Poll owe are fed back at once, in order.
    void Answer(KeeperRules& rules, Input& in, Tick now, const KeeperActions& actions) {
        std::size_t timers = 0;
        for (std::size_t i = 0; i < actions.size(); ++i) {
            const KeeperAction& action = actions[i];
            if (quit_ && action.kind != KeeperActionKind::SetTimer &&
                action.kind != KeeperActionKind::Log) {
                std::abort();
            }
            switch (action.kind) {
                case KeeperActionKind::SetTimer:
                    ++timers;
                    if (i + 1 != actions.size()) std::abort();
                    deadline_ = action.deadline;
                    break;
                case KeeperActionKind::StartChild:
                    if (childRunning_) std::abort();
                    // Counted as running from here: the rules hold the child for started until
                    // they hear otherwise.
                    childRunning_ = true;
                    owed_.push_back(KeeperActionKind::StartChild);
                    break;
                case KeeperActionKind::EndChild:
                    if (!childRunning_) std::abort();
                    childRunning_ = false;
                    break;
                case KeeperActionKind::Poll:
                    owed_.push_back(KeeperActionKind::Poll);
                    break;
                case KeeperActionKind::Quit:
                    quit_ = true;
                    break;
                case KeeperActionKind::Log:
                    break;
            }
        }
        if (timers != 1) std::abort();
        if (!quit_ && !childRunning_ && owed_.empty() && !deadline_) std::abort();

        // The shell feeds what it owes in the order of the actions that owed it.
        const std::vector<KeeperActionKind> owed = std::move(owed_);
        owed_.clear();
        for (KeeperActionKind kind : owed) {
            if (kind == KeeperActionKind::Poll) {
                Answer(rules, in, now, rules.DevicesSeen(now, Devices(in)));
                continue;
            }
            const std::uint8_t how = in.Take<std::uint8_t>() % 4;
            if (how == 0) {
                childRunning_ = false;
                Answer(rules, in, now,
                       rules.ChildNotStarted(now, ChildStartFailure::SettingsMissing, ""));
            } else if (how == 1) {
                childRunning_ = false;
                Answer(rules, in, now,
                       rules.ChildNotStarted(now, ChildStartFailure::StartFailed, "denied"));
            } else {
                Answer(rules, in, now, rules.ChildStarted(now));
            }
        }
    }

    DevicesSeenEvent Devices(Input& in) {
        DevicesSeenEvent seen;
        const std::uint8_t mask = in.Take<std::uint8_t>();
        for (int i = 0; i < 4; ++i)
            if (mask & (1u << i)) seen.names.emplace_back(kNames[i]);
        if (!(mask & 0x80)) seen.cameraName = "Station Cam";
        return seen;
    }

    void ChildEnded(KeeperRules& rules, Input& in, Tick now, std::uint32_t code) {
        if (!childRunning_) return;
        childRunning_ = false;
        Answer(rules, in, now, rules.ChildEnded(now, code));
    }

    bool Quit() const { return quit_; }
    std::optional<Tick> Deadline() const { return deadline_; }

  private:
    bool childRunning_ = false;
    bool quit_ = false;
    std::vector<KeeperActionKind> owed_;
    std::optional<Tick> deadline_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    Tick now = in.Take<Tick>();
    KeeperRules rules;
    Checker checker;
    checker.Answer(rules, in, now, rules.Started(now));
    int steps = 0;
    while (!in.Empty() && !checker.Quit() && ++steps < 400) {
        const std::uint8_t op = in.Take<std::uint8_t>();
        // Time passes: up to 65 s, or straight to the deadline.
        if (op & 0x80) {
            if (checker.Deadline()) now = *checker.Deadline();
        } else {
            now += in.Take<std::uint16_t>();
        }
        switch (op % 8) {
            case 0:
            case 1:
                checker.Answer(rules, in, now, rules.TimerDue(now));
                break;
            case 2: {
                static constexpr std::uint32_t kCodes[] = {0, 2, 3, 4, 1, 259};
                checker.ChildEnded(rules, in, now, kCodes[in.Take<std::uint8_t>() % 6]);
                break;
            }
            case 3:
                checker.Answer(rules, in, now, rules.DeviceNotified(now, DeviceChange::Arrived));
                break;
            case 4:
                checker.Answer(rules, in, now, rules.DeviceNotified(now, DeviceChange::Removed));
                break;
            case 5:
                checker.Answer(rules, in, now, rules.Resumed(now));
                break;
            case 6:
                checker.Answer(rules, in, now, rules.DevicesSeen(now, checker.Devices(in)));
                break;
            case 7:
                if ((in.Take<std::uint8_t>() & 0x3f) == 0) {
                    checker.Answer(rules, in, now, rules.StopRequested(now, ""));
                } else {
                    checker.Answer(rules, in, now, rules.TimerDue(now));
                }
                break;
        }
    }
    return 0;
}
