#include "platform/host/dshow/camera_use_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>

namespace host::dshow {
namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t kUnixEpochInFileTimeSeconds = 11644473600ULL;

// An open file with an flock() on it, released and closed together.
class LockedFile {
  public:
    LockedFile(const std::string& path, int flags, int lockKind)
        : fd_(::open(path.c_str(), flags | O_CLOEXEC, 0666)) {
        if (fd_ >= 0 && ::flock(fd_, lockKind) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~LockedFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    std::optional<std::string> ReadAll() const {
        std::string text;
        char buffer[4096];
        if (::lseek(fd_, 0, SEEK_SET) < 0) return std::nullopt;
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got < 0) return std::nullopt;
            if (got == 0) return text;
            text.append(buffer, static_cast<std::size_t>(got));
        }
    }

    bool ReplaceAll(const std::string& text) const {
        if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) < 0) return false;
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t put = ::write(fd_, text.data() + written, text.size() - written);
            if (put <= 0) return false;
            written += static_cast<std::size_t>(put);
        }
        return true;
    }

  private:
    int fd_;
};

}  // namespace

std::string CameraUseFilePath(const std::string& devicesFile) {
    return devicesFile + ".camera-use";
}

std::vector<CameraUseRecord> ParseCameraUseText(const std::string& text) {
    std::vector<CameraUseRecord> records;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        CameraUseRecord record;
        if (!(fields >> record.lastStart >> record.lastStop)) continue;
        std::getline(fields >> std::ws, record.program);
        if (record.program.empty()) continue;
        record.inUse = IsCameraInUse(record.lastStart, record.lastStop);
        records.push_back(std::move(record));
    }
    return records;
}

std::string FormatCameraUseText(const std::vector<CameraUseRecord>& records) {
    std::string text = "# LastUsedTimeStart LastUsedTimeStop program\n";
    for (const CameraUseRecord& record : records) {
        text += std::to_string(record.lastStart) + " " + std::to_string(record.lastStop) + " " +
                record.program + "\n";
    }
    return text;
}

std::optional<std::vector<CameraUseRecord>> ReadCameraUseFile(const std::string& path) {
    LockedFile file(path, O_RDONLY, LOCK_SH);
    if (!file.IsOpen()) return std::nullopt;
    const std::optional<std::string> text = file.ReadAll();
    if (!text) return std::nullopt;
    return ParseCameraUseText(*text);
}

bool RecordCameraUse(const std::string& path, const std::string& program, bool started,
                     std::uint64_t now) {
    // Rewritten in place under the lock (not renamed over), so that every process's lock is on
    // the one file.
    LockedFile file(path, O_RDWR | O_CREAT, LOCK_EX);
    if (!file.IsOpen()) return false;
    const std::optional<std::string> text = file.ReadAll();
    if (!text) return false;
    std::vector<CameraUseRecord> records = ParseCameraUseText(*text);
    auto it = std::find_if(records.begin(), records.end(), [&](const CameraUseRecord& record) {
        return record.program == program;
    });
    if (it == records.end()) {
        // A stop without a start (the file was removed meanwhile) records nothing.
        if (!started) return true;
        records.emplace_back();
        it = records.end() - 1;
        it->program = program;
    }
    if (started) {
        it->lastStart = now;
        it->lastStop = 0;
    } else {
        it->lastStop = now;
    }
    return file.ReplaceAll(FormatCameraUseText(records));
}

std::uint64_t FileTimeNow() {
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return kUnixEpochInFileTimeSeconds * 10'000'000ULL +
           static_cast<std::uint64_t>(since1970.count()) / 100;
}

std::string ThisProgramPath() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace host::dshow
