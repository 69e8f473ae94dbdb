// The host capture runtime itself: the devices file, the default device, COM rules and the
// platform behaviour the capture graph relies on.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/camera_picture/camera_picture.h"
#include "platform/host/dshow/runtime.h"
#include "platform/host/dshow/test_pattern.h"
#include "unit/capture/capture_fixture.h"

namespace {

std::string TemporaryPath(const std::string& name) {
    const char* base = std::getenv("TMPDIR");
    return std::string(base && *base ? base : "/tmp") + "/camzoom-capture-test-" +
           std::to_string(static_cast<long>(::testing::UnitTest::GetInstance()->random_seed())) +
           "-" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class HostRuntimeTest : public CaptureTest {};

TEST_F(HostRuntimeTest, DefaultDeviceWithoutADevicesFile) {
    ::setenv("CAMZOOM_HOST_DEVICES", TemporaryPath("missing.ini").c_str(), 1);
    dshow::ResetRuntime();
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture("host virtual camera"), S_OK);
    std::int32_t width = 0, height = 0;
    std::uint32_t compression = 0;
    EXPECT_EQ(capture->ReadCurrentFormat(width, height, compression), S_OK);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(compression, MakeFourCC('Y', 'U', 'Y', '2'));
    for (int id = CameraControl_Pan; id <= CameraControl_Focus; ++id) {
        std::int32_t min = 0, max = 0, step = 0, def = 0, flags = 0, value = 0;
        EXPECT_EQ(capture->GetCameraSetting(id, min, max, step, def, flags, value), S_OK) << id;
    }
    std::int32_t min = 0, max = 0, step = 0, def = 0, flags = 0, value = 0;
    capture->GetCameraSetting(CameraControl_Zoom, min, max, step, def, flags, value);
    EXPECT_EQ(min, 100);
    EXPECT_EQ(max, 500);
    EXPECT_EQ(step, 1);
    EXPECT_EQ(value, 100);
    ::unsetenv("CAMZOOM_HOST_DEVICES");
}

TEST_F(HostRuntimeTest, DevicesFileIsReadAndKeepsTheZoomForTheNextRun) {
    std::string path = TemporaryPath("devices.ini");
    {
        std::ofstream out(path);
        out << "# two cameras\n[device]\nname = Desk Cam\nsize = 320x240\nformat = RGB24\n"
               "orientation = top-down\nzoom = 10 90 2 10 10 2 2\n\n"
               "[device]\nname = Plain Cam\nformat = MJPG\ncamera_control = no\n";
    }
    ::setenv("CAMZOOM_HOST_DEVICES", path.c_str(), 1);
    dshow::ResetRuntime();
    {
        auto capture = Create();
        ASSERT_EQ(capture->StartCapture("desk cam"), S_OK);
        std::int32_t width = 0, height = 0;
        std::uint32_t compression = 9;
        EXPECT_EQ(capture->ReadCurrentFormat(width, height, compression), S_OK);
        EXPECT_EQ(width, 320);
        EXPECT_EQ(height, 240);
        EXPECT_EQ(compression, 0u);
        EXPECT_EQ(capture->SetCameraSetting(CameraControl_Zoom, 42, CameraControl_Flags_Manual),
                  S_OK);
        std::int32_t min = 0, max = 0, step = 0, def = 0, flags = 0, value = 0;
        // The device has no pan control.
        EXPECT_LT(capture->GetCameraSetting(CameraControl_Pan, min, max, step, def, flags, value),
                  0);
    }
    // The next run reads the zoom the tool set.
    dshow::ResetRuntime();
    {
        auto capture = Create();
        ASSERT_EQ(capture->StartCapture("desk cam"), S_OK);
        std::int32_t min = 0, max = 0, step = 0, def = 0, flags = 0, value = 0;
        EXPECT_EQ(capture->GetCameraSetting(CameraControl_Zoom, min, max, step, def, flags, value),
                  S_OK);
        EXPECT_EQ(value, 42);
        EXPECT_EQ(def, 10);
    }
    auto reread = dshow::ParseDevicesText(ReadFile(path));
    ASSERT_TRUE(reread.has_value());
    ASSERT_EQ(reread->size(), 2u);
    EXPECT_EQ((*reread)[1].friendlyName, L"Plain Cam");
    EXPECT_FALSE((*reread)[1].cameraControl);
    EXPECT_EQ((*reread)[1].compression, MakeFourCC('M', 'J', 'P', 'G'));
    EXPECT_TRUE((*reread)[0].topDown);
    ::unsetenv("CAMZOOM_HOST_DEVICES");
    std::remove(path.c_str());
}

TEST_F(HostRuntimeTest, DevicesTextRoundTripsAndRejectsMalformedText) {
    std::vector<dshow::DeviceConfig> devices = {dshow::DefaultDevice(), Camera(L"Cam\u00e9ra")};
    devices[1].previewPin = false;
    devices[1].sampleBufferSize = 0;
    devices[1].controls[CameraControl_Roll].reset();
    auto parsed = dshow::ParseDevicesText(dshow::FormatDevicesText(devices));
    ASSERT_TRUE(parsed.has_value());
    ASSERT_EQ(parsed->size(), 2u);
    EXPECT_EQ((*parsed)[1].friendlyName, L"Cam\u00e9ra");
    EXPECT_FALSE((*parsed)[1].previewPin);
    EXPECT_EQ((*parsed)[1].sampleBufferSize, 0);
    EXPECT_FALSE((*parsed)[1].controls[CameraControl_Roll].has_value());
    EXPECT_EQ((*parsed)[0].controls[CameraControl_Zoom]->max, 500);

    EXPECT_FALSE(dshow::ParseDevicesText("name = before any section\n").has_value());
    EXPECT_FALSE(dshow::ParseDevicesText("[device]\nsize = 640by480\n").has_value());
    EXPECT_FALSE(dshow::ParseDevicesText("[device]\nzoom = 1 2 3\n").has_value());
    EXPECT_FALSE(dshow::ParseDevicesText("[device]\nformat = TOOLONG\n").has_value());
    EXPECT_FALSE(dshow::ParseDevicesText("[device]\ncolour = blue\n").has_value());
    EXPECT_TRUE(dshow::ParseDevicesText("; nothing\n\n").value().empty());
}

TEST_F(HostRuntimeTest, EmptyVideoCategoryHasNoEnumerator) {
    dshow::UseDevices({});
    ComPtr<ICreateDevEnum> devices;
    ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                               IID_ICreateDevEnum, devices.PutVoid()),
              S_OK);
    ComPtr<IEnumMoniker> monikers;
    EXPECT_EQ(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0),
              S_FALSE);
    EXPECT_FALSE(monikers);
}

