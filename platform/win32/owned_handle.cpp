// UTF-16 names for the Win32 functions that take them (events, mutexes, processes).
#include "platform/win32/owned_handle.h"

namespace win32 {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                            length);
    }
    return text;
}

}  // namespace win32
