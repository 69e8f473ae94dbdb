#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "capture/SampleGrabberCB.h"
#include "platform/host/message_queue.h"

// A main window of the host message queue that records what reaches it.
class RecordingWindow {
  public:
    struct Message {
        unsigned message;
        MessageWParam wParam;
        MessageLParam lParam;
        std::uint32_t checksum;  // of the frame bytes at lParam, read while handling
    };

    RecordingWindow() {
        handle_ = host::MessageQueue::Instance().CreateWindow(
            [this](unsigned message, MessageWParam wParam, MessageLParam lParam) {
                std::uint32_t checksum = 0;
                if (message == kFrameWithoutCallbackMessage && lParam && wParam > 0) {
                    checksum = Checksum(reinterpret_cast<const std::uint8_t*>(lParam),
                                        static_cast<std::size_t>(wParam));
                }
                std::lock_guard lock(mutex_);
                messages_.push_back({message, wParam, lParam, checksum});
                return MessageResult{0};
            });
    }
    ~RecordingWindow() { host::MessageQueue::Instance().DestroyWindow(handle_); }

    WindowHandle Handle() const { return handle_; }
    std::vector<Message> Messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::size_t Count() const {
        std::lock_guard lock(mutex_);
        return messages_.size();
    }

    static std::uint32_t Checksum(const std::uint8_t* data, std::size_t size) {
        std::uint32_t sum = 2166136261u;
        for (std::size_t i = 0; i < size; i += 97) sum = (sum ^ data[i]) * 16777619u;
        return sum;
    }

  private:
    WindowHandle handle_;
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
};
