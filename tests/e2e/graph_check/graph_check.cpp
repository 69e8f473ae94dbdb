// graph_check: opens one virtual camera instance through the system device enumerator and
// Wine's (or Windows') own capture graph builder, sample grabber and null renderer, and checks
// what a capture application relies on: enumeration by friendly name, RenderStream, Run,
// frames of the configured layout reaching SampleCB, GetFormat, the camera controls and their
// persistence, and a Stop that returns.
//
//   graph_check --device NAME --id ID --format FMT --size WxH
//               [--zoom MIN..MAX] [--no-zoom] [--stop-waits]
// With --hold, --busy or --release it plays one part of the one-stream checks instead
// (stream_holding.cpp); with --picture-controls it checks the video-processing controls, the
// power line and the picture that shows them (picture_controls.cpp). Prints PASS/FAIL lines and a
// closing "graph_check: N passed, M failed"; exit code 0 when all passed, 1 otherwise, 3 when a
// step hung.
#include <dshow.h>
#include <qedit.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <jpeglib.h>

#include "platform/com_apartment.h"
#include "platform/com_ptr.h"
#include "tests/e2e/graph_check/graph_check.h"
#include "tests/e2e/graph_check/stream_graph.h"
#include "virtual_camera/camera_settings.h"

namespace graph_check {

int g_passed = 0;
int g_failed = 0;

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

void Check(bool ok, const std::string& what, const std::string& detail) {
    if (ok) {
        ++g_passed;
        std::printf("PASS %s\n", what.c_str());
    } else {
        ++g_failed;
        std::printf("FAIL %s%s%s\n", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
    }
    std::fflush(stdout);
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// Runs `step` on its own thread; ends the whole program when it does not return in time, so a
// hang is reported instead of blocking the test run.
template <class Step>
void Bounded(const char* name, int seconds, Step step) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        ComApartment com(COINIT_MULTITHREADED);
        step();
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done && std::chrono::steady_clock::now() < deadline) Sleep(10);
    if (!done) {
        std::printf("FAIL %s: did not return within %d s\n", name, seconds);
        std::printf("graph_check: %d passed, %d failed\n", g_passed, g_failed + 1);
        std::fflush(stdout);
        ExitProcess(3);
    }
    worker.join();
}

struct Options {
    std::wstring device;
    std::wstring id;
    vcam::PixelFormat format = vcam::PixelFormat::Yuy2;
    int width = 640;
    int height = 480;
    bool zoom = true;
    long zoomMin = 100;
    long zoomMax = 500;
    bool stopWaits = false;
    bool topDown = false;
    int setWidth = 0;  // --set-size: chosen from the stream caps before connecting
    int setHeight = 0;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg == L"--device" && more) {
            options.device = argv[++i];
        } else if (arg == L"--id" && more) {
            options.id = argv[++i];
        } else if (arg == L"--format" && more) {
            const auto format = vcam::ParsePixelFormat(argv[++i]);
            if (!format) return false;
            options.format = *format;
        } else if (arg == L"--size" && more) {
            if (!vcam::ParseSize(argv[++i], options.width, options.height)) return false;
        } else if (arg == L"--zoom" && more) {
            if (std::swscanf(argv[++i], L"%ld..%ld", &options.zoomMin, &options.zoomMax) != 2) {
                return false;
            }
        } else if (arg == L"--no-zoom") {
            options.zoom = false;
        } else if (arg == L"--set-size" && more) {
            if (!vcam::ParseSize(argv[++i], options.setWidth, options.setHeight)) return false;
        } else if (arg == L"--top-down") {
            options.topDown = true;
        } else if (arg == L"--stop-waits") {
            options.stopWaits = true;
        } else {
            return false;
        }
    }
    if (options.id.empty()) options.id = options.device;
    return !options.device.empty();
}

std::wstring FriendlyName(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())))
        return {};
    VARIANT value;
    VariantInit(&value);
    std::wstring name;
    if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR) {
        name = value.bstrVal;
    }
    VariantClear(&value);
    return name;
}

ComPtr<IBaseFilter> FindDevice(const std::wstring& name, int& position) {
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IEnumMoniker> monikers;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum, devices.PutVoid())) ||
        devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0) != S_OK) {
        return {};
    }
    position = 0;
    for (;;) {
        ComPtr<IMoniker> moniker;
        if (monikers->Next(1, moniker.Put(), nullptr) != S_OK) return {};
        ++position;
        if (FriendlyName(moniker.Get()) != name) continue;
        ComPtr<IBaseFilter> filter;
        moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid());
        return filter;
    }
}

