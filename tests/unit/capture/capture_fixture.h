#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "capture/SampleGrabberCB.h"
#include "capture/VSample.h"
#include "platform/com_apartment.h"
#include "platform/host/dshow/test_controls.h"
#include "platform/host/message_queue.h"

namespace dshow = host::dshow;

// Every capture test runs in a COM apartment on fresh simulated devices and ends with every
// runtime object, callback object and streaming thread gone.
class CaptureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host::MessageQueue::Instance();  // this thread is the main thread
        dshow::ResetRuntime();
        dshow::UseDevices({Camera(L"Host Virtual Camera")});
        apartment_ = std::make_unique<ComApartment>();
        ASSERT_TRUE(apartment_->Joined());
    }

    void TearDown() override {
        apartment_.reset();
        EXPECT_EQ(dshow::LiveObjects(), 0);
        EXPECT_EQ(TSampleGrabberCB::LiveInstances(), 0);
        EXPECT_EQ(dshow::RunningStreams(), 0);
        dshow::ResetRuntime();
    }

    static dshow::DeviceConfig Camera(const std::wstring& name) {
        dshow::DeviceConfig device = dshow::DefaultDevice();
        device.friendlyName = name;
        device.frameIntervalMs = 5;
        return device;
    }

    static std::unique_ptr<TVideoSample> Create(HRESULT* status = nullptr,
                                                WindowHandle window = nullptr) {
        HRESULT ignored = 0;
        return std::make_unique<TVideoSample>(window, status ? *status : ignored);
    }

    // Waits until `done` holds, handling the main thread's messages meanwhile.
    static bool PumpUntil(const std::function<bool()>& done,
                          std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            host::MessageQueue::Instance().WaitForMessage(std::chrono::milliseconds(5));
            while (host::MessageQueue::Instance().ProcessOne()) {
            }
        }
        return true;
    }

    // Index of the first log entry equal to `entry`, or -1.
    static int LogIndex(const std::vector<std::string>& log, const std::string& entry) {
        for (std::size_t i = 0; i < log.size(); ++i) {
            if (log[i] == entry) return static_cast<int>(i);
        }
        return -1;
    }

  private:
    std::unique_ptr<ComApartment> apartment_;
};
