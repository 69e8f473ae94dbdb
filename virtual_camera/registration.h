#pragma once
// Registration of the filter's COM class and of camera instances in the system's video input
// device category, the way a webcam driver appears to DirectShow applications.
#include <windows.h>

#include <string>
#include <vector>

struct IPropertyBag;

namespace vcam {

// A string value of a property bag, or empty when it has none.
std::wstring ReadBagString(IPropertyBag* bag, const wchar_t* name);

HRESULT RegisterComClass(const std::wstring& dllPath);
HRESULT UnregisterComClass();

// Adds (or replaces) the instance `id` with the friendly name `friendlyName` in
// CLSID_VideoInputDeviceCategory through IFilterMapper2. COM must be initialised.
// Devices are enumerated in the alphabetical order of their ids.
HRESULT RegisterInstance(const std::wstring& id, const std::wstring& friendlyName);
HRESULT UnregisterInstance(const std::wstring& id);

struct DeviceEntry {
    std::wstring friendlyName;
    std::wstring instanceId;  // empty for a device that is not one of ours
};
// Every video input device, in the system device enumerator's order. COM must be initialised.
HRESULT ListVideoInputDevices(std::vector<DeviceEntry>& devices);

}  // namespace vcam
