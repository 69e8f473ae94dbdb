#include "platform/host/message_queue.h"

#include <thread>

namespace host {

MessageQueue& MessageQueue::Instance() {
    static MessageQueue queue;
    return queue;
}

MessageQueue::MessageQueue() : mainThread_(std::this_thread::get_id()) {}

std::thread::id MessageQueue::MainThread() const { return mainThread_; }

WindowHandle MessageQueue::CreateWindow(Procedure procedure) {
    std::lock_guard lock(mutex_);
    auto window = reinterpret_cast<WindowHandle>(nextWindow_);
    nextWindow_ += 0x10;
    windows_[window] = std::move(procedure);
    return window;
}

void MessageQueue::DestroyWindow(WindowHandle window) {
    std::lock_guard lock(mutex_);
    windows_.erase(window);
    std::erase_if(posted_, [window](const Message& m) { return m.window == window; });
    for (auto it = sent_.begin(); it != sent_.end();) {
        if ((*it)->message.window == window) {
            (*it)->cancelled = true;
            it = sent_.erase(it);
        } else {
            ++it;
        }
    }
    handled_.notify_all();
}

bool MessageQueue::IsWindow(WindowHandle window) const {
    std::lock_guard lock(mutex_);
    return windows_.count(window) != 0;
}

bool MessageQueue::Post(WindowHandle window, unsigned message, MessageWParam wParam,
                        MessageLParam lParam) {
    std::lock_guard lock(mutex_);
    if (windows_.count(window) == 0) return false;
    posted_.push_back({window, message, wParam, lParam});
    arrived_.notify_all();
    return true;
}

bool MessageQueue::Send(WindowHandle window, unsigned message, MessageWParam wParam,
                        MessageLParam lParam, std::chrono::milliseconds timeout,
                        MessageResult* result) {
    if (std::this_thread::get_id() == mainThread_) {
        if (!IsWindow(window)) return false;
        MessageResult r = Dispatch({window, message, wParam, lParam});
        if (result) *result = r;
        return true;
    }
    SentMessage sent{{window, message, wParam, lParam}};
    std::unique_lock lock(mutex_);
    if (windows_.count(window) == 0) return false;
    sent_.push_back(&sent);
    arrived_.notify_all();
    bool finished =
        handled_.wait_for(lock, timeout, [&] { return sent.handled || sent.cancelled; });
    if (!finished) {
        if (!sent.taken) {
            std::erase(sent_, &sent);
            return false;
        }
        // The main thread is handling it right now and writes into `sent` when done.
        handled_.wait(lock, [&] { return sent.handled; });
    }
    if (sent.cancelled) return false;
    if (result) *result = sent.result;
    return true;
}

bool MessageQueue::ProcessOne() {
    std::unique_lock lock(mutex_);
    if (!sent_.empty()) {
        SentMessage* sent = sent_.front();
        sent_.pop_front();
        sent->taken = true;
        Procedure procedure =
            windows_.count(sent->message.window) ? windows_[sent->message.window] : Procedure();
        lock.unlock();
        MessageResult r =
            procedure ? procedure(sent->message.message, sent->message.wParam, sent->message.lParam)
                      : 0;
        lock.lock();
        sent->result = r;
        sent->handled = true;
        handled_.notify_all();
        return true;
    }
    if (!posted_.empty()) {
        Message message = posted_.front();
        posted_.pop_front();
        lock.unlock();
        Dispatch(message);
        return true;
    }
    return false;
}

void MessageQueue::ProcessPendingAndIdle() {
    while (ProcessOne()) {
    }
    NotifyIdle();
}

void MessageQueue::NotifyIdle() {
    std::vector<IdleHook::Handler*> handlers;
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, handler] : idleHandlers_) handlers.push_back(handler);
    }
    for (IdleHook::Handler* handler : handlers) {
        if (!*handler) continue;
        // A handler that is not done is called again, as the platform's loop does, but never
        // more often than a queue that stays empty could justify.
        for (int round = 0; round < 1000; ++round) {
            bool done = true;
            (*handler)(done);
            if (done) break;
        }
    }
}

bool MessageQueue::WaitForMessage(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [this] { return !sent_.empty() || !posted_.empty(); });
}

std::size_t MessageQueue::PendingCount() const {
    std::lock_guard lock(mutex_);
    return sent_.size() + posted_.size();
}

int MessageQueue::AddIdleHandler(IdleHook::Handler* handler) {
    std::lock_guard lock(mutex_);
    int id = nextIdleId_++;
    idleHandlers_[id] = handler;
    return id;
}

void MessageQueue::RemoveIdleHandler(int id) {
    std::lock_guard lock(mutex_);
    idleHandlers_.erase(id);
}

MessageQueue::Procedure MessageQueue::FindProcedure(WindowHandle window) const {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    return it == windows_.end() ? Procedure() : it->second;
}

MessageResult MessageQueue::Dispatch(const Message& message) {
    Procedure procedure = FindProcedure(message.window);
    if (!procedure) return 0;
    return procedure(message.message, message.wParam, message.lParam);
}

}  // namespace host