std::string FilterNames(IGraphBuilder* graph) {
    std::string names;
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.Put()))) return names;
    for (;;) {
        ComPtr<IBaseFilter> filter;
        if (filters->Next(1, filter.Put(), nullptr) != S_OK) break;
        FILTER_INFO info{};
        if (SUCCEEDED(filter->QueryFilterInfo(&info))) {
            if (info.pGraph) info.pGraph->Release();
            names += (names.empty() ? "" : ", ") + Narrow(info.achName);
        }
    }
    return names;
}

// The first frame's top-left pixel is the white bar, the pixel at 5/16 of the width the cyan
// one (B 235, G 235, R 16), in whichever layout the camera delivers.
void CheckPicture(const Options& o, const std::vector<BYTE>& frame, long bufferSize) {
    const long w = o.width;
    const long h = o.height;
    const long cyanX = w * 5 / 16;
    auto Within = [](int value, int expected) {
        return value >= expected - 6 && value <= expected + 6;
    };
    switch (o.format) {
        case vcam::PixelFormat::Rgb24: {
            const long stride = (w * 3 + 3) & ~3L;
            Check(bufferSize == stride * h, "RGB24 buffer size", std::to_string(bufferSize));
            if (static_cast<long>(frame.size()) < stride * h) return Check(false, "RGB24 frame");
            const BYTE* top = frame.data() + (o.topDown ? 0 : (h - 1) * stride);
            Check(Within(top[0], 235) && Within(top[1], 235) && Within(top[2], 235),
                  "RGB24 white bar at the top left");
            const BYTE* cyan = top + cyanX * 3;
            Check(Within(cyan[0], 235) && Within(cyan[1], 235) && Within(cyan[2], 16),
                  "RGB24 cyan bar, B G R order");
            break;
        }
        case vcam::PixelFormat::Yuy2: {
            Check(bufferSize == w * h * 2, "YUY2 buffer size", std::to_string(bufferSize));
            if (static_cast<long>(frame.size()) < w * h * 2) return Check(false, "YUY2 frame");
            Check(Within(frame[0], 218) && Within(frame[1], 128) && Within(frame[3], 128),
                  "YUY2 white bar: Y U Y V");
            const BYTE* cyan = frame.data() + (cyanX & ~1L) * 2;
            Check(Within(cyan[0], 161) && Within(cyan[1], 161) && Within(cyan[3], 32),
                  "YUY2 cyan bar");
            break;
        }
        case vcam::PixelFormat::I420:
        case vcam::PixelFormat::Yv12: {
            const long size = w * h + 2 * (w / 2) * (h / 2);
            Check(bufferSize == size, "planar buffer size", std::to_string(bufferSize));
            if (static_cast<long>(frame.size()) < size) return Check(false, "planar frame");
            const BYTE* u = frame.data() + w * h;
            const BYTE* v = u + (w / 2) * (h / 2);
            if (o.format == vcam::PixelFormat::Yv12) std::swap(u, v);
            Check(Within(frame[0], 218), "planar white luma");
            Check(Within(u[cyanX / 2], 161) && Within(v[cyanX / 2], 32),
                  o.format == vcam::PixelFormat::I420 ? "I420 U before V" : "YV12 V before U");
            break;
        }
        case vcam::PixelFormat::Mjpg: {
            Check(frame.size() > 4 && frame[0] == 0xFF && frame[1] == 0xD8, "MJPG starts a JPEG");
            jpeg_decompress_struct info{};
            jpeg_error_mgr errors{};
            info.err = jpeg_std_error(&errors);
            jpeg_create_decompress(&info);
            jpeg_mem_src(&info, frame.data(), static_cast<unsigned long>(frame.size()));
            // Only valid headers get this far: the camera encodes with the same library.
            if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK) {
                info.out_color_space = JCS_EXT_BGR;
                jpeg_start_decompress(&info);
                std::vector<BYTE> row(info.output_width * 3);
                JSAMPROW rows[1] = {row.data()};
                jpeg_read_scanlines(&info, rows, 1);
                Check(static_cast<long>(info.output_width) == w &&
                          static_cast<long>(info.output_height) == h,
                      "MJPG picture size");
                Check(Within(row[0], 235) && Within(row[1], 235) && Within(row[2], 235),
                      "MJPG white bar at the top left");
                Check(Within(row[cyanX * 3], 235) && Within(row[cyanX * 3 + 2], 16),
                      "MJPG cyan bar");
                jpeg_abort_decompress(&info);
            } else {
                Check(false, "MJPG header");
            }
            jpeg_destroy_decompress(&info);
            break;
        }
    }
}

