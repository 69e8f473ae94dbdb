// Profile files on Linux: the INI rules of platform/host/ini_text.h applied to the file afresh on
// every call, written through a temporary file so that a failed write leaves the file as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/host/ini_text.h"
#include "platform/profile.h"

namespace {

struct FileDescriptor {
    int fd = -1;
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    ~FileDescriptor() {
        if (fd >= 0) close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
};

// The whole file, the empty text when it does not exist, nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path) {
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) {
        if (errno == ENOENT) return std::string();
        return std::nullopt;
    }
    std::string text;
    char buffer[8192];
    while (true) {
        ssize_t got = read(file.fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// The file that a write really changes: the target of a symbolic link, else the path itself.
std::string WriteTarget(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

// Replaces `path` by `text` in one step: a temporary file beside it is renamed over it. A new
// file gets the usual permissions (0666 less the umask), an existing one keeps its own.
bool ReplaceFile(const std::string& path, const std::string& text, std::optional<mode_t> mode) {
    static std::atomic<unsigned> counter{0};
    std::string temporary =
        path + "." + std::to_string(getpid()) + "." + std::to_string(counter.fetch_add(1)) + ".tmp";
    FileDescriptor file(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file.fd < 0) return false;
    bool written =
        (!mode || fchmod(file.fd, *mode) == 0) && WriteAll(file.fd, text) && fsync(file.fd) == 0;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& path) {
    std::optional<std::string> text = ReadWholeFile(path);
    std::optional<std::string> value;
    if (text) value = host::ini::Lookup(*text, section, key);
    if (!value) return defaultValue.substr(0, host::ini::kMaxValueLength);
    return *value;
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    const std::string target = WriteTarget(path);
    std::optional<mode_t> mode;
    struct stat info {};
    if (stat(target.c_str(), &info) == 0) {
        // A file without any write permission is read-only, as the read-only attribute makes a
        // file on Windows - also for a privileged user.
        if (!S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0 || access(target.c_str(), W_OK))
            return false;
        mode = info.st_mode & 07777;
    }
    std::optional<std::string> text = ReadWholeFile(target);
    if (!text) return false;
    std::optional<std::string> changed = host::ini::WithValue(*text, section, key, value);
    if (!changed) return false;
    if (*changed == *text) return true;
    return ReplaceFile(target, *changed, mode);
}

std::vector<std::string> ReadProfileKeys(const std::string& section, const std::string& path) {
    std::optional<std::string> text = ReadWholeFile(path);
    if (!text) return {};
    return host::ini::Keys(*text, section);
}

bool DeleteProfileKey(const std::string& section, const std::string& key, const std::string& path) {
    const std::string target = WriteTarget(path);
    std::optional<std::string> text = ReadWholeFile(target);
    if (!text) return true;  // no file: no such key
    const std::string changed = host::ini::WithoutKey(*text, section, key);
    if (changed == *text) return true;
    struct stat info {};
    if (stat(target.c_str(), &info) != 0 || (info.st_mode & 0222) == 0 ||
        access(target.c_str(), W_OK))
        return false;
    return ReplaceFile(target, changed, info.st_mode & 07777);
}

bool FlushProfile(const std::string&) {
    // Every call reads and writes the file itself: there is no cache to flush.
    return true;
}
