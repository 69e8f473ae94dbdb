// The simulated devices of the host capture runtime: the default device, the devices file
// (camzoom-devices.ini beside the executable, or the file named by $CAMZOOM_HOST_DEVICES) with
// camera-control changes written back to it and read again by the enumerator when another process
// changed it, and the media types the devices deliver.
//
// The devices file, one [device] section per camera in enumeration order ('#' or ';' starts a
// comment line; a rewrite after a camera-control change keeps no comments):
//   [device]
//   name = Desk Cam              friendly name (UTF-8)
//   name_readable = yes          no: reading the friendly name fails
//   size = 640x480
//   format = YUY2                a FourCC, or RGB8 / RGB16 / RGB24 / RGB32 for uncompressed RGB
//   bit_count = 16               optional; follows from the format
//   format_type = VideoInfo      or VideoInfo2
//   orientation = bottom-up      or top-down
//   preview_pin = yes            no: the capture stream goes through a Smart Tee
//   camera_control = yes         no: the device has no camera-control interface
//   video_proc_amp = yes         no: the device has no video-processing interface and no
//                                power-line property
//   frame_interval_ms = 33
//   sample_buffer_size = 614400  optional; by default what the format needs
//   zoom = 100 500 1 100 100 2 2 min max step default value flags caps, likewise pan, tilt,
//                                roll, exposure, iris, focus; a control without a line is absent
//   brightness = -64 64 1 0 0 2 2  the video-processing controls, the same seven numbers:
//                                brightness, contrast, hue, saturation, sharpness, gamma,
//                                colorenable, whitebalance, backlightcompensation, gain
//   powerlinefrequency = 0 2 1 1 1 2 2  the power-line frequency (0 off, 1 50 Hz, 2 60 Hz,
//                                3 automatic), likewise; manual only
//   reset_on_start = no          yes: every control goes back to its default value and mode
//                                when a stream starts (the default mode: automatic when the
//                                control can be automatic, else manual)
//   use_records = yes            no: streams of this device leave no camera-use records
//
// The host programs that share a devices file also share, beside it, the lock files that let one
// stream at a time run per device (stream_claim.h) and the camera-use records
// "<devices file>.camera-use" (camera_use_file.h).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/host/dshow/runtime.h"

