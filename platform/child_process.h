#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

// A program started as a child process, watched until it ends. Destroying the object lets go of
// the process without ending it.
class ChildProcess {
  public:
    // Starts `program` with the one argument `argument`, working in `folder`, shown as a program
    // started by a person would be (no hidden or inactive first showing asked for). Null on
    // failure, and `errorText` then says why.
    static std::unique_ptr<ChildProcess> Start(const std::filesystem::path& program,
                                               const std::string& argument,
                                               const std::filesystem::path& folder,
                                               std::string& errorText);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit code once the process has ended; nothing while it runs. Does not wait.
    std::optional<std::uint32_t> ExitCode();
    // Ends the process at once.
    void Terminate();

    // The adapters' own view (the wait of ResidentLoop needs the native handle).
    struct Impl;
    Impl& Native() { return *impl_; }

  private:
    explicit ChildProcess(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
