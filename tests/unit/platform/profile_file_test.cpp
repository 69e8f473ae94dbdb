#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/profile.h"
#include "unit/platform/files_temp_folder.h"

namespace {

class ProfileFile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder.Valid()); }
    std::string Ini() const { return folder.File("config.ini"); }

    TempFolder folder;
};

// A file as a person writes it: other sections, comments, odd spacing, quotes, CRLF.
const std::string kHandWritten =
    "; station tool options\r\n"
    "\r\n"
    "[Display]\r\n"
    "  Title = \"Camera one\"  \r\n"
    "\tscale=1.5\r\n"
    "\r\n"
    "[OPTIONS]\r\n"
    "; the zoom the station applies\r\n"
    "   ZOOM   =   '120'   \r\n"
    "brightness=7\r\n"
    "\r\n"
    "[Later]\r\n"
    "x=\"quoted ; not a comment\"\r\n";

}  // namespace

TEST_F(ProfileFile, AHandWrittenFileKeepsEveryByteButTheChangedKey) {
    folder.Write("config.ini", kHandWritten);
    EXPECT_EQ(ReadProfileString("options", "zoom", "", Ini()), "120");

    ASSERT_TRUE(WriteProfileString("options", "zoom", "45", Ini()));
    std::string expected = kHandWritten;
    expected.replace(expected.find("   ZOOM   =   '120'   "), 22, "ZOOM=45");
    EXPECT_EQ(folder.Read("config.ini"), expected);

    EXPECT_EQ(ReadProfileString("options", "zoom", "", Ini()), "45");
    EXPECT_EQ(ReadProfileString("display", "title", "", Ini()), "Camera one");
    EXPECT_EQ(ReadProfileString("later", "x", "", Ini()), "quoted ; not a comment");
}

TEST_F(ProfileFile, AnAddedKeyLeavesTheRestAsItWas) {
    folder.Write("config.ini", kHandWritten);
    ASSERT_TRUE(WriteProfileString("Display", "mode", "2", Ini()));
    std::string expected = kHandWritten;
    expected.insert(expected.find("\tscale=1.5\r\n") + 12, "mode=2\r\n");
    EXPECT_EQ(folder.Read("config.ini"), expected);
}

TEST_F(ProfileFile, LineFeedFilesGetLineFeedLines) {
    folder.Write("config.ini", "[a]\nx=1\n");
    ASSERT_TRUE(WriteProfileString("options", "zoom", "0", Ini()));
    EXPECT_EQ(folder.Read("config.ini"), "[a]\nx=1\n[options]\nzoom=0\n");
}

TEST_F(ProfileFile, MissingThingsGiveTheDefault) {
    EXPECT_EQ(ReadProfileString("options", "zoom", "dflt", Ini()), "dflt");
    folder.Write("config.ini", "[options]\r\nzoom=\r\n");
    EXPECT_EQ(ReadProfileString("options", "zoom", "dflt", Ini()), "");
    EXPECT_EQ(ReadProfileString("options", "other", "dflt", Ini()), "dflt");
    EXPECT_EQ(ReadProfileString("nothing", "zoom", "dflt", Ini()), "dflt");
}

TEST_F(ProfileFile, AWriteCreatesTheFileWithTheUsualPermissions) {
    ASSERT_TRUE(WriteProfileString("options", "zoom", "0", Ini()));
    EXPECT_EQ(folder.Read("config.ini"), "[options]\r\nzoom=0\r\n");
    auto perms = std::filesystem::status(Ini()).permissions();
    EXPECT_NE(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);
    // No temporary file is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Folder()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(ProfileFile, AReadOnlyFileRefusesWritesAndStaysIntact) {
    folder.Write("config.ini", kHandWritten);
    std::filesystem::permissions(
        Ini(), std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_FALSE(WriteProfileString("options", "zoom", "1", Ini()));
    EXPECT_EQ(folder.Read("config.ini"), kHandWritten);
    EXPECT_EQ(ReadProfileString("options", "zoom", "", Ini()), "120");
}

TEST_F(ProfileFile, WritesGoThroughASymbolicLinkToItsTarget) {
    folder.Write("real.ini", "[options]\nzoom=1\n");
    std::filesystem::create_symlink(folder.File("real.ini"), Ini());
    ASSERT_TRUE(WriteProfileString("options", "zoom", "2", Ini()));
    EXPECT_TRUE(std::filesystem::is_symlink(Ini()));
    EXPECT_EQ(folder.Read("real.ini"), "[options]\nzoom=2\n");
}

TEST_F(ProfileFile, UnwritablePlacesFail) {
    std::filesystem::create_directory(Ini());
    EXPECT_FALSE(WriteProfileString("options", "zoom", "1", Ini()));
    EXPECT_FALSE(WriteProfileString("options", "zoom", "1", folder.File("no/such/config.ini")));
    EXPECT_TRUE(FlushProfile(Ini()));
}
