// The source filter of a simulated device: a capture pin (and, if the device has one, a
// preview pin) with the device's current format, the device's camera controls, video-processing
// controls and power-line frequency, and a streaming thread that sends a moving test pattern,
// changed by those controls, downstream while the filter runs.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <thread>

#include "platform/com_ptr.h"
#include "platform/host/dshow/camera_use_file.h"
#include "platform/host/dshow/filter.h"
#include "platform/host/dshow/stream_claim.h"
#include "platform/host/dshow/test_pattern.h"

namespace host::dshow {
namespace {

class DeviceFilter;

// The capture pin's stream configuration; its references are the filter's.
class StreamConfig final : public IAMStreamConfig {
  public:
    explicit StreamConfig(DeviceFilter& owner) : owner_(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* pmt) override;
    HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE** ppmt) override;
    HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* piCount, int* piSize) override;
    HRESULT STDMETHODCALLTYPE GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) override;

  private:
    DeviceFilter& owner_;
};

// The filter's video-processing interface; its references are the filter's. A separate object
// because its methods have the camera-control interface's names.
class ProcAmp final : public IAMVideoProcAmp {
  public:
    explicit ProcAmp(DeviceFilter& owner) : owner_(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta,
                                       LONG* pDefault, LONG* pCapsFlags) override;
    HRESULT STDMETHODCALLTYPE Set(LONG Property, LONG lValue, LONG Flags) override;
    HRESULT STDMETHODCALLTYPE Get(LONG Property, LONG* lValue, LONG* Flags) override;

  private:
    DeviceFilter& owner_;
};

// The filter's kernel-streaming property set: the power-line frequency of the video-processing
// set, as a camera's driver offers it.
class PowerLineProperty final : public IKsPropertySet {
  public:
    explicit PowerLineProperty(DeviceFilter& owner) : owner_(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                                  DWORD cbInstanceData, LPVOID pPropData,
                                  DWORD cbPropData) override;
    HRESULT STDMETHODCALLTYPE Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                                  DWORD cbInstanceData, LPVOID pPropData, DWORD cbPropData,
                                  DWORD* pcbReturned) override;
    HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID guidPropSet, DWORD dwPropID,
                                             DWORD* pTypeSupport) override;

  private:
    DeviceFilter& owner_;
};

// Which of the device's controls a call means.
enum class Face { Camera, ProcAmp, PowerLine };

constexpr HRESULT E_PROP_ID_UNSUPPORTED = MakeHostStatus(0x80070490);
constexpr HRESULT E_PROP_SET_UNSUPPORTED = MakeHostStatus(0x80070492);

class DeviceFilter final : public Filter, public IAMCameraControl {
  public:
    explicit DeviceFilter(std::shared_ptr<Device> device)
        : Filter(GUID{}, Widen(DeviceName(*device))),
          device_(std::move(device)),
          config_(*this),
          procAmp_(*this),
          powerLine_(*this) {
        AddPin(L"Capture", PINDIR_OUTPUT, PIN_CATEGORY_CAPTURE);
        if (Snapshot().previewPin) AddPin(L"Preview", PINDIR_OUTPUT, PIN_CATEGORY_PREVIEW);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        return Filter::QueryInterface(riid, ppvObject);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Filter::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Filter::Release(); }

