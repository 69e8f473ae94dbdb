// The source filter of a simulated device: a capture pin (and, if the device has one, a
// preview pin) with the device's current format, the device's camera controls, and a streaming
// thread that sends a moving test pattern downstream while the filter runs.
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

class DeviceFilter final : public Filter, public IAMCameraControl {
  public:
    explicit DeviceFilter(std::shared_ptr<Device> device)
        : Filter(GUID{}, Widen(DeviceName(*device))), device_(std::move(device)), config_(*this) {
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
        TakeSharedControls(*device_);
        std::lock_guard lock(device_->mutex);
        const CameraControlConfig* control = Control(Property);
        if (!control) return E_PROP_ID_UNSUPPORTED;
        *pMin = control->min;
        *pMax = control->max;
        *pSteppingDelta = control->step;
        *pDefault = control->defaultValue;
        *pCapsFlags = control->capsFlags;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Set(LONG Property, LONG lValue, LONG Flags) override {
        HOST_DSHOW_ENTER("IAMCameraControl::Set", std::to_string(Property));
        {
            TakeSharedControls(*device_);
            std::lock_guard lock(device_->mutex);
            CameraControlConfig* control = Control(Property);
            if (!control) return E_PROP_ID_UNSUPPORTED;
            if (Flags != CameraControl_Flags_Auto && Flags != CameraControl_Flags_Manual) {
                return E_INVALIDARG;
            }
            if ((control->capsFlags & Flags) == 0) return E_INVALIDARG;
            if (lValue < control->min || lValue > control->max) return E_INVALIDARG;
            control->value = lValue;
            control->flags = Flags;
        }
        // The camera keeps its setting, also for the next run.
        PersistControlsOf(*device_);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Get(LONG Property, LONG* lValue, LONG* Flags) override {
        if (!lValue || !Flags) return E_POINTER;
        HOST_DSHOW_ENTER("IAMCameraControl::Get", std::to_string(Property));
        TakeSharedControls(*device_);
        std::lock_guard lock(device_->mutex);
        const CameraControlConfig* control = Control(Property);
        if (!control) return E_PROP_ID_UNSUPPORTED;
        *lValue = control->value;
        *Flags = control->flags;
        return S_OK;
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
        if (riid == IID_IAMCameraControl && Snapshot().cameraControl) {
            *ppvObject = static_cast<IAMCameraControl*>(this);
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
    static constexpr HRESULT E_PROP_ID_UNSUPPORTED = MakeHostStatus(0x80070490);
    // HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES): what a camera's driver answers while it
    // streams to someone else.
    static constexpr HRESULT kDeviceBusy = MakeHostStatus(0x800705AA);

    ~DeviceFilter() override { OnStop(); }

    static std::string DeviceName(const Device& device) {
        std::lock_guard lock(device.mutex);
        return Narrow(device.config.friendlyName);
    }

    void ResetControls() {
        {
            std::lock_guard lock(device_->mutex);
            for (auto& control : device_->config.controls) {
                if (!control) continue;
                control->value = control->defaultValue;
                control->flags = (control->capsFlags & CameraControl_Flags_Auto) != 0
                                     ? CameraControl_Flags_Auto
                                     : CameraControl_Flags_Manual;
            }
        }
        PersistControlsOf(*device_);
    }

    CameraControlConfig* Control(LONG property) {
        if (property < 0 || property > 6) return nullptr;
        auto& control = device_->config.controls[static_cast<std::size_t>(property)];
        return control ? &*control : nullptr;
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
                             frame);
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
    std::string sharedFile_;   // the devices file whose lock and records are this device's
    std::string recordsFile_;  // where this run's start was recorded; empty: nowhere
    std::unique_ptr<StreamClaim> claim_;
    std::mutex threadMutex_;
    std::condition_variable wake_;
    bool stopRequested_ = false;
    std::thread thread_;

    friend class StreamConfig;
};

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
