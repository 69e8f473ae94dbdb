#include "platform/console_output.h"

#include "platform/win32/win32_api.h"

namespace {

bool Usable(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

}  // namespace

void WriteStandardOutput(const std::string& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    // A redirected output (a script capturing it) is inherited as it is; a console is not.
    if (!Usable(out) && AttachConsole(ATTACH_PARENT_PROCESS)) out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!Usable(out)) return;
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
