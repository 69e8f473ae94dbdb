// The current output format and the camera controls.
#include "capture_fixture.h"

namespace {

constexpr HRESULT kInjected = MakeHostStatus(0x80070015);

class FormatTest : public CaptureTest {
  protected:
    struct Format {
        HRESULT status = E_UNEXPECTED;
        std::int32_t width = -7;
        std::int32_t height = -7;
        std::uint32_t compression = 7;
    };

    // Opens the only device and reads its format; `inject` runs just before the read.
    static Format ReadFormatOf(const dshow::DeviceConfig& device,
                               const std::function<void()>& inject = {}) {
        dshow::UseDevices({device});
        auto capture = Create();
        Format format;
        if (capture->StartCapture("") < 0) return format;
        if (inject) inject();
        format.status = capture->ReadCurrentFormat(format.width, format.height, format.compression);
        return format;
    }
};

TEST_F(FormatTest, ReadsWidthHeightAndCompressionOfVideoInfo) {
    dshow::DeviceConfig device = Camera(L"Cam");
    device.width = 320;
    device.height = 240;
    device.compression = MakeFourCC('M', 'J', 'P', 'G');
    device.bitCount = 24;
    Format format = ReadFormatOf(device);
    EXPECT_EQ(format.status, S_OK);
    EXPECT_EQ(format.width, 320);
    EXPECT_EQ(format.height, 240);
    EXPECT_EQ(format.compression, MakeFourCC('M', 'J', 'P', 'G'));
}

TEST_F(FormatTest, UncompressedRgbHasCompressionZero) {
    dshow::DeviceConfig device = Camera(L"Cam");
    device.compression = BI_RGB;
    device.bitCount = 24;
    Format format = ReadFormatOf(device);
    EXPECT_EQ(format.status, S_OK);
    EXPECT_EQ(format.compression, 0u);
    EXPECT_EQ(format.width, 640);
}

TEST_F(FormatTest, TopDownHeightIsReportedPositive) {
    dshow::DeviceConfig device = Camera(L"Cam");
    device.topDown = true;
    Format format = ReadFormatOf(device);
    EXPECT_EQ(format.status, S_OK);
    EXPECT_EQ(format.height, 480);
}

TEST_F(FormatTest, OtherFormatTypeGivesZerosWithSuccess) {
    dshow::DeviceConfig device = Camera(L"Cam");
    device.videoInfo = false;
    Format format = ReadFormatOf(device);
    EXPECT_EQ(format.status, S_OK);
    EXPECT_EQ(format.width, 0);
    EXPECT_EQ(format.height, 0);
    EXPECT_EQ(format.compression, 0u);
}

TEST_F(FormatTest, FailureGivesZerosAndRestartsTheStream) {
    for (const char* call :
         {"ICaptureGraphBuilder2::FindInterface", "IAMStreamConfig::GetFormat"}) {
        SCOPED_TRACE(call);
        Format format = ReadFormatOf(Camera(L"Cam"), [&] {
            dshow::ClearCallLog();
            dshow::FailCall(call, kInjected);
        });
        EXPECT_EQ(format.status, kInjected);
        EXPECT_EQ(format.width, 0);
        EXPECT_EQ(format.height, 0);
        EXPECT_EQ(format.compression, 0u);
        std::vector<std::string> log = dshow::CallLog();
        int controlStop = LogIndex(log, "IMediaControl::Stop");
        int sourceStop = LogIndex(log, "IMediaFilter::Stop(Video Capture)");
        int sourceRun = LogIndex(log, "IMediaFilter::Run(Video Capture)");
        int controlRun = LogIndex(log, "IMediaControl::Run");
        EXPECT_TRUE(controlStop >= 0 && controlStop < sourceStop && sourceStop < sourceRun &&
                    sourceRun < controlRun);
    }
}

TEST_F(FormatTest, StreamRunsAgainAfterReadingTheFormat) {
    dshow::UseDevices({Camera(L"Cam")});
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    std::int32_t width = 0, height = 0;
    std::uint32_t compression = 0;
    ASSERT_EQ(capture->ReadCurrentFormat(width, height, compression), S_OK);
    EXPECT_EQ(dshow::RunningStreams(), 1);
    std::atomic<int> frames{0};
    capture->SetFrameCallback(
        [](void* data, std::uint8_t*, std::int32_t&) {
            static_cast<std::atomic<int>*>(data)->fetch_add(1);
        },
        &frames);
    EXPECT_TRUE(PumpUntil([&] { return frames.load() >= 2; }));
}

class CameraSettingTest : public CaptureTest {
  protected:
    struct Setting {
        HRESULT status = E_UNEXPECTED;
        std::int32_t min = -11, max = -12, step = -13, defaultValue = -14, flags = -15, value = -16;
    };

