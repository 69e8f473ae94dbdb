#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/station_settings.h"
#include "unit/platform/files_temp_folder.h"

namespace {

std::string LengthPrefix(std::int32_t length) {
    auto bits = static_cast<std::uint32_t>(length);
    std::string prefix(4, '\0');
    for (int i = 0; i < 4; ++i) prefix[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return prefix;
}

std::string ConfigDat(const std::string& text) {
    return LengthPrefix(static_cast<std::int32_t>(text.size())) + text;
}

class StationSettingsFile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder.Valid()); }
    StationSettingsReading Read() { return ReadStationSettings(folder.File("config.dat")); }

    TempFolder folder;
};

}  // namespace

TEST_F(StationSettingsFile, ReadsTheThreeKeysAndIgnoresOthers) {
    folder.Write("config.dat", ConfigDat("Other=1,\"VCapSource=USB Camera\" VCapModeWidth=$280,"
                                         "vcapmodeheight=480,VCapSource=second"));
    StationSettingsReading reading = Read();
    ASSERT_EQ(reading.status, StationSettingsStatus::Read) << reading.failureMessage;
    EXPECT_EQ(reading.settings.FCameraName, "USB Camera");
    EXPECT_EQ(reading.settings.FModeWidth, 640);
    EXPECT_EQ(reading.settings.FModeHeight, 480);
}

TEST_F(StationSettingsFile, AnUnquotedBlankCutsTheCameraName) {
    folder.Write("config.dat", ConfigDat("VCapSource=USB Camera,VCapModeWidth=640"));
    StationSettingsReading reading = Read();
    ASSERT_EQ(reading.status, StationSettingsStatus::Read);
    EXPECT_EQ(reading.settings.FCameraName, "USB");
    EXPECT_EQ(reading.settings.FModeWidth, 640);
}

TEST_F(StationSettingsFile, ALengthOfZeroGivesEmptySettings) {
    folder.Write("config.dat", LengthPrefix(0));
    StationSettingsReading reading = Read();
    ASSERT_EQ(reading.status, StationSettingsStatus::Read);
    EXPECT_EQ(reading.text, "");
    EXPECT_EQ(reading.settings.FCameraName, "");
    EXPECT_EQ(reading.settings.FModeWidth, 0);
    EXPECT_EQ(reading.settings.FModeHeight, 0);
}

TEST_F(StationSettingsFile, BytesAfterTheTextAndAfterAByteZeroAreIgnored) {
    folder.Write("config.dat", ConfigDat("VCapSource=A") + "Width=1,VCapModeWidth=9");
    StationSettingsReading reading = Read();
    ASSERT_EQ(reading.status, StationSettingsStatus::Read);
    EXPECT_EQ(reading.text, "VCapSource=A");
    EXPECT_EQ(reading.settings.FModeWidth, 0);
    reading.file.reset();

    folder.Write("config.dat", ConfigDat(std::string("VCapSource=B\0,VCapModeWidth=9", 29)));
    reading = Read();
    ASSERT_EQ(reading.status, StationSettingsStatus::Read);
    EXPECT_EQ(reading.text, "VCapSource=B");
    EXPECT_EQ(reading.settings.FModeWidth, 0);
}

TEST_F(StationSettingsFile, AByteZeroStillNeedsAllNBytes) {
    // The text ends at the byte 0, yet the file must hold all N bytes.
    folder.Write("config.dat", LengthPrefix(10) + std::string("ab\0cd", 5));
    StationSettingsReading reading = Read();
    EXPECT_EQ(reading.status, StationSettingsStatus::Failed);
    EXPECT_EQ(reading.failureMessage, "Stream read error");
}

