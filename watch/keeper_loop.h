#pragma once

#include <filesystem>
#include <string>

#include "watch/log_file.h"

// The keeper's shell: turns what the platform reports into KeeperRules events and carries out
// the rules' actions (device polls, applying the stored zoom through the camera's controls, the
// log, the timer), until a stop. `folder` holds the tool and config.dat (with its path separator at
// the end). The calling thread must have joined a COM apartment. Returns the exit code.
int RunKeeper(LogFile& log, const std::string& folder);

// The state file that "--status" reads, beside the keeper's log.
std::filesystem::path KeeperStatePath(const std::filesystem::path& logPath);

// The names the keeper uses in the session, fixed with the installer.
inline constexpr const char* kKeeperInstanceName = "Local\\camzoom-watch";
inline constexpr const char* kKeeperStopEventName = "Local\\camzoom-watch-stop";
inline constexpr const char* kKeeperWindowClass = "CamzoomWatch";
