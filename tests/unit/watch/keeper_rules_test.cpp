#include "watch/keeper_rules.h"

#include <gtest/gtest.h>

#include "unit/watch/keeper_harness.h"

namespace {

constexpr Tick kSecond = 1000;
constexpr Tick kMinute = 60 * kSecond;

// Gaps between one child's end and the next child's start, with children of 1.5 s.
std::vector<Tick> GapsAfterEnds(const std::vector<Tick>& starts, Tick duration) {
    std::vector<Tick> gaps;
    for (std::size_t i = 1; i < starts.size(); ++i) {
        gaps.push_back(starts[i] - starts[i - 1] - duration);
    }
    return gaps;
}

TEST(KeeperRules, LateCameraIsAppliedWhenItArrivesAndConfirmedOnce) {
    KeeperHarness keeper;
    keeper.Start();
    keeper.RunFor(12 * kSecond);
    keeper.cameraPresent = true;
    const Tick arrival = keeper.Elapsed();
    keeper.RunFor(30 * kMinute);

    ASSERT_GE(keeper.childCodes.size(), 5u) << keeper.Log();
    const std::vector<std::uint32_t> expected = {2, 2, 2, 0, 0};
    EXPECT_EQ(keeper.childCodes, expected) << keeper.Log();
    // Runs at 0, 3.5 and 10 s; the camera, seen by the next poll, gets its run a settling
    // second later; then the confirming run, and nothing more.
    EXPECT_LE(keeper.childStarts[3] - arrival, KeeperTimes::kPollAbsent + KeeperTimes::kSettle);
    EXPECT_EQ(keeper.childStarts[4] - keeper.childStarts[3], 1500 + KeeperTimes::kConfirm);
    EXPECT_EQ(keeper.LinesWith("retry in 2 s"), 1);
    EXPECT_EQ(keeper.LinesWith("retry in 5 s"), 1);
    EXPECT_EQ(keeper.LinesWith("the station's camera \"Desk Cam\" arrived"), 1);
    EXPECT_EQ(keeper.LinesWith("autoset ended with 2 (no camera)"), 3);
    EXPECT_EQ(keeper.LinesWith("the zoom held;"), 1);
}

TEST(KeeperRules, ReplugAfterAppliedRunsOnceMore) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(2 * kMinute);
    ASSERT_EQ(keeper.childCodes, (std::vector<std::uint32_t>{0, 0})) << keeper.Log();

    // Unplugged long enough for a poll to see it gone (polls run a minute apart while present).
    keeper.cameraPresent = false;
    keeper.RunFor(kMinute + 5 * kSecond);
    EXPECT_EQ(keeper.LinesWith("the station's camera \"Desk Cam\" left"), 1);
    EXPECT_EQ(keeper.childStarts.size(), 2u) << "nothing runs for a camera that left";
    keeper.cameraPresent = true;
    const Tick plugged = keeper.Elapsed();
    keeper.RunFor(5 * kMinute);
    ASSERT_EQ(keeper.childCodes, (std::vector<std::uint32_t>{0, 0, 0, 0})) << keeper.Log();
    EXPECT_LE(keeper.childStarts[2] - plugged, KeeperTimes::kPollAbsent + KeeperTimes::kSettle);
}

TEST(KeeperRules, ReplugBetweenPollsIsSeenThroughTheNotifications) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(kMinute);
    ASSERT_EQ(keeper.childStarts.size(), 2u);

    // Gone and back within a second: every poll sees the camera, only the platform saw it go.
    keeper.Notify(DeviceChange::Removed);
    keeper.RunFor(300);
    keeper.Notify(DeviceChange::Arrived);
    const Tick plugged = keeper.Elapsed();
    keeper.RunFor(3 * kMinute);
    ASSERT_EQ(keeper.childStarts.size(), 4u) << keeper.Log();
    EXPECT_EQ(keeper.childStarts[2] - plugged, 2 * KeeperTimes::kSettle)
        << "a poll after a quiet second, then the run after another";
    EXPECT_EQ(keeper.LinesWith("plugged in again"), 1);
}

