#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/host/testing/dialog_log.h"

namespace {

class DialogLog : public ::testing::Test {
  protected:
    void SetUp() override {
        host::SetDialogEcho(false);
        host::ClearRecordedDialogs();
    }
    void TearDown() override {
        host::SetDialogClosedHook(nullptr);
        host::ClearRecordedDialogs();
        host::SetDialogEcho(true);
    }
};

}  // namespace

TEST_F(DialogLog, RecordsEachMessageInOrderUntilCleared) {
    ShowErrorBox("camzoom", "Stream read error.");
    ShowInformationMessage("Informacje", "Brak pliku config.dat. Uruchom i ustaw  Ustawiator");

    std::vector<host::DialogRecord> records = host::RecordedDialogs();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].icon, host::DialogIcon::Error);
    EXPECT_EQ(records[0].caption, "camzoom");
    EXPECT_EQ(records[0].text, "Stream read error.");
    EXPECT_EQ(records[1].icon, host::DialogIcon::Information);
    EXPECT_EQ(records[1].caption, "Informacje");
    EXPECT_EQ(records[1].text, "Brak pliku config.dat. Uruchom i ustaw  Ustawiator");

    host::ClearRecordedDialogs();
    EXPECT_TRUE(host::RecordedDialogs().empty());
}

TEST_F(DialogLog, TheClosedHookRunsAfterEachMessageAndMayShowAnother) {
    std::vector<std::string> closed;
    host::SetDialogClosedHook([&](const host::DialogRecord& record) {
        closed.push_back(record.text);
        // The message is recorded before it closes.
        EXPECT_EQ(host::RecordedDialogs().back().text, record.text);
        if (record.text == "first") ShowErrorBox("c", "second");
    });
    ShowInformationMessage("c", "first");
    EXPECT_EQ(closed, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(host::RecordedDialogs().size(), 2u);
}

TEST_F(DialogLog, EchoWritesOneLinePerMessageToStandardError) {
    host::SetDialogEcho(true);
    ::testing::internal::CaptureStderr();
    ShowErrorBox("camzoom", "Stream read error.");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "[error box] camzoom: Stream read error.\n");
}
