#pragma once
// RAII registry key with the few typed accessors that the camera's settings need.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace vcam {

class RegKey {
  public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept;
    RegKey& operator=(RegKey&& other) noexcept;
    ~RegKey();

    static std::optional<RegKey> Open(HKEY parent, const std::wstring& path, REGSAM access);
    static std::optional<RegKey> Create(HKEY parent, const std::wstring& path);

    HKEY Get() const { return key_; }

    std::optional<std::wstring> ReadString(const wchar_t* name) const;
    std::optional<DWORD> ReadDword(const wchar_t* name) const;
    bool WriteString(const wchar_t* name, const std::wstring& value) const;
    bool WriteDword(const wchar_t* name, DWORD value) const;
    bool WriteQword(const wchar_t* name, ULONGLONG value) const;
    std::vector<std::wstring> SubkeyNames() const;

  private:
    explicit RegKey(HKEY key) : key_(key) {}
    HKEY key_ = nullptr;
};

// Deletes a key with everything below it; true when it is gone afterwards.
bool DeleteKeyTree(HKEY parent, const std::wstring& path);

}  // namespace vcam
