#include "virtual_camera/use_records.h"

#include <algorithm>

#include "virtual_camera/reg_key.h"

namespace vcam {
namespace {

constexpr wchar_t kNonPackagedStore[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\webcam"
    L"\\NonPackaged\\";

ULONGLONG Now() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::wstring UseRecordKeyPath() {
    std::wstring name = ProgramPath();
    std::replace(name.begin(), name.end(), L'\\', L'#');
    return kNonPackagedStore + name;
}

void RecordStreamStart() {
    // The platform keeps the records whatever happens to the stream: a failure changes nothing.
    if (auto key = RegKey::Create(HKEY_CURRENT_USER, UseRecordKeyPath())) {
        key->WriteQword(L"LastUsedTimeStart", Now());
        key->WriteQword(L"LastUsedTimeStop", 0);
    }
}

void RecordStreamStop() {
    if (auto key = RegKey::Create(HKEY_CURRENT_USER, UseRecordKeyPath())) {
        key->WriteQword(L"LastUsedTimeStop", Now());
    }
}

}  // namespace vcam
