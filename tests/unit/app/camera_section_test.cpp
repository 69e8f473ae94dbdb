#include "app/camera_section.h"

#include <gtest/gtest.h>

#include "unit/platform/files_temp_folder.h"

namespace {

KeptSetting Kept(std::string_view key, std::optional<std::int32_t> value) {
    return {*PictureControlByKey(key), value};
}

TEST(CameraSection, ValuesAreWholeNumbersOrAuto) {
    EXPECT_EQ(ParseKeptValue("40"), std::optional<std::optional<std::int32_t>>(40));
    EXPECT_EQ(ParseKeptValue("-13"), std::optional<std::optional<std::int32_t>>(-13));
    EXPECT_EQ(ParseKeptValue("+7"), std::optional<std::optional<std::int32_t>>(7));
    EXPECT_EQ(ParseKeptValue("-2147483648"),
              std::optional<std::optional<std::int32_t>>(std::numeric_limits<std::int32_t>::min()));
    EXPECT_EQ(ParseKeptValue("AUTO"), std::optional<std::optional<std::int32_t>>(std::in_place));
    for (const char* bad : {"", "-", "+", "2147483648", "-2147483649", "99999999999999999999",
                            "4.5", "0x10", "12 cm", "automatic", "1e3"}) {
        EXPECT_FALSE(ParseKeptValue(bad)) << bad;
    }
    EXPECT_EQ(KeptValueText(std::nullopt), "auto");
    EXPECT_EQ(KeptValueText(-6), "-6");
}

TEST(CameraSection, EveryBadLineIsIgnoredWithItsReasonAndTheRestKept) {
    const CameraSection section = CameraSectionFrom({{"focus", "40"},
                                                     {"Exposure", "auto"},
                                                     {"zoom", "250"},
                                                     {"sharpnes", "3"},
                                                     {"gain", "loud"},
                                                     {"whitebalance", "4600"},
                                                     {"FOCUS", "80"}});
    EXPECT_EQ(section.kept,
              (std::vector<KeptSetting>{Kept("focus", 40), Kept("exposure", std::nullopt),
                                        Kept("whitebalance", 4600)}));
    ASSERT_EQ(section.ignored.size(), 4u);
    EXPECT_EQ(section.ignored[0], "[camera] zoom=250: the zoom is kept in [options] zoom");
    EXPECT_EQ(section.ignored[1], "[camera] sharpnes=3: no such control");
    EXPECT_EQ(section.ignored[2],
              "[camera] gain=loud: the value is neither a whole number nor auto");
    EXPECT_EQ(section.ignored[3], "[camera] FOCUS=80: the control's first line counts");
}

TEST(CameraSection, WritingStoresExactlyTheKeptLinesAndLeavesTheRestOfTheFile) {
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    const std::string ini = folder.File("config.ini");
    EXPECT_TRUE(ReadCameraSection(ini).kept.empty()) << "no file, no section: nothing kept";

    folder.Write("config.ini",
                 "[options]\r\nzoom=250\r\n[camera]\r\nFocus=10\r\nmystery=1\r\ngain=5\r\n");
    EXPECT_FALSE(WriteCameraSection({Kept("focus", 40), Kept("exposure", std::nullopt)}, ini));
    const CameraSection read = ReadCameraSection(ini);
    EXPECT_EQ(read.kept,
              (std::vector<KeptSetting>{Kept("focus", 40), Kept("exposure", std::nullopt)}));
    ASSERT_EQ(read.ignored.size(), 1u) << "an unknown line is left for its owner";
    const std::string text = folder.Read("config.ini");
    EXPECT_NE(text.find("[options]\r\nzoom=250\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("gain"), std::string::npos) << "a control no longer kept goes";

    EXPECT_FALSE(WriteCameraSection({}, ini));
    EXPECT_TRUE(ReadCameraSection(ini).kept.empty());
}

}  // namespace
