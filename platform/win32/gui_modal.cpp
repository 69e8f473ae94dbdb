// The modal loop of the toolkit's dialogs: the application's own loop (PumpMessages), for one
// dialog, with the owner disabled.
#include "platform/win32/gui_internal.h"

namespace {

void CentreOn(HWND window, HWND owner) {
    RECT around = {};
    RECT own = {};
    if (!GetWindowRect(owner, &around) || !GetWindowRect(window, &own)) return;
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    const int left = around.left + ((around.right - around.left) - width) / 2;
    const int top = around.top + ((around.bottom - around.top) - height) / 2;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

namespace win32 {

void RunModalLoop(HWND dialog, HWND owner, const bool& closed) {
    CentreOn(dialog, owner);
    const bool ownerWasEnabled = EnableWindow(owner, FALSE) == 0;
    ShowWindow(dialog, SW_SHOWNORMAL);
    UpdateWindow(dialog);
    const std::optional<WPARAM> quitCode =
        PumpMessages(dialog, [&] { return closed || !IsWindow(dialog); });
    // The owner takes input again before the dialog hides, so that the activation goes to it.
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    if (IsWindow(dialog)) ShowWindow(dialog, SW_HIDE);
    if (quitCode) PostQuitMessage(static_cast<int>(*quitCode));
}

}  // namespace win32