namespace host::dshow {
namespace {

constexpr const char* kControlKeys[7] = {"pan",      "tilt", "roll", "zoom",
                                         "exposure", "iris", "focus"};

constexpr const char* kProcAmpKeys[10] = {"brightness",  "contrast",     "hue",
                                          "saturation",  "sharpness",    "gamma",
                                          "colorenable", "whitebalance", "backlightcompensation",
                                          "gain"};
constexpr const char* kPowerLineKey = "powerlinefrequency";

struct DeviceStore {
    std::mutex mutex;
    bool loaded = false;
    std::vector<std::shared_ptr<Device>> devices;
    std::string filePath;    // where camera-control changes go; empty: nowhere
    std::string sharedPath;  // the devices file chosen, found or not; empty: devices in memory
    std::string fileText;    // the file as last read or written here
};

DeviceStore& Store() {
    static DeviceStore store;
    return store;
}

std::vector<std::shared_ptr<Device>> MakeDevices(std::vector<DeviceConfig> configs) {
    std::vector<std::shared_ptr<Device>> devices;
    for (std::size_t i = 0; i < configs.size(); ++i) {
        auto device = std::make_shared<Device>();
        device->index = i;
        device->config = std::move(configs[i]);
        devices.push_back(std::move(device));
    }
    return devices;
}

std::string Trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::optional<bool> ParseYesNo(const std::string& value) {
    std::string v = Lower(value);
    if (v == "yes" || v == "true" || v == "1") return true;
    if (v == "no" || v == "false" || v == "0") return false;
    return std::nullopt;
}

std::optional<long long> ParseNumber(const std::string& value) {
    if (value.empty()) return std::nullopt;
    char* end = nullptr;
    long long number = std::strtoll(value.c_str(), &end, 10);
    if (*end != '\0') return std::nullopt;
    return number;
}

bool ParseFormat(const std::string& value, DeviceConfig& device) {
    std::string upper = value;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (upper.rfind("RGB", 0) == 0 && upper.size() > 3) {
        auto bits = ParseNumber(upper.substr(3));
        if (!bits || (*bits != 8 && *bits != 16 && *bits != 24 && *bits != 32)) return false;
        device.compression = BI_RGB;
        device.bitCount = static_cast<WORD>(*bits);
        return true;
    }
    if (value.size() != 4) return false;
    device.compression = MakeFourCC(value[0], value[1], value[2], value[3]);
    if (upper == "I420" || upper == "IYUV" || upper == "YV12" || upper == "NV12") {
        device.bitCount = 12;
    } else if (upper == "MJPG") {
        device.bitCount = 24;
    } else if (upper == "Y800" || upper == "GREY") {
        device.bitCount = 8;
    } else {
        device.bitCount = 16;
    }
    return true;
}

bool ParseControl(const std::string& value, CameraControlConfig& control) {
    std::istringstream in(value);
    long long fields[7];
    int count = 0;
    while (count < 7 && in >> fields[count]) ++count;
    std::string rest;
    if (count != 7 || (in >> rest)) return false;
    control = {static_cast<LONG>(fields[0]), static_cast<LONG>(fields[1]),
               static_cast<LONG>(fields[2]), static_cast<LONG>(fields[3]),
               static_cast<LONG>(fields[4]), static_cast<LONG>(fields[5]),
               static_cast<LONG>(fields[6])};
    return true;
}

bool ParseEntry(const std::string& key, const std::string& value, DeviceConfig& device) {
    if (key == "name") {
        device.friendlyName = Widen(value);
        return true;
    }
    if (key == "name_readable" || key == "preview_pin" || key == "camera_control" ||
        key == "reset_on_start" || key == "use_records" || key == "video_proc_amp") {
        auto flag = ParseYesNo(value);
        if (!flag) return false;
        (key == "name_readable"    ? device.friendlyNameReadable
         : key == "preview_pin"    ? device.previewPin
         : key == "camera_control" ? device.cameraControl
         : key == "reset_on_start" ? device.resetOnStart
         : key == "video_proc_amp" ? device.videoProcAmp
                                   : device.useRecords) = *flag;
        return true;
    }
    if (key == "size") {
        std::size_t x = Lower(value).find('x');
        if (x == std::string::npos) return false;
        auto width = ParseNumber(Trim(value.substr(0, x)));
        auto height = ParseNumber(Trim(value.substr(x + 1)));
        if (!width || !height || *width <= 0 || *height <= 0 || *width > 16384 || *height > 16384) {
            return false;
        }
        device.width = static_cast<LONG>(*width);
        device.height = static_cast<LONG>(*height);
        return true;
    }
    if (key == "format") return ParseFormat(value, device);
    if (key == "bit_count") {
        auto bits = ParseNumber(value);
        if (!bits || *bits <= 0 || *bits > 64) return false;
        device.bitCount = static_cast<WORD>(*bits);
        return true;
    }
    if (key == "format_type") {
        std::string v = Lower(value);
        if (v != "videoinfo" && v != "videoinfo2") return false;
        device.videoInfo = v == "videoinfo";
        return true;
    }
    if (key == "orientation") {
        std::string v = Lower(value);
        if (v != "bottom-up" && v != "top-down") return false;
        device.topDown = v == "top-down";
        return true;
    }
    if (key == "frame_interval_ms") {
        auto ms = ParseNumber(value);
        if (!ms || *ms < 1 || *ms > 10000) return false;
        device.frameIntervalMs = static_cast<int>(*ms);
        return true;
    }
    if (key == "sample_buffer_size") {
        auto size = ParseNumber(value);
        if (!size || *size > 256LL * 1024 * 1024 || *size < -1) return false;
        device.sampleBufferSize = static_cast<LONG>(*size);
        return true;
    }
    for (int id = 0; id < 7; ++id) {
        if (key != kControlKeys[id]) continue;
        CameraControlConfig control;
        if (!ParseControl(value, control)) return false;
        device.controls[static_cast<std::size_t>(id)] = control;
        return true;
    }
    for (int id = 0; id < 10; ++id) {
        if (key != kProcAmpKeys[id]) continue;
        CameraControlConfig control;
        if (!ParseControl(value, control)) return false;
        device.procAmp[static_cast<std::size_t>(id)] = control;
        return true;
    }
    if (key == kPowerLineKey) {
        CameraControlConfig control;
        if (!ParseControl(value, control)) return false;
        device.powerLine = control;
        return true;
    }
    return false;
}

void WriteControl(std::ostream& out, const char* key,
                  const std::optional<CameraControlConfig>& control) {
    if (!control) return;
    out << key << " = " << control->min << " " << control->max << " " << control->step << " "
        << control->defaultValue << " " << control->value << " " << control->flags << " "
        << control->capsFlags << "\n";
}

// Everything a camera keeps of its controls' settings.
void CopyControls(const DeviceConfig& from, DeviceConfig& to) {
    to.controls = from.controls;
    to.procAmp = from.procAmp;
    to.powerLine = from.powerLine;
}

std::string FormatName(const DeviceConfig& device) {
    if (device.compression == BI_RGB) {
        // Other depths follow on their own line (bit_count).
        WORD bits = device.bitCount;
        return "RGB" + std::to_string(bits == 8 || bits == 16 || bits == 32 ? bits : 24);
    }
    std::string name;
    for (int shift = 0; shift < 32; shift += 8) {
        name += static_cast<char>((device.compression >> shift) & 0xFF);
    }
    return name;
}

std::string ExecutableDirectory() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    path[length] = '\0';
    std::string full(path);
    std::size_t slash = full.rfind('/');
    return slash == std::string::npos ? "." : full.substr(0, slash);
}

std::optional<std::string> ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::shared_ptr<Device>> LoadDevicesFile(const std::string& path, bool& found,
                                                     std::string& fileText) {
    std::optional<std::string> text = ReadText(path);
    found = text.has_value();
    if (!found) return MakeDevices({DefaultDevice()});
    fileText = *text;
    auto configs = ParseDevicesText(*text);
    if (!configs) {
        std::cerr << "camzoom: " << path << " is not a valid devices file; using the default "
                  << "device\n";
        found = false;
        return MakeDevices({DefaultDevice()});
    }
    return MakeDevices(std::move(*configs));
}

}  // namespace

