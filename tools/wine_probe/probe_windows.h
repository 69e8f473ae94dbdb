#pragma once
// Finding and reading the windows of other processes.
#include <windows.h>

#include <string>
#include <vector>

namespace probe {

struct WindowInfo {
    HWND handle = nullptr;
    DWORD processId = 0;
    std::wstring className;
    std::wstring text;
    RECT rect{};        // screen coordinates for a top-level window, parent client for a child
    RECT clientRect{};  // client area size
    bool visible = false;
    int controlId = 0;
};

// Text of a window of any process; WM_GETTEXT is marshalled, with a bounded wait.
std::wstring WindowText(HWND window);
WindowInfo Describe(HWND window, HWND parent);

// Top-level windows whose title equals `title` (all when `title` is empty) and, when given,
// whose class equals `className`.
std::vector<HWND> TopLevelWindows(const std::wstring& title, const std::wstring& className);
std::vector<HWND> ChildWindows(HWND parent);

// A child control whose text equals `caption`, ignoring '&' accelerator marks.
HWND FindChildByText(HWND parent, const std::wstring& caption);

}  // namespace probe