    HRESULT STDMETHODCALLTYPE GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta,
                                       LONG* pDefault, LONG* pCapsFlags) override {
        if (!pMin || !pMax || !pSteppingDelta || !pDefault || !pCapsFlags) return E_POINTER;
        HOST_DSHOW_ENTER("IAMCameraControl::GetRange", std::to_string(Property));
        return RangeOf(Face::Camera, Property, *pMin, *pMax, *pSteppingDelta, *pDefault,
                       *pCapsFlags);
    }

    HRESULT STDMETHODCALLTYPE Set(LONG Property, LONG lValue, LONG Flags) override {
        HOST_DSHOW_ENTER("IAMCameraControl::Set", std::to_string(Property));
        return SetControl(Face::Camera, Property, lValue, Flags);
    }

    HRESULT STDMETHODCALLTYPE Get(LONG Property, LONG* lValue, LONG* Flags) override {
        if (!lValue || !Flags) return E_POINTER;
        HOST_DSHOW_ENTER("IAMCameraControl::Get", std::to_string(Property));
        return ValueOf(Face::Camera, Property, *lValue, *Flags);
    }

    // The controls of every face, once the call has been entered.
    HRESULT RangeOf(Face face, LONG property, LONG& min, LONG& max, LONG& step, LONG& defaultValue,
                    LONG& capsFlags) {
        TakeSharedControls(*device_);
        std::lock_guard lock(device_->mutex);
        const CameraControlConfig* control = Control(face, property);
        if (!control) return E_PROP_ID_UNSUPPORTED;
        min = control->min;
        max = control->max;
        step = control->step;
        defaultValue = control->defaultValue;
        capsFlags = control->capsFlags;
        return S_OK;
    }

    HRESULT ValueOf(Face face, LONG property, LONG& value, LONG& flags) {
        TakeSharedControls(*device_);
        std::lock_guard lock(device_->mutex);
        const CameraControlConfig* control = Control(face, property);
        if (!control) return E_PROP_ID_UNSUPPORTED;
        value = control->value;
        flags = control->flags;
        return S_OK;
    }

    HRESULT SetControl(Face face, LONG property, LONG value, LONG flags) {
        {
            TakeSharedControls(*device_);
            std::lock_guard lock(device_->mutex);
            CameraControlConfig* control = Control(face, property);
            if (!control) return E_PROP_ID_UNSUPPORTED;
            if (flags != CameraControl_Flags_Auto && flags != CameraControl_Flags_Manual) {
                return E_INVALIDARG;
            }
            if ((control->capsFlags & flags) == 0) return E_INVALIDARG;
            if (value < control->min || value > control->max) return E_INVALIDARG;
            control->value = value;
            control->flags = flags;
        }
        // The camera keeps its setting, also for the next run.
        PersistControlsOf(*device_);
        return S_OK;
    }

    bool OffersPowerLine() {
        const DeviceConfig config = Snapshot();
        return config.videoProcAmp && config.powerLine.has_value();
    }

    DeviceConfig Snapshot() const {
        std::lock_guard lock(device_->mutex);
        return device_->config;
    }

    std::optional<DeviceConfig> OfferedFormat(const Pin&) const override { return Snapshot(); }

    HRESULT QueryPinInterface(Pin& pin, REFIID riid, void** ppvObject) override {
        if (pin.Category() == PIN_CATEGORY_CAPTURE && riid == IID_IAMStreamConfig) {
            *ppvObject = static_cast<IAMStreamConfig*>(&config_);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }

  protected:
    HRESULT QueryOwnInterface(REFIID riid, void** ppvObject) override {
        const DeviceConfig config = Snapshot();
        if (riid == IID_IAMCameraControl && config.cameraControl) {
            *ppvObject = static_cast<IAMCameraControl*>(this);
            AddRef();
            return S_OK;
        }
        if (riid == IID_IAMVideoProcAmp && config.videoProcAmp) {
            *ppvObject = static_cast<IAMVideoProcAmp*>(&procAmp_);
            AddRef();
            return S_OK;
        }
        if (riid == IID_IKsPropertySet && config.videoProcAmp && config.powerLine) {
            *ppvObject = static_cast<IKsPropertySet*>(&powerLine_);
            AddRef();
            return S_OK;
        }
        return Filter::QueryOwnInterface(riid, ppvObject);
    }

    void OnRun() override {
        Pin* capture = Pins().front().get();
        if (!capture->Peer()) return;
        const DeviceConfig config = Snapshot();
        if (config.resetOnStart) ResetControls();
        recordsFile_.clear();
        if (config.useRecords && !sharedFile_.empty()) {
            recordsFile_ = CameraUseFilePath(sharedFile_);
            RecordCameraUse(recordsFile_, ThisProgramPath(), true, FileTimeNow());
        }
        std::lock_guard lock(threadMutex_);
        stopRequested_ = false;
        StreamStarted();
        thread_ = std::thread([this, capture] { Stream(*capture); });
    }

    void OnStop() override {
        {
            std::lock_guard lock(threadMutex_);
            if (!thread_.joinable()) return;
            stopRequested_ = true;
        }
        wake_.notify_all();
        // Once this returns, no sample of this device is on its way any more.
        thread_.join();
        StreamStopped();
        if (!recordsFile_.empty()) {
            RecordCameraUse(recordsFile_, ThisProgramPath(), false, FileTimeNow());
        }
    }

    // The stream is claimed when the first output pin connects, as a driver refuses a second
    // stream there: a graph's Run that failed later might still look like success to its caller.
    HRESULT OnConnecting(Pin&) override {
        if (claim_) return S_OK;  // the other pin of this filter
        sharedFile_ = SharedDevicesFilePath();
        if (sharedFile_.empty()) return S_OK;  // devices in memory: nobody to share them with
        claim_ = StreamClaim::TryClaim(sharedFile_, device_->index);
        return claim_ ? S_OK : kDeviceBusy;
    }

    void OnDisconnected(Pin&) override {
        for (const auto& pin : Pins()) {
            if (pin->Direction() == PINDIR_OUTPUT && pin->Peer()) return;
        }
        claim_.reset();
    }

  private:
    // HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES): what a camera's driver answers while it
    // streams to someone else.
    static constexpr HRESULT kDeviceBusy = MakeHostStatus(0x800705AA);

    ~DeviceFilter() override { OnStop(); }

    static std::string DeviceName(const Device& device) {
        std::lock_guard lock(device.mutex);
        return Narrow(device.config.friendlyName);
    }

    static void ResetControl(std::optional<CameraControlConfig>& control) {
        if (!control) return;
        control->value = control->defaultValue;
        control->flags = (control->capsFlags & CameraControl_Flags_Auto) != 0
                             ? CameraControl_Flags_Auto
                             : CameraControl_Flags_Manual;
    }

    void ResetControls() {
        {
            std::lock_guard lock(device_->mutex);
            for (auto& control : device_->config.controls) ResetControl(control);
            for (auto& control : device_->config.procAmp) ResetControl(control);
            ResetControl(device_->config.powerLine);
        }
        PersistControlsOf(*device_);
    }

    CameraControlConfig* Control(Face face, LONG property) {
        std::optional<CameraControlConfig>* control = nullptr;
        if (face == Face::Camera && property >= 0 && property < 7) {
            control = &device_->config.controls[static_cast<std::size_t>(property)];
        } else if (face == Face::ProcAmp && property >= 0 && property < 10) {
            control = &device_->config.procAmp[static_cast<std::size_t>(property)];
        } else if (face == Face::PowerLine &&
                   property == static_cast<LONG>(KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY)) {
            control = &device_->config.powerLine;
        }
        return control && *control ? &**control : nullptr;
    }

    // The controls as the picture needs them; another process's settings show too.
    PictureControlReadings Readings() {
        if (!sharedFile_.empty()) TakeSharedControls(*device_);
        return PictureReadingsOf(Snapshot());
    }

    void Stream(Pin& capture) {
        DeviceConfig format = Snapshot();
        ComPtr<IMediaSample> sample;
        auto* buffer = new MediaSample(FormatBufferSize(format));
        sample.Attach(buffer);
        auto interval = std::chrono::milliseconds(format.frameIntervalMs);
        auto next = std::chrono::steady_clock::now();
        for (std::uint32_t frame = 0;; ++frame) {
            {
                std::unique_lock lock(threadMutex_);
                if (wake_.wait_until(lock, next, [this] { return stopRequested_; })) return;
            }
            // A camera whose frames are not taken in time drops them rather than catching up.
            next = std::max(next + interval, std::chrono::steady_clock::now());
            PaintTestPattern(buffer->Data(), static_cast<std::size_t>(buffer->Size()), format,
                             frame, EffectsOf(Readings()));
            REFERENCE_TIME start =
                static_cast<REFERENCE_TIME>(frame) * format.frameIntervalMs * 10000;
            buffer->SetTimes(start,
                             start + static_cast<REFERENCE_TIME>(format.frameIntervalMs) * 10000);
            ObserveFrame(buffer->Data(), buffer->GetActualDataLength());
            capture.Deliver(sample.Get());
        }
    }

    std::shared_ptr<Device> device_;
    StreamConfig config_;
    ProcAmp procAmp_;
    PowerLineProperty powerLine_;
    std::string sharedFile_;   // the devices file whose lock and records are this device's
    std::string recordsFile_;  // where this run's start was recorded; empty: nowhere
    std::unique_ptr<StreamClaim> claim_;
    std::mutex threadMutex_;
    std::condition_variable wake_;
    bool stopRequested_ = false;
    std::thread thread_;

    friend class StreamConfig;
};