TEST_F(HostRuntimeTest, CreationNeedsAComApartmentAndAKnownClass) {
    HRESULT other = S_OK;
    std::thread([&] {
        ComPtr<IGraphBuilder> graph;
        other = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IGraphBuilder, graph.PutVoid());
    }).join();
    EXPECT_EQ(other, CO_E_NOTINITIALIZED);
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(CoCreateInstance(CLSID_VideoInputDeviceCategory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IUnknown, unknown.PutVoid()),
              REGDB_E_CLASSNOTREG);
    ComPtr<IMediaControl> control;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                               control.PutVoid()),
              E_NOINTERFACE);
}

TEST_F(HostRuntimeTest, ApartmentJoinsAreCountedAndLeftOnlyWhenJoined) {
    EXPECT_TRUE(dshow::ComInitializedOnThisThread());
    {
        ComApartment nested;
        EXPECT_EQ(nested.Status(), S_FALSE);
    }
    EXPECT_TRUE(dshow::ComInitializedOnThisThread());
    std::thread([] {
        dshow::ClearCallLog();
        dshow::FailCall("CoInitialize", RPC_E_CHANGED_MODE);
        {
            ComApartment failed;
            EXPECT_FALSE(failed.Joined());
        }
        EXPECT_EQ(dshow::CallCount("CoUninitialize"), 0);
    }).join();
}