DeviceConfig DefaultDevice() {
    DeviceConfig device;
    device.controls[CameraControl_Pan] = CameraControlConfig{-180, 180, 1, 0, 0, 2, 2};
    device.controls[CameraControl_Tilt] = CameraControlConfig{-180, 180, 1, 0, 0, 2, 2};
    device.controls[CameraControl_Roll] = CameraControlConfig{-180, 180, 1, 0, 0, 2, 2};
    device.controls[CameraControl_Zoom] = CameraControlConfig{100, 500, 1, 100, 100, 2, 2};
    device.controls[CameraControl_Exposure] = CameraControlConfig{-13, -1, 1, -6, -6, 1, 3};
    device.controls[CameraControl_Iris] = CameraControlConfig{0, 10, 1, 5, 5, 2, 2};
    device.controls[CameraControl_Focus] = CameraControlConfig{0, 250, 5, 0, 0, 1, 3};
    device.procAmp[VideoProcAmp_Brightness] = CameraControlConfig{-64, 64, 1, 0, 0, 2, 2};
    device.procAmp[VideoProcAmp_Contrast] = CameraControlConfig{0, 100, 1, 50, 50, 2, 2};
    device.procAmp[VideoProcAmp_Hue] = CameraControlConfig{-40, 40, 1, 0, 0, 2, 2};
    device.procAmp[VideoProcAmp_Saturation] = CameraControlConfig{0, 128, 1, 64, 64, 2, 2};
    device.procAmp[VideoProcAmp_Sharpness] = CameraControlConfig{0, 6, 1, 3, 3, 2, 2};
    device.procAmp[VideoProcAmp_Gamma] = CameraControlConfig{72, 500, 1, 100, 100, 2, 2};
    device.procAmp[VideoProcAmp_ColorEnable] = CameraControlConfig{0, 1, 1, 1, 1, 2, 2};
    device.procAmp[VideoProcAmp_WhiteBalance] =
        CameraControlConfig{2800, 6500, 10, 4600, 4600, 1, 3};
    device.procAmp[VideoProcAmp_BacklightCompensation] = CameraControlConfig{0, 2, 1, 1, 1, 2, 2};
    device.procAmp[VideoProcAmp_Gain] = CameraControlConfig{0, 100, 1, 0, 0, 2, 2};
    device.powerLine = CameraControlConfig{0, 2, 1, 1, 1, 2, 2};
    return device;
}

std::optional<std::vector<DeviceConfig>> ParseDevicesText(const std::string& text) {
    std::vector<DeviceConfig> devices;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (Lower(line) == "[device]") {
            devices.emplace_back();
            continue;
        }
        std::size_t equals = line.find('=');
        if (equals == std::string::npos || devices.empty()) return std::nullopt;
        std::string key = Lower(Trim(line.substr(0, equals)));
        if (!ParseEntry(key, Trim(line.substr(equals + 1)), devices.back())) return std::nullopt;
    }
    return devices;
}

