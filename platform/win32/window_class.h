#pragma once

#include <string>

#include "platform/win32/win32_api.h"

namespace win32 {

// What the system draws for a class's windows by itself.
struct WindowClassLook {
    bool arrowCursor = false;     // otherwise none: the window sets the cursor itself
    HBRUSH background = nullptr;  // null: the window paints its whole background
};

// A window class of this program, registered while the object lives. The toolkit's classes
// are function-local statics, registered on first use; the resident program's lives with its
// window. All are ANSI classes, as the adapters call the A functions.
class WindowClass {
  public:
    WindowClass(std::string name, WNDPROC procedure, WindowClassLook look = {});
    ~WindowClass();
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;

    const char* Name() const { return name_.c_str(); }
    bool Registered() const { return registered_; }
    // GetLastError of a refused registration; 0 when registered.
    DWORD Error() const { return error_; }

  private:
    std::string name_;
    bool registered_ = false;
    DWORD error_ = 0;
};

}  // namespace win32
