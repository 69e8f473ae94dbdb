// The system device enumerator of the host capture runtime: the video input category lists
// the simulated devices, each behind a moniker with a property bag and a source filter.
#include "platform/host/dshow/filter.h"

namespace host::dshow {
namespace {

class PropertyBag final : public SingleInterfaceObject<IPropertyBag, IID_IPropertyBag> {
  public:
    explicit PropertyBag(std::shared_ptr<Device> device) : device_(std::move(device)) {}

    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog*) override {
        if (!pszPropName || !pVar) return E_POINTER;
        std::wstring property = pszPropName;
        HOST_DSHOW_ENTER("IPropertyBag::Read", Narrow(property));
        std::wstring value;
        {
            std::lock_guard lock(device_->mutex);
            if (property == L"FriendlyName") {
                if (!device_->config.friendlyNameReadable) return E_FAIL;
                value = device_->config.friendlyName;
            } else if (property == L"DevicePath") {
                value = L"\\\\?\\host#video#" + std::to_wstring(device_->index);
            } else {
                return E_INVALIDARG;
            }
        }
        pVar->vt = VT_BSTR;
        pVar->bstrVal = SysAllocString(value.c_str());
        return pVar->bstrVal ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override {
        HOST_DSHOW_ENTER("IPropertyBag::Write");
        return E_NOTIMPL;
    }

  private:
    ~PropertyBag() = default;
    std::shared_ptr<Device> device_;
};

class DeviceMoniker final : public SingleInterfaceObject<IMoniker, IID_IMoniker> {
  public:
    explicit DeviceMoniker(std::shared_ptr<Device> device) : device_(std::move(device)) {}

    HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx*, IMoniker*, REFIID riidResult,
                                           void** ppvResult) override {
        if (!ppvResult) return E_POINTER;
        *ppvResult = nullptr;
        HOST_DSHOW_ENTER("IMoniker::BindToObject", InterfaceName(riidResult));
        InternalScope internal;
        IBaseFilter* filter = NewDeviceFilter(device_);
        HRESULT hr = filter->QueryInterface(riidResult, ppvResult);
        filter->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx*, IMoniker*, REFIID riid,
                                            void** ppvObj) override {
        if (!ppvObj) return E_POINTER;
        *ppvObj = nullptr;
        HOST_DSHOW_ENTER("IMoniker::BindToStorage", InterfaceName(riid));
        if (!(riid == IID_IPropertyBag)) return E_NOINTERFACE;
        *ppvObj = static_cast<IPropertyBag*>(new PropertyBag(device_));
        return S_OK;
    }

  private:
    ~DeviceMoniker() = default;
    std::shared_ptr<Device> device_;
};

class MonikerEnumerator final : public SingleInterfaceObject<IEnumMoniker, IID_IEnumMoniker> {
  public:
    MonikerEnumerator(std::vector<std::shared_ptr<Device>> devices, std::size_t position)
        : devices_(std::move(devices)), position_(position) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) override {
        if (!rgelt) return E_POINTER;
        if (celt != 1 && !pceltFetched) return E_INVALIDARG;
        HOST_DSHOW_ENTER("IEnumMoniker::Next");
        ULONG fetched = 0;
        while (fetched < celt && position_ < devices_.size()) {
            rgelt[fetched++] = new DeviceMoniker(devices_[position_++]);
        }
        if (pceltFetched) *pceltFetched = fetched;
        return fetched == celt ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
        HOST_DSHOW_ENTER("IEnumMoniker::Skip");
        position_ = std::min(position_ + celt, devices_.size());
        return position_ < devices_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        HOST_DSHOW_ENTER("IEnumMoniker::Reset");
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumMoniker** ppenum) override {
        if (!ppenum) return E_POINTER;
        HOST_DSHOW_ENTER("IEnumMoniker::Clone");
        *ppenum = new MonikerEnumerator(devices_, position_);
        return S_OK;
    }

  private:
    ~MonikerEnumerator() = default;
    std::vector<std::shared_ptr<Device>> devices_;
    std::size_t position_;
};

class SystemDeviceEnum final : public SingleInterfaceObject<ICreateDevEnum, IID_ICreateDevEnum> {
  public:
    HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID clsidDeviceClass,
                                                    IEnumMoniker** ppEnumMoniker, DWORD) override {
        if (!ppEnumMoniker) return E_POINTER;
        *ppEnumMoniker = nullptr;
        HOST_DSHOW_ENTER("ICreateDevEnum::CreateClassEnumerator");
        if (!(clsidDeviceClass == CLSID_VideoInputDeviceCategory)) return S_FALSE;
        RefreshDevicesFromFile();
        auto devices = CurrentDevices();
        // An empty category has no enumerator at all.
        if (devices.empty()) return S_FALSE;
        *ppEnumMoniker = new MonikerEnumerator(std::move(devices), 0);
        return S_OK;
    }

  private:
    ~SystemDeviceEnum() = default;
};

}  // namespace

IUnknown* NewSystemDeviceEnum() { return new SystemDeviceEnum(); }

}  // namespace host::dshow
