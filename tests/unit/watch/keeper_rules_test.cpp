#include "watch/keeper_rules.h"

#include <gtest/gtest.h>

#include "unit/watch/keeper_harness.h"

namespace {

constexpr Tick kSecond = 1000;
constexpr Tick kMinute = 60 * kSecond;

using Outcomes = std::vector<AutosetExitCode>;
constexpr AutosetExitCode kApplied = AutosetExitCode::Applied;
constexpr AutosetExitCode kNoCamera = AutosetExitCode::NoCamera;

// The applies made in [from, to) milliseconds after the start.
int AppliesBetween(const KeeperHarness& keeper, Tick from, Tick to) {
    return static_cast<int>(std::count_if(keeper.applies.begin(), keeper.applies.end(),
                                          [&](Tick at) { return at >= from && at < to; }));
}

TEST(KeeperRules, LateCameraIsAppliedWhenItArrivesThenConfirmedAndHeld) {
    KeeperHarness keeper;
    keeper.Start();
    keeper.RunFor(12 * kSecond);
    keeper.cameraPresent = true;
    const Tick arrival = keeper.Elapsed();
    keeper.RunFor(kMinute);

    ASSERT_GE(keeper.outcomes.size(), 5u) << keeper.Log();
    EXPECT_EQ(Outcomes(keeper.outcomes.begin(), keeper.outcomes.begin() + 5),
              (Outcomes{kNoCamera, kNoCamera, kNoCamera, kApplied, kApplied}))
        << keeper.Log();
    // Applies at 0, 2 and 7 s; the camera, seen by the next poll, gets its apply a settling
    // second later, the confirmation 10 s after that, then a check every period.
    EXPECT_LE(keeper.applies[3] - arrival, KeeperTimes::kPollAbsent + KeeperTimes::kSettle);
    EXPECT_EQ(keeper.applies[4] - keeper.applies[3], KeeperTimes::kConfirm);
    EXPECT_EQ(keeper.applies[5] - keeper.applies[4], KeeperTimes::kCheck);
    EXPECT_EQ(keeper.sends.size(), 1u) << "the zoom is sent once, then only looked at";
    EXPECT_EQ(keeper.LinesWith("retry in 2 s"), 1);
    EXPECT_EQ(keeper.LinesWith("at start: no camera"), 1);
    EXPECT_EQ(keeper.LinesWith("the station's camera \"Desk Cam\" arrived"), 1);
    EXPECT_EQ(keeper.LinesWith("camera arrived: the camera's zoom was 100; set to 320"), 1);
    EXPECT_EQ(keeper.LinesWith("the zoom held; holding it"), 1);
    EXPECT_EQ(keeper.LinesWith("check: "), 0) << "a check that changes nothing is not logged";
    ASSERT_TRUE(keeper.state);
    EXPECT_EQ(keeper.state->lastOutcome, kApplied);
    EXPECT_EQ(keeper.state->camera, "\"Desk Cam\"");
    EXPECT_EQ(keeper.state->holding, Holding::On);
    EXPECT_EQ(keeper.ReportsOf(KeeperEvent::Started), 1);
}

TEST(KeeperRules, ZoomChangedByAnotherProgramOrAShortReplugIsSetBackAtTheNextCheck) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(kMinute);
    ASSERT_EQ(keeper.sends.size(), 1u);

    // A re-plug too short for any poll, the camera back at its default, no event at all.
    keeper.cameraZoom = 100;
    const Tick reset = keeper.Elapsed();
    keeper.RunFor(KeeperTimes::kCheck);
    ASSERT_EQ(keeper.sends.size(), 2u) << keeper.Log();
    EXPECT_LE(keeper.sends[1] - reset, KeeperTimes::kCheck);
    EXPECT_EQ(keeper.cameraZoom, 320);
    EXPECT_EQ(keeper.LinesWith("check: the camera's zoom was 100; set to 320"), 1);

    // A new stored zoom (Save in the tool) is taken at the next check.
    keeper.storedZoom = 250;
    keeper.RunFor(KeeperTimes::kCheck);
    EXPECT_EQ(keeper.cameraZoom, 250);
}

