// The one-stream checks of graph_check, each part a process of its own, as the programs that
// share a camera are:
//   graph_check --hold --device NAME --id ID [--records on|off] [--expect-reset]
//       streams the camera until released: sets the zoom off its default before the stream,
//       looks at it and at the camera-use records while streaming and again after the stop.
//   graph_check --busy --device NAME --id ID
//       while a holder streams: the camera controls work, the connection and Pause are refused
//       with HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES).
//   graph_check --release [--records on|off]
//       lets the holder stop, watching the camera-use records through the keeper's own
//       ResidentLoop: a change is signalled when the records are on, none when they are off.
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/camera_use.h"
#include "platform/com_apartment.h"
#include "platform/resident_loop.h"
#include "tests/e2e/graph_check/graph_check.h"
#include "tests/e2e/graph_check/stream_graph.h"
#include "virtual_camera/camera_settings.h"

namespace graph_check {
namespace {

constexpr wchar_t kStreamingEvent[] = L"Local\\camzoom-graph-check-streaming";
constexpr wchar_t kReleaseEvent[] = L"Local\\camzoom-graph-check-release";
constexpr HRESULT kStreamBusy = HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES);
constexpr wchar_t kRecordStore[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\webcam"
    L"\\NonPackaged\\";

struct Part {
    std::wstring name;
    std::wstring device;
    std::wstring id;
    bool records = true;
    bool expectReset = false;
};

bool ParsePart(int argc, wchar_t** argv, Part& part) {
    part.name = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg == L"--device" && more) {
            part.device = argv[++i];
        } else if (arg == L"--id" && more) {
            part.id = argv[++i];
        } else if (arg == L"--records" && more) {
            const std::wstring value = argv[++i];
            if (value != L"on" && value != L"off") return false;
            part.records = value == L"on";
        } else if (arg == L"--expect-reset") {
            part.expectReset = true;
        } else {
            return false;
        }
    }
    if (part.id.empty()) part.id = part.device;
    return part.name == L"--release" || !part.device.empty();
}

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

// This program's record key below HKCU, spelt as the platform spells it.
std::wstring RecordKeyPath() {
    std::wstring name = ProgramPath();
    for (wchar_t& c : name) {
        if (c == L'\\') c = L'#';
    }
    return kRecordStore + name;
}

struct RawRecord {
    bool exists = false;
    ULONGLONG start = 0;
    ULONGLONG stop = 0;
};

RawRecord ReadOwnRecord() {
    RawRecord record;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RecordKeyPath().c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return record;
    }
    record.exists = true;
    DWORD bytes = sizeof(ULONGLONG);
    RegGetValueW(key, nullptr, L"LastUsedTimeStart", RRF_RT_REG_QWORD, nullptr, &record.start,
                 &bytes);
    bytes = sizeof(ULONGLONG);
    RegGetValueW(key, nullptr, L"LastUsedTimeStop", RRF_RT_REG_QWORD, nullptr, &record.stop,
                 &bytes);
    RegCloseKey(key);
    return record;
}

ULONGLONG FileTimeNow() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// The reading that the keeper makes: this program's record, through ReadCameraUseRecords.
const CameraUseRecord* OwnRecord(const std::vector<CameraUseRecord>& records) {
    const std::string self = Narrow(ProgramPath());
    for (const CameraUseRecord& record : records) {
        if (!record.packaged && !record.allUsers && record.program == self) return &record;
    }
    return nullptr;
}

void CheckRecordsWhileStreaming(const Part& part) {
    const RawRecord raw = ReadOwnRecord();
    if (!part.records) {
        Check(!raw.exists, "records off: no camera-use record while streaming");
        return;
    }
    const ULONGLONG now = FileTimeNow();
    const ULONGLONG minute = 60ULL * 10'000'000ULL;
    Check(raw.exists && raw.stop == 0 && raw.start + minute > now && raw.start < now + minute,
          "camera-use record: LastUsedTimeStart now, LastUsedTimeStop 0 while streaming",
          std::to_string(raw.start) + " / " + std::to_string(raw.stop) + " at " +
              std::to_string(now));
    const auto records = ReadCameraUseRecords();
    const CameraUseRecord* own = OwnRecord(records);
    Check(own && own->inUse && own->lastStart == raw.start,
          "ReadCameraUseRecords: the streaming program in use, under its path");
}

