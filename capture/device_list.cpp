#include "capture/device_list.h"

#include "capture/variant.h"

namespace {

constexpr DWORD kClassContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

std::string ToSystemText(const OLECHAR* wide) {
    if (!wide) return {};
    int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::vector<char> text(static_cast<std::size_t>(length));
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text.data(), length, nullptr, nullptr);
    return std::string(text.data());
}

// One device: nothing to go on, or the status that ends the walk.
std::optional<HRESULT> VisitNext(IEnumMoniker& devices, const DeviceVisitor& visit, int& position) {
    ComPtr<IMoniker> device;
    HRESULT hr = devices.Next(1, device.Put(), nullptr);
    if (hr != S_OK) return hr;
    ++position;

    ComPtr<IPropertyBag> properties;
    hr = device->BindToStorage(nullptr, nullptr, IID_IPropertyBag, properties.PutVoid());
    if (hr != S_OK) return hr;
    VariantValue friendlyName;
    hr = properties->Read(L"FriendlyName", friendlyName.Put(), nullptr);
    if (hr != S_OK) return hr;

    return visit(*device.Get(), ToSystemText(friendlyName.String()), position);
}

}  // namespace

HRESULT VisitVideoInputDevices(const DeviceVisitor& visit) {
    ComPtr<ICreateDevEnum> deviceEnum;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, kClassContext,
                                  IID_ICreateDevEnum, deviceEnum.PutVoid());
    if (FAILED(hr)) return hr;
    ComPtr<IEnumMoniker> devices;
    hr = deviceEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, devices.Put(), 0);
    if (FAILED(hr)) return hr;
    // Success without an enumerator: there is no video input device at all.
    if (!devices) return E_FAIL;

    int position = 0;
    try {
        std::optional<HRESULT> end;
        while (!end) end = VisitNext(*devices.Get(), visit, position);
        return *end;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT VideoInputDeviceNames(std::vector<std::string>& names) {
    names.clear();
    return VisitVideoInputDevices(
        [&names](IMoniker&, const std::string& friendlyName, int) -> std::optional<HRESULT> {
            names.push_back(friendlyName);
            return std::nullopt;
        });
}
