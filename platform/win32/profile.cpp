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

std::vector<std::string> ReadProfileKeys(const std::string& section, const std::string& path) {
    // The key names, each ended by a zero, the list by a second one; a buffer that is too small
    // is answered with its size less 2, so it grows until the answer fits.
    std::vector<char> buffer(4096, '\0');
    DWORD length = 0;
    for (;;) {
        length = GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(),
                                          static_cast<DWORD>(buffer.size()), path.c_str());
        if (length + 2 < buffer.size() || buffer.size() >= (1u << 20)) break;
        buffer.assign(buffer.size() * 2, '\0');
    }
    std::vector<std::string> keys;
    for (std::size_t at = 0; at < length && buffer[at] != '\0';) {
        keys.emplace_back(buffer.data() + at);
        at += keys.back().size() + 1;
    }
    return keys;
}

bool DeleteProfileKey(const std::string& section, const std::string& key, const std::string& path) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, path.c_str()) != 0;
}

bool FlushProfile(const std::string& path) {
    return WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()) != 0;
}
