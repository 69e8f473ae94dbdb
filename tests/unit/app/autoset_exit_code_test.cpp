#include <gtest/gtest.h>

#include <optional>

#include "app/autoset_exit_code.h"
#include "unit/app/zoom_window_fixture.h"

namespace {

constexpr std::int32_t kFailed = static_cast<std::int32_t>(0x80004005);  // E_FAIL
constexpr std::int32_t kInvalidArgument = static_cast<std::int32_t>(0x80070057);

struct RuleCase {
    const char* what;
    AutosetOutcome outcome;
    AutosetExitCode expected;
};

TEST(AutosetExitCodeRule, FirstCaseThatAppliesWins) {
    const RuleCase cases[] = {
        {"zoom sent and accepted", {true, 0, 0}, AutosetExitCode::Applied},
        {"stored zoom already on the camera", {true, 0, std::nullopt}, AutosetExitCode::Applied},
        {"a setting answered with 1 is no refusal", {true, 0, 1}, AutosetExitCode::Applied},
        {"no camera opened", {false, 1, std::nullopt}, AutosetExitCode::NoCamera},
        // Readings of a camera that is not open are presets; they must not hide the missing camera.
        {"no camera, even with a reading of 0", {false, 0, 0}, AutosetExitCode::NoCamera},
        {"no camera, even with a refusal", {false, 0, kFailed}, AutosetExitCode::NoCamera},
        {"no camera-control interface", {true, 1, std::nullopt}, AutosetExitCode::NoZoom},
        {"zoom could not be read", {true, kFailed, std::nullopt}, AutosetExitCode::NoZoom},
        {"unreadable zoom before a refusal", {true, kFailed, kFailed}, AutosetExitCode::NoZoom},
        {"setting refused", {true, 0, kInvalidArgument}, AutosetExitCode::Refused},
        {"setting failed inside the capture graph", {true, 0, -1}, AutosetExitCode::Refused},
    };
    for (const RuleCase& c : cases) EXPECT_EQ(AutosetExitCodeFor(c.outcome), c.expected) << c.what;
}

TEST(AutosetExitCodeRule, CodesAreTheDocumentedNumbers) {
    EXPECT_EQ(static_cast<int>(AutosetExitCode::Applied), 0);
    EXPECT_EQ(static_cast<int>(AutosetExitCode::NoCamera), 2);
    EXPECT_EQ(static_cast<int>(AutosetExitCode::NoZoom), 3);
    EXPECT_EQ(static_cast<int>(AutosetExitCode::Refused), 4);
}

// The window's autoset run against simulated cameras: what it records gives the right code,
// and the run itself still ends by closing the window.
class AutosetOutcomeOfTheWindow : public ZoomWindowTest {
  protected:
    AutosetExitCode RunAutoset(const std::string& settings, const std::string& storedZoom) {
        WriteSettings(settings);
        WriteStoredZoom(storedZoom);
        MakeForm(true);
        application.Run();
        EXPECT_TRUE(form->Closed());
        return AutosetExitCodeFor(form->Outcome());
    }
    static host::dshow::DeviceConfig CameraWithoutZoom(bool anyControl) {
        host::dshow::DeviceConfig camera = ZoomCamera();
        camera.friendlyName = L"Plain Camera";
        camera.cameraControl = anyControl;
        camera.controls[3].reset();
        return camera;
    }
};

TEST_F(AutosetOutcomeOfTheWindow, AppliedZoomGivesZero) {
    EXPECT_EQ(RunAutoset("\"VCapSource=Zoom Camera\"", "150"), AutosetExitCode::Applied);
    EXPECT_EQ(CameraZoom(), 150);
    ASSERT_TRUE(form->Outcome().zoomSetting.has_value());
}

TEST_F(AutosetOutcomeOfTheWindow, ZoomAlreadyOnTheCameraGivesZeroWithoutSending) {
    EXPECT_EQ(RunAutoset("\"VCapSource=Zoom Camera\"", "100"), AutosetExitCode::Applied);
    EXPECT_FALSE(form->Outcome().zoomSetting.has_value());
}

TEST_F(AutosetOutcomeOfTheWindow, UnknownCameraGivesTwo) {
    EXPECT_EQ(RunAutoset("\"VCapSource=No Such Camera\"", "150"), AutosetExitCode::NoCamera);
    EXPECT_EQ(CameraZoom(), 100);
}

TEST_F(AutosetOutcomeOfTheWindow, NoCameraAtAllGivesTwo) {
    host::dshow::UseDevices({});
    EXPECT_EQ(RunAutoset("", "150"), AutosetExitCode::NoCamera);
}

TEST_F(AutosetOutcomeOfTheWindow, CameraWithoutZoomControlGivesThree) {
    host::dshow::UseDevices({CameraWithoutZoom(true)});
    EXPECT_EQ(RunAutoset("\"VCapSource=Plain Camera\"", "150"), AutosetExitCode::NoZoom);
    EXPECT_LT(form->Outcome().zoomReading, 0);
}

TEST_F(AutosetOutcomeOfTheWindow, CameraWithoutCameraControlGivesThree) {
    host::dshow::UseDevices({CameraWithoutZoom(false)});
    EXPECT_EQ(RunAutoset("\"VCapSource=Plain Camera\"", "150"), AutosetExitCode::NoZoom);
    EXPECT_EQ(form->Outcome().zoomReading, 1);
}

TEST_F(AutosetOutcomeOfTheWindow, ZoomOutsideTheCameraRangeGivesFour) {
    EXPECT_EQ(RunAutoset("\"VCapSource=Zoom Camera\"", "9999"), AutosetExitCode::Refused);
    EXPECT_EQ(CameraZoom(), 100);
}

}  // namespace
