#include "virtual_camera/stream_claim.h"

namespace vcam {

std::unique_ptr<StreamClaim> StreamClaim::TryClaim(const std::wstring& id) {
    const std::wstring name = L"Local\\camzoom-vcam-stream-" + id;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    if (event == nullptr) return nullptr;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(event);
        return nullptr;
    }
    return std::unique_ptr<StreamClaim>(new StreamClaim(event));
}

StreamClaim::~StreamClaim() { CloseHandle(event_); }

}  // namespace vcam
