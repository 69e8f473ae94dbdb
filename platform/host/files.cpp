// Files and the process's own facts on Linux, with the results the tool expects of Windows.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#include "platform/files.h"
#include "platform/host/testing/process_overrides.h"

namespace {

std::mutex overridesMutex;
std::optional<std::string> executablePathOverride;
std::optional<std::string> commandLineOverride;

// Texts of the Windows errors that opening a file can meet, so messages read as they do there.
std::string ErrorDescription(int error) {
    switch (error) {
        case ENOENT:
            return "The system cannot find the file specified.";
        case ENOTDIR:
            return "The system cannot find the path specified.";
        case EACCES:
        case EPERM:
        case EISDIR:
            return "Access is denied.";
        case EWOULDBLOCK:
            return "The process cannot access the file because it is being used by another "
                   "process.";
        default:
            return std::strerror(error);
    }
}

std::string ProcessExecutablePath() {
    std::string buffer(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0) return {};
    buffer.resize(static_cast<std::size_t>(length));
    return buffer;
}

std::string ProcessCommandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> arguments;
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\0', start);
        if (end == std::string::npos) end = all.size();
        arguments.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return host::JoinCommandLine(arguments);
}

}  // namespace

namespace host {

void SetExecutablePathOverride(std::optional<std::string> path) {
    std::lock_guard<std::mutex> lock(overridesMutex);
    executablePathOverride = std::move(path);
}

void SetRawCommandLineOverride(std::optional<std::string> line) {
    std::lock_guard<std::mutex> lock(overridesMutex);
    commandLineOverride = std::move(line);
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        bool needsQuotes = argument.empty();
        for (char c : argument) {
            auto byte = static_cast<unsigned char>(c);
            if (byte >= 1 && byte <= 32) needsQuotes = true;
        }
        line += needsQuotes ? "\"" + argument + "\"" : argument;
    }
    return line;
}

}  // namespace host

std::string ExecutablePath() {
    {
        std::lock_guard<std::mutex> lock(overridesMutex);
        if (executablePathOverride) return *executablePathOverride;
    }
    return ProcessExecutablePath();
}

std::string RawCommandLine() {
    {
        std::lock_guard<std::mutex> lock(overridesMutex);
        if (commandLineOverride) return *commandLineOverride;
    }
    return ProcessCommandLine();
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

struct ExclusiveReadFile::Impl {
    int fd = -1;
    ~Impl() {
        if (fd >= 0) close(fd);  // also drops the lock
    }
};

ExclusiveReadFile::ExclusiveReadFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ExclusiveReadFile::~ExclusiveReadFile() = default;

std::unique_ptr<ExclusiveReadFile> ExclusiveReadFile::Open(const std::string& path,
                                                           std::string& errorText) {
    auto impl = std::make_unique<Impl>();
    // Non-blocking, so that a pipe or device in the file's place cannot hold the open; only
    // regular files are read, as only files open on Windows.
    impl->fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (impl->fd < 0) {
        errorText = ErrorDescription(errno);
        return nullptr;
    }
    struct stat info {};
    if (fstat(impl->fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        errorText = ErrorDescription(EACCES);
        return nullptr;
    }
    fcntl(impl->fd, F_SETFL, fcntl(impl->fd, F_GETFL) & ~O_NONBLOCK);
    // The lock belongs to this open file description, so a second opener fails even inside the
    // same process, as with a share mode of 0.
    if (flock(impl->fd, LOCK_EX | LOCK_NB) != 0) {
        errorText = ErrorDescription(errno);
        return nullptr;
    }
    return std::unique_ptr<ExclusiveReadFile>(new ExclusiveReadFile(std::move(impl)));
}

std::size_t ExclusiveReadFile::Read(void* buffer, std::size_t count) {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t got = read(impl_->fd, bytes + done, count - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}
