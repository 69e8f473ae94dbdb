#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_api.h"

namespace win32 {

// Owns one open registry key and closes it when it goes.
class RegistryKey {
  public:
    RegistryKey() = default;
    ~RegistryKey() { Reset(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) {
            Reset();
            key_ = other.key_;
            other.key_ = nullptr;
        }
        return *this;
    }

    // An existing key only: never creates one. Empty when it cannot be opened.
    static RegistryKey Open(HKEY parent, const std::wstring& path, REGSAM access);

    HKEY Get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    void Reset() {
        if (key_ != nullptr) RegCloseKey(key_);
        key_ = nullptr;
    }

    std::vector<std::wstring> SubkeyNames() const;
    // A REG_QWORD value; none when absent or of another type.
    std::optional<std::uint64_t> ReadQword(const wchar_t* name) const;

  private:
    HKEY key_ = nullptr;
};

// UTF-8 of UTF-16 text.
std::string Utf8(const std::wstring& text);

}  // namespace win32
