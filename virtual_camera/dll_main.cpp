// The DLL's COM entry points: class factory, unloading, and self-registration (regsvr32), which
// registers the COM class and one camera instance, "Camzoom Virtual Camera".
#include <windows.h>

#include <new>

#include "platform/com_apartment.h"
#include "virtual_camera/camera_filter.h"
#include "virtual_camera/camera_settings.h"
#include "virtual_camera/module.h"
#include "virtual_camera/registration.h"

namespace vcam {

std::atomic<long>& ModuleUsers() {
    static std::atomic<long> users{0};
    return users;
}

namespace {

HMODULE g_module = nullptr;

class ClassFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return VirtualCameraFilter::Create(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ++ModuleUsers();
        } else {
            --ModuleUsers();
        }
        return S_OK;
    }

  private:
    ~ClassFactory() = default;
    std::atomic<ULONG> refs_{1};
    ModuleUse use_;
};

std::wstring ModulePath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

}  // namespace
}  // namespace vcam

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        vcam::g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != vcam::kVirtualCameraClsid) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) vcam::ClassFactory();
    if (!factory) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return vcam::ModuleUsers() == 0 ? S_OK : S_FALSE; }

HRESULT STDAPICALLTYPE DllRegisterServer() {
    const std::wstring path = vcam::ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    HRESULT hr = vcam::RegisterComClass(path);
    if (FAILED(hr)) return hr;
    const std::wstring id = vcam::kDefaultInstanceId;
    vcam::CameraSettings webcam = vcam::DefaultSettings(id);
    vcam::AddWebcamControls(webcam);
    if (!vcam::LoadSettings(id) && !vcam::SaveSettings(webcam)) {
        return SELFREG_E_CLASS;
    }
    ComApartment com(COINIT_APARTMENTTHREADED);
    return vcam::RegisterInstance(id, vcam::LoadSettings(id)->friendlyName);
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    ComApartment com(COINIT_APARTMENTTHREADED);
    for (const std::wstring& id : vcam::ListInstanceIds()) vcam::UnregisterInstance(id);
    vcam::UnregisterInstance(vcam::kDefaultInstanceId);
    return vcam::UnregisterComClass();
}

}  // extern "C"