TEST(KeeperRules, ACameraUseChangeIsLoggedAndChecksTheZoomTwoSecondsLater) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(kMinute + 3 * kSecond);  // just after a check

    // The station's program starts streaming; its camera resets its controls.
    keeper.cameraZoom = 100;
    const Tick started = keeper.Elapsed();
    keeper.UseChanged({"C:\\Station\\station.exe started using the camera"});
    keeper.RunFor(KeeperTimes::kUseSettle + 100);
    ASSERT_EQ(keeper.sends.size(), 2u) << keeper.Log();
    EXPECT_EQ(keeper.sends[1] - started, KeeperTimes::kUseSettle);
    EXPECT_EQ(keeper.LinesWith("station.exe started using the camera"), 1);

    // Without the camera a change is only logged.
    keeper.cameraPresent = false;
    keeper.RunFor(2 * kMinute);
    const std::size_t applies = keeper.applies.size();
    keeper.UseChanged({"x started using the camera"});
    keeper.RunFor(KeeperTimes::kUseSettle + 100);
    EXPECT_EQ(keeper.applies.size(), applies) << keeper.Log();
}

TEST(KeeperRules, AProgramThatKeepsChangingTheZoomGetsABoundedNumberOfSetBacks) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(kMinute);
    const std::size_t before = keeper.sends.size();

    // Another program sets its own zoom every second for two minutes.
    for (int second = 0; second < 120; ++second) {
        keeper.cameraZoom = 150;
        keeper.RunFor(kSecond);
    }
    const std::size_t setBacks = keeper.sends.size() - before;
    EXPECT_EQ(setBacks, static_cast<std::size_t>(KeeperTimes::kSetBacksAllowed)) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("holding off"), 1);
    EXPECT_EQ(keeper.ReportsOf(KeeperEvent::HoldingOff), 1);
    ASSERT_TRUE(keeper.state);
    EXPECT_EQ(keeper.state->holding, Holding::HeldOff);

    // A camera-use change tries again at once; so does the end of the pause.
    keeper.UseChanged();
    keeper.RunFor(KeeperTimes::kUseSettle);
    EXPECT_EQ(keeper.LinesWith("holding again (a program's use of the camera changed)"), 1);
    EXPECT_EQ(keeper.cameraZoom, 320);
    EXPECT_EQ(keeper.state->holding, Holding::On);
}

TEST(KeeperRules, HoldingOffEndsAfterThePause) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(kMinute);
    for (int second = 0; second < 60; ++second) {
        keeper.cameraZoom = 150;
        keeper.RunFor(kSecond);
    }
    ASSERT_EQ(keeper.LinesWith("holding off"), 1) << keeper.Log();
    const std::size_t sends = keeper.sends.size();
    keeper.RunFor(KeeperTimes::kHoldOffPause - 2 * kMinute);
    EXPECT_EQ(keeper.sends.size(), sends) << "nothing is set back while holding off";
    keeper.RunFor(3 * kMinute);
    EXPECT_EQ(keeper.sends.size(), sends + 1) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("holding again (after 600 s)"), 1);
}

TEST(KeeperRules, HoldingTurnedOffAppliesOnlyAtStartArrivalAndResume) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.hold = false;
    keeper.Start();
    keeper.RunFor(kMinute);
    ASSERT_EQ(keeper.sends.size(), 1u);
    EXPECT_EQ(keeper.LinesWith("holding turned off"), 1);
    EXPECT_EQ(keeper.LinesWith("nothing more until the camera arrives again"), 1);

    keeper.cameraZoom = 150;
    keeper.UseChanged({"x started using the camera"});
    keeper.RunFor(10 * kMinute);
    EXPECT_EQ(keeper.cameraZoom, 150) << keeper.Log();
    EXPECT_EQ(AppliesBetween(keeper, kMinute, 11 * kMinute), 0);
    EXPECT_EQ(keeper.state->holding, Holding::Off);

    keeper.Resume();
    keeper.RunFor(5 * kSecond);
    EXPECT_EQ(keeper.cameraZoom, 320);

    // Turned on again: the next look at the settings starts the checks.
    keeper.hold = true;
    keeper.RunFor(2 * kMinute);
    keeper.cameraZoom = 150;
    keeper.RunFor(KeeperTimes::kCheck);
    EXPECT_EQ(keeper.cameraZoom, 320) << keeper.Log();
}

TEST(KeeperRules, RefusalIsNotRetriedNorCheckedUntilTheCameraArrivesAgain) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.cameraRefuses = true;
    keeper.Start();
    keeper.RunFor(30 * kMinute);
    EXPECT_EQ(keeper.outcomes, Outcomes{AutosetExitCode::Refused}) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("the camera refused the stored zoom"), 1);
    EXPECT_EQ(keeper.LinesWith("no retry"), 1);
    EXPECT_EQ(keeper.ReportsOf(KeeperEvent::CameraRefusedSetting), 1);

    // The next arrival is a new trigger; taken this time, it is reported as a recovery.
    keeper.cameraPresent = false;
    keeper.RunFor(2 * kMinute);
    keeper.cameraRefuses = false;
    keeper.cameraPresent = true;
    keeper.RunFor(kMinute);
    EXPECT_EQ(keeper.cameraZoom, 320) << keeper.Log();
    EXPECT_EQ(keeper.ReportsOf(KeeperEvent::Recovered), 1);
}

