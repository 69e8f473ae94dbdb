#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "unit/video/video_image_fixture.h"
#include "video/VFrames.h"

namespace {

using namespace std::chrono_literals;
using host::dshow::CameraControlConfig;
using host::dshow::DeviceConfig;

struct Reading {
    std::int32_t status = 99, min = 99, max = 99, step = 99, defaultValue = 99, value = 99;
    bool manual = false;
};

Reading Read(TVideoImage& video, TCameraProperty prop) {
    Reading r;
    r.status =
        video.GetCameraProperty(prop, r.min, r.max, r.step, r.defaultValue, r.value, r.manual);
    return r;
}

void ExpectPresets(const Reading& r) {
    EXPECT_EQ(r.min, -1);
    EXPECT_EQ(r.max, -1);
    EXPECT_EQ(r.step, 0);
    EXPECT_EQ(r.defaultValue, 0);
    EXPECT_EQ(r.value, 0);
    EXPECT_TRUE(r.manual);
}

class VideoImageFacade : public VideoImageTest {};

TEST_F(VideoImageFacade, WithoutCameraReadsPresetsAndSendsNothing) {
    auto video = TVideoImage::Create();
    Reading r = Read(*video, TCameraProperty::Zoom);
    EXPECT_EQ(r.status, 1);
    ExpectPresets(r);
    EXPECT_EQ(video->SetCameraProperty(TCameraProperty::Zoom, 150, true), 0);
    EXPECT_EQ(host::dshow::CallCount("IAMCameraControl::Set"), 0);
    TVideoImage::Dispose(std::move(video));
}

TEST_F(VideoImageFacade, ModeFlagsReadAsManualUnlessExactlyAuto) {
    DeviceConfig camera = host::dshow::DefaultDevice();
    const LONG flags[] = {1, 2, 3, 0};
    for (int p = 0; p < 4; ++p)
        camera.controls[p] = CameraControlConfig{10, 500, 5, 100, 120 + p, flags[p], 3};
    host::dshow::UseDevices({camera});
    auto video = TVideoImage::Create();
    ASSERT_EQ(video->OpenCamera(""), 0);

    Reading pan = Read(*video, TCameraProperty::Pan);
    EXPECT_EQ(pan.status, 0);
    EXPECT_EQ(pan.min, 10);
    EXPECT_EQ(pan.max, 500);
    EXPECT_EQ(pan.step, 5);
    EXPECT_EQ(pan.defaultValue, 100);
    EXPECT_EQ(pan.value, 120);
    EXPECT_FALSE(pan.manual);                                 // 1: automatic
    EXPECT_TRUE(Read(*video, TCameraProperty::Tilt).manual);  // 2
    EXPECT_TRUE(Read(*video, TCameraProperty::Roll).manual);  // 3
    EXPECT_TRUE(Read(*video, TCameraProperty::Zoom).manual);  // 0

    video->CloseCamera();
    TVideoImage::Dispose(std::move(video));
}

TEST_F(VideoImageFacade, FailedOrMissingControlsGivePresetsWithTheStatus) {
    DeviceConfig camera = host::dshow::DefaultDevice();
    camera.controls[static_cast<int>(TCameraProperty::Iris)].reset();
    host::dshow::UseDevices({camera});
    auto video = TVideoImage::Create();
    ASSERT_EQ(video->OpenCamera(""), 0);

    Reading iris = Read(*video, TCameraProperty::Iris);
    EXPECT_LT(iris.status, 0);
    ExpectPresets(iris);

    host::dshow::FailCall("IAMCameraControl::Get", E_FAIL);
    Reading zoom = Read(*video, TCameraProperty::Zoom);
    EXPECT_EQ(zoom.status, E_FAIL);
    ExpectPresets(zoom);

    video->CloseCamera();
    TVideoImage::Dispose(std::move(video));
}

TEST_F(VideoImageFacade, CameraWithoutCameraControlReadsPresetsWithStatusOne) {
    DeviceConfig camera = host::dshow::DefaultDevice();
    camera.cameraControl = false;
    host::dshow::UseDevices({camera});
    auto video = TVideoImage::Create();
    ASSERT_EQ(video->OpenCamera(""), 0);
    Reading r = Read(*video, TCameraProperty::Zoom);
    EXPECT_EQ(r.status, 1);
    ExpectPresets(r);
    EXPECT_EQ(video->SetCameraProperty(TCameraProperty::Zoom, 150, true), 1);
    video->CloseCamera();
    TVideoImage::Dispose(std::move(video));
}

TEST_F(VideoImageFacade, SetSendsTheValueInTheModeAskedFor) {
    DeviceConfig camera = host::dshow::DefaultDevice();
    camera.controls[3] = CameraControlConfig{100, 500, 1, 100, 100, 2, 3};  // manual and auto
    host::dshow::UseDevices({SmallRgbCamera(), camera});
    auto video = TVideoImage::Create();
    ASSERT_EQ(video->OpenCamera("#2"), 0);
    const LONG zoom = static_cast<LONG>(TCameraProperty::Zoom);
    EXPECT_EQ(video->SetCameraProperty(TCameraProperty::Zoom, 150, true), 0);
    auto state = host::dshow::ControlState(1, zoom);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->value, 150);
    EXPECT_EQ(state->flags, 2);
    EXPECT_EQ(video->SetCameraProperty(TCameraProperty::Zoom, 160, false), 0);
    state = host::dshow::ControlState(1, zoom);
    EXPECT_EQ(state->value, 160);  // sent in automatic mode too
    EXPECT_EQ(state->flags, 1);
    Reading r = Read(*video, TCameraProperty::Zoom);
    EXPECT_EQ(r.value, 160);
    EXPECT_FALSE(r.manual);

