// The user's local application data folder on Windows.
#include "platform/user_data_folder.h"

// clang-format off
#include "platform/win32/win32_api.h"
#include <shlobj.h>
// clang-format on

std::filesystem::path LocalAppDataFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(
            SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return {};
    }
    return std::filesystem::path(folder);
}
