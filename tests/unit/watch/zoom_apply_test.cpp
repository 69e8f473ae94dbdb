// The keeper's apply against the host's simulated cameras: Set's decision and flags, the
// outcomes with autoset's meanings, and no stream ever.
#include "watch/zoom_apply.h"

#include <gtest/gtest.h>

#include "platform/com_apartment.h"
#include "platform/host/dshow/test_controls.h"
#include "platform/host/message_queue.h"

namespace {

namespace dshow = host::dshow;

class ZoomApplyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host::MessageQueue::Instance();
        dshow::ResetRuntime();
        UseZoom(dshow::CameraControlConfig{100, 500, 1, 100, 100, 2, 2});
        apartment_ = std::make_unique<ComApartment>();
    }
    void TearDown() override {
        apartment_.reset();
        EXPECT_EQ(dshow::LiveObjects(), 0);
        EXPECT_EQ(dshow::RunningStreams(), 0);
        dshow::ResetRuntime();
    }

    static void UseZoom(std::optional<dshow::CameraControlConfig> zoom) {
        dshow::DeviceConfig camera = dshow::DefaultDevice();
        camera.friendlyName = L"Desk Cam";
        camera.controls[CameraControl_Zoom] = zoom;
        dshow::UseDevices({camera});
    }
    static dshow::CameraControlConfig Zoom() { return *dshow::ControlState(0, CameraControl_Zoom); }

    std::unique_ptr<ComApartment> apartment_;
};

TEST_F(ZoomApplyTest, SendsOnlyWhenTheCameraDiffersAndReadsBack) {
    ApplyResult first = ApplyStoredZoom("desk cam", 320);
    EXPECT_EQ(first.outcome, AutosetExitCode::Applied);
    EXPECT_TRUE(first.sent);
    EXPECT_EQ(first.found, 100);
    EXPECT_EQ(first.readBack, 320);
    EXPECT_EQ(Zoom().value, 320);

    dshow::ClearCallLog();
    ApplyResult second = ApplyStoredZoom("desk cam", 320);
    EXPECT_EQ(second.outcome, AutosetExitCode::Applied);
    EXPECT_FALSE(second.sent);
    EXPECT_EQ(dshow::CallCount("IAMCameraControl::Set"), 0);
    EXPECT_EQ(dshow::CallCount("IMediaControl::Run"), 0);
}

TEST_F(ZoomApplyTest, AnAutomaticZoomIsSentWithTheAutomaticFlagAsSetDoes) {
    UseZoom(dshow::CameraControlConfig{100, 500, 1, 100, 100, 1, 3});
    EXPECT_EQ(ApplyStoredZoom("Desk Cam", 200).outcome, AutosetExitCode::Applied);
    EXPECT_EQ(Zoom().value, 200);
    EXPECT_EQ(Zoom().flags, 1);
}

TEST_F(ZoomApplyTest, OutcomesHaveAutosetsMeanings) {
    EXPECT_EQ(ApplyStoredZoom("Other Cam", 200).outcome, AutosetExitCode::NoCamera);

    UseZoom(std::nullopt);
    EXPECT_EQ(ApplyStoredZoom("Desk Cam", 200).outcome, AutosetExitCode::NoZoom);

    UseZoom(dshow::CameraControlConfig{100, 500, 1, 100, 100, 2, 2});
    ApplyResult refused = ApplyStoredZoom("Desk Cam", 900);  // out of range
    EXPECT_EQ(refused.outcome, AutosetExitCode::Refused);
    EXPECT_TRUE(refused.sent);
    EXPECT_FALSE(refused.readBack);
    EXPECT_EQ(Zoom().value, 100);

    dshow::FailCall("IAMCameraControl::Get", E_FAIL);
    EXPECT_EQ(ApplyStoredZoom("Desk Cam", 200).outcome, AutosetExitCode::NoZoom);
}

}  // namespace
