#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "capture/platform.h"
#include "platform/com_apartment.h"
#include "platform/host/dshow/test_controls.h"
#include "platform/host/message_queue.h"
#include "platform/host/testing/dialog_log.h"
#include "platform/host/testing/gui_controls.h"

// A video image test: its own simulated devices, a COM apartment on the main thread, a clock
// that the test moves, and the check that every object of the capture runtime is gone at the end.
class VideoImageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host::dshow::ResetRuntime();
        host::dshow::UseDevices({SmallRgbCamera(), host::dshow::DefaultDevice()});
        host::SetDialogEcho(false);
        host::ClearRecordedDialogs();
        host::PumpPendingMessages();
        host::SetTickSource([this] { return tick.load(); });
    }
    void TearDown() override {
        host::SetTickSource({});
        host::PumpPendingMessages();
        EXPECT_EQ(host::dshow::LiveObjects(), 0);
        EXPECT_EQ(host::dshow::RunningStreams(), 0);
        host::dshow::ResetRuntime();
        host::ClearRecordedDialogs();
        host::SetDialogEcho(true);
    }

    // 8 x 6 uncompressed RGB: 144 bytes a frame, converted by one block copy.
    static host::dshow::DeviceConfig SmallRgbCamera() {
        host::dshow::DeviceConfig camera = host::dshow::DefaultDevice();
        camera.friendlyName = L"Small RGB Camera";
        camera.width = 8;
        camera.height = 6;
        camera.compression = 0;
        camera.bitCount = 24;
        return camera;
    }
    static constexpr std::int32_t kSmallFrameSize = 8 * 6 * 3;

    static std::vector<std::uint8_t> Frame(std::size_t size, std::uint8_t fill) {
        return std::vector<std::uint8_t>(size, fill);
    }

    ComApartment apartment;
    std::atomic<std::uint32_t> tick{5000};
};
