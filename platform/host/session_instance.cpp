// One instance per session on Linux: a lock file in the user's data folder, held with flock
// while the instance runs and holding its process id, to which a stop request sends SIGTERM.
#include "platform/session_instance.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#include "platform/user_data_folder.h"

namespace {

// "Local\camzoom-watch" -> <data folder>/camzoom-watch.lock: the session's namespace is the
// user's own folder.
std::filesystem::path LockPath(const std::string& name) {
    std::size_t slash = name.find_last_of('\\');
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    return LocalAppDataFolder() / (base + ".lock");
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

struct SessionInstance::Impl {
    FileDescriptor lock;  // closing it lets go of the lock
};

SessionInstance::SessionInstance(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SessionInstance::~SessionInstance() = default;

std::unique_ptr<SessionInstance> SessionInstance::TryClaim(const std::string& name, Claim& result,
                                                           std::string& errorText) {
    const std::filesystem::path path = LockPath(name);
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    auto impl = std::unique_ptr<Impl>(
        new Impl{FileDescriptor(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))});
    if (impl->lock.Get() < 0) {
        result = Claim::Failed;
        errorText = std::strerror(errno);
        return nullptr;
    }
    if (flock(impl->lock.Get(), LOCK_EX | LOCK_NB) != 0) {
        result = errno == EWOULDBLOCK ? Claim::AlreadyRunning : Claim::Failed;
        errorText = std::strerror(errno);
        return nullptr;
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(impl->lock.Get(), 0) != 0 ||
        pwrite(impl->lock.Get(), pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        result = Claim::Failed;
        errorText = std::strerror(errno);
        return nullptr;
    }
    result = Claim::Claimed;
    return std::unique_ptr<SessionInstance>(new SessionInstance(std::move(impl)));
}

StopOutcome StopSessionInstance(const std::string& name, const std::string&, const std::string&,
                                std::uint32_t timeoutMs) {
    FileDescriptor lock(open(LockPath(name).c_str(), O_RDWR | O_CLOEXEC));
    if (lock.Get() < 0) return StopOutcome::NoneRunning;
    if (flock(lock.Get(), LOCK_EX | LOCK_NB) == 0) return StopOutcome::NoneRunning;

    char text[32] = {};
    ssize_t length = pread(lock.Get(), text, sizeof text - 1, 0);
    const long pid = length > 0 ? std::strtol(text, nullptr, 10) : 0;
    if (pid > 0) kill(static_cast<pid_t>(pid), SIGTERM);

    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (std::chrono::steady_clock::now() >= until) return StopOutcome::StillRunning;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return StopOutcome::Ended;
}
