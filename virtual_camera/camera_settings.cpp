#include "virtual_camera/camera_settings.h"

#include <cwchar>
#include <cwctype>

#include "virtual_camera/reg_key.h"

namespace vcam {
namespace {

struct FormatName {
    PixelFormat format;
    const wchar_t* name;
};
constexpr FormatName kFormatNames[] = {{PixelFormat::Rgb24, L"RGB24"},
                                       {PixelFormat::Yuy2, L"YUY2"},
                                       {PixelFormat::I420, L"I420"},
                                       {PixelFormat::Yv12, L"YV12"},
                                       {PixelFormat::Mjpg, L"MJPG"}};

constexpr const wchar_t* kControlNames[kControlCount] = {L"Pan",          L"Tilt",
                                                         L"Roll",         L"Zoom",
                                                         L"Exposure",     L"Iris",
                                                         L"Focus",        L"Brightness",
                                                         L"Contrast",     L"Hue",
                                                         L"Saturation",   L"Sharpness",
                                                         L"Gamma",        L"ColorEnable",
                                                         L"WhiteBalance", L"BacklightCompensation",
                                                         L"Gain",         L"PowerLineFrequency"};

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b) {
    return _wcsicmp(a.c_str(), b) == 0;
}

std::wstring KeyPath(const std::wstring& id) { return std::wstring(kSettingsRoot) + L"\\" + id; }

// Parses a signed decimal number that fills the whole of [begin, end).
bool ParseLong(const std::wstring& text, long& value) {
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    errno = 0;
    const long long parsed = std::wcstoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || parsed < LONG_MIN || parsed > LONG_MAX) {
        return false;
    }
    value = static_cast<long>(parsed);
    return true;
}

}  // namespace

const wchar_t* PixelFormatName(PixelFormat format) {
    for (const auto& entry : kFormatNames) {
        if (entry.format == format) return entry.name;
    }
    return L"?";
}

std::optional<PixelFormat> ParsePixelFormat(const std::wstring& name) {
    for (const auto& entry : kFormatNames) {
        if (EqualsIgnoringCase(name, entry.name)) return entry.format;
    }
    if (EqualsIgnoringCase(name, L"RGB")) return PixelFormat::Rgb24;
    if (EqualsIgnoringCase(name, L"MJPEG")) return PixelFormat::Mjpg;
    return std::nullopt;
}

const wchar_t* ControlName(int control) {
    return control >= 0 && control < kControlCount ? kControlNames[control] : L"?";
}

std::optional<int> ParseControlName(const std::wstring& name) {
    for (int i = 0; i < kControlCount; ++i) {
        if (EqualsIgnoringCase(name, kControlNames[i])) return i;
    }
    return std::nullopt;
}

CameraSettings DefaultSettings(const std::wstring& id) {
    CameraSettings settings;
    settings.id = id;
    settings.friendlyName = id;
    ControlSetting& zoom = settings.controls[3];
    zoom.present = true;
    zoom.min = 100;
    zoom.max = 500;
    zoom.step = 1;
    zoom.defaultValue = 100;
    zoom.value = 100;
    return settings;
}

namespace {

ControlSetting Manual(long min, long max, long step, long defaultValue) {
    ControlSetting control;
    control.present = true;
    control.min = min;
    control.max = max;
    control.step = step;
    control.defaultValue = defaultValue;
    control.value = defaultValue;
    return control;
}

ControlSetting Automatic(long min, long max, long step, long defaultValue) {
    ControlSetting control = Manual(min, max, step, defaultValue);
    control.capsFlags = 3;
    control.flags = 1;
    control.defaultFlags = 1;
    return control;
}

}  // namespace

void AddWebcamControls(CameraSettings& settings) {
    auto& c = settings.controls;
    // Pan and tilt in degrees; the picture turns once round over the whole range.
    c[0] = Manual(-180, 180, 1, 0);
    c[1] = Manual(-180, 180, 1, 0);
    c[2] = Manual(-180, 180, 1, 0);
    if (!c[3].present) c[3] = Manual(100, 500, 1, 100);
    c[4] = Automatic(-13, -1, 1, -6);                       // exposure, powers of two of seconds
    c[5] = Manual(0, 10, 1, 5);                             // iris
    c[6] = Automatic(0, 250, 5, 0);                         // focus; in focus at its default
    c[kFirstProcAmpControl + 0] = Manual(-64, 64, 1, 0);    // brightness
    c[kFirstProcAmpControl + 1] = Manual(0, 100, 1, 50);    // contrast
    c[kFirstProcAmpControl + 2] = Manual(-40, 40, 1, 0);    // hue, degrees
    c[kFirstProcAmpControl + 3] = Manual(0, 128, 1, 64);    // saturation
    c[kFirstProcAmpControl + 4] = Manual(0, 6, 1, 3);       // sharpness
    c[kFirstProcAmpControl + 5] = Manual(72, 500, 1, 100);  // gamma
    c[kFirstProcAmpControl + 6] = Manual(0, 1, 1, 1);       // colour enable
    c[kFirstProcAmpControl + 7] = Automatic(2800, 6500, 10, 4600);  // white balance, kelvin
    c[kFirstProcAmpControl + 8] = Manual(0, 2, 1, 1);               // backlight compensation
    c[kFirstProcAmpControl + 9] = Manual(0, 100, 1, 0);             // gain
    c[kPowerLineControl] = Manual(0, 2, 1, 1);                      // 50 Hz
}

