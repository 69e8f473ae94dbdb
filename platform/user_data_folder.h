#pragma once

#include <filesystem>

// The user's local application data folder (%LOCALAPPDATA% on Windows; on Linux
// $CAMZOOM_LOCAL_APPDATA, else $XDG_STATE_HOME, else ~/.local/state). Empty when unknown.
std::filesystem::path LocalAppDataFolder();
