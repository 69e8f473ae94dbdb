#include "virtual_camera/registration.h"

#include <dshow.h>
#include <uuids.h>

#include "platform/com_ptr.h"
#include "virtual_camera/module.h"
#include "virtual_camera/reg_key.h"

namespace vcam {
namespace {

std::wstring GuidText(const GUID& guid) {
    wchar_t text[64];
    StringFromGUID2(guid, text, 64);
    return text;
}

std::wstring ClassKeyPath() { return L"CLSID\\" + GuidText(kVirtualCameraClsid); }

std::wstring InstanceKeyPath(const std::wstring& id) {
    return L"CLSID\\" + GuidText(CLSID_VideoInputDeviceCategory) + L"\\Instance\\" + id;
}

}  // namespace

std::wstring ReadBagString(IPropertyBag* bag, const wchar_t* name) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    std::wstring result;
    if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal) {
        result.assign(value.bstrVal, SysStringLen(value.bstrVal));
    }
    VariantClear(&value);
    return result;
}

HRESULT RegisterComClass(const std::wstring& dllPath) {
    auto key = RegKey::Create(HKEY_CLASSES_ROOT, ClassKeyPath());
    if (!key || !key->WriteString(nullptr, kFilterName)) return SELFREG_E_CLASS;
    auto server = RegKey::Create(key->Get(), L"InprocServer32");
    if (!server || !server->WriteString(nullptr, dllPath) ||
        !server->WriteString(L"ThreadingModel", L"Both")) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT UnregisterComClass() {
    return DeleteKeyTree(HKEY_CLASSES_ROOT, ClassKeyPath()) ? S_OK : SELFREG_E_CLASS;
}

HRESULT RegisterInstance(const std::wstring& id, const std::wstring& friendlyName) {
    if (id.empty() || id.find(L'\\') != std::wstring::npos) return E_INVALIDARG;
    ComPtr<IFilterMapper2> mapper;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IFilterMapper2, mapper.PutVoid());
    if (FAILED(hr)) return hr;
    mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, id.c_str(), kVirtualCameraClsid);

    REGPINTYPES pinType{&MEDIATYPE_Video, &MEDIASUBTYPE_NULL};
    REGFILTERPINS2 pin{};
    pin.dwFlags = REG_PINFLAG_B_OUTPUT;
    pin.cInstances = 1;
    pin.nMediaTypes = 1;
    pin.lpMediaType = &pinType;
    pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins2 = 1;
    filter.rgPins2 = &pin;

    ComPtr<IMoniker> moniker;
    hr = mapper->RegisterFilter(kVirtualCameraClsid, friendlyName.c_str(), moniker.Put(),
                                &CLSID_VideoInputDeviceCategory, id.c_str(), &filter);
    if (FAILED(hr)) return hr;
    // Lets the filter find its settings whatever its friendly name is.
    auto instance = RegKey::Open(HKEY_CLASSES_ROOT, InstanceKeyPath(id), KEY_WRITE);
    if (!instance || !instance->WriteString(L"CamzoomInstance", id)) return E_FAIL;
    return S_OK;
}

HRESULT UnregisterInstance(const std::wstring& id) {
    ComPtr<IFilterMapper2> mapper;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IFilterMapper2, mapper.PutVoid());
    if (FAILED(hr)) return hr;
    hr = mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, id.c_str(), kVirtualCameraClsid);
    // Whatever the mapper left behind goes too.
    DeleteKeyTree(HKEY_CLASSES_ROOT, InstanceKeyPath(id));
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ? S_FALSE : hr;
}

HRESULT ListVideoInputDevices(std::vector<DeviceEntry>& devices) {
    devices.clear();
    ComPtr<ICreateDevEnum> enumerators;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICreateDevEnum, enumerators.PutVoid());
    if (FAILED(hr)) return hr;
    ComPtr<IEnumMoniker> monikers;
    hr = enumerators->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0);
    if (hr != S_OK || !monikers) return SUCCEEDED(hr) ? S_OK : hr;
    for (;;) {
        ComPtr<IMoniker> moniker;
        if (monikers->Next(1, moniker.Put(), nullptr) != S_OK) break;
        ComPtr<IPropertyBag> bag;
        DeviceEntry entry;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) {
            entry.friendlyName = ReadBagString(bag.Get(), L"FriendlyName");
            entry.instanceId = ReadBagString(bag.Get(), L"CamzoomInstance");
        }
        devices.push_back(std::move(entry));
    }
    return S_OK;
}

}  // namespace vcam