TEST(KeeperRules, AfterAppliedOneConfirmingRunTenSecondsLaterThenOnlyPolls) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(20 * kMinute);
    ASSERT_EQ(keeper.childStarts.size(), 2u) << keeper.Log();
    EXPECT_EQ(keeper.childStarts[0], 0u);
    EXPECT_EQ(keeper.childStarts[1], 1500 + KeeperTimes::kConfirm);
    EXPECT_EQ(keeper.LinesWith("confirming run in 10 s"), 1);
    // Polls about once a minute while the camera is there.
    EXPECT_GE(keeper.polls, 19);
    EXPECT_LE(keeper.polls, 22);
}

TEST(KeeperRules, ConfirmingRunThatFindsTheCameraGoneRetries) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(5 * kSecond);
    keeper.cameraPresent = false;  // the poll a minute apart has not seen it yet
    keeper.RunFor(15 * kSecond);
    ASSERT_GE(keeper.childCodes.size(), 2u);
    EXPECT_EQ(keeper.childCodes[1], 2u);
    EXPECT_EQ(keeper.LinesWith("retry in 2 s"), 1) << keeper.Log();
}

TEST(KeeperRules, RefusalIsNotRetried) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.codeWithCamera = 4;
    keeper.Start();
    keeper.RunFor(30 * kMinute);
    EXPECT_EQ(keeper.childCodes, (std::vector<std::uint32_t>{4})) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("autoset ended with 4 (the camera refused the stored zoom)"), 1);
    EXPECT_EQ(keeper.LinesWith("no retry"), 1);

    // The next arrival is a new trigger, and a refusal again ends it.
    keeper.cameraPresent = false;
    keeper.RunFor(2 * kMinute);
    keeper.cameraPresent = true;
    keeper.RunFor(10 * kMinute);
    EXPECT_EQ(keeper.childCodes, (std::vector<std::uint32_t>{4, 4})) << keeper.Log();
}

TEST(KeeperRules, CameraWithoutZoomIsRetriedWithBackoffForTenMinutesThenLeftAlone) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.codeWithCamera = 3;
    keeper.Start();
    keeper.RunFor(60 * kMinute);

    const std::vector<Tick> gaps = GapsAfterEnds(keeper.childStarts, 1500);
    ASSERT_GE(gaps.size(), 6u) << keeper.Log();
    const std::vector<Tick> backoff = {2000, 5000, 10'000, 30'000, 60'000, 60'000};
    EXPECT_EQ(std::vector<Tick>(gaps.begin(), gaps.begin() + 6), backoff);
    for (Tick gap : gaps) EXPECT_LE(gap, 60'000u);
    // The retry bound: no run starts more than ten minutes after the trigger, and the last one
    // is less than a retry's delay away from the bound.
    EXPECT_LE(keeper.childStarts.back(), KeeperTimes::kRetryWindow);
    EXPECT_GT(keeper.childStarts.back() + 1500 + 60'000, KeeperTimes::kRetryWindow);
    EXPECT_EQ(keeper.LinesWith("gave up retrying"), 1) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("autoset ended with 3 (the camera has no usable zoom)"),
              static_cast<int>(keeper.childStarts.size()));
}

TEST(KeeperRules, ArrivalResetsTheRetryBound) {
    KeeperHarness keeper;
    keeper.Start();
    keeper.RunFor(20 * kMinute);
    const std::size_t firstTrigger = keeper.childStarts.size();
    EXPECT_LE(keeper.childStarts.back(), KeeperTimes::kRetryWindow);
    EXPECT_EQ(keeper.LinesWith("gave up retrying"), 1);

    keeper.cameraPresent = true;
    keeper.RunFor(kMinute);
    ASSERT_EQ(keeper.childStarts.size(), firstTrigger + 2) << keeper.Log();
    EXPECT_EQ(keeper.childCodes.back(), 0u);
}

TEST(KeeperRules, OtherDevicesComingAndGoingStartNoRun) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(kMinute);
    ASSERT_EQ(keeper.childStarts.size(), 2u);

    keeper.otherDevices = {"Document Camera"};
    keeper.Notify(DeviceChange::Arrived);
    keeper.RunFor(3 * kMinute);
    keeper.otherDevices.clear();
    keeper.RunFor(3 * kMinute);
    EXPECT_EQ(keeper.childStarts.size(), 2u) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("device \"Document Camera\" arrived (not the station's camera)"), 1);
    EXPECT_EQ(keeper.LinesWith("device \"Document Camera\" left"), 1);
}

