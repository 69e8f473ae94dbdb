#include "watch/keeper_loop.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "app/settings_text.h"
#include "app/station_settings.h"
#include "capture/device_list.h"
#include "platform/event_log.h"
#include "platform/messaging.h"
#include "platform/process_memory.h"
#include "platform/resident_loop.h"
#include "watch/camera_use_changes.h"
#include "watch/keeper_driver.h"
#include "watch/keeper_settings.h"
#include "watch/keeper_status.h"
#include "watch/picture_apply.h"

namespace {

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

EventSeverity SeverityOf(KeeperEvent event) {
    switch (event) {
        case KeeperEvent::Started:
        case KeeperEvent::Recovered:
            return EventSeverity::Information;
        case KeeperEvent::HoldingOff:
            return EventSeverity::Warning;
        case KeeperEvent::FailureOutlastedRetries:
        case KeeperEvent::CameraRefusedSetting:
            return EventSeverity::Error;
    }
    return EventSeverity::Information;
}

// The keeper in the real world: the platform's signals in, the device list, the settings files,
// the camera's controls, the log and the state file out.
class KeeperShell final : public KeeperWorld {
  public:
    KeeperShell(LogFile& log, const std::string& folder)
        : log_(log),
          station_(folder + "config.dat"),
          optionsPath_(folder + "config.ini"),
          statePath_(KeeperStatePath(log.Path())) {}

    int Run() {
        std::string error;
        loop_ = ResidentLoop::Create(
            kKeeperWindowClass, kKeeperStopEventName,
            [this](ResidentSignal signal) { OnSignal(signal); }, error);
        if (!loop_) {
            log_.Write("cannot start: " + error);
            return 1;
        }
        useRecords_ = ReadCameraUseRecords();
        driver_.Started();
        while (!driver_.QuitRequested()) {
            std::optional<std::uint32_t> timeout;
            if (std::optional<Tick> deadline = driver_.Deadline()) {
                const std::int32_t left = TicksSince(*deadline, TickCountMs());
                timeout = left > 0 ? static_cast<std::uint32_t>(left) : 0u;
            }
            loop_->Wait(timeout);
            if (driver_.QuitRequested()) break;
            driver_.TimerIfDue();
        }
        return 0;
    }

    Tick Now() override { return TickCountMs(); }
    void Log(const std::string& line) override { log_.Write(line); }
    void Report(KeeperEvent event, const std::string& text) override {
        if (events_) events_->Report(SeverityOf(event), static_cast<std::uint32_t>(event), text);
    }
    void SaveState(const KeeperState& state) override {
        if (state.applies != saved_.state.applies) saved_.at = LocalStamp(LocalTimeNow());
        saved_.state = state;
        const std::string text = StateFileText(saved_);
        if (text != written_ && ReplaceFileWith(statePath_, text)) written_ = text;
    }

    DevicesSeenEvent LookAtDevices() override {
        DevicesSeenEvent seen;
        VideoInputDeviceNames(seen.names);  // what was seen, also when a device failed
        seen.cameraName = station_.CameraName();
        const KeeperSettings settings = ReadKeeperSettings(optionsPath_);
        seen.zoomStored = settings.zoomText.has_value();
        seen.hold = settings.hold;
        return seen;
    }

    ApplyResult Apply(const std::string&, const std::vector<std::string>& leftAlone) override {
        ApplyResult skipped;
        const std::optional<std::string> cameraName = station_.CameraName();
        if (!cameraName) {
            skipped.skipped = ApplySkip::StationSettingsMissing;
            return skipped;
        }
        const KeeperSettings settings = ReadKeeperSettings(optionsPath_);
        if (!settings.zoomText) {
            skipped.skipped = ApplySkip::StoredZoomMissing;
            return skipped;
        }
        ApplyResult result = ApplyStoredPicture(*cameraName, IntOrDefault(*settings.zoomText, 0),
                                                settings.camera.kept, leftAlone);
        result.ignoredLines = settings.camera.ignored;
        return result;
    }

  private:
    void OnSignal(ResidentSignal signal) {
        switch (signal) {
            case ResidentSignal::DeviceArrived:
                driver_.DeviceNotified(DeviceChange::Arrived);
                break;
            case ResidentSignal::DeviceRemoved:
                driver_.DeviceNotified(DeviceChange::Removed);
                break;
            case ResidentSignal::Resumed:
                driver_.Resumed();
                break;
            case ResidentSignal::StopRequested:
                LogMemory();
                driver_.StopRequested("");
                break;
            case ResidentSignal::SessionEnding:
                LogMemory();
                driver_.StopRequested("the session ends");
                break;
            case ResidentSignal::CameraUseChanged: {
                std::vector<CameraUseRecord> records = ReadCameraUseRecords();
                const std::vector<std::string> lines = CameraUseChanges(useRecords_, records);
                useRecords_ = std::move(records);
                driver_.CameraUseChanged(lines);
                break;
            }
        }
    }

    // What the keeper cost, for whoever checks that it stays small.
    void LogMemory() {
        if (std::optional<std::uint64_t> bytes = ProcessPrivateBytes()) {
            log_.Write("private memory: " + std::to_string((*bytes + 1023) / 1024) + " KiB");
        }
    }

    LogFile& log_;
    StationFile station_;
    std::string optionsPath_;
    std::filesystem::path statePath_;
    SavedKeeperState saved_;
    // Null where no installation registered the event source: the log file is the record.
    std::unique_ptr<EventLog> events_ = EventLog::OpenRegistered(kKeeperEventSource);
    // The platform's records of the programs that use a camera, as last read.
    std::vector<CameraUseRecord> useRecords_;
    std::string written_;
    KeeperDriver driver_{*this};
    std::unique_ptr<ResidentLoop> loop_;
};

}  // namespace

std::filesystem::path KeeperStatePath(const std::filesystem::path& logPath) {
    return logPath.parent_path() / "watch.state";
}

int RunKeeper(LogFile& log, const std::string& folder) { return KeeperShell(log, folder).Run(); }