TEST_F(StationSettingsFile, ShortFilesGiveStreamReadError) {
    for (const std::string& bytes :
         {std::string(), std::string("\x05", 1), std::string("\x05\x00\x00", 3),
          LengthPrefix(5) + "abcd", LengthPrefix(-1) + "abcd", LengthPrefix(INT32_MIN),
          LengthPrefix(INT32_MAX) + "VCapSource=x"}) {
        folder.Write("config.dat", bytes);
        StationSettingsReading reading = Read();
        EXPECT_EQ(reading.status, StationSettingsStatus::Failed) << bytes.size();
        EXPECT_EQ(reading.failureMessage, "Stream read error") << bytes.size();
        EXPECT_EQ(reading.file, nullptr);
    }
    // The failed reading closed the file again: it opens at once.
    std::string error;
    EXPECT_NE(ExclusiveReadFile::Open(folder.File("config.dat"), error), nullptr) << error;
}

TEST_F(StationSettingsFile, AMissingFileOrAFolderIsMissing) {
    EXPECT_EQ(Read().status, StationSettingsStatus::Missing);
    std::filesystem::create_directory(folder.File("config.dat"));
    EXPECT_EQ(Read().status, StationSettingsStatus::Missing);
}

TEST_F(StationSettingsFile, AnotherOpenerMakesItFailWithThePlatformsText) {
    folder.Write("config.dat", ConfigDat("VCapSource=A"));
    std::string error;
    auto holder = ExclusiveReadFile::Open(folder.File("config.dat"), error);
    ASSERT_NE(holder, nullptr) << error;

    StationSettingsReading reading = Read();
    EXPECT_EQ(reading.status, StationSettingsStatus::Failed);
    EXPECT_EQ(reading.failureMessage,
              "Cannot open file \"" + folder.File("config.dat") +
                  "\". The process cannot access the file because it is being used by another "
                  "process");

    holder.reset();
    EXPECT_EQ(Read().status, StationSettingsStatus::Read);
}

TEST_F(StationSettingsFile, ASuccessfulReadingKeepsTheFileOpenUntilReleased) {
    folder.Write("config.dat", ConfigDat("VCapSource=A"));
    StationSettingsReading reading = Read();
    ASSERT_EQ(reading.status, StationSettingsStatus::Read);
    ASSERT_NE(reading.file, nullptr);
    EXPECT_EQ(Read().status, StationSettingsStatus::Failed);
    reading.file.reset();
    EXPECT_EQ(Read().status, StationSettingsStatus::Read);
}

TEST_F(StationSettingsFile, ThePathIsInTheExecutablesFolder) {
    folder.ActAsExecutableFolder();
    EXPECT_EQ(StationSettingsPath(), folder.File("config.dat"));
}

TEST(ReadSettingsText, AHugeLengthIsNeverAllocatedOrReadAtOnce) {
    // Endless data: a length near 2 GiB is read in bounded steps and the text holds only what
    // came before the byte 0.
    std::string prefix = LengthPrefix(INT32_MAX);
    std::size_t offset = 0;
    std::size_t largestRequest = 0;
    std::size_t delivered = 0;
    const std::size_t available = 4 + 300 * 1024;  // then the data ends
    ByteReader reader = [&](void* buffer, std::size_t count) {
        largestRequest = std::max(largestRequest, count);
        std::size_t n = std::min(count, available - offset);
        auto* bytes = static_cast<char*>(buffer);
        for (std::size_t i = 0; i < n; ++i, ++offset)
            bytes[i] = offset < 4 ? prefix[offset] : (offset < 10 ? 'a' : '\0');
        delivered += n;
        return n;
    };
    EXPECT_EQ(ReadSettingsText(reader), std::nullopt);
    EXPECT_LE(largestRequest, 64u * 1024u);
    EXPECT_EQ(delivered, available);
}

TEST(ReadSettingsText, ReadsNothingPastTheText) {
    std::string data = LengthPrefix(3) + "abcdef";
    std::size_t offset = 0;
    ByteReader reader = [&](void* buffer, std::size_t count) {
        std::size_t n = std::min(count, data.size() - offset);
        std::memcpy(buffer, data.data() + offset, n);
        offset += n;
        return n;
    };
    EXPECT_EQ(ReadSettingsText(reader), "abc");
    EXPECT_EQ(offset, 7u);
}