TEST_F(HostRuntimeTest, GraphReleasedWhileRunningStopsAndBreaksConnections) {
    // A graph dropped without any teardown still stops the stream and frees its filters.
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    EXPECT_EQ(dshow::RunningStreams(), 1);
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               graph.PutVoid()),
              S_OK);
    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                               IID_ICaptureGraphBuilder2, builder.PutVoid()),
              S_OK);
    EXPECT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
    EXPECT_EQ(builder->SetFiltergraph(graph.Get()), E_UNEXPECTED);
    ComPtr<IBaseFilter> renderer;
    ASSERT_EQ(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               renderer.PutVoid()),
              S_OK);
    // Filters of another graph are refused.
    ComPtr<IBaseFilter> grabber;
    ASSERT_EQ(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               grabber.PutVoid()),
              S_OK);
    EXPECT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, grabber.Get(), nullptr,
                                    renderer.Get()),
              VFW_E_NOT_IN_GRAPH);
    capture.reset();
    EXPECT_EQ(dshow::RunningStreams(), 0);
}

TEST_F(HostRuntimeTest, StopReturnsOnlyWhenNoFrameIsOnItsWay) {
    std::atomic<bool> inCallback{false};
    std::atomic<bool> lateFrame{false};
    std::atomic<bool> stopped{false};
    struct Context {
        std::atomic<bool>* inCallback;
        std::atomic<bool>* lateFrame;
        std::atomic<bool>* stopped;
    } context{&inCallback, &lateFrame, &stopped};
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    capture->SetFrameCallback(
        [](void* data, std::uint8_t*, std::int32_t&) {
            auto* c = static_cast<Context*>(data);
            if (c->stopped->load()) c->lateFrame->store(true);
            c->inCallback->store(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        },
        &context);
    ASSERT_TRUE(PumpUntil([&] { return inCallback.load(); }));
    capture.reset();
    stopped = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(lateFrame.load());
}

}  // namespace

namespace {

// A frame of the device in `device`'s format, as its streaming thread paints it.
std::vector<BYTE> PaintedFrame(const dshow::DeviceConfig& device, std::uint32_t frame = 0) {
    std::vector<BYTE> data(static_cast<std::size_t>(dshow::FormatBufferSize(device)));
    dshow::PaintTestPattern(data.data(), data.size(), device, frame);
    return data;
}

dshow::DeviceConfig Sized(DWORD compression, WORD bitCount) {
    dshow::DeviceConfig device;
    device.width = 64;
    device.height = 32;
    device.compression = compression;
    device.bitCount = bitCount;
    return device;
}

TEST(TestPatternTest, RgbRowsFollowTheOrientation) {
    BYTE top[3];
    BYTE bottom[3];
    CameraPicture::Pixel(64, 32, 0, 63, 0, top);
    CameraPicture::Pixel(64, 32, 0, 63, 31, bottom);
    dshow::DeviceConfig device = Sized(BI_RGB, 24);
    std::vector<BYTE> bottomUp = PaintedFrame(device);
    std::size_t lastRow = 31 * 64 * 3;
    // Bottom-up: the top picture row is the last row in memory.
    EXPECT_EQ(0, std::memcmp(&bottomUp[lastRow + 63 * 3], top, 3));
    EXPECT_EQ(0, std::memcmp(&bottomUp[63 * 3], bottom, 3));
    device.topDown = true;
    std::vector<BYTE> topDown = PaintedFrame(device);
    EXPECT_EQ(0, std::memcmp(&topDown[63 * 3], top, 3));
    // The first bar is white, the last black.
    EXPECT_EQ(topDown[0], 235);
    EXPECT_EQ(top[2], 16);
}

TEST(TestPatternTest, YuvLayoutsPlaceLumaAndChromaWhereTheirCodesSay) {
    // White: Y high, U and V neutral; the left edge is white in every layout.
    std::vector<BYTE> yuy2 = PaintedFrame(Sized(MakeFourCC('Y', 'U', 'Y', '2'), 16));
    EXPECT_GT(yuy2[0], 200);
    EXPECT_NEAR(yuy2[1], 128, 2);
    std::vector<BYTE> uyvy = PaintedFrame(Sized(MakeFourCC('U', 'Y', 'V', 'Y'), 16));
    EXPECT_NEAR(uyvy[0], 128, 2);
    EXPECT_GT(uyvy[1], 200);
    // Blue (the seventh bar) has U above V; YV12 stores V first.
    dshow::DeviceConfig i420 = Sized(MakeFourCC('I', '4', '2', '0'), 12);
    dshow::DeviceConfig yv12 = Sized(MakeFourCC('Y', 'V', '1', '2'), 12);
    std::vector<BYTE> a = PaintedFrame(i420);
    std::vector<BYTE> b = PaintedFrame(yv12);
    std::size_t blueChroma = 64 * 32 + 26;  // first chroma row, chroma column 26 = x 52
    EXPECT_GT(a[blueChroma], 200);
    EXPECT_GT(b[blueChroma + 64 * 32 / 4], 200);
    EXPECT_EQ(a.size(), 64u * 32u * 3u / 2u);
}

TEST(TestPatternTest, ShortBuffersCarryTheFramesFirstBytesAndOddFormatsStayPlain) {
    const dshow::DeviceConfig yuy2 = Sized(MakeFourCC('Y', 'U', 'Y', '2'), 16);
    const std::vector<BYTE> whole = PaintedFrame(yuy2, 5);
    std::vector<BYTE> part(100, 0xEE);
    dshow::PaintTestPattern(part.data(), part.size(), yuy2, 5);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin()));
    // 16-bit RGB has no picture: black; a code without a layout: a ramp that moves.
    const std::vector<BYTE> rgb16 = PaintedFrame(Sized(BI_RGB, 16));
    EXPECT_EQ(rgb16, std::vector<BYTE>(rgb16.size(), 0));
    std::vector<BYTE> ramp(4);
    dshow::PaintTestPattern(ramp.data(), ramp.size(), Sized(MakeFourCC('H', '2', '6', '4'), 24), 3);
    EXPECT_EQ(ramp, (std::vector<BYTE>{3, 4, 5, 6}));
}

