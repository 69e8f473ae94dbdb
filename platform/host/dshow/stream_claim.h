#pragma once

// A camera streams to one consumer at a time, whichever process it is in: the host programs that
// share a devices file claim a device's stream through an flock()ed lock file beside that file,
// "<devices file>.camera<N>.lock" (N from 1, in the file's order). The lock belongs to the open
// file, so a second claim is refused from another process and from another filter of this one
// alike, and a process that ends, however it ends, lets go of its claims.

#include <memory>
#include <string>

namespace host::dshow {

class StreamClaim {
  public:
    // The claim of device `index` (from 0) of the devices file `devicesFile`; null while someone
    // else holds it (or the lock file cannot be made).
    static std::unique_ptr<StreamClaim> TryClaim(const std::string& devicesFile, std::size_t index);
    static std::string LockFilePath(const std::string& devicesFile, std::size_t index);
    ~StreamClaim();
    StreamClaim(const StreamClaim&) = delete;
    StreamClaim& operator=(const StreamClaim&) = delete;

  private:
    explicit StreamClaim(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace host::dshow
