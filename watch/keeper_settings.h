#pragma once

#include <optional>
#include <string>

#include "app/camera_section.h"

// What the keeper takes from config.ini, which it only ever reads: the stored zoom, read as the
// tool's Set reads it ([options] zoom), the controls kept in [camera], and whether it holds the
// zoom between arrivals ([watch] hold: 0, off, no or false turn holding off; anything else, or
// nothing, leaves it on).
struct KeeperSettings {
    std::optional<std::string> zoomText;  // none: no zoom stored
    bool hold = true;
    CameraSection camera;  // the further controls kept for the station's picture
};

KeeperSettings ReadKeeperSettings(const std::string& iniPath);

// Whether a [watch] hold value leaves holding on.
bool HoldSettingOn(const std::string& text);
