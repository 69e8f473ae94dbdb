#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/options_file.h"
#include "unit/platform/files_temp_folder.h"

namespace {

class OptionsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.Valid());
        folder.ActAsExecutableFolder();
    }
    std::string Ini() const { return folder.File("config.ini"); }

    TempFolder folder;
};

}  // namespace

TEST_F(OptionsFile, AMissingFileIsCreatedWithTheDefault) {
    OptionReading reading = ReadOption("zoom", "0", true);
    EXPECT_FALSE(reading.failure);
    EXPECT_EQ(reading.value, "0");
    EXPECT_EQ(folder.Read("config.ini"), "[options]\r\nzoom=0\r\n");
    EXPECT_EQ(OptionsFilePath(), Ini());
}

TEST_F(OptionsFile, WithoutWriteDefaultNothingIsCreated) {
    OptionReading reading = ReadOption("zoom", "5", false);
    EXPECT_FALSE(reading.failure);
    EXPECT_EQ(reading.value, "5");
    EXPECT_FALSE(folder.Exists("config.ini"));
}

TEST_F(OptionsFile, AStoredValueIsReturnedAsItStands) {
    folder.Write("config.ini", "[Options]\nZOOM = abc \n");
    EXPECT_EQ(ReadOption("zoom", "0", true).value, "abc");
    folder.Write("config.ini", "[options]\nzoom=\"-12\"\n");
    EXPECT_EQ(ReadOption("zoom", "0", true).value, "-12");
    EXPECT_EQ(folder.Read("config.ini"), "[options]\nzoom=\"-12\"\n");
}

TEST_F(OptionsFile, AnEmptyStoredValueIsReplacedByTheDefault) {
    folder.Write("config.ini", "[options]\r\nzoom=\r\nother=1\r\n");
    EXPECT_EQ(ReadOption("zoom", "0", true).value, "0");
    EXPECT_EQ(folder.Read("config.ini"), "[options]\r\nzoom=0\r\nother=1\r\n");
}

TEST_F(OptionsFile, TheEmptyMarkerReadsAsEmptyAndStays) {
    folder.Write("config.ini", "[options]\r\nzoom=@sp\r\n");
    OptionReading reading = ReadOption("zoom", "0", true);
    EXPECT_FALSE(reading.failure);
    EXPECT_EQ(reading.value, "");
    EXPECT_EQ(folder.Read("config.ini"), "[options]\r\nzoom=@sp\r\n");
    // Letter case counts for the marker.
    folder.Write("config.ini", "[options]\r\nzoom=@SP\r\n");
    EXPECT_EQ(ReadOption("zoom", "0", true).value, "@SP");
}

TEST_F(OptionsFile, ADefaultOfTheEmptyMarkerIsWrittenBackThenReadsAsEmpty) {
    OptionReading reading = ReadOption("zoom", "@sp", true);
    EXPECT_FALSE(reading.failure);
    EXPECT_EQ(reading.value, "");
    EXPECT_EQ(folder.Read("config.ini"), "[options]\r\nzoom=@sp\r\n");
}

TEST_F(OptionsFile, WriteThenReadGivesTheValueBack) {
    EXPECT_FALSE(WriteOption("zoom", "-150"));
    EXPECT_EQ(ReadOption("zoom", "0", true).value, "-150");
    EXPECT_FALSE(WriteOption("zoom", "200"));
    EXPECT_EQ(ReadOption("zoom", "0", false).value, "200");
    EXPECT_EQ(folder.Read("config.ini"), "[options]\r\nzoom=200\r\n");
}

TEST_F(OptionsFile, AnExplicitPathIsUsedInsteadOfTheExecutablesFolder) {
    TempFolder other;
    ASSERT_TRUE(other.Valid());
    EXPECT_FALSE(WriteOption("zoom", "3", other.File("config.ini")));
    EXPECT_EQ(ReadOption("zoom", "0", true, other.File("config.ini")).value, "3");
    EXPECT_FALSE(folder.Exists("config.ini"));
}

TEST_F(OptionsFile, AnUnwritableFileIsReportedAndKeptAsItWas) {
    folder.Write("config.ini", "[other]\r\nx=1\r\n");
    std::filesystem::permissions(Ini(), std::filesystem::perms::owner_read);

    OptionReading reading = ReadOption("zoom", "0", true);
    ASSERT_TRUE(reading.failure);
    EXPECT_EQ(*reading.failure, "Unable to write to " + Ini());
    EXPECT_EQ(reading.value, "");

    std::optional<std::string> failure = WriteOption("zoom", "7");
    ASSERT_TRUE(failure);
    EXPECT_EQ(*failure, "Unable to write to " + Ini());
    EXPECT_EQ(folder.Read("config.ini"), "[other]\r\nx=1\r\n");

    // Reading a value that is there needs no write and succeeds.
    std::filesystem::permissions(Ini(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    folder.Write("config.ini", "[options]\r\nzoom=4\r\n");
    std::filesystem::permissions(Ini(), std::filesystem::perms::owner_read);
    reading = ReadOption("zoom", "0", true);
    EXPECT_FALSE(reading.failure);
    EXPECT_EQ(reading.value, "4");
}

TEST_F(OptionsFile, AFolderInPlaceOfTheFileOrAMissingFolderIsReported) {
    std::filesystem::create_directory(Ini());
    EXPECT_EQ(ReadOption("zoom", "0", true).failure, "Unable to write to " + Ini());
    EXPECT_EQ(WriteOption("zoom", "1"), "Unable to write to " + Ini());

    const std::string nowhere = folder.File("missing/config.ini");
    EXPECT_EQ(WriteOption("zoom", "1", nowhere), "Unable to write to " + nowhere);
    EXPECT_FALSE(ReadOption("zoom", "0", false, nowhere).failure);
}

TEST_F(OptionsFile, AStoredOptionIsOnlyReadAndMissingIsToldApartFromTheEmptyMarker) {
    // Nothing there: none, and no file is made.
    EXPECT_FALSE(ReadStoredOption("zoom", Ini()));
    EXPECT_FALSE(folder.Exists("config.ini"));
    // Another section or an empty value is still none.
    folder.Write("config.ini", "[other]\nzoom=5\n[options]\nzoom=\n");
    EXPECT_FALSE(ReadStoredOption("zoom", Ini()));
    // The same text rules as ReadOption: case of names, blanks, the empty marker.
    folder.Write("config.ini", "[Options]\nZOOM = 250 \n");
    EXPECT_EQ(ReadStoredOption("zoom", Ini()), std::optional<std::string>("250"));
    folder.Write("config.ini", "[options]\nzoom=@sp\n");
    EXPECT_EQ(ReadStoredOption("zoom", Ini()), std::optional<std::string>(""));
    EXPECT_EQ(folder.Read("config.ini"), "[options]\nzoom=@sp\n");
}
