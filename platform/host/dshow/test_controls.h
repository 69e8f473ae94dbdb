#pragma once

// Test controls of the host capture runtime: simulated devices, injected failures, the call log
// and the live-object counter. Host builds only.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/four_cc.h"
#include "platform/host/windows_sdk.h"

namespace host::dshow {

struct CameraControlConfig {
    LONG min = 0;
    LONG max = 0;
    LONG step = 1;
    LONG defaultValue = 0;
    LONG value = 0;
    LONG flags = CameraControl_Flags_Manual;  // current mode
    LONG capsFlags = CameraControl_Flags_Manual;
};

struct DeviceConfig {
    std::wstring friendlyName = L"Host Virtual Camera";
    // False: reading "FriendlyName" from the device's property bag fails.
    bool friendlyNameReadable = true;
    LONG width = 640;
    LONG height = 480;
    DWORD compression = MakeFourCC('Y', 'U', 'Y', '2');  // BI_RGB (0) for uncompressed RGB
    WORD bitCount = 16;
    bool videoInfo = true;  // false: the current format is reported as VideoInfo2
    bool topDown = false;   // true: a negative biHeight
    // Without a preview pin, rendering the capture stream goes through a Smart Tee.
    bool previewPin = true;
    bool cameraControl = true;
    std::array<std::optional<CameraControlConfig>, 7> controls{};
    // False: the device has no video-processing interface and no power-line property.
    bool videoProcAmp = true;
    // The video-processing controls, VideoProcAmp_Brightness to VideoProcAmp_Gain.
    std::array<std::optional<CameraControlConfig>, 10> procAmp{};
    // The power-line frequency of the kernel-streaming video-processing property set (0 off,
    // 1 50 Hz, 2 60 Hz, 3 automatic); manual only.
    std::optional<CameraControlConfig> powerLine;
    // The size of each sample's buffer; by default what the format needs.
    std::optional<LONG> sampleBufferSize;
    int frameIntervalMs = 33;
    // Every control back to its default value and mode whenever a stream starts, as some
    // cameras do.
    bool resetOnStart = false;
    // The stream's start and stop are written to the camera-use records beside the devices file.
    bool useRecords = true;
};

// The device without any configuration: 640x480 YUY2 with all seven camera controls, the ten
// video-processing controls and the power-line frequency, in the ranges of a common webcam.
DeviceConfig DefaultDevice();

// Restores the initial state: no injected failures, an empty call log, no frame observer, and
// the devices of the devices file (or the default device), read again on next use.
void ResetRuntime();
// Uses these devices from now on; nothing is written back to a file.
void UseDevices(std::vector<DeviceConfig> devices);
// Reads the devices from this file now; camera-control changes are written back to it.
bool UseDevicesFile(const std::string& path);
// The file name the runtime reads when none was chosen: $CAMZOOM_HOST_DEVICES, or
// camzoom-devices.ini beside the executable.
std::string DefaultDevicesFilePath();
// Reads / writes the devices file format.
std::optional<std::vector<DeviceConfig>> ParseDevicesText(const std::string& text);
std::string FormatDevicesText(const std::vector<DeviceConfig>& devices);
// The file that the devices came from (also when it did not exist and the default device stands
// in); empty for devices handed over with UseDevices. The stream locks and the camera-use
// records of the host programs live beside it.
std::string SharedDevicesFilePath();
// The current state of one device's camera control (after Set calls).
std::optional<CameraControlConfig> ControlState(std::size_t device, LONG property);
// Likewise for a video-processing control and the power-line frequency.
std::optional<CameraControlConfig> ProcAmpState(std::size_t device, LONG property);
std::optional<CameraControlConfig> PowerLineState(std::size_t device);

// Calls are named "Interface::Method", e.g. "IMediaControl::Run" or "CoCreateInstance", or
// with their detail, e.g. "IUnknown::QueryInterface(ISampleGrabber)" or
// "IFilterGraph::AddFilter(Null Renderer)"; a name with detail is the more specific match.
// The matching call, after `skip` unaffected ones, returns `status` without doing anything,
// `times` times in a row (-1: for good). Calls that answer with something other than a status
// fail in their own way: IMediaSample::GetSize reports `status` as the size,
// WideCharToMultiByte and SendMessageTimeoutA return 0.
void FailCall(const std::string& call, HRESULT status, int skip = 0, int times = 1);
// Likewise, but the call raises a std::runtime_error.
void ThrowInCall(const std::string& call, int skip = 0, int times = 1);
// How often the call (with or without detail) was made since the last ClearCallLog.
int CallCount(const std::string& call);
// Every call in order, as "Interface::Method" or "Interface::Method(detail)", where the detail
// names the filter (and pin) concerned. Calls of the streaming thread (the media sample's,
// SendMessageTimeoutA) are counted but not logged; a long run keeps the newest calls only.
std::vector<std::string> CallLog();
void ClearCallLog();

// A media sample of `size` bytes, with one reference, as a device sends them downstream.
IMediaSample* NewMediaSample(LONG size);

// COM objects of the runtime that are still alive.
int LiveObjects();
// Streaming threads that are running.
int RunningStreams();
// Frames handed to a grabber callback (SampleCB or BufferCB) so far.
int FramesDelivered();
// Called on the streaming thread with each frame's buffer and size before a grabber sees it.
void SetFrameObserver(std::function<void(const BYTE* buffer, LONG size)> observer);

// Whether the calling thread has joined a COM apartment.
bool ComInitializedOnThisThread();

}  // namespace host::dshow