TEST(KeeperRules, CameraWithoutZoomIsRetriedWithBackoffForTenMinutesThenLeftAlone) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.cameraHasZoom = false;
    keeper.Start();
    keeper.RunFor(60 * kMinute);
    // 0, 2, 7, 17, 47, 107 s and then every minute up to ten minutes.
    EXPECT_EQ(keeper.applies.front(), 0u);
    EXPECT_EQ(keeper.applies[1], 2 * kSecond);
    EXPECT_EQ(keeper.applies[2], 7 * kSecond);
    EXPECT_EQ(keeper.applies[5], 107 * kSecond);
    EXPECT_LE(keeper.applies.back(), KeeperTimes::kRetryWindow);
    EXPECT_EQ(keeper.LinesWith("gave up retrying"), 1) << keeper.Log();
    EXPECT_EQ(keeper.ReportsOf(KeeperEvent::FailureOutlastedRetries), 1);
    EXPECT_EQ(keeper.state->lastOutcome, AutosetExitCode::NoZoom);
}

TEST(KeeperRules, ReplugSeenByPollsOrNotificationsAppliesOnceMore) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(2 * kMinute);

    // Gone and back within a second: only the platform saw it go.
    keeper.Notify(DeviceChange::Removed);
    keeper.RunFor(300);
    keeper.Notify(DeviceChange::Arrived);
    const Tick plugged = keeper.Elapsed();
    keeper.cameraZoom = 100;
    keeper.RunFor(3 * kSecond);
    EXPECT_EQ(keeper.LinesWith("plugged in again"), 1) << keeper.Log();
    EXPECT_EQ(keeper.sends.back() - plugged, 2 * KeeperTimes::kSettle)
        << "a poll after a quiet second, then the apply after another";

    // Away long enough for a poll to see it.
    keeper.cameraPresent = false;
    keeper.RunFor(2 * kMinute);
    EXPECT_EQ(keeper.LinesWith("the station's camera \"Desk Cam\" left"), 1);
    keeper.cameraPresent = true;
    keeper.cameraZoom = 100;
    keeper.RunFor(KeeperTimes::kPollAbsent + KeeperTimes::kSettle);
    EXPECT_EQ(keeper.cameraZoom, 320);
}

TEST(KeeperRules, OtherDevicesAndBurstsOfEventsGiveNoExtraApplies) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.hold = false;  // only triggers apply
    keeper.Start();
    keeper.RunFor(kMinute);
    ASSERT_EQ(keeper.applies.size(), 2u);
    keeper.otherDevices = {"Other Cam"};
    keeper.RunFor(2 * kMinute);
    keeper.otherDevices.clear();
    keeper.RunFor(2 * kMinute);
    EXPECT_EQ(keeper.applies.size(), 2u) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("device \"Other Cam\" arrived (not the station's camera)"), 1);
    EXPECT_EQ(keeper.LinesWith("device \"Other Cam\" left"), 1);

    for (int i = 0; i < 5; ++i) {
        keeper.Notify(i % 2 ? DeviceChange::Arrived : DeviceChange::Removed);
        keeper.RunFor(400);
    }
    keeper.RunFor(kMinute);
    EXPECT_EQ(keeper.applies.size(), 4u) << "one apply and its confirmation";
}

TEST(KeeperRules, MissingSettingsApplyNothingUntilTheyAreBack) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.settingsPresent = false;
    keeper.storedZoom.reset();
    keeper.Start();
    keeper.RunFor(kMinute);
    EXPECT_TRUE(keeper.outcomes.empty()) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("config.dat is missing"), 1);

    keeper.settingsPresent = true;
    keeper.RunFor(kMinute);
    EXPECT_TRUE(keeper.outcomes.empty()) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("config.ini holds no zoom"), 1) << "logged once, not at each look";
    EXPECT_EQ(keeper.cameraZoom, 100);

    keeper.storedZoom = 280;
    keeper.RunFor(KeeperTimes::kPollAbsent + 100);
    EXPECT_EQ(keeper.cameraZoom, 280) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("config.ini holds a zoom again"), 1);
}