TEST(KeeperRules, OtherDeviceArrivingWhileTheCameraIsAbsentStartsNoRun) {
    KeeperHarness keeper;
    keeper.Start();
    keeper.RunFor(15 * kMinute);  // retries given up
    const std::size_t runs = keeper.childStarts.size();
    keeper.otherDevices = {"Document Camera"};
    keeper.RunFor(5 * kMinute);
    EXPECT_EQ(keeper.childStarts.size(), runs) << keeper.Log();
}

TEST(KeeperRules, BurstOfDeviceEventsGivesOneRun) {
    KeeperHarness keeper;
    keeper.Start();
    keeper.RunFor(15 * kMinute);  // absent; retries given up
    const std::size_t runs = keeper.childStarts.size();

    // One plug: a removal and several arrivals of the camera's interfaces within half a second.
    keeper.cameraPresent = true;
    for (int i = 0; i < 6; ++i) {
        keeper.Notify(i == 0 ? DeviceChange::Removed : DeviceChange::Arrived);
        keeper.RunFor(100);
    }
    const Tick lastEvent = keeper.Elapsed() - 100;
    keeper.RunFor(5 * kSecond);
    ASSERT_EQ(keeper.childStarts.size(), runs + 1) << keeper.Log();
    EXPECT_GE(keeper.childStarts.back() - lastEvent, KeeperTimes::kSettle)
        << "the run waits for a quiet second";
    keeper.RunFor(kMinute);
    EXPECT_EQ(keeper.childStarts.size(), runs + 2) << "and its confirming run only";
}

TEST(KeeperRules, ArrivalWhileAChildRunsGivesOneRunAfterIt) {
    KeeperHarness keeper;
    keeper.childDuration = 8 * kSecond;
    keeper.Start();
    keeper.RunFor(2 * kSecond);  // the start's child runs, without a camera
    keeper.cameraPresent = true;
    keeper.Notify(DeviceChange::Arrived);
    keeper.RunFor(500);
    keeper.Notify(DeviceChange::Arrived);
    keeper.RunFor(20 * kSecond);
    // The harness fails on a second child while one runs.
    ASSERT_GE(keeper.childCodes.size(), 2u) << keeper.Log();
    EXPECT_EQ(keeper.childCodes[0], 2u);
    EXPECT_EQ(keeper.childCodes[1], 0u);
    EXPECT_EQ(keeper.childStarts[1], 8 * kSecond + KeeperTimes::kSettle)
        << "one poll and one run once the child has ended";
    keeper.RunFor(kMinute);
    EXPECT_EQ(keeper.childCodes, (std::vector<std::uint32_t>{2, 0, 0})) << keeper.Log();
}

TEST(KeeperRules, ResumeFromSleepIsATrigger) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(10 * kMinute);
    ASSERT_EQ(keeper.childStarts.size(), 2u);
    keeper.Resume();
    keeper.RunFor(kMinute);
    EXPECT_EQ(keeper.childStarts.size(), 4u) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("resumed from sleep"), 1);
    EXPECT_EQ(keeper.LinesWith("autoset started (resumed)"), 1);
}

TEST(KeeperRules, MissingSettingsStartNoChildUntilTheFileIsBack) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.settingsPresent = false;
    keeper.Start();
    keeper.RunFor(5 * kMinute);
    EXPECT_TRUE(keeper.childStarts.empty()) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("autoset not started: config.dat is missing"), 1);

    keeper.settingsPresent = true;
    const Tick back = keeper.Elapsed();
    keeper.RunFor(kMinute);
    ASSERT_EQ(keeper.childStarts.size(), 2u) << keeper.Log();
    EXPECT_LE(keeper.childStarts[0] - back, KeeperTimes::kPollAbsent + KeeperTimes::kSettle);
}