HRESULT STDMETHODCALLTYPE ProcAmp::QueryInterface(REFIID riid, void** ppvObject) {
    return owner_.QueryInterface(riid, ppvObject);
}
ULONG STDMETHODCALLTYPE ProcAmp::AddRef() { return owner_.AddRef(); }
ULONG STDMETHODCALLTYPE ProcAmp::Release() { return owner_.Release(); }

HRESULT STDMETHODCALLTYPE ProcAmp::GetRange(LONG Property, LONG* pMin, LONG* pMax,
                                            LONG* pSteppingDelta, LONG* pDefault,
                                            LONG* pCapsFlags) {
    if (!pMin || !pMax || !pSteppingDelta || !pDefault || !pCapsFlags) return E_POINTER;
    HOST_DSHOW_ENTER("IAMVideoProcAmp::GetRange", std::to_string(Property));
    return owner_.RangeOf(Face::ProcAmp, Property, *pMin, *pMax, *pSteppingDelta, *pDefault,
                          *pCapsFlags);
}

HRESULT STDMETHODCALLTYPE ProcAmp::Set(LONG Property, LONG lValue, LONG Flags) {
    HOST_DSHOW_ENTER("IAMVideoProcAmp::Set", std::to_string(Property));
    return owner_.SetControl(Face::ProcAmp, Property, lValue, Flags);
}