TEST(KeeperRules, ResumeFromSleepIsATrigger) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(kMinute);
    keeper.cameraZoom = 100;
    keeper.Resume();
    keeper.RunFor(KeeperTimes::kSettle);
    EXPECT_EQ(keeper.cameraZoom, 320);
    EXPECT_EQ(keeper.LinesWith("resumed: the camera's zoom was 100; set to 320"), 1)
        << keeper.Log();
}

TEST(KeeperRules, TickWrapChangesNothing) {
    KeeperHarness plain;
    KeeperHarness wrapping(0xFFFFFFFFu - 30 * kSecond);
    for (KeeperHarness* keeper : {&plain, &wrapping}) {
        keeper->Start();
        keeper->RunFor(12 * kSecond);
        keeper->cameraPresent = true;
        keeper->RunFor(5 * kMinute);
        keeper->cameraZoom = 150;
        keeper->RunFor(kMinute);
    }
    EXPECT_EQ(plain.applies, wrapping.applies);
    EXPECT_EQ(plain.log, wrapping.log);
}

TEST(KeeperRules, StopQuitsAndNothingFollows) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(5 * kSecond);
    keeper.Stop();
    EXPECT_TRUE(keeper.Quit());
    const std::size_t applies = keeper.applies.size();
    keeper.RunFor(10 * kMinute);
    EXPECT_EQ(keeper.applies.size(), applies);
    EXPECT_EQ(keeper.log.back(), "stopped");
}

TEST(KeeperRules, KeptControlsAreHeldWithTheZoomAndARefusedOneIsLeftAloneUntilTheNextArrival) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.keptControls = {{"focus", "40"}, {"exposure", "-6"}, {"iris", "3"}, {"gain", "20"}};
    keeper.cameraControls = {{"focus", "auto"}, {"exposure", "auto"}, {"gain", "10"}};
    keeper.refusedControls = {"exposure"};
    keeper.Start();
    keeper.RunFor(kMinute);
    EXPECT_EQ(keeper.cameraControls["focus"], "40");
    EXPECT_EQ(keeper.cameraControls["gain"], "20") << "a refusal does not stop the others";
    EXPECT_EQ(keeper.LinesWith("at start: focus was auto; set to 40"), 1) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("the camera refused exposure=-6; left alone"), 1);
    EXPECT_EQ(keeper.LinesWith("the camera has no iris to set"), 1);
    EXPECT_EQ(keeper.ReportsOf(KeeperEvent::CameraRefusedSetting), 1);
    EXPECT_EQ(keeper.leftAloneSeen, (std::vector<std::string>{"exposure", "iris"}));

    // Another program's visit resets focus: the check sets it back, as it would the zoom.
    keeper.cameraControls["focus"] = "auto";
    keeper.RunFor(KeeperTimes::kCheck);
    EXPECT_EQ(keeper.cameraControls["focus"], "40");
    EXPECT_EQ(keeper.LinesWith("check: focus was auto; set to 40"), 1);

    // A new arrival asks for everything again.
    keeper.cameraPresent = false;
    keeper.RunFor(2 * kMinute);
    keeper.refusedControls.clear();
    keeper.cameraPresent = true;
    keeper.RunFor(kMinute);
    EXPECT_EQ(keeper.cameraControls["exposure"], "-6") << keeper.Log();
}

TEST(KeeperRules, IgnoredCameraLinesAreLoggedOnceUntilTheyChange) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.ignoredLines = {"[camera] sharpnes=3: no such control"};
    keeper.Start();
    keeper.RunFor(2 * kMinute);
    EXPECT_EQ(keeper.LinesWith("[camera] sharpnes=3: no such control; ignored"), 1) << keeper.Log();
    keeper.ignoredLines.push_back(
        "[camera] gain=loud: the value is neither a whole number nor auto");
    keeper.RunFor(kMinute);
    EXPECT_EQ(keeper.LinesWith("[camera] gain=loud"), 1);
    EXPECT_EQ(keeper.LinesWith("[camera] sharpnes=3"), 2);
    EXPECT_GT(keeper.applies.size(), 8u) << "the lines were checked at every apply";
}

TEST(KeeperRules, OutcomesReadInTheLog) {
    EXPECT_EQ(ApplyOutcomeText(AutosetExitCode::Applied),
              "applied (the stored zoom is on the camera)");
    EXPECT_EQ(ApplyOutcomeText(AutosetExitCode::NoCamera), "no camera");
    EXPECT_EQ(ApplyOutcomeText(AutosetExitCode::NoZoom), "the camera has no usable zoom");
    EXPECT_EQ(ApplyOutcomeText(AutosetExitCode::Refused), "the camera refused the stored zoom");
}

}  // namespace