TEST(KeeperRules, ChildThatDoesNotEndBlocksRunsAndIsLeftToThePerson) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.childDuration.reset();
    keeper.Start();
    keeper.RunFor(30 * kMinute);
    keeper.Resume();
    keeper.RunFor(kMinute);
    EXPECT_EQ(keeper.childStarts.size(), 1u);
    EXPECT_EQ(keeper.LinesWith("it waits for someone at the station"), 1) << keeper.Log();
    EXPECT_EQ(keeper.polls, 1) << "no poll while a child runs: it holds config.dat";

    keeper.Stop();
    EXPECT_TRUE(keeper.quit);
    EXPECT_EQ(keeper.endedChildren, 0);
    EXPECT_EQ(keeper.LinesWith("stopped; autoset left running"), 1);
}

TEST(KeeperRules, StopEndsItsOwnFreshChild) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.childDuration = 20 * kSecond;
    keeper.Start();
    keeper.RunFor(kSecond);
    keeper.Stop();
    EXPECT_TRUE(keeper.quit);
    EXPECT_EQ(keeper.endedChildren, 1);
    EXPECT_EQ(keeper.log.back(), "stopped");
}

TEST(KeeperRules, IdleStopQuits) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.Start();
    keeper.RunFor(5 * kMinute);
    keeper.Stop();
    EXPECT_TRUE(keeper.quit);
    EXPECT_EQ(keeper.endedChildren, 0);
    EXPECT_EQ(keeper.log.front(), "started");
    EXPECT_EQ(keeper.log.back(), "stopped");
}

// The same story told from a clock that wraps in the middle of it.
struct Story {
    std::vector<Tick> starts;
    std::vector<std::uint32_t> codes;
    std::vector<std::string> log;
    int polls;
};

Story LateCameraStory(Tick startTick) {
    KeeperHarness keeper(startTick);
    keeper.Start();
    keeper.RunFor(7 * kSecond);
    keeper.cameraPresent = true;
    keeper.RunFor(3 * kMinute);
    keeper.cameraPresent = false;
    keeper.RunFor(90 * kSecond);
    keeper.cameraPresent = true;
    keeper.RunFor(20 * kMinute);
    return {keeper.childStarts, keeper.childCodes, keeper.log, keeper.polls};
}

TEST(KeeperRules, TickWrapChangesNothing) {
    const Story plain = LateCameraStory(1000);
    for (Tick start : {0xFFFFFFFFu - 3000u, 0xFFFFFFFFu - 100'000u, 0x7FFFFFFFu - 2000u}) {
        const Story wrapped = LateCameraStory(start);
        EXPECT_EQ(wrapped.starts, plain.starts) << start;
        EXPECT_EQ(wrapped.codes, plain.codes) << start;
        EXPECT_EQ(wrapped.log, plain.log) << start;
        EXPECT_EQ(wrapped.polls, plain.polls) << start;
    }
    EXPECT_EQ(plain.codes, (std::vector<std::uint32_t>{2, 2, 0, 0, 0, 0}));
}

TEST(KeeperRules, ExitCodesReadInTheLog) {
    EXPECT_EQ(AutosetExitText(0), "0 (the stored zoom is on the camera)");
    EXPECT_EQ(AutosetExitText(2), "2 (no camera)");
    EXPECT_EQ(AutosetExitText(3), "3 (the camera has no usable zoom)");
    EXPECT_EQ(AutosetExitText(4), "4 (the camera refused the stored zoom)");
    EXPECT_EQ(AutosetExitText(1), "unexpected exit code 1");
    EXPECT_EQ(AutosetExitText(0xC0000005u), "unexpected exit code 3221225477");
}

TEST(KeeperRules, UnexpectedExitCodeIsRetriedLikeAMissingCamera) {
    KeeperHarness keeper;
    keeper.cameraPresent = true;
    keeper.codeWithCamera = 0xC0000005u;
    keeper.Start();
    keeper.RunFor(10 * kSecond);
    EXPECT_EQ(keeper.LinesWith("unexpected exit code 3221225477"), 2) << keeper.Log();
    EXPECT_EQ(keeper.LinesWith("retry in 2 s"), 1);
}

}  // namespace