void CheckRecordsAfterStop(const Part& part) {
    const RawRecord raw = ReadOwnRecord();
    if (!part.records) {
        Check(!raw.exists, "records off: no camera-use record after the stop");
        return;
    }
    Check(raw.exists && raw.stop != 0 && raw.stop >= raw.start,
          "camera-use record: LastUsedTimeStop set at the stop",
          std::to_string(raw.start) + " / " + std::to_string(raw.stop));
    const auto records = ReadCameraUseRecords();
    const CameraUseRecord* own = OwnRecord(records);
    Check(own && !own->inUse, "ReadCameraUseRecords: the program no longer in use");
}

// An event of the session that lives as long as one of its handles.
struct NamedEvent {
    HANDLE handle = nullptr;
    ~NamedEvent() {
        if (handle) CloseHandle(handle);
    }
};

HANDLE WaitForEvent(const wchar_t* name, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (HANDLE event = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, name)) return event;
        Sleep(100);
    }
    return nullptr;
}

int Hold(const Part& part) {
    RegDeleteTreeW(HKEY_CURRENT_USER, RecordKeyPath().c_str());
    NamedEvent release{CreateEventW(nullptr, TRUE, FALSE, kReleaseEvent)};
    int position = 0;
    ComPtr<IBaseFilter> source = FindDevice(part.device, position);
    Check(static_cast<bool>(source), "holder: device found");
    if (!source) return 1;

    // The zoom set off its default before the stream starts.
    ComPtr<IAMCameraControl> camera;
    source.QueryInto(IID_IAMCameraControl, camera);
    long min = 0, max = 0, step = 0, def = 0, caps = 0;
    const bool zoom =
        camera && camera->GetRange(CameraControl_Zoom, &min, &max, &step, &def, &caps) == S_OK;
    Check(zoom && camera->Set(CameraControl_Zoom, max, CameraControl_Flags_Manual) == S_OK,
          "holder: zoom set to its maximum before streaming");

    FrameCounter counter;
    StreamGraph stream;
    std::string failedStep;
    HRESULT hr = stream.Start(*source.Get(), counter, failedStep);
    Check(SUCCEEDED(hr) || failedStep == "Run", "holder: " + failedStep, Hex(hr));
    if (FAILED(hr) && failedStep != "Run") return 1;
    for (int i = 0; i < 500 && counter.Frames() < 3; ++i) Sleep(10);
    Check(SUCCEEDED(hr) && counter.Frames() >= 3, "holder: streaming", Hex(hr));

    long value = 0, flags = 0;
    camera->Get(CameraControl_Zoom, &value, &flags);
    if (part.expectReset) {
        Check(value == def && flags == CameraControl_Flags_Manual,
              "reset at stream start: zoom back to its default", std::to_string(value));
    } else {
        Check(value == max, "no reset: the zoom set before the stream stays",
              std::to_string(value));
    }
    CheckRecordsWhileStreaming(part);

    NamedEvent streaming{CreateEventW(nullptr, TRUE, TRUE, kStreamingEvent)};
    std::printf("info holder streams until released\n");
    std::fflush(stdout);
    const bool released = WaitForSingleObject(release.handle, 120000) == WAIT_OBJECT_0;
    Check(released, "holder: released within 120 s");
    stream.Stop();
    CheckRecordsAfterStop(part);
    return 0;
}

