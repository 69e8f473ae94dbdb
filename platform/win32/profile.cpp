// Profile files on Windows: the platform's own profile functions.
#include <vector>

#include "platform/profile.h"
#include "platform/win32/win32_api.h"

// <windows.h> maps WriteProfileString to the win.ini function WriteProfileStringA; our own
// function of that name must keep its name.
#undef WriteProfileString

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& path) {
    // A buffer of 2048 characters: at most 2047 come back.
    std::vector<char> buffer(2048, '\0');
    DWORD length =
        GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                 static_cast<DWORD>(buffer.size()), path.c_str());
    return std::string(buffer.data(), length);
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) !=
           0;
}

bool FlushProfile(const std::string& path) {
    return WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()) != 0;
}
