// Files and the process's own facts on Windows.
#include <algorithm>
#include <string>

#include "platform/files.h"
#include "platform/win32/system_error_text.h"
#include "platform/win32/win32_api.h"

std::string ExecutablePath() {
    std::string buffer(MAX_PATH, '\0');
    while (true) {
        DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        // A full buffer may mean a cut path: try again with more room.
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::string RawCommandLine() {
    const char* line = GetCommandLineA();
    return line ? std::string(line) : std::string();
}

bool FileExists(const std::string& path) {
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

struct ExclusiveReadFile::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~Impl() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

ExclusiveReadFile::ExclusiveReadFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ExclusiveReadFile::~ExclusiveReadFile() = default;

std::unique_ptr<ExclusiveReadFile> ExclusiveReadFile::Open(const std::string& path,
                                                           std::string& errorText) {
    auto impl = std::make_unique<Impl>();
    impl->handle = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (impl->handle == INVALID_HANDLE_VALUE) {
        errorText = win32::SystemErrorText(GetLastError());
        return nullptr;
    }
    return std::unique_ptr<ExclusiveReadFile>(new ExclusiveReadFile(std::move(impl)));
}

std::size_t ExclusiveReadFile::Read(void* buffer, std::size_t count) {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        DWORD step = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(impl_->handle, bytes + done, step, &got, nullptr) || got == 0) break;
        done += got;
    }
    return done;
}