void CheckControls(const Options& o, IBaseFilter* source) {
    ComPtr<IAMCameraControl> control;
    const HRESULT hr = source->QueryInterface(IID_IAMCameraControl, control.PutVoid());
    Check(SUCCEEDED(hr), "IAMCameraControl on the filter", Hex(hr));
    if (!control) return;
    long min = 0, max = 0, step = 0, def = 0, flags = 0;
    const HRESULT range = control->GetRange(CameraControl_Zoom, &min, &max, &step, &def, &flags);
    if (!o.zoom) {
        Check(FAILED(range), "no zoom control", Hex(range));
        return;
    }
    Check(range == S_OK && min == o.zoomMin && max == o.zoomMax, "zoom range",
          std::to_string(min) + ".." + std::to_string(max));
    const long wanted = min + (max - min) / 2 / step * step;
    Check(control->Set(CameraControl_Zoom, wanted, CameraControl_Flags_Manual) == S_OK, "zoom Set");
    long value = 0, mode = 0;
    Check(control->Get(CameraControl_Zoom, &value, &mode) == S_OK && value == wanted &&
              mode == CameraControl_Flags_Manual,
          "zoom Get returns the value set", std::to_string(value));
    const auto stored = vcam::LoadControl(o.id, CameraControl_Zoom);
    Check(stored && stored->value == wanted, "zoom persisted in the registry",
          stored ? std::to_string(stored->value) : "no key");
    Check(control->Set(CameraControl_Zoom, max + 1, CameraControl_Flags_Manual) == E_INVALIDARG,
          "zoom out of range is refused");
    Check(control->Get(CameraControl_Zoom, &value, &mode) == S_OK && value == wanted,
          "refused zoom leaves the value");
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.Put()))) return {};
    for (;;) {
        ComPtr<IPin> pin;
        if (pins->Next(1, pin.Put(), nullptr) != S_OK) return {};
        PIN_DIRECTION direction;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted) return pin;
    }
}

// Source pin straight into the sample grabber, whose input offers no allocator of its own on
// Wine: the camera must bring its own.
void CheckDirectConnection(const Options& o) {
    int position = 0;
    ComPtr<IBaseFilter> source = FindDevice(o.device, position);
    FrameCounter counter;
    StreamGraph stream;
    HRESULT hr = source ? stream.Build(*source.Get(), &counter) : E_FAIL;
    if (FAILED(hr)) return Check(false, "direct graph objects", Hex(hr));
    IGraphBuilder* const graph = stream.graph.Get();
    IBaseFilter* const grabberFilter = stream.grabberFilter.Get();
    const ComPtr<IPin> out = FirstPin(source.Get(), PINDIR_OUTPUT);
    const ComPtr<IPin> in = FirstPin(grabberFilter, PINDIR_INPUT);
    hr = out && in ? graph->ConnectDirect(out.Get(), in.Get(), nullptr) : E_FAIL;
    Check(SUCCEEDED(hr), "direct connection to the grabber, own allocator", Hex(hr));
    if (FAILED(hr)) return;
    const ComPtr<IPin> grabberOut = FirstPin(grabberFilter, PINDIR_OUTPUT);
    const ComPtr<IPin> rendererIn = FirstPin(stream.nullRenderer.Get(), PINDIR_INPUT);
    hr = graph->ConnectDirect(grabberOut.Get(), rendererIn.Get(), nullptr);
    hr = SUCCEEDED(hr) ? stream.control->Run() : hr;
    for (int i = 0; i < 500 && counter.Frames() < 3; ++i) Sleep(10);
    Check(counter.Frames() >= 3, "frames through the direct connection",
          std::to_string(counter.Frames()) + ", " + Hex(hr));
    Bounded("Stop of the direct graph", 20, [&] { stream.control->Stop(); });
    stream.grabber->SetCallback(nullptr, 1);
}