TEST(TestPatternTest, MotionJpegFramesAreJpegImagesThatMove) {
    dshow::DeviceConfig device = Sized(MakeFourCC('M', 'J', 'P', 'G'), 24);
    std::vector<BYTE> first = PaintedFrame(device, 0);
    std::vector<BYTE> later = PaintedFrame(device, 64);
    ASSERT_GE(first.size(), 4u);
    EXPECT_EQ(first[0], 0xFF);
    EXPECT_EQ(first[1], 0xD8);
    EXPECT_NE(first, later);
}

}  // namespace

namespace {

TEST_F(HostRuntimeTest, GraphEventsAreQueuedAndAnnouncedToTheNotifyWindow) {
    std::vector<std::pair<unsigned, MessageLParam>> received;
    WindowHandle window = host::MessageQueue::Instance().CreateWindow(
        [&](unsigned message, MessageWParam, MessageLParam lParam) {
            received.emplace_back(message, lParam);
            return MessageResult{0};
        });
    {
        ComPtr<IGraphBuilder> graph;
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IGraphBuilder, graph.PutVoid()),
                  S_OK);
        ComPtr<IMediaEventEx> events;
        ComPtr<IMediaControl> control;
        ASSERT_EQ(graph.QueryInto(IID_IMediaEventEx, events), S_OK);
        ASSERT_EQ(graph.QueryInto(IID_IMediaControl, control), S_OK);
        LONG code = -1;
        LONG_PTR first = -1, second = -1;
        EXPECT_EQ(events->GetEvent(&code, &first, &second, 0), MakeHostStatus(0x80004004));

        ASSERT_EQ(events->SetNotifyWindow(reinterpret_cast<OAHWND>(window), WM_APP + 1, 77), S_OK);
        EXPECT_EQ(control->Pause(), S_OK);
        EXPECT_TRUE(PumpUntil([&] { return !received.empty(); }));
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0].first, WM_APP + 1);
        EXPECT_EQ(received[0].second, 77);
        EXPECT_EQ(events->GetEvent(&code, &first, &second, 0), S_OK);
        EXPECT_EQ(code, 0x0E);  // paused

        // Window 0 ends the announcements; the events still queue.
        ASSERT_EQ(events->SetNotifyWindow(0, WM_APP + 1, 0), S_OK);
        EXPECT_EQ(control->Pause(), S_OK);
        PumpUntil([] { return host::MessageQueue::Instance().PendingCount() == 0; });
        EXPECT_EQ(received.size(), 1u);
        EXPECT_EQ(events->GetEvent(&code, &first, &second, 0), S_OK);
    }
    host::MessageQueue::Instance().DestroyWindow(window);
}

}  // namespace
