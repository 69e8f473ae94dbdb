#include "watch/keeper_settings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "app/options_file.h"
#include "platform/profile.h"

bool HoldSettingOn(const std::string& text) {
    std::string word;
    for (char c : text) {
        if (c != ' ' && c != '\t')
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    constexpr std::array<std::string_view, 4> kOff = {"0", "off", "no", "false"};
    return std::find(kOff.begin(), kOff.end(), word) == kOff.end();
}

KeeperSettings ReadKeeperSettings(const std::string& iniPath) {
    KeeperSettings settings;
    settings.zoomText = ReadStoredOption("zoom", iniPath);
    settings.hold = HoldSettingOn(ReadProfileString("watch", "hold", "", iniPath));
    settings.camera = ReadCameraSection(iniPath);
    return settings;
}
