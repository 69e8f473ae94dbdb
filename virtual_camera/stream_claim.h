#pragma once
// A camera streams to one consumer at a time: a second stream is refused by its driver with
// HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES), whichever process asks. An instance's stream is
// claimed with the named event Local\camzoom-vcam-stream-<ID>: whoever creates it holds the
// stream, and it goes with the last handle, so a process that ends, however it ends, lets go.
// The camera controls need no claim: they stay usable from anywhere while someone streams.
#include <windows.h>

#include <memory>
#include <string>

namespace vcam {

inline constexpr HRESULT kStreamBusy = HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES);

class StreamClaim {
  public:
    // The claim of instance `id`'s stream; null while another filter, of this process or
    // another, holds it.
    static std::unique_ptr<StreamClaim> TryClaim(const std::wstring& id);
    ~StreamClaim();
    StreamClaim(const StreamClaim&) = delete;
    StreamClaim& operator=(const StreamClaim&) = delete;

  private:
    explicit StreamClaim(HANDLE event) : event_(event) {}
    HANDLE event_;
};

}  // namespace vcam
