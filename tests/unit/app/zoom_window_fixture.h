#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/zoom_window.h"
#include "platform/com_apartment.h"
#include "platform/host/dshow/test_controls.h"
#include "platform/host/testing/dialog_log.h"
#include "platform/host/testing/gui_controls.h"
#include "platform/messaging.h"
#include "unit/platform/files_temp_folder.h"

// The zoom window in a folder of its own (the executable's folder as far as the tool knows),
// with simulated cameras, the console off, and the check that the capture runtime's objects
// are all gone at the end.
class ZoomWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.Valid());
        folder.ActAsExecutableFolder();
        host::dshow::ResetRuntime();
        host::dshow::UseDevices({ZoomCamera(), host::dshow::DefaultDevice()});
        host::SetDialogEcho(false);
        host::ClearRecordedDialogs();
        host::SetConsoleEnabled(false);
        application.SetTitle("camzoom");
        host::PumpPendingMessages();
    }
    void TearDown() override {
        form.reset();
        host::PumpPendingMessages();
        EXPECT_EQ(host::dshow::LiveObjects(), 0);
        EXPECT_EQ(host::dshow::RunningStreams(), 0);
        host::dshow::ResetRuntime();
        host::SetConsoleEnabled(true);
        host::ClearRecordedDialogs();
        host::SetDialogEcho(true);
        host::SetRawCommandLineOverride(std::nullopt);
    }

    // "Zoom Camera": 320 x 240 YUY2, zoom 100..500 at 100; all seven controls.
    static host::dshow::DeviceConfig ZoomCamera() {
        host::dshow::DeviceConfig camera = host::dshow::DefaultDevice();
        camera.friendlyName = L"Zoom Camera";
        camera.width = 320;
        camera.height = 240;
        return camera;
    }

    void MakeForm(bool autoset) {
        form = std::make_unique<TForm1>(autoset);
        application.CreateMainForm(*form);
    }
    // The user brings the window to the front; then the loop runs until it is idle.
    void Activate() {
        host::ActivateForm(*form);
        host::PumpPendingMessages();
    }

    static std::string ConfigDat(const std::string& text) {
        auto length = static_cast<std::uint32_t>(text.size());
        std::string prefix(4, '\0');
        for (int i = 0; i < 4; ++i) prefix[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
        return prefix + text;
    }
    void WriteSettings(const std::string& text) { folder.Write("config.dat", ConfigDat(text)); }
    void WriteStoredZoom(const std::string& value) {
        folder.Write("config.ini", "[options]\nzoom=" + value + "\n");
    }
    std::int32_t CameraZoom(std::size_t device = 0) {
        auto state = host::dshow::ControlState(device, 3);
        return state ? state->value : -1;
    }
    std::vector<host::DialogRecord> Dialogs() { return host::RecordedDialogs(); }
    // Chooses the system-menu item `item` and runs `inside` on the dialog it opens, from within
    // the dialog's modal loop; the dialog must be closed when the choice returns.
    void ChooseDialog(const std::string& item, const std::function<void(Form& dialog)>& inside) {
        bool ran = false;
        MessageWindow once([&](unsigned message, MessageWParam, MessageLParam) -> MessageResult {
            if (message != kUserMessageBase || ran) return 0;
            ran = true;
            Form* dialog = host::ModalForm();
            EXPECT_NE(dialog, nullptr);
            if (dialog) inside(*dialog);
            return 0;
        });
        once.Post(kUserMessageBase, 0, 0);
        ASSERT_TRUE(host::ChooseSystemMenuItem(*form, item));
        EXPECT_TRUE(ran);
        EXPECT_EQ(host::ModalForm(), nullptr);
        host::PumpPendingMessages();
    }
    // The byte count of the frames that the open camera delivers; 0 when none comes.
    LONG DeliveredFrameSize() {
        frameSize = 0;
        host::dshow::SetFrameObserver([this](const BYTE*, LONG size) { frameSize = size; });
        host::PumpMessagesUntil([this] { return frameSize != 0; }, std::chrono::seconds(5));
        return frameSize;
    }
    std::atomic<LONG> frameSize{0};

    ComApartment apartment;
    TempFolder folder;
    Application application;
    std::unique_ptr<TForm1> form;
};
