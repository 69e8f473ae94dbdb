// The keeper's decisions on arbitrary event sequences, carried out by the program's own driver
// with a world that answers polls and applies from the input (ticks that wrap included): every
// answer ends with exactly one SetTimer; one apply or one poll at most per answer, never both;
// nothing but the log, the state and the closing timer after Quit; the keeper never goes deaf
// (an answer that owes nothing and does not quit has a deadline); the zoom is never set back
// more often than the bound allows within the window, counted from the last apply that an event
// set off (start, arrival, resume, a zoom stored again, a retry: none of them a tug of war's
// doing); and once holding off, no check until holding starts again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "watch/keeper_driver.h"

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

class FuzzWorld final : public KeeperWorld {
  public:
    explicit FuzzWorld(Input& in) : now_(in.Take<Tick>()), in_(in) {}

    Tick now_;

    Tick Now() override { return now_; }

    void Log(const std::string& line) override {
        if (line.rfind("holding off", 0) == 0) heldOff_ = true;
        // Holding starts again with a clean count.
        if (line.rfind("holding again", 0) == 0) {
            heldOff_ = false;
            setBacks_.clear();
        }
    }
    void Report(KeeperEvent, const std::string&) override {}
    void SaveState(const KeeperState&) override {}

    DevicesSeenEvent LookAtDevices() override {
        DevicesSeenEvent seen;
        const std::uint8_t mask = in_.Take<std::uint8_t>();
        for (int i = 0; i < 4; ++i)
            if (mask & (1u << i)) seen.names.emplace_back(kNames[i]);
        if (!(mask & 0x80)) seen.cameraName = "Station Cam";
        seen.zoomStored = !(mask & 0x40);
        seen.hold = !(mask & 0x20);
        return seen;
    }

    ApplyResult Apply(const std::string& reason, const std::vector<std::string>&) override {
        const bool check = reason == "check";
        const bool confirm = reason.rfind("confirming", 0) == 0;
        if (check && heldOff_) std::abort();
        if (!check && !confirm) setBacks_.clear();
        ApplyResult result;
        const std::uint8_t how = in_.Take<std::uint8_t>();
        static constexpr AutosetExitCode kOutcomes[] = {
            AutosetExitCode::Applied, AutosetExitCode::Applied, AutosetExitCode::NoCamera,
            AutosetExitCode::NoZoom, AutosetExitCode::Refused};
        if ((how & 0x1f) == 0x1f) {
            result.skipped =
                how & 0x20 ? ApplySkip::StoredZoomMissing : ApplySkip::StationSettingsMissing;
            return result;
        }
        result.outcome = kOutcomes[(how & 0x1f) % 5];
        result.sent = (how & 0x40) != 0;
        const bool setBack =
            result.sent && result.outcome == AutosetExitCode::Applied && (check || confirm);
        if (setBack) {
            while (!setBacks_.empty() && TicksSince(now_, setBacks_.front()) >=
                                             static_cast<std::int32_t>(KeeperTimes::kSetBackWindow))
                setBacks_.pop_front();
            setBacks_.push_back(now_);
            if (static_cast<int>(setBacks_.size()) > KeeperTimes::kSetBacksAllowed) std::abort();
        }
        return result;
    }

    void Answered(const KeeperActions& answer) override {
        std::size_t timers = 0;
        int applies = 0, polls = 0;
        for (std::size_t i = 0; i < answer.size(); ++i) {
            const KeeperAction& action = answer[i];
            if (quit_ && action.kind != KeeperActionKind::SetTimer &&
                action.kind != KeeperActionKind::Log &&
                action.kind != KeeperActionKind::SaveState) {
                std::abort();
            }
            switch (action.kind) {
                case KeeperActionKind::SetTimer:
                    ++timers;
                    if (i + 1 != answer.size()) std::abort();
                    if (!quit_ && applies == 0 && polls == 0 && !action.deadline) std::abort();
                    break;
                case KeeperActionKind::Apply:
                    ++applies;
                    break;
                case KeeperActionKind::Poll:
                    ++polls;
                    break;
                case KeeperActionKind::Quit:
                    quit_ = true;
                    break;
                default:
                    break;
            }
        }
        if (timers != 1 || applies + polls > 1) std::abort();
    }

  private:
    Input& in_;
    bool quit_ = false;
    bool heldOff_ = false;
    std::deque<Tick> setBacks_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    FuzzWorld world(in);
    KeeperDriver driver(world);
    driver.Started();
    int steps = 0;
    while (!in.Empty() && !driver.QuitRequested() && ++steps < 400) {
        const std::uint8_t op = in.Take<std::uint8_t>();
        // Time passes: up to 65 s, or on to the deadline. The clock never runs back: a deadline
        // already passed (a timer taken late) leaves the time as it is.
        if (op & 0x80) {
            const std::optional<Tick> deadline = driver.Deadline();
            if (deadline && TicksSince(*deadline, world.now_) > 0) world.now_ = *deadline;
        } else {
            world.now_ += in.Take<std::uint16_t>();
        }
        switch (op % 8) {
            case 0:
            case 1:
            case 2:
                driver.TimerIfDue();
                break;
            case 3:
                driver.DeviceNotified(DeviceChange::Arrived);
                break;
            case 4:
                driver.DeviceNotified(DeviceChange::Removed);
                break;
            case 5:
                driver.Resumed();
                break;
            case 6:
                driver.CameraUseChanged({"a program started using the camera"});
                break;
            case 7:
                if ((in.Take<std::uint8_t>() & 0x3f) == 0) {
                    driver.StopRequested("");
                } else {
                    driver.TimerIfDue();
                }
                break;
        }
    }
    return 0;
}
