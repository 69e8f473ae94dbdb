#pragma once

#include <cstddef>
#include <memory>
#include <string>

// Files and the process's own facts, as the tool needs them.

// Full path of the running executable (GetModuleFileNameA).
std::string ExecutablePath();

// The raw command line, program path included (GetCommandLineA).
std::string RawCommandLine();

// True when `path` names an existing file that is not a directory (FindFirstFileA).
bool FileExists(const std::string& path);

// A file opened for reading and shared with no other opener (CreateFileA with share mode 0;
// on Linux an advisory lock that our own code honours). Closed when destroyed.
class ExclusiveReadFile {
  public:
    // Null on failure; `errorText` then holds the platform's description of the error.
    static std::unique_ptr<ExclusiveReadFile> Open(const std::string& path, std::string& errorText);
    ~ExclusiveReadFile();
    ExclusiveReadFile(const ExclusiveReadFile&) = delete;
    ExclusiveReadFile& operator=(const ExclusiveReadFile&) = delete;

    // Reads up to `count` bytes and returns how many were read: fewer at the end of the file
    // or on a read error.
    std::size_t Read(void* buffer, std::size_t count);

  private:
    struct Impl;
    explicit ExclusiveReadFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
