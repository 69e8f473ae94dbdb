// The host's window timer: a thread of its own posts a timer message to a window of the main
// thread's queue every interval while the timer is enabled. As on Windows, at most one timer
// message waits in the queue: ticks that the main thread could not take in time are dropped.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/gui.h"
#include "platform/host/gui/internal.h"
#include "platform/host/message_queue.h"

namespace {

constexpr unsigned kTimerMessage = 0x0113;  // WM_TIMER

}  // namespace

struct Timer::Impl {
    explicit Impl(std::chrono::milliseconds every) : interval(every) {}

    const std::chrono::milliseconds interval;
    WindowHandle window = nullptr;
    std::atomic<bool> enabled{false};
    std::atomic<bool> queued{false};  // a timer message waits in the queue
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;  // guarded by mutex
    std::thread ticker;

    void Tick() {
        std::unique_lock lock(mutex);
        while (!wake.wait_for(lock, interval, [this] { return stop; })) {
            if (enabled && !queued.exchange(true))
                host::MessageQueue::Instance().Post(window, kTimerMessage, 0, 0);
        }
    }
};

Timer::Timer(Form&, unsigned intervalMs)
    : impl_(std::make_unique<Impl>(std::chrono::milliseconds(intervalMs))) {
    impl_->window = host::MessageQueue::Instance().CreateWindow(
        [this](unsigned message, MessageWParam, MessageLParam) -> MessageResult {
            if (message != kTimerMessage) return 0;
            impl_->queued = false;
            // Copied: the handler may replace itself.
            const std::function<void()> handler = OnTimer;
            if (impl_->enabled && handler) host::RunFormEvent(handler);
            return 0;
        });
}

Timer::~Timer() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stop = true;
    }
    impl_->wake.notify_all();
    if (impl_->ticker.joinable()) impl_->ticker.join();
    host::MessageQueue::Instance().DestroyWindow(impl_->window);
}

void Timer::SetEnabled(bool enabled) {
    impl_->enabled = enabled;
    // The ticker starts with the first enabling and runs until the timer goes.
    if (enabled && !impl_->ticker.joinable())
        impl_->ticker = std::thread([this] { impl_->Tick(); });
}

bool Timer::Enabled() const { return impl_->enabled; }
