// Child processes on Linux: posix_spawn, watched with waitpid. As on Windows, the exit code is a
// 32-bit number; a process ended by a signal reads as 128 + the signal's number, as shells say.
#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>

#include "platform/host/child_process_native.h"

extern char** environ;

namespace {

std::optional<std::uint32_t> CodeOf(int status) {
    if (WIFEXITED(status)) return static_cast<std::uint32_t>(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return static_cast<std::uint32_t>(128 + WTERMSIG(status));
    return std::nullopt;
}

// posix_spawn's own resources, released on every path.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

ChildProcess::ChildProcess(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ChildProcess::~ChildProcess() = default;

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::filesystem::path& program,
                                                  const std::string& argument,
                                                  const std::filesystem::path& folder,
                                                  std::string& errorText) {
    SpawnSetup setup;
    // Nothing to read and nobody to talk to, as for a program started without a console: the
    // host tool would otherwise take its commands from the keeper's input.
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&setup.actions, folder.c_str());
    // The keeper waits for its signals with them blocked; the child starts with none blocked.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK);

    std::string programText = program.string();
    std::string argumentText = argument;
    char* arguments[] = {programText.data(), argumentText.data(), nullptr};
    pid_t pid = -1;
    int error = posix_spawn(&pid, programText.c_str(), &setup.actions, &setup.attributes, arguments,
                            environ);
    if (error != 0) {
        errorText = std::strerror(error);
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->pid = pid;
    return std::unique_ptr<ChildProcess>(new ChildProcess(std::move(impl)));
}

std::optional<std::uint32_t> ChildProcess::ExitCode() {
    if (impl_->exitCode) return impl_->exitCode;
    int status = 0;
    if (waitpid(impl_->pid, &status, WNOHANG) != impl_->pid) return std::nullopt;
    impl_->exitCode = CodeOf(status);
    return impl_->exitCode;
}

void ChildProcess::Terminate() {
    if (impl_->exitCode) return;
    kill(impl_->pid, SIGKILL);
    int status = 0;
    if (waitpid(impl_->pid, &status, 0) == impl_->pid) impl_->exitCode = CodeOf(status);
}
