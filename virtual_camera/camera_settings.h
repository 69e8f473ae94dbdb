#pragma once
// One registered camera instance's settings and current control values, kept in the registry
// under HKCU\Software\CamzoomVirtualCamera\<instance id> (see README.md for the layout).
#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vcam {

inline constexpr wchar_t kSettingsRoot[] = L"Software\\CamzoomVirtualCamera";
inline constexpr wchar_t kDefaultInstanceId[] = L"Camzoom Virtual Camera";

enum class PixelFormat { Rgb24, Yuy2, I420, Yv12, Mjpg };

const wchar_t* PixelFormatName(PixelFormat format);
std::optional<PixelFormat> ParsePixelFormat(const std::wstring& name);

// The controls, numbered: the seven camera controls in the order of the platform's
// CameraControl_Pan..CameraControl_Focus, then the ten video-processing controls in the order of
// VideoProcAmp_Brightness..VideoProcAmp_Gain, then the power-line frequency of the
// kernel-streaming video-processing property set.
inline constexpr int kCameraControlCount = 7;
inline constexpr int kProcAmpControlCount = 10;
inline constexpr int kFirstProcAmpControl = kCameraControlCount;
inline constexpr int kPowerLineControl = kFirstProcAmpControl + kProcAmpControlCount;
inline constexpr int kControlCount = kPowerLineControl + 1;
// Pan, Tilt, Roll, Zoom, Exposure, Iris, Focus, Brightness, Contrast, Hue, Saturation,
// Sharpness, Gamma, ColorEnable, WhiteBalance, BacklightCompensation, Gain, PowerLineFrequency.
const wchar_t* ControlName(int control);
std::optional<int> ParseControlName(const std::wstring& name);

struct ControlSetting {
    bool present = false;
    long min = 0;
    long max = 0;
    long step = 1;
    long defaultValue = 0;
    long capsFlags = 2;  // what GetRange reports: CameraControl_Flags_Manual
    long value = 0;
    long flags = 2;         // current mode
    long defaultFlags = 2;  // the mode it starts in, and goes back to at a reset
};

struct CameraSettings {
    std::wstring id;
    std::wstring friendlyName;
    PixelFormat format = PixelFormat::Yuy2;
    int width = 640;
    int height = 480;
    int framesPerSecond = 30;
    bool topDown = false;  // RGB24 only: negative biHeight
    // Every control back to its default value and mode whenever a stream starts, as some
    // cameras do (registry value ResetOnStreamStart).
    bool resetOnStreamStart = false;
    std::array<ControlSetting, kControlCount> controls{};
};

// What an instance that was never configured looks like: YUY2 640x480 at 30 frames per second,
// a manual zoom from 100 to 500 in steps of 1, default 100, and no other control.
CameraSettings DefaultSettings(const std::wstring& id);

// Gives `settings` every control in the ranges of a common webcam, automatic focus and exposure
// on and the zoom as it was (or 100..500 where it had none).
void AddWebcamControls(CameraSettings& settings);

// "MIN..MAX/STEP=DEFAULT" with optional ",auto" (current mode automatic), ",autocaps" (the
// control reports automatic and manual mode), ",autoonly" (automatic now, and the only mode it
// reports) and ",value=V" (current value, else the default).
std::optional<ControlSetting> ParseControlSetting(const std::wstring& text);
std::wstring FormatControlSpec(const ControlSetting& control);
bool ParseSize(const std::wstring& text, int& width, int& height);

// A size that the chosen format can carry (even sizes for the YUV layouts, at most 8192).
bool IsValidFrameSize(PixelFormat format, int width, int height);

std::optional<CameraSettings> LoadSettings(const std::wstring& id);
bool SaveSettings(const CameraSettings& settings);
bool DeleteSettings(const std::wstring& id);
std::vector<std::wstring> ListInstanceIds();

// Current value and mode of one control, read and written one at a time so that a person or a
// test sees every change that the camera's user made.
std::optional<ControlSetting> LoadControl(const std::wstring& id, int control);
bool SaveControlValue(const std::wstring& id, int control, long value, long flags);

// Whether the instance resets its controls at each stream start (read afresh, so that a change
// with the registration tool shows at the next stream).
bool LoadResetOnStreamStart(const std::wstring& id);
bool SaveResetOnStreamStart(const std::wstring& id, bool reset);
// Every present control of the instance back to its default value and mode.
bool ResetControls(const std::wstring& id);

// Whether streams leave the platform's camera-use records (use_records.h): the value UseRecords
// of HKCU\Software\CamzoomVirtualCamera, on unless it is 0. For all instances alike, as the
// platform's own bookkeeping is.
bool UseRecordsEnabled();
bool SetUseRecords(bool enabled);

}  // namespace vcam