HRESULT STDMETHODCALLTYPE ProcAmp::Get(LONG Property, LONG* lValue, LONG* Flags) {
    if (!lValue || !Flags) return E_POINTER;
    HOST_DSHOW_ENTER("IAMVideoProcAmp::Get", std::to_string(Property));
    return owner_.ValueOf(Face::ProcAmp, Property, *lValue, *Flags);
}

HRESULT STDMETHODCALLTYPE PowerLineProperty::QueryInterface(REFIID riid, void** ppvObject) {
    return owner_.QueryInterface(riid, ppvObject);
}
ULONG STDMETHODCALLTYPE PowerLineProperty::AddRef() { return owner_.AddRef(); }
ULONG STDMETHODCALLTYPE PowerLineProperty::Release() { return owner_.Release(); }

// The video-processing property set has the video-processing interface's GUID.
HRESULT CheckPowerLineProperty(REFGUID set, DWORD id) {
    if (set != IID_IAMVideoProcAmp) return E_PROP_SET_UNSUPPORTED;
    if (id != KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY) return E_PROP_ID_UNSUPPORTED;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PowerLineProperty::QuerySupported(REFGUID guidPropSet, DWORD dwPropID,
                                                            DWORD* pTypeSupport) {
    if (!pTypeSupport) return E_POINTER;
    HOST_DSHOW_ENTER("IKsPropertySet::QuerySupported", std::to_string(dwPropID));
    if (HRESULT hr = CheckPowerLineProperty(guidPropSet, dwPropID); hr != S_OK) return hr;
    if (!owner_.OffersPowerLine()) return E_PROP_ID_UNSUPPORTED;
    *pTypeSupport = KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PowerLineProperty::Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD,
                                                 LPVOID pPropData, DWORD cbPropData,
                                                 DWORD* pcbReturned) {
    if (!pPropData || !pcbReturned) return E_POINTER;
    HOST_DSHOW_ENTER("IKsPropertySet::Get", std::to_string(dwPropID));
    if (HRESULT hr = CheckPowerLineProperty(guidPropSet, dwPropID); hr != S_OK) return hr;
    if (cbPropData < sizeof(KSPROPERTY_VIDEOPROCAMP_S)) return E_INVALIDARG;
    LONG value = 0, flags = 0;
    if (HRESULT hr = owner_.ValueOf(Face::PowerLine, static_cast<LONG>(dwPropID), value, flags);
        hr != S_OK) {
        return hr;
    }
    auto* property = static_cast<KSPROPERTY_VIDEOPROCAMP_S*>(pPropData);
    property->Value = value;
    property->Flags = static_cast<ULONG>(flags);
    property->Capabilities = CameraControl_Flags_Manual;
    *pcbReturned = sizeof(KSPROPERTY_VIDEOPROCAMP_S);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PowerLineProperty::Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD,
                                                 LPVOID pPropData, DWORD cbPropData) {
    if (!pPropData) return E_POINTER;
    HOST_DSHOW_ENTER("IKsPropertySet::Set", std::to_string(dwPropID));
    if (HRESULT hr = CheckPowerLineProperty(guidPropSet, dwPropID); hr != S_OK) return hr;
    if (cbPropData < sizeof(KSPROPERTY_VIDEOPROCAMP_S)) return E_INVALIDARG;
    const auto* property = static_cast<const KSPROPERTY_VIDEOPROCAMP_S*>(pPropData);
    // The frequency has no automatic mode of its own (3 is a value where a camera has it).
    return owner_.SetControl(Face::PowerLine, static_cast<LONG>(dwPropID), property->Value,
                             CameraControl_Flags_Manual);
}

HRESULT STDMETHODCALLTYPE StreamConfig::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    HOST_DSHOW_ENTER("IUnknown::QueryInterface", InterfaceName(riid));
    if (riid == IID_IUnknown || riid == IID_IAMStreamConfig) {
        *ppvObject = static_cast<IAMStreamConfig*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE StreamConfig::AddRef() { return owner_.AddRef(); }
ULONG STDMETHODCALLTYPE StreamConfig::Release() { return owner_.Release(); }

HRESULT STDMETHODCALLTYPE StreamConfig::SetFormat(AM_MEDIA_TYPE*) {
    HOST_DSHOW_ENTER("IAMStreamConfig::SetFormat");
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StreamConfig::GetFormat(AM_MEDIA_TYPE** ppmt) {
    if (!ppmt) return E_POINTER;
    *ppmt = nullptr;
    HOST_DSHOW_ENTER("IAMStreamConfig::GetFormat");
    *ppmt = NewMediaType(owner_.Snapshot());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StreamConfig::GetNumberOfCapabilities(int* piCount, int* piSize) {
    if (!piCount || !piSize) return E_POINTER;
    HOST_DSHOW_ENTER("IAMStreamConfig::GetNumberOfCapabilities");
    *piCount = 1;
    *piSize = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StreamConfig::GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE*) {
    if (!ppmt) return E_POINTER;
    *ppmt = nullptr;
    HOST_DSHOW_ENTER("IAMStreamConfig::GetStreamCaps");
    if (iIndex != 0) return S_FALSE;
    *ppmt = NewMediaType(owner_.Snapshot());
    return S_OK;
}

}  // namespace

IBaseFilter* NewDeviceFilter(std::shared_ptr<Device> device) {
    return new DeviceFilter(std::move(device));
}

}  // namespace host::dshow
