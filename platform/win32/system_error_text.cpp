// The one reading of Win32 error codes into text.
#include "platform/win32/system_error_text.h"

#include "platform/error_description.h"

namespace win32 {

std::string SystemErrorText(DWORD error) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer != nullptr) text = TrimErrorDescription({buffer, length});
    if (buffer != nullptr) LocalFree(buffer);
    if (text.empty()) text = "System error " + std::to_string(error);
    return text;
}

}  // namespace win32
