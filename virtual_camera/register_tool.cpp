// camzoom_vcam_register: adds, removes, lists, shows and adjusts virtual camera instances.
// See README.md for the commands.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/com_apartment.h"
#include "platform/com_ptr.h"
#include "virtual_camera/camera_settings.h"
#include "virtual_camera/registration.h"

namespace {

using namespace vcam;

constexpr wchar_t kDllName[] = L"camzoom_vcam.dll";

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(),
                        bytes, nullptr, nullptr);
    return result;
}

void Print(const std::wstring& line) {
    const std::string text = Utf8(line) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int Fail(const std::wstring& message) {
    const std::string text = "camzoom_vcam_register: " + Utf8(message) + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    return 1;
}

int Usage() {
    Fail(
        L"usage:\n"
        L"  add NAME [--id ID] [--format RGB24|YUY2|I420|YV12|MJPG] [--size WxH] [--fps N]\n"
        L"           [--top-down] [--zoom MIN..MAX/STEP=DEFAULT[,auto][,value=V]] [--no-zoom]\n"
        L"           [--picture-controls] [--control NAME=MIN..MAX/STEP=DEFAULT[,...]]\n"
        L"           [--reset-on-start]\n"
        L"  (NAME: Pan Tilt Roll Zoom Exposure Iris Focus Brightness Contrast Hue Saturation\n"
        L"   Sharpness Gamma ColorEnable WhiteBalance BacklightCompensation Gain\n"
        L"   PowerLineFrequency)\n"
        L"  remove ID... | remove --all\n"
        L"  list\n"
        L"  show ID\n"
        L"  set ID CONTROL=VALUE[,auto|,manual]\n"
        L"  set ID reset-on-start=1|0\n"
        L"  records on|off");
    return 2;
}

std::wstring DllPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L"\\/") + 1) + kDllName;
}

std::wstring Hex(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

int Add(const std::vector<std::wstring>& args) {
    if (args.empty()) return Usage();
    CameraSettings settings = DefaultSettings(args[0]);
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& option = args[i];
        const bool hasValue = i + 1 < args.size();
        if (option == L"--id" && hasValue) {
            settings.id = args[++i];
        } else if (option == L"--format" && hasValue) {
            const auto format = ParsePixelFormat(args[++i]);
            if (!format) return Fail(L"unknown format " + args[i]);
            settings.format = *format;
        } else if (option == L"--size" && hasValue) {
            if (!ParseSize(args[++i], settings.width, settings.height)) {
                return Fail(L"bad size " + args[i]);
            }
        } else if (option == L"--fps" && hasValue) {
            settings.framesPerSecond = _wtoi(args[++i].c_str());
            if (settings.framesPerSecond < 1 || settings.framesPerSecond > 120) {
                return Fail(L"bad frame rate " + args[i]);
            }
        } else if (option == L"--top-down") {
            settings.topDown = true;
        } else if (option == L"--reset-on-start") {
            settings.resetOnStreamStart = true;
        } else if (option == L"--picture-controls") {
            // Every control of a common webcam; a --control after it changes one of them.
            AddWebcamControls(settings);
        } else if (option == L"--no-zoom") {
            settings.controls[3] = ControlSetting{};
        } else if ((option == L"--zoom" || option == L"--control") && hasValue) {
            std::wstring setting_text = args[++i];
            int control = 3;
            if (option == L"--control") {
                const auto equals = setting_text.find(L'=');
                const auto parsed = ParseControlName(setting_text.substr(0, equals));
                if (equals == std::wstring::npos || !parsed)
                    return Fail(L"bad control " + setting_text);
                control = *parsed;
                setting_text = setting_text.substr(equals + 1);
            }
            const auto setting = ParseControlSetting(setting_text);
            if (!setting) return Fail(L"bad control range " + setting_text);
            settings.controls[static_cast<size_t>(control)] = *setting;
        } else {
            return Usage();
        }
    }
    if (settings.id.empty() || settings.id.find(L'\\') != std::wstring::npos) {
        return Fail(L"an instance id must be non-empty and without a backslash");
    }
    if (!IsValidFrameSize(settings.format, settings.width, settings.height)) {
        return Fail(L"size not possible in this format");
    }
    HRESULT hr = RegisterComClass(DllPath());
    if (FAILED(hr)) return Fail(L"cannot register the COM class: " + Hex(hr));
    if (!SaveSettings(settings)) return Fail(L"cannot write the instance settings");
    hr = RegisterInstance(settings.id, settings.friendlyName);
    if (FAILED(hr)) return Fail(L"cannot register the device: " + Hex(hr));
    Print(L"added\t" + settings.id + L"\t" + settings.friendlyName);
    return 0;
}

