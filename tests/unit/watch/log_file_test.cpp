#include "watch/log_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace {

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class LogFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("camzoom-log-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::tm At() const {
        std::tm time{};
        time.tm_year = 2026 - 1900;
        time.tm_mon = 2;
        time.tm_mday = 7;
        time.tm_hour = 8;
        time.tm_min = 5;
        time.tm_sec = 9;
        return time;
    }

    std::filesystem::path folder_;
};

TEST(LogLineTest, LocalTimeThenTwoBlanksThenText) {
    std::tm time{};
    time.tm_year = 2026 - 1900;
    time.tm_mon = 11;
    time.tm_mday = 31;
    time.tm_hour = 23;
    time.tm_min = 59;
    time.tm_sec = 58;
    EXPECT_EQ(LogLine(time, "started"), "2026-12-31 23:59:58  started");
}

TEST(LogRotationRule, RotatesOnlyANonEmptyFileThatWouldPassTheLimit) {
    EXPECT_FALSE(RotationDue(0, 10, 100));
    EXPECT_FALSE(RotationDue(90, 10, 100));
    EXPECT_TRUE(RotationDue(91, 10, 100));
    EXPECT_TRUE(RotationDue(100, 1, 100));
    // A line longer than the limit still goes into an empty file, and moves a full one aside.
    EXPECT_FALSE(RotationDue(0, 500, 100));
    EXPECT_TRUE(RotationDue(1, 500, 100));
}

TEST_F(LogFileTest, AppendsStampedLines) {
    LogFile log(folder_ / "watch.log");
    log.WriteAt(At(), "started");
    log.WriteAt(At(), "stopped");
    EXPECT_EQ(Contents(folder_ / "watch.log"),
              "2026-03-07 08:05:09  started\n2026-03-07 08:05:09  stopped\n");
}

TEST_F(LogFileTest, KeepsOneOldFileAndStaysBounded) {
    const std::uintmax_t limit = 200;
    LogFile log(folder_ / "watch.log", limit);
    // 33 bytes a line: six fit in 200 bytes.
    for (int i = 0; i < 6; ++i) log.WriteAt(At(), "line " + std::to_string(100 + i) + "...");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "watch.log.1"));
    log.WriteAt(At(), "line 106...");
    ASSERT_TRUE(std::filesystem::exists(folder_ / "watch.log.1"));
    EXPECT_EQ(Contents(folder_ / "watch.log"), "2026-03-07 08:05:09  line 106...\n");
    EXPECT_NE(Contents(folder_ / "watch.log.1").find("line 105"), std::string::npos);

    for (int i = 7; i < 40; ++i) log.WriteAt(At(), "line " + std::to_string(100 + i) + "...");
    EXPECT_LE(std::filesystem::file_size(folder_ / "watch.log"), limit);
    EXPECT_LE(std::filesystem::file_size(folder_ / "watch.log.1"), limit);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "watch.log.2"));
    EXPECT_NE(Contents(folder_ / "watch.log").find("line 139"), std::string::npos);
    // The old file holds the lines right before the current file's first.
    EXPECT_EQ(Contents(folder_ / "watch.log.1").find("line 100"), std::string::npos);
}

TEST_F(LogFileTest, UnwritableLogIsNoFailure) {
    LogFile log(folder_ / "no-such-folder" / "watch.log");
    log.WriteAt(At(), "started");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "no-such-folder"));
}

}  // namespace
