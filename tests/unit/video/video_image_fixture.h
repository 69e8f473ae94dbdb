#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

#include "capture/platform.h"
#include "platform/bitmap.h"
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

    // Waits until a frame message is queued: true when one is.
    static bool WaitForFrameMessage() {
        auto& queue = host::MessageQueue::Instance();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (queue.PendingCount() == 0 && std::chrono::steady_clock::now() < deadline)
            queue.WaitForMessage(std::chrono::milliseconds(50));
        return queue.PendingCount() > 0;
    }

    // Width and height of what was drawn from the top-left corner of a canvas that had been
    // filled with `background`: the pixels that differ from it.
    static std::pair<int, int> PaintedExtent(const Bitmap& target, std::uint8_t background) {
        int width = 0;
        int height = 0;
        for (int row = 0; row < target.Height(); ++row)
            for (int x = 0; x < target.Width(); ++x) {
                const std::uint8_t* pixel = target.ScanLine(row) + x * 3;
                if (std::any_of(pixel, pixel + 3,
                                [&](std::uint8_t b) { return b != background; })) {
                    width = std::max(width, x + 1);
                    height = std::max(height, row + 1);
                }
            }
        return {width, height};
    }
    static void Fill(Bitmap& target, std::uint8_t value) {
        std::fill_n(target.PixelMemory(), target.RowStride() * target.Height(), value);
    }

    // The byte count of the newest frame a camera delivered since WatchFrames (0: none yet).
    void WatchFrames() {
        host::dshow::SetFrameObserver([this](const BYTE*, LONG size) { lastFrameSize = size; });
    }
    std::atomic<LONG> lastFrameSize{0};

    ComApartment apartment;
    std::atomic<std::uint32_t> tick{5000};
};
