// The user's local data folder on Linux: $CAMZOOM_LOCAL_APPDATA (tests point it at a folder of
// their own), else $XDG_STATE_HOME, else ~/.local/state, where per-user logs belong.
#include "platform/user_data_folder.h"

#include <cstdlib>

std::filesystem::path LocalAppDataFolder() {
    for (const char* name : {"CAMZOOM_LOCAL_APPDATA", "XDG_STATE_HOME"}) {
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0') {
            return value;
        }
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::filesystem::path(home) / ".local" / "state";
    }
    return {};
}
