#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "app/command_line.h"
#include "platform/files.h"
#include "platform/host/testing/process_overrides.h"
#include "unit/platform/files_temp_folder.h"

TEST(FileExists, IsTrueForFilesOnly) {
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    folder.Write("a.dat", "x");
    std::filesystem::create_directory(folder.File("dir"));
    EXPECT_TRUE(FileExists(folder.File("a.dat")));
    EXPECT_FALSE(FileExists(folder.File("dir")));
    EXPECT_FALSE(FileExists(folder.File("none.dat")));
    EXPECT_FALSE(FileExists(""));
}

TEST(ExclusiveReadFile, ReadsAndReportsShortReads) {
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    folder.Write("a.dat", "hello");
    std::string error;
    auto file = ExclusiveReadFile::Open(folder.File("a.dat"), error);
    ASSERT_NE(file, nullptr) << error;
    char buffer[8] = {};
    EXPECT_EQ(file->Read(buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "hel");
    EXPECT_EQ(file->Read(buffer, 8), 2u);
    EXPECT_EQ(std::string(buffer, 2), "lo");
    EXPECT_EQ(file->Read(buffer, 8), 0u);
}

TEST(ExclusiveReadFile, ASecondOpenerFailsUntilTheFirstCloses) {
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    folder.Write("a.dat", "x");
    std::string error;
    auto first = ExclusiveReadFile::Open(folder.File("a.dat"), error);
    ASSERT_NE(first, nullptr);

    std::string secondError;
    EXPECT_EQ(ExclusiveReadFile::Open(folder.File("a.dat"), secondError), nullptr);
    EXPECT_EQ(secondError,
              "The process cannot access the file because it is being used by another process.");

    first.reset();
    EXPECT_NE(ExclusiveReadFile::Open(folder.File("a.dat"), error), nullptr);
}

TEST(ExclusiveReadFile, FailuresCarryThePlatformsText) {
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    std::string error;
    EXPECT_EQ(ExclusiveReadFile::Open(folder.File("none.dat"), error), nullptr);
    EXPECT_EQ(error, "The system cannot find the file specified.");
    std::filesystem::create_directory(folder.File("dir"));
    EXPECT_EQ(ExclusiveReadFile::Open(folder.File("dir"), error), nullptr);
    EXPECT_EQ(error, "Access is denied.");
    // A pipe in the file's place neither blocks the open nor is read.
    ASSERT_EQ(mkfifo(folder.File("pipe").c_str(), 0600), 0);
    EXPECT_EQ(ExclusiveReadFile::Open(folder.File("pipe"), error), nullptr);
    EXPECT_EQ(error, "Access is denied.");
}

TEST(ProcessFacts, OverridesReplaceTheProcessesOwn) {
    const std::string own = ExecutablePath();
    EXPECT_TRUE(std::filesystem::exists(own));
    host::SetExecutablePathOverride("/tmp/station/camzoom.exe");
    EXPECT_EQ(ExecutablePath(), "/tmp/station/camzoom.exe");
    host::SetExecutablePathOverride(std::nullopt);
    EXPECT_EQ(ExecutablePath(), own);

    host::SetRawCommandLineOverride("camzoom autoset");
    EXPECT_EQ(RawCommandLine(), "camzoom autoset");
    host::SetRawCommandLineOverride(std::nullopt);
    // The process's own line starts with the test program's path.
    std::vector<std::string> arguments = SplitCommandLine(RawCommandLine());
    ASSERT_FALSE(arguments.empty());
    EXPECT_NE(arguments[0].find("platform_tests"), std::string::npos);
}

TEST(ProcessFacts, JoinedCommandLinesSplitBackIntoTheirArguments) {
    std::vector<std::string> arguments{"/opt/my tools/camzoom", "autoset", "a\tb", "x"};
    EXPECT_EQ(host::JoinCommandLine(arguments), "\"/opt/my tools/camzoom\" autoset \"a\tb\" x");
    EXPECT_EQ(SplitCommandLine(host::JoinCommandLine(arguments)), arguments);
    EXPECT_TRUE(IsAutosetMode(host::JoinCommandLine({"/opt/my tools/camzoom", "autoset"})));
}
