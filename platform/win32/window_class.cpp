#include "platform/win32/window_class.h"

#include <utility>

namespace win32 {

WindowClass::WindowClass(std::string name, WNDPROC procedure, WindowClassLook look)
    : name_(std::move(name)) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    if (look.arrowCursor) {
        windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    }
    windowClass.hbrBackground = look.background;
    windowClass.lpszClassName = name_.c_str();
    registered_ = RegisterClassExA(&windowClass) != 0;
    if (!registered_) error_ = GetLastError();
}

WindowClass::~WindowClass() {
    if (registered_) UnregisterClassA(name_.c_str(), GetModuleHandleA(nullptr));
}

}  // namespace win32
