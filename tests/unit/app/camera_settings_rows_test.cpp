// The camera settings dialog's rules: which controls get a row and where it starts, Keep at the
// start, Defaults, the stored line, and the pacing and restore of value and mode together.
#include <gtest/gtest.h>

#include "app/camera_settings_rows.h"

namespace {

constexpr PictureControl kFocus = kPictureControls[6];
constexpr PictureControl kZoom = kPictureControls[3];
constexpr PictureControl kBrightness = kPictureControls[7];

PictureControlState Reading(std::int32_t min, std::int32_t max, std::int32_t step,
                            std::int32_t defaultValue, std::int32_t value, std::int32_t flags,
                            std::int32_t caps) {
    PictureControlState state;
    state.min = min;
    state.max = max;
    state.step = step;
    state.defaultValue = defaultValue;
    state.value = value;
    state.flags = flags;
    state.capsFlags = caps;
    return state;
}

TEST(StartSettingRow, AReadControlGivesItsRangeItsSnappedValueAndItsModes) {
    const auto row =
        StartSettingRow(kFocus, 0, Reading(0, 250, 5, 12, 33, kCameraControlFlagsAuto, 3), true);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->control.key, "focus");
    EXPECT_EQ(row->range.min, 0);
    EXPECT_EQ(row->range.max, 250);
    EXPECT_EQ(row->range.step, 5);
    EXPECT_EQ(row->sliderStart, 35) << "the slider lands on a step";
    EXPECT_EQ(row->atStart, (ControlSetting{33, true})) << "Cancel restores the camera's own";
    EXPECT_EQ(row->defaultValue, 10);
    EXPECT_TRUE(row->offersAuto);
    EXPECT_TRUE(row->keep);
}

TEST(StartSettingRow, OnlyAControlReportingAutomaticModeOrInItGetsAuto) {
    const auto manualOnly = StartSettingRow(
        kBrightness, 0, Reading(-64, 64, 1, 0, 10, kCameraControlFlagsManual, 2), false);
    ASSERT_TRUE(manualOnly);
    EXPECT_FALSE(manualOnly->offersAuto);
    EXPECT_FALSE(manualOnly->atStart.automatic);
    // Caps that the camera did not fill in, but the control runs automatically: the mode shows.
    const auto automaticNow = StartSettingRow(
        kBrightness, 0, Reading(-64, 64, 1, 0, 10, kCameraControlFlagsAuto, 0), false);
    ASSERT_TRUE(automaticNow);
    EXPECT_TRUE(automaticNow->offersAuto);
    EXPECT_TRUE(automaticNow->atStart.automatic);
    // Both bits, or none, read as manual, as setting it back would send it.
    const auto bothBits = StartSettingRow(kBrightness, 0, Reading(-64, 64, 1, 0, 10, 3, 2), false);
    ASSERT_TRUE(bothBits);
    EXPECT_FALSE(bothBits->atStart.automatic);
}

TEST(StartSettingRow, OnlyAControlInAutomaticModeReportingAutomaticAloneIsOnlyAutomatic) {
    const auto only = [](std::int32_t flags, std::int32_t caps) {
        const auto row = StartSettingRow(kFocus, 0, Reading(0, 250, 5, 0, 40, flags, caps), false);
        EXPECT_TRUE(row);
        return row && row->onlyAuto;
    };
    EXPECT_TRUE(only(kCameraControlFlagsAuto, kCameraControlFlagsAuto));
    EXPECT_FALSE(only(kCameraControlFlagsAuto, 3)) << "both modes reported";
    EXPECT_FALSE(only(kCameraControlFlagsAuto, 0)) << "no modes reported: not taken at its word";
    EXPECT_FALSE(only(kCameraControlFlagsManual, kCameraControlFlagsAuto))
        << "manual now: the camera takes manual values";
    EXPECT_FALSE(only(kCameraControlFlagsManual, kCameraControlFlagsManual));
}

TEST(StartSettingRow, AControlTheCameraDoesNotOfferOrAnEmptyRangeGetsNoRow) {
    const PictureControlState usable = Reading(0, 10, 1, 5, 5, 2, 2);
    EXPECT_FALSE(StartSettingRow(kFocus, 1, usable, false)) << "no interface";
    EXPECT_FALSE(StartSettingRow(kFocus, -2147023728, usable, false)) << "a failed reading";
    EXPECT_FALSE(StartSettingRow(kFocus, 0, Reading(10, 0, 1, 5, 5, 2, 2), false));
    const auto single = StartSettingRow(kFocus, 0, Reading(7, 7, 0, 7, 7, 2, 2), false);
    ASSERT_TRUE(single) << "a range of one value is still a control";
    EXPECT_EQ(single->range.step, 1);
}

