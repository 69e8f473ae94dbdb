#pragma once

// Internals shared by the host capture runtime's objects (not for portable code).

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/dshow/test_controls.h"
#include "platform/host/windows_sdk.h"

namespace host::dshow {

// Every COM object of the runtime is one: tests check that all of them are gone.
class LiveObject {
  public:
    LiveObject();
    LiveObject(const LiveObject&) = delete;
    LiveObject& operator=(const LiveObject&) = delete;

  protected:
    ~LiveObject();
};

// An atomic reference count that starts at 1 (the creator's reference).
class RefCount {
  public:
    ULONG Add() { return count_.fetch_add(1) + 1; }
    ULONG Drop() { return count_.fetch_sub(1) - 1; }

  private:
    std::atomic<ULONG> count_{1};
};

// The entry of every platform call: counts and logs it, and answers with an injected status
// (or raises an injected exception) when a test asked for one.
std::optional<HRESULT> EnterCall(const char* call, const std::string& detail = {},
                                 bool logged = true);

// While one lives on a thread, the runtime's own calls into its objects pass the gate unseen.
class InternalScope {
  public:
    InternalScope();
    ~InternalScope();
    InternalScope(const InternalScope&) = delete;
    InternalScope& operator=(const InternalScope&) = delete;
};

// "IMediaControl" for IID_IMediaControl, and so on; "unknown interface" otherwise.
std::string InterfaceName(REFIID iid);

#define HOST_DSHOW_ENTER(...)                                                          \
    do {                                                                               \
        if (auto injected_ = ::host::dshow::EnterCall(__VA_ARGS__)) return *injected_; \
    } while (false)

// The IUnknown of a runtime object that offers one interface and deletes itself with its last
// reference.
template <class Interface, const IID& InterfaceId>
class SingleInterfaceObject : public Interface, private LiveObject {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject) return E_POINTER;
        *ppvObject = nullptr;
        HOST_DSHOW_ENTER("IUnknown::QueryInterface", InterfaceName(riid));
        if (riid == IID_IUnknown || riid == InterfaceId) {
            *ppvObject = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG remaining = refs_.Drop();
        if (remaining == 0) delete this;
        return remaining;
    }

  protected:
    SingleInterfaceObject() = default;
    virtual ~SingleInterfaceObject() = default;

  private:
    RefCount refs_;
};

std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& utf8);

// One simulated camera: its configuration and the state of its camera controls, shared by every
// filter bound to it.
struct Device {
    std::size_t index = 0;
    mutable std::mutex mutex;
    DeviceConfig config;
};

std::vector<std::shared_ptr<Device>> CurrentDevices();
// Reads the devices file again when someone else changed it since (a camera plugged in or
// removed), as the platform's enumerator reads the registry afresh each time.
void RefreshDevicesFromFile();
// Writes the devices back to the devices file they came from, if any.
void PersistDevices();
// A camera's controls are the camera's, whoever set them. A filter stays bound to the device it
// was bound to while the file is read again; before it reads a control it takes what another
// process (or filter) wrote since, and what it writes reaches the devices that the file is
// written from.
void TakeSharedControls(Device& device);
void PersistControlsOf(Device& device);

// Clears injections, counts, the log and the frame observer.
void ResetCalls();

void ObserveFrame(const BYTE* buffer, LONG size);
void CountDeliveredFrame();
void StreamStarted();
void StreamStopped();

// The bytes a sample of this format needs.
LONG FormatBufferSize(const DeviceConfig& device);

// Factories of the creatable classes; each returns a new object with one reference.
IUnknown* NewFilterGraph();
IUnknown* NewCaptureGraphBuilder();
IUnknown* NewSystemDeviceEnum();
IUnknown* NewSampleGrabber();
IUnknown* NewNullRenderer();
IUnknown* NewSmartTee();
IBaseFilter* NewDeviceFilter(std::shared_ptr<Device> device);

// A media type of the runtime's allocation, freed with CoTaskMemFree (format block included).
AM_MEDIA_TYPE* NewMediaType(const DeviceConfig& format);
void FillMediaType(AM_MEDIA_TYPE& type, const DeviceConfig& format);

}  // namespace host::dshow
