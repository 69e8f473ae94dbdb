#include "platform/host/dshow/stream_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace host::dshow {

std::string StreamClaim::LockFilePath(const std::string& devicesFile, std::size_t index) {
    return devicesFile + ".camera" + std::to_string(index + 1) + ".lock";
}

std::unique_ptr<StreamClaim> StreamClaim::TryClaim(const std::string& devicesFile,
                                                   std::size_t index) {
    const std::string path = LockFilePath(devicesFile, index);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<StreamClaim>(new StreamClaim(fd));
}

// The file stays: removing it would race with a process that has just opened it.
StreamClaim::~StreamClaim() { ::close(fd_); }

}  // namespace host::dshow
