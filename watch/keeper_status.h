#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "watch/keeper_rules.h"

// The keeper's state file beside its log, for "camzoom_watch --status": the last apply's outcome
// with its local time and how the zoom is held. Replaced whole at every change, so a reader never
// sees half a file.

struct SavedKeeperState {
    KeeperState state;
    std::string at;  // local time of the last apply, "YYYY-MM-DD HH:MM:SS"; empty before one
};

// The file's text: one "name=value" line each for camera, outcome (autoset's code, or "-"),
// text, at and holding (on, held off, off).
std::string StateFileText(const SavedKeeperState& saved);
// None for a text that is not such a file.
std::optional<SavedKeeperState> ParseStateFile(const std::string& text);

// Writes `text` to `path` through a temporary file beside it that then replaces it.
bool ReplaceFileWith(const std::filesystem::path& path, const std::string& text);

struct KeeperStatus {
    std::string line;
    // 0: the keeper runs and its last apply found the stored zoom on the camera; 1: otherwise;
    // 2: nothing to report, the keeper never ran for this user.
    int exitCode = 2;
};

KeeperStatus StatusFor(const std::optional<SavedKeeperState>& saved, bool running);