int Remove(const std::vector<std::wstring>& args) {
    if (args.empty()) return Usage();
    std::vector<std::wstring> ids = args;
    if (args.size() == 1 && args[0] == L"--all") ids = ListInstanceIds();
    int result = 0;
    for (const std::wstring& id : ids) {
        const HRESULT hr = UnregisterInstance(id);
        DeleteSettings(id);
        if (FAILED(hr)) {
            result = Fail(L"cannot unregister " + id + L": " + Hex(hr));
        } else {
            Print(L"removed\t" + id);
        }
    }
    return result;
}

int List() {
    std::vector<DeviceEntry> devices;
    const HRESULT hr = ListVideoInputDevices(devices);
    if (FAILED(hr)) return Fail(L"cannot enumerate devices: " + Hex(hr));
    for (size_t i = 0; i < devices.size(); ++i) {
        Print(L"device\t" + std::to_wstring(i + 1) + L"\t" + devices[i].friendlyName + L"\t" +
              devices[i].instanceId);
    }
    return 0;
}

int Show(const std::vector<std::wstring>& args) {
    if (args.size() != 1) return Usage();
    const auto settings = LoadSettings(args[0]);
    if (!settings) return Fail(L"no instance " + args[0]);
    Print(L"id=" + settings->id);
    Print(L"friendly_name=" + settings->friendlyName);
    Print(L"format=" + std::wstring(PixelFormatName(settings->format)));
    Print(L"size=" + std::to_wstring(settings->width) + L"x" + std::to_wstring(settings->height));
    Print(L"fps=" + std::to_wstring(settings->framesPerSecond));
    Print(L"reset_on_start=" + std::to_wstring(settings->resetOnStreamStart ? 1 : 0));
    for (int i = 0; i < kControlCount; ++i) {
        const ControlSetting& control = settings->controls[static_cast<size_t>(i)];
        if (!control.present) continue;
        Print(std::wstring(ControlName(i)) + L"=" + FormatControlSpec(control));
    }
    return 0;
}

int SetResetOnStart(const std::wstring& id, const std::wstring& value) {
    if (value != L"1" && value != L"0") return Usage();
    if (!LoadSettings(id)) return Fail(L"no instance " + id);
    if (!SaveResetOnStreamStart(id, value == L"1")) return Fail(L"cannot write the setting");
    return 0;
}

int SetControl(const std::vector<std::wstring>& args) {
    if (args.size() != 2) return Usage();
    const std::wstring& setting_text = args[1];
    const auto equals = setting_text.find(L'=');
    if (equals != std::wstring::npos && setting_text.substr(0, equals) == L"reset-on-start") {
        return SetResetOnStart(args[0], setting_text.substr(equals + 1));
    }
    const auto control = equals == std::wstring::npos
                             ? std::nullopt
                             : ParseControlName(setting_text.substr(0, equals));
    if (!control) return Usage();
    auto current = LoadControl(args[0], *control);
    if (!current) return Fail(L"no such control on " + args[0]);
    std::wstring value = setting_text.substr(equals + 1);
    long flags = current->flags;
    if (const auto comma = value.find(L','); comma != std::wstring::npos) {
        const std::wstring mode = value.substr(comma + 1);
        value = value.substr(0, comma);
        if (mode == L"auto") {
            flags = 1;  // CameraControl_Flags_Auto
        } else if (mode == L"manual") {
            flags = 2;  // CameraControl_Flags_Manual
        } else {
            return Usage();
        }
    }
    if (!SaveControlValue(args[0], *control, _wtol(value.c_str()), flags)) {
        return Fail(L"cannot write the control");
    }
    return 0;
}

// The camera-use records that streams leave (use_records.h), for every instance.
int Records(const std::vector<std::wstring>& args) {
    if (args.size() != 1 || (args[0] != L"on" && args[0] != L"off")) return Usage();
    if (!SetUseRecords(args[0] == L"on")) return Fail(L"cannot write the setting");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const std::wstring command = argv[1];
    const std::vector<std::wstring> args(argv + 2, argv + argc);
    ComApartment com(COINIT_APARTMENTTHREADED);
    if (FAILED(com.Status())) return Fail(L"COM unavailable");
    if (command == L"add") return Add(args);
    if (command == L"remove") return Remove(args);
    if (command == L"list") return List();
    if (command == L"show") return Show(args);
    if (command == L"set") return SetControl(args);
    if (command == L"records") return Records(args);
    return Usage();
}
