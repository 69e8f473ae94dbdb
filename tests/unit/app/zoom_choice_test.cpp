#include "app/zoom_choice.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

namespace {

ZoomControlReading Read(std::int32_t min, std::int32_t max, std::int32_t step, std::int32_t value) {
    return {0, min, max, step, value};
}

TEST(ZoomRange, SnapsToTheNearestStepAndKeepsTheEnds) {
    const ZoomRange range{100, 500, 10};
    EXPECT_EQ(range.Snap(100), 100);
    EXPECT_EQ(range.Snap(104), 100);
    EXPECT_EQ(range.Snap(105), 110) << "a tie goes up";
    EXPECT_EQ(range.Snap(106), 110);
    EXPECT_EQ(range.Snap(99), 100);
    EXPECT_EQ(range.Snap(501), 500);
    EXPECT_EQ(range.Snap(std::numeric_limits<std::int64_t>::min()), 100);
    EXPECT_EQ(range.Snap(std::numeric_limits<std::int64_t>::max()), 500);
}

TEST(ZoomRange, ARangeTheStepDoesNotDivideStillReachesItsMaximum) {
    const ZoomRange range{0, 255, 10};
    EXPECT_EQ(range.Snap(249), 250);
    EXPECT_EQ(range.Snap(252), 250);
    EXPECT_EQ(range.Snap(253), 255) << "255 lies nearer than 250";
    EXPECT_EQ(range.Snap(255), 255);
}

TEST(ZoomRange, NegativeRangesSnapFromTheirMinimum) {
    const ZoomRange range{-50, 50, 25};
    EXPECT_EQ(range.Snap(-40), -50);
    EXPECT_EQ(range.Snap(-37), -25) << "a tie goes up";
    EXPECT_EQ(range.Snap(12), 0);
    EXPECT_EQ(range.Snap(13), 25);
}

TEST(ZoomRange, PageIsATenthOfTheRangeInWholeStepsAndAtLeastOneStep) {
    EXPECT_EQ((ZoomRange{100, 500, 1}).PageSize(), 40);
    EXPECT_EQ((ZoomRange{100, 500, 10}).PageSize(), 40);
    EXPECT_EQ((ZoomRange{100, 500, 15}).PageSize(), 30) << "40 rounded down to whole steps";
    EXPECT_EQ((ZoomRange{0, 10, 5}).PageSize(), 5) << "a tenth below one step is one step";
    EXPECT_EQ((ZoomRange{7, 7, 1}).PageSize(), 1);
    EXPECT_EQ((ZoomRange{std::numeric_limits<std::int32_t>::min(),
                         std::numeric_limits<std::int32_t>::max(), 1})
                  .PageSize(),
              429496729);
}

TEST(StartZoomChoice, UsableReadingGivesTheRangeAndTheSnappedZoom) {
    const ZoomChoiceStart start = StartZoomChoice(true, Read(100, 500, 10, 254));
    ASSERT_EQ(start.status, ZoomChoiceStatus::Usable);
    EXPECT_EQ(start.range.min, 100);
    EXPECT_EQ(start.range.max, 500);
    EXPECT_EQ(start.range.step, 10);
    EXPECT_EQ(start.initial, 250);
    EXPECT_TRUE(ZoomUnavailableText(start.status).empty());
}

TEST(StartZoomChoice, AStepOfZeroOrLessMovesOneByOne) {
    for (std::int32_t step : {0, -5}) {
        const ZoomChoiceStart start = StartZoomChoice(true, Read(1, 9, step, 4));
        ASSERT_EQ(start.status, ZoomChoiceStatus::Usable) << step;
        EXPECT_EQ(start.range.step, 1) << step;
        EXPECT_EQ(start.range.Snap(6), 6) << step;
        EXPECT_EQ(start.initial, 4) << step;
    }
}

TEST(StartZoomChoice, ARangeOfOneValueHoldsOnlyThatValue) {
    const ZoomChoiceStart start = StartZoomChoice(true, Read(120, 120, 0, 90));
    ASSERT_EQ(start.status, ZoomChoiceStatus::Usable);
    EXPECT_EQ(start.initial, 120) << "a reported zoom outside the range goes to its end";
    EXPECT_EQ(start.range.Snap(0), 120);
    EXPECT_EQ(start.range.Snap(1000), 120);
}

TEST(StartZoomChoice, WhatCannotBeChosenSaysWhyInOneLine) {
    struct Case {
        const char* what;
        bool open;
        ZoomControlReading reading;
        ZoomChoiceStatus expected;
    };
    const Case cases[] = {
        {"no camera, even with a reading", false, Read(1, 9, 1, 5), ZoomChoiceStatus::NoCamera},
        {"no camera control", true, {1, -1, -1, 0, 0}, ZoomChoiceStatus::NoZoom},
        {"zoom unreadable",
         true,
         {static_cast<std::int32_t>(0x80004005), -1, -1, 0, 0},
         ZoomChoiceStatus::NoZoom},
        {"minimum above maximum", true, Read(500, 100, 1, 300), ZoomChoiceStatus::EmptyRange},
    };
    for (const Case& c : cases) {
        const ZoomChoiceStart start = StartZoomChoice(c.open, c.reading);
        EXPECT_EQ(start.status, c.expected) << c.what;
        const std::string text = ZoomUnavailableText(start.status);
        EXPECT_FALSE(text.empty()) << c.what;
        EXPECT_EQ(text.find('\n'), std::string::npos) << c.what;
    }
}

TEST(ZoomSettingPacer, AMoveAfterAQuietIntervalIsSentAtOnce) {
    ZoomSettingPacer pacer(100);
    EXPECT_EQ(pacer.Moved(110, 1000), 110);
    EXPECT_EQ(pacer.Moved(120, 1050), 120) << "exactly one interval later";
    EXPECT_FALSE(pacer.Waiting());
    EXPECT_EQ(pacer.CameraZoom(), 120);
}

TEST(ZoomSettingPacer, ADragSendsAtMostOneSettingPerIntervalAndAlwaysTheLastPosition) {
    ZoomSettingPacer pacer(100);
    int sent = 0;
    std::optional<std::int32_t> last;
    // A thumb dragged from 101 to 300, one position per millisecond; the timer runs every 10 ms.
    std::uint32_t lastSentAt = 0;
    for (std::uint32_t t = 0; t < 200; ++t) {
        std::optional<std::int32_t> now = pacer.Moved(static_cast<std::int32_t>(101 + t), 5000 + t);
        if (t % 10 == 9 && !now) now = pacer.Due(5000 + t);
        if (now) {
            if (sent > 0) {
                EXPECT_GE(5000 + t - lastSentAt, 50u) << "at " << t;
            }
            lastSentAt = 5000 + t;
            ++sent;
            last = now;
        }
    }
    EXPECT_LE(sent, 4);
    EXPECT_GE(sent, 3);
    ASSERT_TRUE(pacer.Waiting()) << "the newest position waits for its time";
    EXPECT_EQ(pacer.Due(lastSentAt + 49), std::nullopt);
    EXPECT_EQ(pacer.Due(lastSentAt + 50), 300);
    EXPECT_FALSE(pacer.Waiting());
    EXPECT_EQ(pacer.Due(lastSentAt + 500), std::nullopt) << "nothing is sent twice";
}

TEST(ZoomSettingPacer, MovingBackToTheCamerasZoomSendsNothingAndDropsTheWaitingValue) {
    ZoomSettingPacer pacer(100);
    EXPECT_EQ(pacer.Moved(100, 0), std::nullopt);
    EXPECT_FALSE(pacer.SentAny());
    EXPECT_EQ(pacer.Moved(200, 10), 200);
    EXPECT_EQ(pacer.Moved(300, 20), std::nullopt);
    EXPECT_TRUE(pacer.Waiting());
    EXPECT_EQ(pacer.Moved(200, 30), std::nullopt);
    EXPECT_FALSE(pacer.Waiting());
    EXPECT_EQ(pacer.Due(1000), std::nullopt);
}

TEST(ZoomSettingPacer, FlushSendsTheWaitingValueAtOnce) {
    ZoomSettingPacer pacer(100);
    EXPECT_EQ(pacer.Flush(0), std::nullopt);
    EXPECT_EQ(pacer.Moved(150, 0), 150);
    EXPECT_EQ(pacer.Moved(160, 1), std::nullopt);
    EXPECT_EQ(pacer.Flush(2), 160);
    EXPECT_EQ(pacer.Flush(3), std::nullopt);
    EXPECT_EQ(pacer.CameraZoom(), 160);
    EXPECT_EQ(pacer.Moved(170, 20), std::nullopt) << "the flush counts as a setting";
    EXPECT_EQ(pacer.Due(52), 170);
}

TEST(ZoomSettingPacer, TheIntervalHoldsAcrossTheWrapOfTheTick) {
    ZoomSettingPacer pacer(0);
    EXPECT_EQ(pacer.Moved(1, 0xFFFFFFF0u), 1);
    EXPECT_EQ(pacer.Moved(2, 0x00000010u), std::nullopt) << "32 ms after the wrap";
    EXPECT_EQ(pacer.Due(0x00000022u), 2) << "50 ms after the wrap";
}

TEST(ZoomToRestore, CancelSetsBackOnlyAChangedZoom) {
    ZoomSettingPacer untouched(250);
    EXPECT_EQ(ZoomToRestore(250, untouched), std::nullopt);

    ZoomSettingPacer moved(250);
    moved.Moved(300, 0);
    EXPECT_EQ(ZoomToRestore(250, moved), 250);

    ZoomSettingPacer movedBack(250);
    movedBack.Moved(300, 0);
    movedBack.Moved(250, 100);  // sent: the camera had 300
    EXPECT_EQ(ZoomToRestore(250, movedBack), std::nullopt);

    ZoomSettingPacer onlyWaiting(250);
    onlyWaiting.Moved(300, 0);
    onlyWaiting.Moved(350, 10);  // never sent: the camera has 300
    EXPECT_EQ(ZoomToRestore(250, onlyWaiting), 250);
}

TEST(StoredZoomText, IsTheSignedDecimalTheOptionsFileHolds) {
    EXPECT_EQ(StoredZoomText(300), "300");
    EXPECT_EQ(StoredZoomText(-5), "-5");
    EXPECT_EQ(StoredZoomText(0), "0");
}

}  // namespace
