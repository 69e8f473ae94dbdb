// The resident keeper: keeps the stored zoom on the station's camera, applied through the
// camera's controls from its own folder's config.dat and config.ini. "--stop" asks the running
// keeper of this session to end, "--status" prints one line about it, "--apply" applies the
// stored zoom and the [camera] controls once and ends with autoset's exit codes.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "app/command_line.h"
#include "app/error_text.h"
#include "app/settings_text.h"
#include "app/station_settings.h"
#include "platform/com_apartment.h"
#include "platform/console_output.h"
#include "platform/files.h"
#include "platform/session_instance.h"
#include "platform/user_data_folder.h"
#include "watch/keeper_loop.h"
#include "watch/keeper_settings.h"
#include "watch/keeper_status.h"
#include "watch/log_file.h"
#include "watch/picture_apply.h"

namespace {

constexpr std::uint32_t kStopWaitMs = 15'000;
// "--apply" without config.dat or without a stored zoom: nothing could be tried.
constexpr int kApplyNothingToApply = 1;

std::filesystem::path LogPath() {
    const std::filesystem::path folder = LocalAppDataFolder() / "camzoom";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder / "watch.log";
}

int Status() {
    std::optional<SavedKeeperState> saved;
    std::ifstream in(KeeperStatePath(LogPath()), std::ios::binary);
    if (in) {
        saved = ParseStateFile(
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    SessionInstance::Claim claim = SessionInstance::Claim::Failed;
    std::string error;
    // Claimed here means nobody holds it; it is let go of again at once.
    SessionInstance::TryClaim(kKeeperInstanceName, claim, error);
    const KeeperStatus status = StatusFor(saved, claim == SessionInstance::Claim::AlreadyRunning);
    WriteStandardOutput(status.line + "\n");
    return status.exitCode;
}

int ApplyOnce(const std::string& folder) {
    StationSettingsReading station = ReadStationSettings(folder + "config.dat");
    if (station.status != StationSettingsStatus::Read) {
        WriteStandardOutput("nothing applied: config.dat is missing or unreadable\n");
        return kApplyNothingToApply;
    }
    station.file.reset();  // read: the station's program may open it for itself again
    const KeeperSettings settings = ReadKeeperSettings(folder + "config.ini");
    if (!settings.zoomText) {
        WriteStandardOutput("nothing applied: config.ini holds no zoom ([options] zoom)\n");
        return kApplyNothingToApply;
    }
    for (const std::string& line : settings.camera.ignored)
        WriteStandardOutput(line + "; ignored\n");
    ComApartment apartment;
    const ApplyResult result =
        ApplyStoredPicture(station.settings.FCameraName, IntOrDefault(*settings.zoomText, 0),
                           settings.camera.kept, {});
    WriteStandardOutput("zoom " + std::to_string(result.stored) + ": " +
                        ApplyOutcomeText(result.outcome) + "\n");
    bool refused = false;
    for (const KeptControlOutcome& kept : result.kept) {
        static constexpr const char* kWhat[] = {"as kept", "set", "refused by the camera",
                                                "not on the camera"};
        WriteStandardOutput(kept.key + " " + kept.wanted + ": " +
                            kWhat[static_cast<int>(kept.what)] + "\n");
        refused = refused || kept.what == KeptControlOutcome::What::Refused;
    }
    // Everything else on the camera: a refused control is the camera refusing a stored setting.
    if (result.outcome == AutosetExitCode::Applied && refused) {
        return static_cast<int>(AutosetExitCode::Refused);
    }
    return static_cast<int>(result.outcome);
}

}  // namespace

int main() {
    const std::vector<std::string> arguments = SplitCommandLine(RawCommandLine());
    const std::string option = arguments.size() > 1 ? arguments[1] : "";
    if (option == "--stop") {
        const StopOutcome outcome = StopSessionInstance(kKeeperInstanceName, kKeeperStopEventName,
                                                        kKeeperWindowClass, kStopWaitMs);
        return outcome == StopOutcome::StillRunning ? 1 : 0;
    }
    if (option == "--status") return Status();
    if (option == "--apply") return ApplyOnce(FolderOf(ExecutablePath()));

    LogFile log(LogPath());
    SessionInstance::Claim claim = SessionInstance::Claim::Failed;
    std::string error;
    // Declared first, so it is let go of last, once everything else is gone.
    std::unique_ptr<SessionInstance> instance =
        SessionInstance::TryClaim(kKeeperInstanceName, claim, error);
    if (claim == SessionInstance::Claim::AlreadyRunning) {
        log.Write("already running");
        return 0;
    }
    if (claim == SessionInstance::Claim::Failed) {
        log.Write("cannot start: " + error);
        return 1;
    }
    ComApartment apartment;  // the camera is reached through DirectShow
    return RunKeeper(log, FolderOf(ExecutablePath()));
}
