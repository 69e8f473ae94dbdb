#include "capture/device_selection.h"

#include "capture/device_list.h"
#include "capture/device_name.h"

HRESULT BindSelectedDevice(const std::string& name, ComPtr<IBaseFilter>& source) {
    const std::string wanted = DeviceLookupName(name);
    // The first match ends the search: selected when its filter binds, else its status.
    return VisitVideoInputDevices([&](IMoniker& device, const std::string& friendlyName,
                                      int position) -> std::optional<HRESULT> {
        if (MatchDevice(wanted, friendlyName, position) == DeviceMatch::None) {
            return std::nullopt;
        }
        ComPtr<IBaseFilter> bound;
        HRESULT hr = device.BindToObject(nullptr, nullptr, IID_IBaseFilter, bound.PutVoid());
        if (hr == S_OK) source = bound;
        return hr;
    });
}