    // A failing Set comes back unchanged.
    host::dshow::FailCall("IAMCameraControl::Set", E_FAIL);
    EXPECT_EQ(video->SetCameraProperty(TCameraProperty::Zoom, 170, true), E_FAIL);
    video->CloseCamera();
    TVideoImage::Dispose(std::move(video));
}

// The frame size shows in what is painted: the frame bitmap is sized at each successful open.
TEST_F(VideoImageFacade, FailedOpenKeepsTheLastFrameSizeAndLeavesNoCamera) {
    auto video = TVideoImage::Create();
    Bitmap target;
    target.SetSize(16, 16);
    video->AttachCanvas(&target.GetCanvas());
    EXPECT_EQ(video->OpenCamera("No Such Camera"), 1);
    EXPECT_EQ(host::dshow::RunningStreams(), 0);
    EXPECT_EQ(Read(*video, TCameraProperty::Zoom).status, 1);  // no camera open

    ASSERT_EQ(video->OpenCamera("  small rgb CAMERA "), 0);
    tick = 1000;
    host::PumpPendingMessages();  // idle: the stream's frames pass from now on
    ASSERT_TRUE(WaitForFrameMessage());

    EXPECT_EQ(video->OpenCamera("No Such Camera"), 1);
    EXPECT_EQ(host::dshow::RunningStreams(), 0);
    EXPECT_EQ(Read(*video, TCameraProperty::Zoom).status, 1);
    // The first camera's queued frame paints at the first camera's 8 x 6.
    Fill(target, 0x5A);
    host::PumpPendingMessages();
    EXPECT_EQ(PaintedExtent(target, 0x5A), std::make_pair(8, 6));
    TVideoImage::Dispose(std::move(video));
}

TEST_F(VideoImageFacade, ExceptionInStartOrFailedFormatClosesTheGraph) {
    auto video = TVideoImage::Create();
    host::dshow::ThrowInCall("ICaptureGraphBuilder2::SetFiltergraph");
    EXPECT_EQ(video->OpenCamera(""), 1);
    EXPECT_EQ(Read(*video, TCameraProperty::Zoom).status, 1);  // no camera open
    EXPECT_EQ(host::dshow::LiveObjects(), 0);

    host::dshow::FailCall("IAMStreamConfig::GetFormat", E_FAIL);
    EXPECT_EQ(video->OpenCamera(""), 1);
    EXPECT_EQ(Read(*video, TCameraProperty::Zoom).status, 1);
    EXPECT_EQ(host::dshow::RunningStreams(), 0);
    TVideoImage::Dispose(std::move(video));
}

TEST_F(VideoImageFacade, SecondOpenClosesTheFirstGraphBeforeBuildingTheNext) {
    auto video = TVideoImage::Create();
    ASSERT_EQ(video->OpenCamera("#1"), 0);
    host::dshow::ClearCallLog();
    WatchFrames();
    ASSERT_EQ(video->OpenCamera("#2"), 0);
    EXPECT_EQ(host::dshow::RunningStreams(), 1);
    lastFrameSize = 0;  // the first camera delivers no more
    EXPECT_TRUE(host::PumpMessagesUntil([&] { return lastFrameSize != 0; }, 5s));
    EXPECT_EQ(lastFrameSize, 640 * 480 * 2);  // the second device's 640 x 480 YUY2

    std::vector<std::string> log = host::dshow::CallLog();
    auto stop = std::find(log.begin(), log.end(), "IMediaControl::Stop");
    auto create = std::find_if(log.begin(), log.end(), [](const std::string& call) {
        return call.rfind("CoCreateInstance", 0) == 0;
    });
    ASSERT_NE(stop, log.end());
    ASSERT_NE(create, log.end());
    EXPECT_LT(stop - log.begin(), create - log.begin());

    video->CloseCamera();
    video->CloseCamera();  // closing again is harmless
    EXPECT_EQ(host::dshow::RunningStreams(), 0);
    TVideoImage::Dispose(std::move(video));
}

TEST(VideoImageProperties, MapOneToOneAndNameTheSevenControls) {
    const char* names[] = {"Pan", "Tilt", "Roll", "Zoom", "Exposure", "Iris", "Focus"};
    for (int p = 0; p < kCameraPropertyCount; ++p) {
        std::int32_t id = -5;
        EXPECT_EQ(TVideoImage::PropertyToControlId(static_cast<TCameraProperty>(p), id), 0);
        EXPECT_EQ(id, p);
        EXPECT_EQ(PropertyName(static_cast<TCameraProperty>(p)), names[p]);
    }
    std::int32_t id = 42;
    EXPECT_EQ(TVideoImage::PropertyToControlId(static_cast<TCameraProperty>(7), id), 1);
    EXPECT_EQ(id, 42);
    EXPECT_EQ(PropertyName(static_cast<TCameraProperty>(7)), "");
}

}  // namespace