void FreeType(AM_MEDIA_TYPE* type) {
    if (!type) return;
    CoTaskMemFree(type->pbFormat);
    if (type->pUnk) type->pUnk->Release();
    CoTaskMemFree(type);
}

// Walks the stream caps (the configured size first) and selects the one of the wanted size
// with SetFormat, as an application choosing a capture mode does. Returns the options that the
// rest of the check expects.
Options ChooseFormat(const Options& o, ICaptureGraphBuilder2* builder, IBaseFilter* source) {
    ComPtr<IAMStreamConfig> config;
    HRESULT hr = builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source,
                                        IID_IAMStreamConfig, config.PutVoid());
    if (FAILED(hr)) {
        Check(false, "IAMStreamConfig before connecting", Hex(hr));
        return o;
    }
    int count = 0;
    int size = 0;
    hr = config->GetNumberOfCapabilities(&count, &size);
    Check(hr == S_OK && count >= 1 && size == sizeof(VIDEO_STREAM_CONFIG_CAPS), "stream caps count",
          std::to_string(count));
    Options chosen = o;
    bool found = false;
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        if (config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)) != S_OK || !type) {
            Check(false, "GetStreamCaps " + std::to_string(i));
            continue;
        }
        if (i == 0) {
            Check(caps.InputSize.cx == o.width && caps.InputSize.cy == o.height,
                  "first caps entry is the configured size");
        }
        if (caps.InputSize.cx == o.setWidth && caps.InputSize.cy == o.setHeight && !found) {
            hr = config->SetFormat(type);
            Check(hr == S_OK,
                  "SetFormat to " + std::to_string(o.setWidth) + "x" + std::to_string(o.setHeight),
                  Hex(hr));
            found = hr == S_OK;
        }
        FreeType(type);
    }
    Check(found, "the wanted size is among the caps");
    if (found) {
        chosen.width = o.setWidth;
        chosen.height = o.setHeight;
    }
    return chosen;
}

