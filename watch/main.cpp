// The resident keeper: runs "camzoom autoset" from its own folder whenever the station's camera
// may have lost its zoom. "--stop" asks the running keeper of this session to end.
#include <filesystem>
#include <system_error>

#include "app/command_line.h"
#include "app/error_text.h"
#include "platform/com_apartment.h"
#include "platform/files.h"
#include "platform/session_instance.h"
#include "platform/user_data_folder.h"
#include "watch/keeper_loop.h"
#include "watch/log_file.h"

namespace {

constexpr std::uint32_t kStopWaitMs = 15'000;

std::filesystem::path LogPath() {
    const std::filesystem::path folder = LocalAppDataFolder() / "camzoom";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder / "watch.log";
}

}  // namespace

int main() {
    const std::vector<std::string> arguments = SplitCommandLine(RawCommandLine());
    if (arguments.size() > 1 && arguments[1] == "--stop") {
        const StopOutcome outcome = StopSessionInstance(kKeeperInstanceName, kKeeperStopEventName,
                                                        kKeeperWindowClass, kStopWaitMs);
        return outcome == StopOutcome::StillRunning ? 1 : 0;
    }

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
    ComApartment apartment;  // the device list is read through DirectShow
    return RunKeeper(log, FolderOf(ExecutablePath()));
}
