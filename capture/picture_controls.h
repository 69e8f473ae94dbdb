#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// The controls that make a station's picture, as the platform offers them: the seven camera
// controls (the camera-control interface), the ten video-processing controls (the
// video-processing interface), and the power-line frequency, which the platform has only in the
// kernel-streaming video-processing property set (0 off, 1 50 Hz, 2 60 Hz; 3, automatic, not on
// every camera).
enum class ControlInterface {
    CameraControl,
    VideoProcAmp,
    PowerLine,
};

struct PictureControl {
    ControlInterface face;
    std::int32_t id;        // the platform's property number within its interface
    std::string_view key;   // the name in lower case, as config.ini's [camera] keys it
    std::string_view name;  // as the platform names it, for people
};

inline constexpr std::int32_t kPowerLineFrequencyId = 13;

inline constexpr std::array<PictureControl, 18> kPictureControls = {{
    {ControlInterface::CameraControl, 0, "pan", "Pan"},
    {ControlInterface::CameraControl, 1, "tilt", "Tilt"},
    {ControlInterface::CameraControl, 2, "roll", "Roll"},
    {ControlInterface::CameraControl, 3, "zoom", "Zoom"},
    {ControlInterface::CameraControl, 4, "exposure", "Exposure"},
    {ControlInterface::CameraControl, 5, "iris", "Iris"},
    {ControlInterface::CameraControl, 6, "focus", "Focus"},
    {ControlInterface::VideoProcAmp, 0, "brightness", "Brightness"},
    {ControlInterface::VideoProcAmp, 1, "contrast", "Contrast"},
    {ControlInterface::VideoProcAmp, 2, "hue", "Hue"},
    {ControlInterface::VideoProcAmp, 3, "saturation", "Saturation"},
    {ControlInterface::VideoProcAmp, 4, "sharpness", "Sharpness"},
    {ControlInterface::VideoProcAmp, 5, "gamma", "Gamma"},
    {ControlInterface::VideoProcAmp, 6, "colorenable", "ColorEnable"},
    {ControlInterface::VideoProcAmp, 7, "whitebalance", "WhiteBalance"},
    {ControlInterface::VideoProcAmp, 8, "backlightcompensation", "BacklightCompensation"},
    {ControlInterface::VideoProcAmp, 9, "gain", "Gain"},
    {ControlInterface::PowerLine, kPowerLineFrequencyId, "powerlinefrequency",
     "PowerLineFrequency"},
}};

// The control of that key (lower case exactly); none for an unknown one.
constexpr std::optional<PictureControl> PictureControlByKey(std::string_view key) {
    for (const PictureControl& control : kPictureControls)
        if (control.key == key) return control;
    return std::nullopt;
}

// The zoom: kept in [options] zoom, never in [camera].
constexpr bool IsZoom(const PictureControl& control) {
    return control.face == ControlInterface::CameraControl && control.id == 3;
}
