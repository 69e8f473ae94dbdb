#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/testing/dialog_log.h"
#include "platform/host/testing/gui_controls.h"

// A test of the host toolkit: no console, no echo of message boxes, every GUI report collected
// in `reports`; messages left over from the test before are handled first.
class HostGuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host::SetDialogEcho(false);
        host::ClearRecordedDialogs();
        host::SetConsoleEnabled(false);
        host::SetGuiObserver([this](const std::string& line) { reports.push_back(line); });
        host::PumpPendingMessages();
    }
    void TearDown() override {
        host::PumpPendingMessages();
        host::SetGuiObserver({});
        host::SetConsoleEnabled(true);
        host::ClearRecordedDialogs();
        host::SetDialogEcho(true);
    }

    std::vector<std::string> reports;
};
