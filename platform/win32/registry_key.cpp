#include "platform/win32/registry_key.h"

namespace win32 {

RegistryKey RegistryKey::Open(HKEY parent, const std::wstring& path, REGSAM access) {
    RegistryKey key;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, access, &opened) == ERROR_SUCCESS) {
        key.key_ = opened;
    }
    return key;
}

std::vector<std::wstring> RegistryKey::SubkeyNames() const {
    std::vector<std::wstring> names;
    if (key_ == nullptr) return names;
    for (DWORD index = 0;; ++index) {
        // Key names are at most 255 characters.
        wchar_t name[256];
        DWORD length = 256;
        const LSTATUS status =
            RegEnumKeyExW(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

std::optional<std::uint64_t> RegistryKey::ReadQword(const wchar_t* name) const {
    DWORD type = 0;
    std::uint64_t value = 0;
    DWORD bytes = sizeof value;
    if (key_ == nullptr ||
        RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_QWORD || bytes != sizeof value) {
        return std::nullopt;
    }
    return value;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                            bytes, nullptr, nullptr);
    }
    return result;
}

}  // namespace win32