TEST(StartsKept, ARowStartsKeptWhenItsControlIsInTheSectionOrForTheZoomWhenOneIsStored) {
    const std::vector<KeptSetting> kept = {{kFocus, 40}, {kBrightness, std::nullopt}};
    EXPECT_TRUE(StartsKept(kFocus, kept, false));
    EXPECT_TRUE(StartsKept(kBrightness, kept, false));
    EXPECT_FALSE(StartsKept(kPictureControls[4], kept, true)) << "exposure is not in it";
    EXPECT_TRUE(StartsKept(kZoom, {}, true));
    EXPECT_FALSE(StartsKept(kZoom, {{kZoom, 200}}, false)) << "the zoom lives in [options] only";
}

TEST(DefaultSetting, IsTheDefaultValueAndAutomaticWhereTheControlHasIt) {
    const auto focus = StartSettingRow(
        kFocus, 0, Reading(0, 250, 5, 12, 100, kCameraControlFlagsManual, 3), false);
    ASSERT_TRUE(focus);
    EXPECT_EQ(DefaultSetting(*focus), (ControlSetting{10, true}));
    const auto brightness =
        StartSettingRow(kBrightness, 0, Reading(-64, 64, 1, 3, 10, 2, 2), false);
    ASSERT_TRUE(brightness);
    EXPECT_EQ(DefaultSetting(*brightness), (ControlSetting{3, false}));
}

TEST(KeptSettingOf, ManualKeepsTheValueAutomaticKeepsAuto) {
    EXPECT_EQ(KeptSettingOf(kFocus, {120, false}), (KeptSetting{kFocus, 120}));
    EXPECT_EQ(KeptSettingOf(kFocus, {120, true}), (KeptSetting{kFocus, std::nullopt}));
    EXPECT_EQ(KeptValueText(KeptSettingOf(kFocus, {-6, false}).value), "-6");
}

TEST(ControlSettingPacer, ASwitchOfTheModeAloneIsASettingAndIsPacedLikeAMove) {
    ControlSettingPacer pacer({100, true});
    EXPECT_EQ(pacer.Moved({100, false}, 1000), (ControlSetting{100, false}));
    EXPECT_EQ(pacer.Moved({100, true}, 1010), std::nullopt) << "within 50 ms of the last";
    EXPECT_TRUE(pacer.Waiting());
    EXPECT_EQ(pacer.Due(1049), std::nullopt);
    EXPECT_EQ(pacer.Due(1050), (ControlSetting{100, true}));
    EXPECT_EQ(ControlSetting({100, true}).Flags(), kCameraControlFlagsAuto);
    EXPECT_EQ(ControlSetting({100, false}).Flags(), kCameraControlFlagsManual);
}

TEST(SettingToRestore, CancelSetsBackValueAndModeOnlyWhereTheCameraWasChanged) {
    const ControlSetting atStart{40, true};
    ControlSettingPacer untouched(atStart);
    EXPECT_EQ(SettingToRestore(atStart, untouched), std::nullopt);
    ControlSettingPacer modeOnly(atStart);
    modeOnly.Moved({40, false}, 0);
    EXPECT_EQ(SettingToRestore(atStart, modeOnly), atStart) << "the mode comes back too";
    ControlSettingPacer backAgain(atStart);
    backAgain.Moved({60, false}, 0);
    backAgain.Moved({40, true}, 100);
    EXPECT_EQ(SettingToRestore(atStart, backAgain), std::nullopt);
    ControlSettingPacer stillWaiting(atStart);
    stillWaiting.Moved({60, false}, 0);
    stillWaiting.Moved({40, true}, 10);  // waits: the camera still has 60
    EXPECT_EQ(SettingToRestore(atStart, stillWaiting), atStart);
}

TEST(CameraSettingsUnavailableText, SaysWhetherACameraIsOpen) {
    EXPECT_EQ(CameraSettingsUnavailableText(false), "No camera is open.");
    EXPECT_EQ(CameraSettingsUnavailableText(true),
              "The camera offers none of the picture controls.");
}

}  // namespace
