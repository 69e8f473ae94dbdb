// The event log as the tests see it under Wine: the watcher's message table read back, and an
// event reported by the product's adapter.
#include "tools/wine_probe/event_log_probe.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/event_log.h"

namespace probe {
namespace {

std::string Utf8(const std::wstring& text) {
    std::string result;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return result;
    result.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(),
                        bytes, nullptr, nullptr);
    return result;
}

// One output line: line breaks shown as \n.
std::string Utf8Line(const std::wstring& text) {
    std::string escaped;
    for (char c : Utf8(text)) {
        if (c == '\n') {
            escaped += "\\n";
        } else if (c != '\r') {
            escaped += c;
        }
    }
    return escaped;
}

class LoadedModule {
  public:
    explicit LoadedModule(HMODULE module) : module_(module) {}
    ~LoadedModule() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    HMODULE Get() const { return module_; }

  private:
    HMODULE module_;
};

}  // namespace

bool PrintTableMessage(const std::wstring& path, std::uint32_t id, const std::wstring& text) {
    // As the event viewer reads a message file: as data, without running its code.
    LoadedModule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (module.Get() == nullptr) {
        std::fprintf(stderr, "wine_probe: cannot load %s (%lu)\n", Utf8Line(path).c_str(),
                     GetLastError());
        return false;
    }
    const DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(text.c_str())};
    wchar_t* message = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                           FORMAT_MESSAGE_ARGUMENT_ARRAY,
                       module.Get(), id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                       reinterpret_cast<wchar_t*>(&message), 0,
                       reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments)));
    if (length == 0) {
        std::fprintf(stderr, "wine_probe: no message %lu in %s (%lu)\n",
                     static_cast<unsigned long>(id), Utf8Line(path).c_str(), GetLastError());
        return false;
    }
    std::wstring formatted(message, length);
    LocalFree(message);
    while (!formatted.empty() && (formatted.back() == L'\n' || formatted.back() == L'\r')) {
        formatted.pop_back();
    }
    std::printf("message=%s\n", Utf8Line(formatted).c_str());
    return true;
}

int ReportEvent(const std::wstring& source, const std::wstring& severity, std::uint32_t id,
                const std::wstring& text) {
    std::unique_ptr<EventLog> log = EventLog::OpenRegistered(Utf8(source));
    if (!log) {
        std::printf("not registered\n");
        return 3;
    }
    EventSeverity kind = EventSeverity::Information;
    if (severity == L"warning") kind = EventSeverity::Warning;
    if (severity == L"error") kind = EventSeverity::Error;
    if (!log->Report(kind, id, Utf8(text))) {
        std::printf("refused\n");
        return 1;
    }
    std::printf("reported\n");
    return 0;
}

}  // namespace probe
