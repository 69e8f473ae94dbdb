// The keeper's apply against the host's simulated cameras: Set's decision and flags, the
// outcomes with autoset's meanings, and no stream ever.
#include "watch/picture_apply.h"

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
    ApplyResult first = ApplyStoredPicture("desk cam", 320, {}, {});
    EXPECT_EQ(first.outcome, AutosetExitCode::Applied);
    EXPECT_TRUE(first.sent);
    EXPECT_EQ(first.found, 100);
    EXPECT_EQ(first.readBack, 320);
    EXPECT_EQ(Zoom().value, 320);

    dshow::ClearCallLog();
    ApplyResult second = ApplyStoredPicture("desk cam", 320, {}, {});
    EXPECT_EQ(second.outcome, AutosetExitCode::Applied);
    EXPECT_FALSE(second.sent);
    EXPECT_EQ(dshow::CallCount("IAMCameraControl::Set"), 0);
    EXPECT_EQ(dshow::CallCount("IMediaControl::Run"), 0);
}

TEST_F(ZoomApplyTest, AnAutomaticZoomIsSentWithTheAutomaticFlagAsSetDoes) {
    UseZoom(dshow::CameraControlConfig{100, 500, 1, 100, 100, 1, 3});
    EXPECT_EQ(ApplyStoredPicture("Desk Cam", 200, {}, {}).outcome, AutosetExitCode::Applied);
    EXPECT_EQ(Zoom().value, 200);
    EXPECT_EQ(Zoom().flags, 1);
}

TEST_F(ZoomApplyTest, OutcomesHaveAutosetsMeanings) {
    EXPECT_EQ(ApplyStoredPicture("Other Cam", 200, {}, {}).outcome, AutosetExitCode::NoCamera);

    UseZoom(std::nullopt);
    EXPECT_EQ(ApplyStoredPicture("Desk Cam", 200, {}, {}).outcome, AutosetExitCode::NoZoom);

    UseZoom(dshow::CameraControlConfig{100, 500, 1, 100, 100, 2, 2});
    ApplyResult refused = ApplyStoredPicture("Desk Cam", 900, {}, {});  // out of range
    EXPECT_EQ(refused.outcome, AutosetExitCode::Refused);
    EXPECT_TRUE(refused.sent);
    EXPECT_FALSE(refused.readBack);
    EXPECT_EQ(Zoom().value, 100);

    dshow::FailCall("IAMCameraControl::Get", E_FAIL);
    EXPECT_EQ(ApplyStoredPicture("Desk Cam", 200, {}, {}).outcome, AutosetExitCode::NoZoom);
}

}  // namespace

namespace {

class PictureApplyTest : public ZoomApplyTest {
  protected:
    static KeptSetting Kept(std::string_view key, std::optional<std::int32_t> value) {
        return {*PictureControlByKey(key), value};
    }
};

TEST_F(PictureApplyTest, AutomaticModeGoesOffBeforeTheValueAndEveryControlIsReadBack) {
    dshow::DeviceConfig camera = dshow::DefaultDevice();  // focus 0..250/5 in automatic mode
    camera.friendlyName = L"Desk Cam";
    dshow::UseDevices({camera});
    dshow::ClearCallLog();
    const ApplyResult result = ApplyStoredPicture(
        "Desk Cam", 100, {Kept("focus", 40), Kept("exposure", std::nullopt)}, {});
    EXPECT_EQ(result.outcome, AutosetExitCode::Applied);
    ASSERT_EQ(result.kept.size(), 2u);
    EXPECT_EQ(result.kept[0],
              (KeptControlOutcome{"focus", KeptControlOutcome::What::Set, "auto", "40", "40"}));
    EXPECT_EQ(result.kept[1].what, KeptControlOutcome::What::Held)
        << "exposure is automatic already";
    EXPECT_EQ(dshow::ControlState(0, CameraControl_Focus)->value, 40);
    EXPECT_EQ(dshow::ControlState(0, CameraControl_Focus)->flags, CameraControl_Flags_Manual);
    // Two settings of focus: the mode first (at its old value), then the value.
    EXPECT_EQ(dshow::CallCount("IAMCameraControl::Set(6)"), 2);
}

TEST_F(PictureApplyTest, ARefusedOrMissingControlDoesNotStopTheOthers) {
    dshow::DeviceConfig camera = dshow::DefaultDevice();
    camera.friendlyName = L"Desk Cam";
    camera.controls[CameraControl_Iris].reset();
    dshow::UseDevices({camera});
    const ApplyResult result = ApplyStoredPicture(
        "Desk Cam", 100, {Kept("tilt", 999), Kept("iris", 3), Kept("pan", 30)}, {"roll"});
    ASSERT_EQ(result.kept.size(), 3u);
    EXPECT_EQ(result.kept[0].what, KeptControlOutcome::What::Refused);
    EXPECT_EQ(result.kept[1].what, KeptControlOutcome::What::NotOffered);
    EXPECT_EQ(result.kept[2].what, KeptControlOutcome::What::Set);
    EXPECT_EQ(dshow::ControlState(0, CameraControl_Pan)->value, 30);

    const ApplyResult alone =
        ApplyStoredPicture("Desk Cam", 100, {Kept("tilt", 999), Kept("pan", 30)}, {"tilt"});
    ASSERT_EQ(alone.kept.size(), 1u) << "a control left alone is not asked";
    EXPECT_EQ(alone.kept[0].what, KeptControlOutcome::What::Held);
}

}  // namespace
