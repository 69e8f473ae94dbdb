// The version resource of a file, through GetFileVersionInfoW and VerQueryValueW.
#include "tools/wine_probe/file_version.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace probe {
namespace {

constexpr const wchar_t* kStringNames[] = {L"CompanyName",  L"FileDescription", L"FileVersion",
                                           L"InternalName", L"LegalCopyright",  L"OriginalFilename",
                                           L"ProductName",  L"ProductVersion"};

std::string Utf8(const wchar_t* text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string result(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), bytes, nullptr, nullptr);
    result.pop_back();  // the terminator
    return result;
}

void PrintQuad(const char* name, DWORD high, DWORD low) {
    std::printf("%s=%lu.%lu.%lu.%lu", name, static_cast<unsigned long>(HIWORD(high)),
                static_cast<unsigned long>(LOWORD(high)), static_cast<unsigned long>(HIWORD(low)),
                static_cast<unsigned long>(LOWORD(low)));
}

}  // namespace

bool PrintFileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return false;

    void* block = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", &block, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return false;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    PrintQuad("fixed", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    std::printf(" ");
    PrintQuad("product", fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    std::printf("\n");

    struct Translation {
        WORD language;
        WORD codePage;
    };
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &block, &length) ||
        length < sizeof(Translation))
        return false;
    const auto* translation = static_cast<const Translation*>(block);
    const unsigned long key =
        (static_cast<unsigned long>(translation->language) << 16) | translation->codePage;
    std::wstring prefix = L"\\StringFileInfo\\";
    for (int shift = 28; shift >= 0; shift -= 4)
        prefix += L"0123456789abcdef"[(key >> shift) & 0xF];
    prefix += L"\\";
    for (const wchar_t* name : kStringNames) {
        const std::wstring query = prefix + name;
        if (!VerQueryValueW(data.data(), query.c_str(), &block, &length) || length == 0) continue;
        std::printf("%s=%s\n", Utf8(name).c_str(),
                    Utf8(static_cast<const wchar_t*>(block)).c_str());
    }
    return true;
}

}  // namespace probe
