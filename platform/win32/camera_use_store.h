#pragma once

// Where Windows keeps its camera-use records, below HKCU and HKLM alike.
namespace win32 {

inline constexpr wchar_t kCameraUseStore[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\webcam";

}  // namespace win32