std::optional<ControlSetting> ParseControlSetting(const std::wstring& text) {
    // MIN..MAX/STEP=DEFAULT[,option...]
    std::wstring main = text;
    std::wstring options;
    if (const auto comma = text.find(L','); comma != std::wstring::npos) {
        main = text.substr(0, comma);
        options = text.substr(comma + 1);
    }
    const auto dots = main.find(L"..");
    const auto slash = main.find(L'/', dots == std::wstring::npos ? 0 : dots + 2);
    const auto equals = main.find(L'=', slash == std::wstring::npos ? 0 : slash + 1);
    if (dots == std::wstring::npos || slash == std::wstring::npos || equals == std::wstring::npos) {
        return std::nullopt;
    }
    ControlSetting control;
    control.present = true;
    if (!ParseLong(main.substr(0, dots), control.min) ||
        !ParseLong(main.substr(dots + 2, slash - dots - 2), control.max) ||
        !ParseLong(main.substr(slash + 1, equals - slash - 1), control.step) ||
        !ParseLong(main.substr(equals + 1), control.defaultValue)) {
        return std::nullopt;
    }
    if (control.min > control.max || control.step <= 0 || control.defaultValue < control.min ||
        control.defaultValue > control.max) {
        return std::nullopt;
    }
    control.value = control.defaultValue;
    while (!options.empty()) {
        const auto comma = options.find(L',');
        const std::wstring option = options.substr(0, comma);
        options = comma == std::wstring::npos ? L"" : options.substr(comma + 1);
        if (option == L"auto") {
            control.flags = 1;
            control.defaultFlags = 1;
            control.capsFlags = 3;
        } else if (option == L"autocaps") {
            control.capsFlags = 3;
        } else if (option == L"autoonly") {
            control.flags = 1;
            control.defaultFlags = 1;
            control.capsFlags = 1;
        } else if (option.rfind(L"value=", 0) == 0) {
            if (!ParseLong(option.substr(6), control.value)) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return control;
}

std::wstring FormatControlSpec(const ControlSetting& control) {
    std::wstring text = std::to_wstring(control.min) + L".." + std::to_wstring(control.max) + L"/" +
                        std::to_wstring(control.step) + L"=" +
                        std::to_wstring(control.defaultValue);
    text += L" value=" + std::to_wstring(control.value) + L" flags=" +
            std::to_wstring(control.flags) + L" caps=" + std::to_wstring(control.capsFlags);
    return text;
}

bool ParseSize(const std::wstring& text, int& width, int& height) {
    const auto x = text.find_first_of(L"xX");
    long w = 0;
    long h = 0;
    if (x == std::wstring::npos || !ParseLong(text.substr(0, x), w) ||
        !ParseLong(text.substr(x + 1), h)) {
        return false;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool IsValidFrameSize(PixelFormat format, int width, int height) {
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return false;
    switch (format) {
        case PixelFormat::Yuy2:
            return width % 2 == 0;
        case PixelFormat::I420:
        case PixelFormat::Yv12:
            return width % 2 == 0 && height % 2 == 0;
        default:
            return true;
    }
}

std::optional<CameraSettings> LoadSettings(const std::wstring& id) {
    auto key = RegKey::Open(HKEY_CURRENT_USER, KeyPath(id), KEY_READ);
    if (!key) return std::nullopt;
    CameraSettings settings;
    settings.id = id;
    settings.friendlyName = key->ReadString(L"FriendlyName").value_or(id);
    if (auto format = key->ReadString(L"Format")) {
        settings.format = ParsePixelFormat(*format).value_or(PixelFormat::Yuy2);
    }
    settings.width = static_cast<int>(key->ReadDword(L"Width").value_or(640));
    settings.height = static_cast<int>(key->ReadDword(L"Height").value_or(480));
    settings.framesPerSecond = static_cast<int>(key->ReadDword(L"FrameRate").value_or(30));
    settings.topDown = key->ReadDword(L"TopDown").value_or(0) != 0;
    settings.resetOnStreamStart = key->ReadDword(L"ResetOnStreamStart").value_or(0) != 0;
    if (!IsValidFrameSize(settings.format, settings.width, settings.height)) {
        settings.width = 640;
        settings.height = 480;
    }
    if (settings.framesPerSecond < 1 || settings.framesPerSecond > 120) {
        settings.framesPerSecond = 30;
    }
    for (int i = 0; i < kControlCount; ++i) {
        settings.controls[i] = LoadControl(id, i).value_or(ControlSetting{});
    }
    return settings;
}

bool SaveSettings(const CameraSettings& settings) {
    const std::wstring path = KeyPath(settings.id);
    if (!DeleteKeyTree(HKEY_CURRENT_USER, path)) return false;
    auto key = RegKey::Create(HKEY_CURRENT_USER, path);
    if (!key) return false;
    bool ok = key->WriteString(L"FriendlyName", settings.friendlyName) &&
              key->WriteString(L"Format", PixelFormatName(settings.format)) &&
              key->WriteDword(L"Width", static_cast<DWORD>(settings.width)) &&
              key->WriteDword(L"Height", static_cast<DWORD>(settings.height)) &&
              key->WriteDword(L"FrameRate", static_cast<DWORD>(settings.framesPerSecond)) &&
              key->WriteDword(L"TopDown", settings.topDown ? 1 : 0) &&
              key->WriteDword(L"ResetOnStreamStart", settings.resetOnStreamStart ? 1 : 0);
    for (int i = 0; ok && i < kControlCount; ++i) {
        const ControlSetting& control = settings.controls[i];
        if (!control.present) continue;
        auto sub = RegKey::Create(key->Get(), ControlName(i));
        ok = sub && sub->WriteDword(L"Min", static_cast<DWORD>(control.min)) &&
             sub->WriteDword(L"Max", static_cast<DWORD>(control.max)) &&
             sub->WriteDword(L"Step", static_cast<DWORD>(control.step)) &&
             sub->WriteDword(L"Default", static_cast<DWORD>(control.defaultValue)) &&
             sub->WriteDword(L"CapsFlags", static_cast<DWORD>(control.capsFlags)) &&
             sub->WriteDword(L"Value", static_cast<DWORD>(control.value)) &&
             sub->WriteDword(L"Flags", static_cast<DWORD>(control.flags)) &&
             sub->WriteDword(L"DefaultFlags", static_cast<DWORD>(control.defaultFlags));
    }
    return ok;
}

bool DeleteSettings(const std::wstring& id) {
    return DeleteKeyTree(HKEY_CURRENT_USER, KeyPath(id));
}

std::vector<std::wstring> ListInstanceIds() {
    auto root = RegKey::Open(HKEY_CURRENT_USER, kSettingsRoot, KEY_READ);
    return root ? root->SubkeyNames() : std::vector<std::wstring>{};
}

std::optional<ControlSetting> LoadControl(const std::wstring& id, int control) {
    if (control < 0 || control >= kControlCount) return std::nullopt;
    auto key =
        RegKey::Open(HKEY_CURRENT_USER, KeyPath(id) + L"\\" + ControlName(control), KEY_READ);
    if (!key) return std::nullopt;
    const auto read = [&](const wchar_t* name, long fallback) {
        return static_cast<long>(key->ReadDword(name).value_or(static_cast<DWORD>(fallback)));
    };
    ControlSetting setting;
    setting.present = true;
    setting.min = read(L"Min", 0);
    setting.max = read(L"Max", 0);
    setting.step = read(L"Step", 1);
    setting.defaultValue = read(L"Default", setting.min);
    setting.capsFlags = read(L"CapsFlags", 2);
    setting.value = read(L"Value", setting.defaultValue);
    setting.flags = read(L"Flags", 2);
    // An instance registered before the default mode was kept: automatic where possible.
    setting.defaultFlags = read(L"DefaultFlags", (setting.capsFlags & 1) != 0 ? 1 : 2);
    return setting;
}

bool SaveControlValue(const std::wstring& id, int control, long value, long flags) {
    if (control < 0 || control >= kControlCount) return false;
    auto key =
        RegKey::Open(HKEY_CURRENT_USER, KeyPath(id) + L"\\" + ControlName(control), KEY_WRITE);
    return key && key->WriteDword(L"Value", static_cast<DWORD>(value)) &&
           key->WriteDword(L"Flags", static_cast<DWORD>(flags));
}

bool LoadResetOnStreamStart(const std::wstring& id) {
    auto key = RegKey::Open(HKEY_CURRENT_USER, KeyPath(id), KEY_READ);
    return key && key->ReadDword(L"ResetOnStreamStart").value_or(0) != 0;
}

bool SaveResetOnStreamStart(const std::wstring& id, bool reset) {
    auto key = RegKey::Open(HKEY_CURRENT_USER, KeyPath(id), KEY_WRITE);
    return key && key->WriteDword(L"ResetOnStreamStart", reset ? 1 : 0);
}

bool ResetControls(const std::wstring& id) {
    bool ok = true;
    for (int i = 0; i < kControlCount; ++i) {
        if (const auto control = LoadControl(id, i)) {
            ok = SaveControlValue(id, i, control->defaultValue, control->defaultFlags) && ok;
        }
    }
    return ok;
}

bool UseRecordsEnabled() {
    auto root = RegKey::Open(HKEY_CURRENT_USER, kSettingsRoot, KEY_READ);
    return !root || root->ReadDword(L"UseRecords").value_or(1) != 0;
}

bool SetUseRecords(bool enabled) {
    auto root = RegKey::Create(HKEY_CURRENT_USER, kSettingsRoot);
    return root && root->WriteDword(L"UseRecords", enabled ? 1 : 0);
}

}  // namespace vcam
