// The one message loop of the toolkit, run by the application and by every modal dialog.
#include "platform/win32/gui_internal.h"

namespace win32 {

std::optional<WPARAM> PumpMessages(const HWND& keyWindow, const std::function<bool()>& finished) {
    for (;;) {
        MSG message;
        while (!finished() && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return message.wParam;
            // Tab, Enter, Esc and a slider's keys move between and press the window's controls.
            if (keyWindow != nullptr && IsDialogMessageA(keyWindow, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (finished()) return std::nullopt;
        // The frame path takes its frames in the idle notification: it must go on in every loop.
        if (NotifyIdleHandlers()) WaitMessage();
    }
}

}  // namespace win32
