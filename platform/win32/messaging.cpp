// MessageWindow, IdleHook, the tick and the yield on Win32.
#include <map>
#include <vector>

#include "platform/messaging.h"
#include "platform/win32/gui_internal.h"
#include "platform/win32/window_class.h"
// After <windows.h>, which it needs.
#include <mmsystem.h>

namespace {

constexpr char kMessageWindowClass[] = "CamzoomMessageWindow";

}  // namespace

struct MessageWindow::Impl {
    Procedure procedure;
    HWND window = nullptr;

    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
        auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (impl == nullptr || !impl->procedure) {
            return DefWindowProcA(window, message, wParam, lParam);
        }
        LRESULT result = 0;
        // An exception must not unwind through Windows: it goes to the error box instead.
        win32::RunEventHandler([&] {
            result = impl->procedure(message, static_cast<MessageWParam>(wParam),
                                     static_cast<MessageLParam>(lParam));
        });
        return result;
    }

    // Registered on first use, for all message windows of the program.
    static const char* ClassName() {
        static const win32::WindowClass messageClass(kMessageWindowClass, WindowProcedure);
        return messageClass.Name();
    }
};

MessageWindow::MessageWindow(Procedure procedure) : impl_(std::make_unique<Impl>()) {
    impl_->procedure = std::move(procedure);
    // A message-only window: never shown, never enumerated, still on this thread's queue.
    impl_->window = CreateWindowExA(0, Impl::ClassName(), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
    // The procedure sees messages only once the window exists: its owner is usually still being
    // built while the creation messages arrive.
    if (impl_->window != nullptr) {
        SetWindowLongPtrA(impl_->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl_.get()));
    }
}

MessageWindow::~MessageWindow() {
    if (impl_->window == nullptr) return;
    // The procedure belongs to an owner that is going away: nothing reaches it from here on.
    SetWindowLongPtrA(impl_->window, GWLP_USERDATA, 0);
    // Destroying the window drops the messages still queued for it.
    DestroyWindow(impl_->window);
}

WindowHandle MessageWindow::Handle() const { return impl_->window; }

bool MessageWindow::Post(unsigned message, MessageWParam wParam, MessageLParam lParam) const {
    if (impl_->window == nullptr) return false;
    return PostMessageA(impl_->window, message, static_cast<WPARAM>(wParam),
                        static_cast<LPARAM>(lParam)) != FALSE;
}

MessageResult MessageWindow::DefaultProcedure(unsigned message, MessageWParam wParam,
                                              MessageLParam lParam) const {
    return DefWindowProcA(impl_->window, message, static_cast<WPARAM>(wParam),
                          static_cast<LPARAM>(lParam));
}

// Idle handlers live on the main thread only, like the message loop that calls them.
namespace {

std::map<int, IdleHook::Handler*>& IdleHandlers() {
    static std::map<int, IdleHook::Handler*> handlers;
    return handlers;
}

int nextIdleId = 1;

}  // namespace

struct IdleHook::Impl {
    Handler handler;
    int id = 0;
};

IdleHook::IdleHook() : impl_(std::make_unique<Impl>()) {
    impl_->id = nextIdleId++;
    IdleHandlers()[impl_->id] = &impl_->handler;
}

IdleHook::~IdleHook() { IdleHandlers().erase(impl_->id); }

void IdleHook::SetHandler(Handler handler) { impl_->handler = std::move(handler); }

bool win32::NotifyIdleHandlers() {
    // Handlers may add or remove hooks while they run: walk a snapshot of the ids and look
    // each one up again.
    std::vector<int> ids;
    for (const auto& [id, handler] : IdleHandlers()) ids.push_back(id);
    bool allDone = true;
    for (int id : ids) {
        const auto found = IdleHandlers().find(id);
        if (found == IdleHandlers().end() || !*found->second) continue;
        // Copied: the handler may clear or replace itself.
        const IdleHook::Handler handler = *found->second;
        bool done = true;
        win32::RunEventHandler([&] { handler(done); });
        allDone = allDone && done;
    }
    return allDone;
}

std::uint32_t TickCountMs() { return static_cast<std::uint32_t>(timeGetTime()); }

void YieldTimeSlice() { Sleep(0); }
