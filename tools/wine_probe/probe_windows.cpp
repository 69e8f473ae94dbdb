#include "tools/wine_probe/probe_windows.h"

namespace probe {
namespace {

std::wstring WithoutAccelerators(const std::wstring& text) {
    std::wstring result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) ++i;
        result += text[i];
    }
    return result;
}

struct TopLevelSearch {
    std::wstring title;
    std::wstring className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<TopLevelSearch*>(context);
    if (!search->title.empty() && WindowText(window) != search->title) return TRUE;
    if (!search->className.empty()) {
        wchar_t name[256] = {};
        GetClassNameW(window, name, 256);
        if (search->className != name) return TRUE;
    }
    search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

}  // namespace

std::wstring WindowText(HWND window) {
    wchar_t buffer[4096] = {};
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                            SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000, &copied)) {
        return std::wstring(buffer, wcsnlen(buffer, 4096));
    }
    const int length = GetWindowTextW(window, buffer, 4096);
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

WindowInfo Describe(HWND window, HWND parent) {
    WindowInfo info;
    info.handle = window;
    GetWindowThreadProcessId(window, &info.processId);
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    info.className = name;
    info.text = WindowText(window);
    GetWindowRect(window, &info.rect);
    if (parent) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&info.rect), 2);
    GetClientRect(window, &info.clientRect);
    info.visible = IsWindowVisible(window) != FALSE;
    info.controlId = parent ? GetDlgCtrlID(window) : 0;
    return info;
}

std::vector<HWND> TopLevelWindows(const std::wstring& title, const std::wstring& className) {
    TopLevelSearch search{title, className, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND FindChildByText(HWND parent, const std::wstring& caption) {
    const std::wstring wanted = WithoutAccelerators(caption);
    for (HWND child : ChildWindows(parent)) {
        if (WithoutAccelerators(WindowText(child)) == wanted) return child;
    }
    return nullptr;
}

}  // namespace probe
