#include "watch/keeper_loop.h"

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <system_error>

#include "app/station_settings.h"
#include "capture/device_list.h"
#include "platform/child_process.h"
#include "platform/files.h"
#include "platform/messaging.h"
#include "platform/process_memory.h"
#include "platform/resident_loop.h"
#include "watch/keeper_rules.h"

namespace {

#ifdef _WIN32
constexpr const char* kToolFile = "camzoom.exe";
#else
constexpr const char* kToolFile = "camzoom";
#endif

// config.dat's camera name, read again only when the file changed. It is read shared, never
// exclusively: the station's administration program and the tool open it for themselves alone,
// and the keeper must not make them fail.
class StationFile {
  public:
    explicit StationFile(std::filesystem::path path) : path_(std::move(path)) {}

    std::optional<std::string> CameraName() {
        std::error_code error;
        const auto time = std::filesystem::last_write_time(path_, error);
        if (error) return Forget();
        const auto size = std::filesystem::file_size(path_, error);
        if (error) return Forget();
        if (known_ && time == time_ && size == size_) return cameraName_;

        std::ifstream in(path_, std::ios::binary);
        if (!in) return Forget();
        std::optional<std::string> text = ReadSettingsText([&in](void* buffer, std::size_t count) {
            in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
            return static_cast<std::size_t>(in.gcount());
        });
        if (!text) return Forget();
        known_ = true;
        time_ = time;
        size_ = size;
        cameraName_ = StationSettingsFromText(*text).FCameraName;
        return cameraName_;
    }

  private:
    std::optional<std::string> Forget() {
        known_ = false;
        cameraName_.reset();
        return std::nullopt;
    }

    std::filesystem::path path_;
    bool known_ = false;
    std::filesystem::file_time_type time_{};
    std::uintmax_t size_ = 0;
    std::optional<std::string> cameraName_;
};

class KeeperShell {
  public:
    KeeperShell(LogFile& log, const std::string& folder)
        : log_(log), folder_(folder), station_(folder + "config.dat") {}

    int Run() {
        std::string error;
        loop_ = ResidentLoop::Create(
            kKeeperWindowClass, kKeeperStopEventName,
            [this](ResidentSignal signal) { OnSignal(signal); }, error);
        if (!loop_) {
            log_.Write("cannot start: " + error);
            return 1;
        }
        Carry(rules_.Started(TickCountMs()));
        while (!quit_) {
            std::optional<std::uint32_t> timeout;
            if (deadline_) {
                const auto left = static_cast<std::int32_t>(*deadline_ - TickCountMs());
                timeout = left > 0 ? static_cast<std::uint32_t>(left) : 0u;
            }
            loop_->Wait(timeout, child_.get());
            if (quit_) break;
            if (child_) {
                if (std::optional<std::uint32_t> code = child_->ExitCode()) {
                    child_.reset();
                    Carry(rules_.ChildEnded(TickCountMs(), *code));
                }
            }
            if (deadline_ && static_cast<std::int32_t>(TickCountMs() - *deadline_) >= 0) {
                Carry(rules_.TimerDue(TickCountMs()));
            }
        }
        // A child that was not ended waits for a person: it is let go of, not ended.
        child_.reset();
        return 0;
    }

  private:
    void OnSignal(ResidentSignal signal) {
        const Tick now = TickCountMs();
        switch (signal) {
            case ResidentSignal::DeviceArrived:
                Carry(rules_.DeviceNotified(now, DeviceChange::Arrived));
                break;
            case ResidentSignal::DeviceRemoved:
                Carry(rules_.DeviceNotified(now, DeviceChange::Removed));
                break;
            case ResidentSignal::Resumed:
                Carry(rules_.Resumed(now));
                break;
            case ResidentSignal::StopRequested:
                LogMemory();
                Carry(rules_.StopRequested(now, ""));
                break;
            case ResidentSignal::SessionEnding:
                LogMemory();
                Carry(rules_.StopRequested(now, "the session ends"));
                break;
            case ResidentSignal::CameraUseChanged:
                break;  // not acted upon yet
        }
    }

    // What the keeper cost, for whoever checks that it stays small.
    void LogMemory() {
        if (std::optional<std::uint64_t> bytes = ProcessPrivateBytes()) {
            log_.Write("private memory: " + std::to_string((*bytes + 1023) / 1024) + " KiB");
        }
    }

    // Carries out the actions in order. The events that polls and starts give are fed in
    // afterwards, so each answer's timer is the latest word.
    void Carry(KeeperActions actions) {
        std::deque<std::function<KeeperActions()>> events;
        for (;;) {
            for (const KeeperAction& action : actions) Do(action, events);
            if (events.empty()) return;
            actions = events.front()();
            events.pop_front();
        }
    }

    void Do(const KeeperAction& action, std::deque<std::function<KeeperActions()>>& events) {
        switch (action.kind) {
            case KeeperActionKind::Log:
                log_.Write(action.text);
                break;
            case KeeperActionKind::SetTimer:
                deadline_ = action.deadline;
                break;
            case KeeperActionKind::Poll: {
                DevicesSeenEvent seen;
                VideoInputDeviceNames(seen.names);  // what was seen, also when a device failed
                seen.cameraName = station_.CameraName();
                events.push_back([this, seen] { return rules_.DevicesSeen(TickCountMs(), seen); });
                break;
            }
            case KeeperActionKind::StartChild:
                StartChild(events);
                break;
            case KeeperActionKind::EndChild:
                if (child_) child_->Terminate();
                child_.reset();
                break;
            case KeeperActionKind::Quit:
                quit_ = true;
                break;
        }
    }

    void StartChild(std::deque<std::function<KeeperActions()>>& events) {
        // Without config.dat autoset would show its message and wait for a person.
        if (!FileExists(folder_ + "config.dat")) {
            events.push_back([this] {
                return rules_.ChildNotStarted(TickCountMs(), ChildStartFailure::SettingsMissing,
                                              "");
            });
            return;
        }
        std::string error;
        child_ = ChildProcess::Start(std::filesystem::path(folder_ + kToolFile), "autoset",
                                     std::filesystem::path(folder_), error);
        if (!child_) {
            events.push_back([this, error] {
                return rules_.ChildNotStarted(TickCountMs(), ChildStartFailure::StartFailed, error);
            });
            return;
        }
        events.push_back([this] { return rules_.ChildStarted(TickCountMs()); });
    }

    LogFile& log_;
    std::string folder_;
    StationFile station_;
    KeeperRules rules_;
    std::unique_ptr<ResidentLoop> loop_;
    std::unique_ptr<ChildProcess> child_;
    std::optional<Tick> deadline_;
    bool quit_ = false;
};

}  // namespace

int RunKeeper(LogFile& log, const std::string& folder) { return KeeperShell(log, folder).Run(); }