// The whole check in the platform's capture graph; `checked` the options it ended with, for the
// direct connection, which waits until this graph is gone: the camera streams to one graph at a
// time.
int Run(const Options& options, Options& checked) {
    int position = 0;
    ComPtr<IBaseFilter> source = FindDevice(options.device, position);
    Check(static_cast<bool>(source), "device found by friendly name",
          Narrow(options.device) + " at position " + std::to_string(position));
    if (!source) return 1;

    FrameCounter counter;
    StreamGraph stream;
    HRESULT hr = stream.Build(*source.Get(), &counter);
    Check(SUCCEEDED(hr), "platform graph objects", Hex(hr));
    if (FAILED(hr)) return 1;
    IGraphBuilder* const graph = stream.graph.Get();
    ICaptureGraphBuilder2* const builder = stream.builder.Get();
    IMediaControl* const control = stream.control.Get();
    const Options o = options.setWidth > 0 ? ChooseFormat(options, builder, source.Get()) : options;
    hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source.Get(),
                               stream.grabberFilter.Get(), stream.nullRenderer.Get());
    Check(SUCCEEDED(hr), "RenderStream capture -> grabber -> null renderer", Hex(hr));
    std::printf("info graph: %s\n", FilterNames(graph).c_str());
    if (FAILED(hr)) return 1;

    hr = control->Run();
    Check(hr == S_OK || hr == S_FALSE, "Run", Hex(hr));
    for (int i = 0; i < 500 && counter.Frames() < 5; ++i) Sleep(10);
    Check(counter.Frames() >= 5, "frames reach SampleCB",
          std::to_string(counter.Frames()) + " in 5 s");
    long bufferSize = 0;
    const std::vector<BYTE> first = counter.FirstFrame(bufferSize);
    if (!first.empty()) CheckPicture(o, first, bufferSize);

    ComPtr<IAMStreamConfig> config;
    hr = builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source.Get(),
                                IID_IAMStreamConfig, config.PutVoid());
    Check(SUCCEEDED(hr), "FindInterface IAMStreamConfig", Hex(hr));
    if (config) {
        AM_MEDIA_TYPE* type = nullptr;
        hr = config->GetFormat(&type);
        bool ok = hr == S_OK && type && type->formattype == FORMAT_VideoInfo &&
                  type->cbFormat >= sizeof(VIDEOINFOHEADER);
        if (ok) {
            const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
            const DWORD expected = o.format == vcam::PixelFormat::Rgb24 ? BI_RGB : [&] {
                const char* code = o.format == vcam::PixelFormat::Yuy2   ? "YUY2"
                                   : o.format == vcam::PixelFormat::I420 ? "I420"
                                   : o.format == vcam::PixelFormat::Yv12 ? "YV12"
                                                                         : "MJPG";
                DWORD value = 0;
                std::memcpy(&value, code, 4);
                return value;
            }();
            ok = info->bmiHeader.biWidth == o.width &&
                 info->bmiHeader.biHeight == (o.topDown ? -o.height : o.height) &&
                 info->bmiHeader.biCompression == expected;
        }
        Check(ok, "GetFormat gives the configured VIDEOINFOHEADER", Hex(hr));
        if (type) {
            CoTaskMemFree(type->pbFormat);
            if (type->pUnk) type->pUnk->Release();
            CoTaskMemFree(type);
        }
    }

    CheckControls(o, source.Get());

    // What an application does to read the current format while capturing: graph and source
    // stopped, the source and then the graph run again; frames must flow again each time.
    bool restarted = true;
    for (int cycle = 0; cycle < 3 && restarted; ++cycle) {
        Bounded("Stop before a restart", 20, [&] { control->Stop(); });
        Bounded("source Stop", 20, [&] { source->Stop(); });
        const long before = counter.Frames();
        hr = source->Run(0);
        const HRESULT graphRun = control->Run();
        for (int i = 0; i < 500 && counter.Frames() < before + 3; ++i) Sleep(10);
        restarted = SUCCEEDED(hr) && SUCCEEDED(graphRun) && counter.Frames() >= before + 3;
    }
    Check(restarted, "frames flow again after stop and restart, three times");

    // The source run on its own while the rest of the graph is paused: its samples, stamped
    // for its own start time, wait in the paused renderer. The graph then runs with another
    // start time, and those samples must not hold the stream up.
    Bounded("Stop before a paused restart", 20, [&] { control->Stop(); });
    control->Pause();
    source->Run(0);
    Sleep(300);
    const long beforeGraphRun = counter.Frames();
    hr = control->Run();
    for (int i = 0; i < 500 && counter.Frames() < beforeGraphRun + 3; ++i) Sleep(10);
    Check(SUCCEEDED(hr) && counter.Frames() >= beforeGraphRun + 3,
          "frames flow when the graph runs a source that ran alone while the graph was paused",
          std::to_string(counter.Frames() - beforeGraphRun) + " frames in 5 s, Run " + Hex(hr));

    if (o.stopWaits) counter.HoldNextFrame();
    Sleep(200);
    const auto stopStart = std::chrono::steady_clock::now();
    Bounded("Stop", 20, [&] { hr = control->Stop(); });
    const auto stopMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - stopStart)
                            .count();
    Check(SUCCEEDED(hr), "Stop returns", Hex(hr) + " after " + std::to_string(stopMs) + " ms");
    if (o.stopWaits) {
        Check(stopMs >= 1000, "Stop waits for a busy streaming thread",
              std::to_string(stopMs) + " ms");
    }
    const long afterStop = counter.Frames();
    Sleep(300);
    Check(counter.Frames() == afterStop, "no frame after Stop");

    stream.grabber->SetCallback(nullptr, 1);
    checked = o;
    return 0;
}

}  // namespace graph_check

int wmain(int argc, wchar_t** argv) {
    using namespace graph_check;
    if (argc >= 2 && IsStreamHoldingPart(argv[1])) return RunStreamHoldingPart(argc, argv);
    if (argc >= 2 && IsStationProgramPart(argv[1])) return RunStationProgram(argc, argv);
    if (argc >= 2 && IsPictureControlsPart(argv[1])) return RunPictureControls(argc, argv);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: graph_check --device NAME [--id ID] --format FMT --size WxH "
                     "[--zoom MIN..MAX] [--no-zoom] [--stop-waits]\n");
        return 2;
    }
    {
        ComApartment com(COINIT_APARTMENTTHREADED);
        Options checked;
        if (Run(options, checked) == 0) CheckDirectConnection(checked);
    }
    std::printf("graph_check: %d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 && g_passed > 0 ? 0 : 1;
}