int Busy(const Part& part) {
    NamedEvent streaming{WaitForEvent(kStreamingEvent, 60)};
    Check(streaming.handle != nullptr, "a holder streams");
    if (!streaming.handle) return 1;
    int position = 0;
    ComPtr<IBaseFilter> source = FindDevice(part.device, position);
    Check(static_cast<bool>(source), "the busy camera binds");
    if (!source) return 1;

    ComPtr<IAMCameraControl> camera;
    source.QueryInto(IID_IAMCameraControl, camera);
    long min = 0, max = 0, step = 0, def = 0, caps = 0, value = 0, flags = 0;
    Check(camera && camera->GetRange(CameraControl_Zoom, &min, &max, &step, &def, &caps) == S_OK,
          "GetRange while another process streams");
    if (camera) {
        const long wanted = min + step;
        Check(camera->Set(CameraControl_Zoom, wanted, CameraControl_Flags_Manual) == S_OK,
              "Set while another process streams");
        Check(camera->Get(CameraControl_Zoom, &value, &flags) == S_OK && value == wanted,
              "Get returns it", std::to_string(value));
        const auto stored = vcam::LoadControl(part.id, CameraControl_Zoom);
        Check(stored && stored->value == wanted, "and the camera keeps it");
    }

    StreamGraph graph;
    HRESULT hr = graph.Build(*source.Get(), nullptr);
    Check(SUCCEEDED(hr), "graph objects", Hex(hr));
    if (FAILED(hr)) return 1;
    const ComPtr<IPin> out = FirstPin(source.Get(), PINDIR_OUTPUT);
    const ComPtr<IPin> in = FirstPin(graph.grabberFilter.Get(), PINDIR_INPUT);
    hr = out && in ? graph.graph->ConnectDirect(out.Get(), in.Get(), nullptr) : E_FAIL;
    Check(hr == kStreamBusy, "the connection is refused with 0x800705AA", Hex(hr));
    hr = source->Pause();
    Check(hr == kStreamBusy, "Pause is refused with 0x800705AA", Hex(hr));
    source->Stop();
    hr = graph.builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source.Get(),
                                     graph.grabberFilter.Get(), graph.nullRenderer.Get());
    Check(FAILED(hr), "RenderStream fails", Hex(hr));
    return 0;
}

int Release(const Part& part) {
    bool changed = false;
    std::string error;
    auto loop = ResidentLoop::Create(
        "CamzoomGraphCheckWatch", "Local\\camzoom-graph-check-watch-stop",
        [&](ResidentSignal signal) {
            changed = changed || signal == ResidentSignal::CameraUseChanged;
        },
        error);
    Check(static_cast<bool>(loop), "the keeper's loop", error);
    if (!loop) return 1;
    // The first wait arms the registry notifications, before the holder stops.
    loop->Wait(0);
    changed = false;
    NamedEvent release{WaitForEvent(kReleaseEvent, 60)};
    Check(release.handle != nullptr, "a holder to release");
    if (!release.handle) return 1;
    SetEvent(release.handle);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(part.records ? 30 : 5);
    while (!changed && std::chrono::steady_clock::now() < deadline) loop->Wait(200);
    if (part.records) {
        Check(changed, "CameraUseChanged signalled as the holder stops");
    } else {
        Check(!changed, "records off: no CameraUseChanged as the holder stops");
    }
    return 0;
}

}  // namespace

bool IsStreamHoldingPart(const wchar_t* firstArgument) {
    const std::wstring part = firstArgument;
    return part == L"--hold" || part == L"--busy" || part == L"--release";
}

int RunStreamHoldingPart(int argc, wchar_t** argv) {
    Part part;
    if (!ParsePart(argc, argv, part)) {
        std::fprintf(stderr,
                     "usage: graph_check --hold|--busy --device NAME [--id ID] [--records on|off] "
                     "[--expect-reset] | --release [--records on|off]\n");
        return 2;
    }
    {
        ComApartment com(COINIT_APARTMENTTHREADED);
        if (part.name == L"--hold") Hold(part);
        if (part.name == L"--busy") Busy(part);
        if (part.name == L"--release") Release(part);
    }
    std::printf("graph_check: %d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 && g_passed > 0 ? 0 : 1;
}

}  // namespace graph_check
