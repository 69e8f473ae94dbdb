// The host stand-in of the event log: registered sources, one line per event, and the source
// names that cannot be registered.
#include "platform/event_log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

#include "tests/unit/platform/files_temp_folder.h"

namespace {

class EventLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.Valid());
        if (const char* value = std::getenv("CAMZOOM_EVENT_LOG_DIR")) saved_ = value;
        setenv("CAMZOOM_EVENT_LOG_DIR", folder_.Folder().c_str(), 1);
    }
    void TearDown() override {
        if (saved_) {
            setenv("CAMZOOM_EVENT_LOG_DIR", saved_->c_str(), 1);
        } else {
            unsetenv("CAMZOOM_EVENT_LOG_DIR");
        }
    }

    // What an installation does on Windows: enters the source.
    void Register(const std::string& source) {
        std::filesystem::create_directories(folder_.File("sources"));
        folder_.Write("sources/" + source, "");
    }

    std::vector<std::string> Lines() const {
        std::istringstream log(folder_.Read("Application.log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) lines.push_back(line);
        return lines;
    }

    TempFolder folder_;
    std::optional<std::string> saved_;
};

TEST_F(EventLogTest, AnUnregisteredSourceGivesNoLogAndWritesNothing) {
    EXPECT_EQ(EventLog::OpenRegistered("camzoom"), nullptr);
    Register("other");
    EXPECT_EQ(EventLog::OpenRegistered("camzoom"), nullptr);
    EXPECT_FALSE(folder_.Exists("Application.log"));
}

TEST_F(EventLogTest, EventsOfARegisteredSourceAreAppendedOneLineEach) {
    Register("camzoom");
    auto log = EventLog::OpenRegistered("camzoom");
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->Report(EventSeverity::Information, 1, "started in C:\\Station\\camzoom"));
    EXPECT_TRUE(log->Report(EventSeverity::Error, 2, "exit code 2 for 10 minutes"));
    EXPECT_TRUE(log->Report(EventSeverity::Warning, 4, "holding off"));
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "information\tcamzoom\t1\tstarted in C:\\Station\\camzoom",
                           "error\tcamzoom\t2\texit code 2 for 10 minutes",
                           "warning\tcamzoom\t4\tholding off",
                       }));
}

TEST_F(EventLogTest, TwoSourcesShareTheOneLogAndAnEarlierLogIsKept) {
    folder_.Write("Application.log", "information\tearlier\t7\tbefore\n");
    Register("camzoom");
    Register("camzoom watch");
    auto first = EventLog::OpenRegistered("camzoom");
    auto second = EventLog::OpenRegistered("camzoom watch");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    first->Report(EventSeverity::Information, 5, "a");
    second->Report(EventSeverity::Warning, 3, "b");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"information\tearlier\t7\tbefore",
                                                 "information\tcamzoom\t5\ta",
                                                 "warning\tcamzoom watch\t3\tb"}));
}

TEST_F(EventLogTest, ControlCharactersOfTheTextBecomeBlanksSoAnEventStaysOneLine) {
    Register("camzoom");
    auto log = EventLog::OpenRegistered("camzoom");
    ASSERT_NE(log, nullptr);
    log->Report(EventSeverity::Error, 3, "refused\r\nzoom=900\tmax=500");
    log->Report(EventSeverity::Information, 1, "");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"error\tcamzoom\t3\trefused  zoom=900 max=500",
                                                 "information\tcamzoom\t1\t"}));
}

TEST_F(EventLogTest, ALogOpenedBeforeTheFolderWentAwayReportsFailure) {
    Register("camzoom");
    auto log = EventLog::OpenRegistered("camzoom");
    ASSERT_NE(log, nullptr);
    std::filesystem::remove_all(folder_.Folder());
    EXPECT_FALSE(log->Report(EventSeverity::Information, 1, "lost"));
}

TEST_F(EventLogTest, NamesThatCannotBeOneRegistryKeyAreNeverRegistered) {
    // A marker reachable through a path-like name must not make it count.
    Register("camzoom");
    std::filesystem::create_directories(folder_.File("sources/sub"));
    folder_.Write("sources/sub/camzoom", "");
    for (const std::string name : {"", ".", "..", "sub/camzoom", "sub\\camzoom", "../camzoom"}) {
        EXPECT_FALSE(IsEventSourceName(name)) << name;
        EXPECT_EQ(EventLog::OpenRegistered(name), nullptr) << name;
    }
    EXPECT_TRUE(IsEventSourceName("camzoom watch"));
}

TEST(EventLogFolderTest, WithoutAFolderOfItsOwnTheLogLivesInTheUserDataFolder) {
    TempFolder data;
    ASSERT_TRUE(data.Valid());
    std::optional<std::string> savedLog, savedData;
    if (const char* v = std::getenv("CAMZOOM_EVENT_LOG_DIR")) savedLog = v;
    if (const char* v = std::getenv("CAMZOOM_LOCAL_APPDATA")) savedData = v;
    unsetenv("CAMZOOM_EVENT_LOG_DIR");
    setenv("CAMZOOM_LOCAL_APPDATA", data.Folder().c_str(), 1);

    std::filesystem::create_directories(data.File("event-log/sources"));
    data.Write("event-log/sources/camzoom", "");
    auto log = EventLog::OpenRegistered("camzoom");
    const bool reported = log && log->Report(EventSeverity::Information, 1, "x");

    savedLog ? setenv("CAMZOOM_EVENT_LOG_DIR", savedLog->c_str(), 1)
             : unsetenv("CAMZOOM_EVENT_LOG_DIR");
    savedData ? setenv("CAMZOOM_LOCAL_APPDATA", savedData->c_str(), 1)
              : unsetenv("CAMZOOM_LOCAL_APPDATA");
    EXPECT_TRUE(reported);
    EXPECT_EQ(data.Read("event-log/Application.log"), "information\tcamzoom\t1\tx\n");
}

}  // namespace
