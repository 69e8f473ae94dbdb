#pragma once
// Lifetime bookkeeping of the DLL: live objects and server locks decide DllCanUnloadNow.
#include <windows.h>

#include <atomic>

namespace vcam {

inline constexpr wchar_t kFilterName[] = L"Camzoom Virtual Camera";
inline constexpr wchar_t kPinName[] = L"Capture";

// {BBE36C1D-C20E-483D-87D1-1E67D6C43C86}
inline constexpr GUID kVirtualCameraClsid = {
    0xbbe36c1d, 0xc20e, 0x483d, {0x87, 0xd1, 0x1e, 0x67, 0xd6, 0xc4, 0x3c, 0x86}};

std::atomic<long>& ModuleUsers();

class ModuleUse {
  public:
    ModuleUse() { ++ModuleUsers(); }
    ModuleUse(const ModuleUse&) : ModuleUse() {}
    ModuleUse& operator=(const ModuleUse&) = default;
    ~ModuleUse() { --ModuleUsers(); }
};

}  // namespace vcam
