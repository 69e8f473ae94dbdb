#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/messaging.h"

// The host's stand-in for the main thread's window messaging: windows are ids with a procedure,
// messages can be posted from any thread and sent from other threads (the sender waits until the
// main thread has handled the message, or until its timeout), and the loop reports idle each
// time it has run empty. The thread that first touches the queue is its main thread.
namespace host {

class MessageQueue {
  public:
    using Procedure = MessageWindow::Procedure;

    static MessageQueue& Instance();

    WindowHandle CreateWindow(Procedure procedure);
    // Removes the window; messages still queued for it are dropped and senders waiting on it
    // are released.
    void DestroyWindow(WindowHandle window);
    bool IsWindow(WindowHandle window) const;

    // Any thread. False when the window does not exist.
    bool Post(WindowHandle window, unsigned message, MessageWParam wParam, MessageLParam lParam);
    // From the main thread the procedure runs at once. From another thread the message waits
    // until the main thread handles it; false when `timeout` passed first or the window went
    // away, and the message is then withdrawn.
    bool Send(WindowHandle window, unsigned message, MessageWParam wParam, MessageLParam lParam,
              std::chrono::milliseconds timeout, MessageResult* result);

    // Main thread: handles one waiting message, sent ones first. False when none was waiting.
    bool ProcessOne();
    // Main thread: handles every waiting message, then reports idle once.
    void ProcessPendingAndIdle();
    // Main thread: calls the idle handlers until each says done.
    void NotifyIdle();
    // Main thread: waits until a message arrives or `timeout` passes. True when one is waiting.
    bool WaitForMessage(std::chrono::milliseconds timeout);

    std::size_t PendingCount() const;

    // Idle handlers, in registration order.
    int AddIdleHandler(IdleHook::Handler* handler);
    void RemoveIdleHandler(int id);

    std::thread::id MainThread() const;

  private:
    MessageQueue();

    struct Message {
        WindowHandle window;
        unsigned message;
        MessageWParam wParam;
        MessageLParam lParam;
    };
    struct SentMessage {
        Message message;
        bool taken = false;
        bool handled = false;
        bool cancelled = false;
        MessageResult result = 0;
    };

    Procedure FindProcedure(WindowHandle window) const;
    MessageResult Dispatch(const Message& message);

    const std::thread::id mainThread_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable handled_;
    std::map<WindowHandle, Procedure> windows_;
    std::uintptr_t nextWindow_ = 0x1000;
    std::deque<Message> posted_;
    std::deque<SentMessage*> sent_;
    std::map<int, IdleHook::Handler*> idleHandlers_;
    int nextIdleId_ = 1;
};

// The tick that TickCountMs() reports. Tests can replace it with a clock of their own; an
// empty function restores the steady clock.
void SetTickSource(std::function<std::uint32_t()> source);

// Whether YieldTimeSlice() gives up the time slice (true until changed). A benchmark that times
// the frame hand-over turns it off: on a loaded machine the slice given away dwarfs the rest.
void SetTimeSliceYields(bool given);

}  // namespace host
