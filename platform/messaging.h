#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/tick.h"
#include "platform/window_handle.h"

// Window messaging of the main thread: hidden windows that receive posted messages, the
// application's idle notification, the millisecond tick and a time-slice yield.

using MessageWParam = std::uintptr_t;
using MessageLParam = std::intptr_t;
using MessageResult = std::intptr_t;

constexpr unsigned kUserMessageBase = 0x0400;  // WM_USER
constexpr unsigned kAppMessageBase = 0x8000;   // WM_APP

// A hidden window of the thread that creates it (the main thread). Its procedure runs on that
// thread for every message that reaches the window; Post may be called from any thread.
class MessageWindow {
  public:
    using Procedure =
        std::function<MessageResult(unsigned message, MessageWParam wParam, MessageLParam lParam)>;

    explicit MessageWindow(Procedure procedure);
    // Destroys the window: messages still queued for it are never handled.
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    WindowHandle Handle() const;
    // Thread-safe; false when the message could not be queued.
    bool Post(unsigned message, MessageWParam wParam, MessageLParam lParam) const;
    // The platform's default handling (DefWindowProc) for this window.
    MessageResult DefaultProcedure(unsigned message, MessageWParam wParam,
                                   MessageLParam lParam) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Receives the application's idle notification while it lives: the message loop calls the
// handler each time it finds its queue empty; done = true lets the loop wait for the next
// message instead of calling the handler again at once.
class IdleHook {
  public:
    using Handler = std::function<void(bool& done)>;

    IdleHook();
    ~IdleHook();
    IdleHook(const IdleHook&) = delete;
    IdleHook& operator=(const IdleHook&) = delete;

    // An empty handler clears it.
    void SetHandler(Handler handler);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// 32-bit wrapping millisecond tick (timeGetTime).
Tick TickCountMs();

// Gives up the rest of the calling thread's time slice (Sleep(0)).
void YieldTimeSlice();