std::string FormatDevicesText(const std::vector<DeviceConfig>& devices) {
    std::ostringstream out;
    out << "# Simulated video input devices of the camzoom host build.\n"
        << "# Camera controls: min max step default value flags caps "
        << "(flags 1 = auto, 2 = manual).\n";
    for (const DeviceConfig& device : devices) {
        out << "\n[device]\n"
            << "name = " << Narrow(device.friendlyName) << "\n"
            << "name_readable = " << (device.friendlyNameReadable ? "yes" : "no") << "\n"
            << "size = " << device.width << "x" << device.height << "\n"
            << "format = " << FormatName(device) << "\n"
            << "bit_count = " << device.bitCount << "\n"
            << "format_type = " << (device.videoInfo ? "VideoInfo" : "VideoInfo2") << "\n"
            << "orientation = " << (device.topDown ? "top-down" : "bottom-up") << "\n"
            << "preview_pin = " << (device.previewPin ? "yes" : "no") << "\n"
            << "camera_control = " << (device.cameraControl ? "yes" : "no") << "\n"
            << "video_proc_amp = " << (device.videoProcAmp ? "yes" : "no") << "\n"
            << "frame_interval_ms = " << device.frameIntervalMs << "\n"
            << "reset_on_start = " << (device.resetOnStart ? "yes" : "no") << "\n"
            << "use_records = " << (device.useRecords ? "yes" : "no") << "\n";
        if (device.sampleBufferSize) {
            out << "sample_buffer_size = " << *device.sampleBufferSize << "\n";
        }
        for (int id = 0; id < 7; ++id) {
            WriteControl(out, kControlKeys[id], device.controls[static_cast<std::size_t>(id)]);
        }
        for (int id = 0; id < 10; ++id) {
            WriteControl(out, kProcAmpKeys[id], device.procAmp[static_cast<std::size_t>(id)]);
        }
        WriteControl(out, kPowerLineKey, device.powerLine);
    }
    return out.str();
}

std::string DefaultDevicesFilePath() {
    if (const char* path = std::getenv("CAMZOOM_HOST_DEVICES"); path && *path) return path;
    return ExecutableDirectory() + "/camzoom-devices.ini";
}

void ResetRuntime() {
    ResetCalls();
    std::lock_guard lock(Store().mutex);
    Store().loaded = false;
    Store().devices.clear();
    Store().filePath.clear();
    Store().sharedPath.clear();
}

void UseDevices(std::vector<DeviceConfig> devices) {
    std::lock_guard lock(Store().mutex);
    Store().devices = MakeDevices(std::move(devices));
    Store().filePath.clear();
    Store().sharedPath.clear();
    Store().loaded = true;
}

bool UseDevicesFile(const std::string& path) {
    bool found = false;
    std::string text;
    auto devices = LoadDevicesFile(path, found, text);
    std::lock_guard lock(Store().mutex);
    Store().devices = std::move(devices);
    Store().filePath = found ? path : std::string();
    Store().sharedPath = path;
    Store().fileText = std::move(text);
    Store().loaded = true;
    return found;
}

std::vector<std::shared_ptr<Device>> CurrentDevices() {
    std::unique_lock lock(Store().mutex);
    if (!Store().loaded) {
        std::string path = DefaultDevicesFilePath();
        lock.unlock();
        UseDevicesFile(path);
        lock.lock();
    }
    return Store().devices;
}

std::string SharedDevicesFilePath() {
    CurrentDevices();  // loads the default file when none was chosen yet
    std::lock_guard lock(Store().mutex);
    return Store().sharedPath;
}

void RefreshDevicesFromFile() {
    std::string path;
    std::string known;
    {
        std::lock_guard lock(Store().mutex);
        if (!Store().loaded || Store().filePath.empty()) return;
        path = Store().filePath;
        known = Store().fileText;
    }
    std::optional<std::string> text = ReadText(path);
    if (text && *text != known) UseDevicesFile(path);
}

namespace {

// The device of the current list that stands for the same camera as `device`, when that is
// another object.
std::shared_ptr<Device> CurrentCounterpart(const Device& device) {
    const std::vector<std::shared_ptr<Device>> devices = CurrentDevices();
    if (device.index >= devices.size() || devices[device.index].get() == &device) return nullptr;
    return devices[device.index];
}

}  // namespace

void TakeSharedControls(Device& device) {
    RefreshDevicesFromFile();
    std::shared_ptr<Device> current = CurrentCounterpart(device);
    if (!current) return;
    std::scoped_lock both(device.mutex, current->mutex);
    if (current->config.friendlyName == device.config.friendlyName) {
        CopyControls(current->config, device.config);
    }
}

