// MessageWindow, IdleHook, the tick and the yield on the host message queue.
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/host/message_queue.h"
#include "platform/messaging.h"

struct MessageWindow::Impl {
    WindowHandle handle = nullptr;
};

MessageWindow::MessageWindow(Procedure procedure) : impl_(std::make_unique<Impl>()) {
    impl_->handle = host::MessageQueue::Instance().CreateWindow(std::move(procedure));
}

MessageWindow::~MessageWindow() { host::MessageQueue::Instance().DestroyWindow(impl_->handle); }

WindowHandle MessageWindow::Handle() const { return impl_->handle; }

bool MessageWindow::Post(unsigned message, MessageWParam wParam, MessageLParam lParam) const {
    return host::MessageQueue::Instance().Post(impl_->handle, message, wParam, lParam);
}

MessageResult MessageWindow::DefaultProcedure(unsigned, MessageWParam, MessageLParam) const {
    return 0;
}

struct IdleHook::Impl {
    Handler handler;
    int id = 0;
};

IdleHook::IdleHook() : impl_(std::make_unique<Impl>()) {
    impl_->id = host::MessageQueue::Instance().AddIdleHandler(&impl_->handler);
}

IdleHook::~IdleHook() { host::MessageQueue::Instance().RemoveIdleHandler(impl_->id); }

void IdleHook::SetHandler(Handler handler) { impl_->handler = std::move(handler); }

namespace {

std::mutex tickMutex;
std::function<std::uint32_t()> tickSource;
std::atomic<bool> yieldsGiven{true};

std::uint32_t SteadyTick() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace

void host::SetTickSource(std::function<std::uint32_t()> source) {
    std::lock_guard lock(tickMutex);
    tickSource = std::move(source);
}

std::uint32_t TickCountMs() {
    std::function<std::uint32_t()> source;
    {
        std::lock_guard lock(tickMutex);
        source = tickSource;
    }
    return source ? source() : SteadyTick();
}

void host::SetTimeSliceYields(bool given) { yieldsGiven.store(given, std::memory_order_relaxed); }

void YieldTimeSlice() {
    if (yieldsGiven.load(std::memory_order_relaxed)) std::this_thread::yield();
}
