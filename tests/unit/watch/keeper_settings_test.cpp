#include "watch/keeper_settings.h"

#include <gtest/gtest.h>

#include "unit/platform/files_temp_folder.h"

namespace {

TEST(KeeperSettings, ReadsTheStoredZoomAsSetDoesAndTheHoldSwitchWithoutWriting) {
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    const std::string ini = folder.File("config.ini");

    KeeperSettings none = ReadKeeperSettings(ini);
    EXPECT_FALSE(none.zoomText);
    EXPECT_TRUE(none.hold);
    EXPECT_FALSE(folder.Exists("config.ini")) << "the keeper never writes config.ini";

    folder.Write("config.ini", "[options]\nzoom = 250\n[watch]\nhold = Off\n");
    KeeperSettings stored = ReadKeeperSettings(ini);
    EXPECT_EQ(stored.zoomText, std::optional<std::string>("250"));
    EXPECT_FALSE(stored.hold);
}

TEST(KeeperSettings, OnlyTheWordsForOffTurnHoldingOff) {
    for (const char* off : {"0", "off", "NO", " false "}) EXPECT_FALSE(HoldSettingOn(off)) << off;
    for (const char* on : {"", "1", "on", "yes", "2", "of"}) EXPECT_TRUE(HoldSettingOn(on)) << on;
}

}  // namespace