void PersistControlsOf(Device& device) {
    if (std::shared_ptr<Device> current = CurrentCounterpart(device)) {
        std::scoped_lock both(device.mutex, current->mutex);
        if (current->config.friendlyName == device.config.friendlyName) {
            CopyControls(device.config, current->config);
        }
    }
    PersistDevices();
}

void PersistDevices() {
    std::vector<DeviceConfig> configs;
    std::string path;
    {
        std::lock_guard lock(Store().mutex);
        if (Store().filePath.empty()) return;
        path = Store().filePath;
        for (const auto& device : Store().devices) {
            std::lock_guard deviceLock(device->mutex);
            configs.push_back(device->config);
        }
    }
    // Written beside and renamed over, so a reader never sees half a file.
    std::string temporary = path + ".tmp";
    const std::string text = FormatDevicesText(configs);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return;
        out << text;
        if (!out.flush()) return;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) return;
    // Our own write is no change by someone else.
    std::lock_guard lock(Store().mutex);
    if (Store().filePath == path) Store().fileText = text;
}

std::optional<CameraControlConfig> ControlState(std::size_t device, LONG property) {
    auto devices = CurrentDevices();
    if (device >= devices.size() || property < 0 || property > 6) return std::nullopt;
    std::lock_guard lock(devices[device]->mutex);
    return devices[device]->config.controls[static_cast<std::size_t>(property)];
}

std::optional<CameraControlConfig> ProcAmpState(std::size_t device, LONG property) {
    auto devices = CurrentDevices();
    if (device >= devices.size() || property < 0 || property > 9) return std::nullopt;
    std::lock_guard lock(devices[device]->mutex);
    return devices[device]->config.procAmp[static_cast<std::size_t>(property)];
}

std::optional<CameraControlConfig> PowerLineState(std::size_t device) {
    auto devices = CurrentDevices();
    if (device >= devices.size()) return std::nullopt;
    std::lock_guard lock(devices[device]->mutex);
    return devices[device]->config.powerLine;
}

LONG FormatBufferSize(const DeviceConfig& device) {
    if (device.sampleBufferSize) return *device.sampleBufferSize;
    long long width = device.width;
    long long height = device.height < 0 ? -static_cast<long long>(device.height) : device.height;
    long long size = device.compression == BI_RGB
                         ? ((width * device.bitCount + 31) / 32) * 4 * height
                         : (width * height * device.bitCount + 7) / 8;
    return static_cast<LONG>(size);
}

void FillMediaType(AM_MEDIA_TYPE& type, const DeviceConfig& format) {
    type = AM_MEDIA_TYPE{};
    type.majortype = MEDIATYPE_Video;
    if (format.compression == BI_RGB) {
        type.subtype = format.bitCount == 32 ? MEDIASUBTYPE_RGB32 : MEDIASUBTYPE_RGB24;
    } else {
        type.subtype = GUID{
            format.compression, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    }
    type.bFixedSizeSamples = format.compression == BI_RGB ? TRUE : FALSE;
    type.bTemporalCompression = FALSE;
    type.lSampleSize = static_cast<ULONG>(FormatBufferSize(format));

    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = format.width;
    header.biHeight = format.topDown ? -format.height : format.height;
    header.biPlanes = 1;
    header.biBitCount = format.bitCount;
    header.biCompression = format.compression;
    header.biSizeImage = type.lSampleSize;
    REFERENCE_TIME frameTime = static_cast<REFERENCE_TIME>(format.frameIntervalMs) * 10000;

    if (format.videoInfo) {
        auto* info = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
        *info = VIDEOINFOHEADER{};
        info->AvgTimePerFrame = frameTime;
        info->bmiHeader = header;
        type.formattype = FORMAT_VideoInfo;
        type.cbFormat = sizeof(VIDEOINFOHEADER);
        type.pbFormat = reinterpret_cast<BYTE*>(info);
    } else {
        auto* info = static_cast<VIDEOINFOHEADER2*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER2)));
        *info = VIDEOINFOHEADER2{};
        info->AvgTimePerFrame = frameTime;
        info->bmiHeader = header;
        type.formattype = FORMAT_VideoInfo2;
        type.cbFormat = sizeof(VIDEOINFOHEADER2);
        type.pbFormat = reinterpret_cast<BYTE*>(info);
    }
}

AM_MEDIA_TYPE* NewMediaType(const DeviceConfig& format) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    FillMediaType(*type, format);
    return type;
}

}  // namespace host::dshow