    static Setting Read(TVideoSample& capture, std::int32_t id) {
        Setting s;
        s.status =
            capture.GetCameraSetting(id, s.min, s.max, s.step, s.defaultValue, s.flags, s.value);
        return s;
    }
};

TEST_F(CameraSettingTest, ReadsRangeValueAndModeOfAControl) {
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    Setting zoom = Read(*capture, CameraControl_Zoom);
    EXPECT_EQ(zoom.status, S_OK);
    EXPECT_EQ(zoom.min, 100);
    EXPECT_EQ(zoom.max, 500);
    EXPECT_EQ(zoom.step, 1);
    EXPECT_EQ(zoom.defaultValue, 100);
    EXPECT_EQ(zoom.value, 100);
    EXPECT_EQ(zoom.flags, CameraControl_Flags_Manual);

    EXPECT_EQ(capture->SetCameraSetting(CameraControl_Zoom, 250, CameraControl_Flags_Manual), S_OK);
    EXPECT_EQ(Read(*capture, CameraControl_Zoom).value, 250);
    EXPECT_EQ(dshow::ControlState(0, CameraControl_Zoom)->value, 250);
}

TEST_F(CameraSettingTest, WithoutCameraControlReturnsOneAndWritesNothing) {
    dshow::DeviceConfig device = Camera(L"Plain");
    device.cameraControl = false;
    dshow::UseDevices({device});
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    Setting untouched;
    Setting zoom = Read(*capture, CameraControl_Zoom);
    EXPECT_EQ(zoom.status, S_FALSE);
    EXPECT_EQ(zoom.min, untouched.min);
    EXPECT_EQ(zoom.max, untouched.max);
    EXPECT_EQ(zoom.step, untouched.step);
    EXPECT_EQ(zoom.defaultValue, untouched.defaultValue);
    EXPECT_EQ(zoom.flags, untouched.flags);
    EXPECT_EQ(zoom.value, untouched.value);
    EXPECT_EQ(capture->SetCameraSetting(CameraControl_Zoom, 300, CameraControl_Flags_Manual),
              S_FALSE);
    EXPECT_EQ(dshow::ControlState(0, CameraControl_Zoom)->value, 100);
    EXPECT_EQ(dshow::CallCount("IAMCameraControl::Set"), 0);
}

TEST_F(CameraSettingTest, BeforeAnyDeviceThereIsNoCameraControl) {
    auto capture = Create();
    EXPECT_EQ(Read(*capture, CameraControl_Zoom).status, S_FALSE);
    EXPECT_EQ(capture->SetCameraSetting(CameraControl_Zoom, 1, 2), S_FALSE);
}

TEST_F(CameraSettingTest, FailingGetRangeGivesDefaultAsValueAndSkipsGet) {
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    dshow::ClearCallLog();
    dshow::FailCall("IAMCameraControl::GetRange", kInjected);
    Setting zoom = Read(*capture, CameraControl_Zoom);
    EXPECT_EQ(zoom.status, kInjected);
    EXPECT_EQ(zoom.value, zoom.defaultValue);
    EXPECT_EQ(dshow::CallCount("IAMCameraControl::Get"), 0);
}

TEST_F(CameraSettingTest, AbsentControlAndFailingGetReturnThePlatformStatus) {
    dshow::DeviceConfig device = Camera(L"Cam");
    device.controls[CameraControl_Iris].reset();
    dshow::UseDevices({device});
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    Setting iris = Read(*capture, CameraControl_Iris);
    EXPECT_LT(iris.status, 0);
    EXPECT_EQ(dshow::CallCount("IAMCameraControl::Get"), 0);

    dshow::FailCall("IAMCameraControl::Get", kInjected);
    Setting focus = Read(*capture, CameraControl_Focus);
    EXPECT_EQ(focus.status, kInjected);
    EXPECT_EQ(focus.min, 0);
    EXPECT_EQ(focus.max, 250);

    dshow::FailCall("IAMCameraControl::Set", kInjected);
    EXPECT_EQ(capture->SetCameraSetting(CameraControl_Zoom, 200, 2), kInjected);
    EXPECT_EQ(dshow::ControlState(0, CameraControl_Zoom)->value, 100);
}

TEST_F(CameraSettingTest, AutomaticModeIsReportedAndCanBeSet) {
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    Setting focus = Read(*capture, CameraControl_Focus);
    EXPECT_EQ(focus.flags, CameraControl_Flags_Auto);
    EXPECT_EQ(capture->SetCameraSetting(CameraControl_Focus, 50, CameraControl_Flags_Manual), S_OK);
    focus = Read(*capture, CameraControl_Focus);
    EXPECT_EQ(focus.flags, CameraControl_Flags_Manual);
    EXPECT_EQ(focus.value, 50);
    // Out of range: the camera refuses it and keeps its value.
    EXPECT_LT(capture->SetCameraSetting(CameraControl_Focus, 999, CameraControl_Flags_Manual), 0);
    EXPECT_EQ(Read(*capture, CameraControl_Focus).value, 50);
}

}  // namespace
