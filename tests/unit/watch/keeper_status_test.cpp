#include "watch/keeper_status.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "unit/platform/files_temp_folder.h"

namespace {

SavedKeeperState Applied() {
    SavedKeeperState saved;
    saved.state.camera = "\"Station Cam\"";
    saved.state.lastOutcome = AutosetExitCode::Applied;
    saved.state.lastText = "applied (the stored zoom is on the camera)";
    saved.at = "2026-12-10 14:03:11";
    return saved;
}

TEST(KeeperStatus, TheStateFileReadsBackWhatWasWritten) {
    SavedKeeperState saved = Applied();
    saved.state.holding = Holding::HeldOff;
    saved.state.lastText = "two\nlines";
    const std::string text = StateFileText(saved);
    std::optional<SavedKeeperState> read = ParseStateFile(text);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->state.camera, saved.state.camera);
    EXPECT_EQ(read->state.lastOutcome, AutosetExitCode::Applied);
    EXPECT_EQ(read->state.lastText, "two lines") << "a value stays on its line";
    EXPECT_EQ(read->state.holding, Holding::HeldOff);
    EXPECT_EQ(read->at, saved.at);

    SavedKeeperState never;
    std::optional<SavedKeeperState> none = ParseStateFile(StateFileText(never));
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->state.lastOutcome);

    EXPECT_FALSE(ParseStateFile(""));
    EXPECT_FALSE(ParseStateFile("camera=x\noutcome=7\nholding=on\n"));
    EXPECT_FALSE(ParseStateFile("outcome=0\nholding=sometimes\n"));
    EXPECT_TRUE(ParseStateFile("outcome=4\r\nholding=off\r\n"));
}

TEST(KeeperStatus, ExitCodesForFleetScripts) {
    KeeperStatus ok = StatusFor(Applied(), true);
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(ok.line,
              "camzoom watch: running; camera \"Station Cam\"; last check 2026-12-10 14:03:11: "
              "applied (the stored zoom is on the camera); holding on");

    EXPECT_EQ(StatusFor(Applied(), false).exitCode, 1) << "a keeper that does not run";
    EXPECT_EQ(StatusFor(Applied(), false).line.rfind("camzoom watch: not running;", 0), 0u);

    SavedKeeperState missing = Applied();
    missing.state.lastOutcome = AutosetExitCode::NoCamera;
    missing.state.lastText = "no camera";
    EXPECT_EQ(StatusFor(missing, true).exitCode, 1);

    SavedKeeperState unchecked;
    EXPECT_EQ(StatusFor(unchecked, true).exitCode, 1);
    EXPECT_NE(StatusFor(unchecked, true).line.find("no check yet"), std::string::npos);

    KeeperStatus never = StatusFor(std::nullopt, false);
    EXPECT_EQ(never.exitCode, 2);
    EXPECT_EQ(never.line, "camzoom watch: never ran for this user");
}

TEST(KeeperStatus, TheFileIsReplacedWhole) {
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    const std::filesystem::path path = folder.File("watch.state");
    ASSERT_TRUE(ReplaceFileWith(path, "first\n"));
    ASSERT_TRUE(ReplaceFileWith(path, "second\n"));
    EXPECT_EQ(folder.Read("watch.state"), "second\n");
    EXPECT_FALSE(folder.Exists("watch.state.new"));
    EXPECT_FALSE(ReplaceFileWith(folder.File("no-such-folder/watch.state"), "x"));
}

}  // namespace
