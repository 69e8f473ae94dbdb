#include "virtual_camera/camera_filter.h"

#include <cstring>
#include <new>

#include "virtual_camera/enumerators.h"
#include "virtual_camera/registration.h"
#include "virtual_camera/use_records.h"

namespace vcam {
namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr LONG kFlagsAuto = CameraControl_Flags_Auto;
constexpr LONG kFlagsManual = CameraControl_Flags_Manual;

}  // namespace

HRESULT VirtualCameraFilter::Create(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* filter = new (std::nothrow) VirtualCameraFilter();
    if (!filter) return E_OUTOFMEMORY;
    const HRESULT hr = filter->QueryInterface(iid, out);
    filter->Release();
    return hr;
}

VirtualCameraFilter::VirtualCameraFilter()
    : pin_(std::make_unique<CapturePin>(*this)), procAmp_(*this), powerLine_(*this) {
    ApplySettings(DefaultSettings(kDefaultInstanceId), false);
    if (auto stored = LoadSettings(kDefaultInstanceId)) ApplySettings(*stored, true);
}

VirtualCameraFilter::~VirtualCameraFilter() {
    pin_->Deactivate();
    StreamEnded();
}

HRESULT VirtualCameraFilter::ClaimStream() {
    Guard lock(lock_);
    if (claim_) return S_OK;
    claim_ = StreamClaim::TryClaim(settings_.id);
    return claim_ ? S_OK : kStreamBusy;
}

void VirtualCameraFilter::ReleaseStream() {
    Guard lock(lock_);
    if (!pin_->IsConnected()) claim_.reset();
}

void VirtualCameraFilter::StreamStarting() {
    if (streaming_ || !pin_->IsConnected()) return;
    streaming_ = true;
    // Read afresh, so that a change made with the registration tool shows at the next stream.
    if (persistent_ && LoadResetOnStreamStart(settings_.id)) ResetControls(settings_.id);
    if (UseRecordsEnabled()) {
        RecordStreamStart();
        recorded_ = true;
    }
}

void VirtualCameraFilter::StreamEnded() {
    if (!streaming_) return;
    streaming_ = false;
    if (recorded_) RecordStreamStop();
    recorded_ = false;
}

void VirtualCameraFilter::ApplySettings(CameraSettings settings, bool persistent) {
    std::lock_guard<std::mutex> controls(controlsLock_);
    settings_ = std::move(settings);
    persistent_ = persistent;
    VideoFormat format;
    format.format = settings_.format;
    format.width = settings_.width;
    format.height = settings_.height;
    format.topDown = settings_.topDown;
    format.framesPerSecond = settings_.framesPerSecond;
    pin_->Configure(format);
}

HRESULT VirtualCameraFilter::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter ||
        iid == IID_IBaseFilter) {
        *out = static_cast<IBaseFilter*>(this);
    } else if (iid == IID_IAMCameraControl) {
        *out = static_cast<IAMCameraControl*>(this);
    } else if (iid == IID_IAMVideoProcAmp && procAmp_.Offered()) {
        *out = static_cast<IAMVideoProcAmp*>(&procAmp_);
    } else if (iid == IID_IKsPropertySet && HasControl(kPowerLineControl)) {
        *out = static_cast<IKsPropertySet*>(&powerLine_);
    } else if (iid == IID_IPersistPropertyBag) {
        *out = static_cast<IPersistPropertyBag*>(this);
    } else if (iid == IID_IAMFilterMiscFlags) {
        *out = static_cast<IAMFilterMiscFlags*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG VirtualCameraFilter::AddRef() { return ++refs_; }

ULONG VirtualCameraFilter::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT VirtualCameraFilter::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = kVirtualCameraClsid;
    return S_OK;
}

HRESULT VirtualCameraFilter::Stop() {
    Guard lock(lock_);
    pin_->Deactivate();
    StreamEnded();
    state_ = State_Stopped;
    return S_OK;
}

HRESULT VirtualCameraFilter::Pause() {
    Guard lock(lock_);
    if (state_ == State_Stopped) {
        // The connection claimed the stream; a filter whose pin is not connected still may not
        // start while another streams, as a driver refuses to start the device.
        if (!claim_) {
            auto probe = StreamClaim::TryClaim(settings_.id);
            if (!probe) return kStreamBusy;
            if (pin_->IsConnected()) claim_ = std::move(probe);
        }
        const HRESULT hr = pin_->Activate();
        if (FAILED(hr)) return hr;
    } else if (state_ == State_Running) {
        pin_->RetireRun();
    }
    state_ = State_Paused;
    return S_OK;
}

HRESULT VirtualCameraFilter::Run(REFERENCE_TIME start) {
    Guard lock(lock_);
    if (state_ == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    // Run again while running (the source was run on its own before the graph ran it): the
    // new start replaces the old one, so the old run's samples go first.
    if (state_ == State_Running) pin_->RetireRun();
    StreamStarting();
    start_ = start;
    pin_->SetRunning(true, start, clock_);
    state_ = State_Running;
    return S_OK;
}

HRESULT VirtualCameraFilter::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    Guard lock(lock_);
    *state = state_;
    // A live source delivers nothing while paused.
    return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

HRESULT VirtualCameraFilter::SetSyncSource(IReferenceClock* clock) {
    Guard lock(lock_);
    clock_ = ComPtr<IReferenceClock>(clock);
    return S_OK;
}

HRESULT VirtualCameraFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    Guard lock(lock_);
    clock_.CopyTo(clock);
    return S_OK;
}

HRESULT VirtualCameraFilter::EnumPins(IEnumPins** pins) {
    if (!pins) return E_POINTER;
    std::vector<ComPtr<IPin>> list{ComPtr<IPin>(pin_.get())};
    *pins = new (std::nothrow) PinEnumerator(std::move(list), 0);
    return *pins ? S_OK : E_OUTOFMEMORY;
}

HRESULT VirtualCameraFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (!id || !pin) return E_POINTER;
    *pin = nullptr;
    if (wcscmp(id, kPinName) != 0) return VFW_E_NOT_FOUND;
    *pin = pin_.get();
    (*pin)->AddRef();
    return S_OK;
}

HRESULT VirtualCameraFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    Guard lock(lock_);
    wcsncpy(info->achName, name_.c_str(), MAX_FILTER_NAME - 1);
    info->achName[MAX_FILTER_NAME - 1] = L'\0';
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

HRESULT VirtualCameraFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    Guard lock(lock_);
    graph_ = graph;
    name_ = name ? name : L"";
    return S_OK;
}

HRESULT VirtualCameraFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

std::optional<ControlSetting> VirtualCameraFilter::ControlState(int control) {
    if (control < 0 || control >= kControlCount) return std::nullopt;
    // A registered instance reads its controls afresh, so that changes made from outside (a
    // person, a test) show at once, as a driver reads its hardware.
    if (persistent_) return LoadControl(settings_.id, control);
    const ControlSetting& setting = settings_.controls[static_cast<size_t>(control)];
    return setting.present ? std::optional<ControlSetting>(setting) : std::nullopt;
}

bool VirtualCameraFilter::HasControl(int control) {
    Guard lock(lock_);
    return control >= 0 && control < kControlCount &&
           settings_.controls[static_cast<size_t>(control)].present;
}

HRESULT VirtualCameraFilter::ControlRange(int control, LONG* min, LONG* max, LONG* step,
                                          LONG* defaultValue, LONG* capsFlags) {
    if (!min || !max || !step || !defaultValue || !capsFlags) return E_POINTER;
    Guard lock(lock_);
    const auto setting = ControlState(control);
    if (!setting) return E_PROP_ID_UNSUPPORTED;
    *min = setting->min;
    *max = setting->max;
    *step = setting->step;
    *defaultValue = setting->defaultValue;
    *capsFlags = setting->capsFlags;
    return S_OK;
}

HRESULT VirtualCameraFilter::ControlValue(int control, LONG* value, LONG* flags) {
    if (!value || !flags) return E_POINTER;
    Guard lock(lock_);
    const auto setting = ControlState(control);
    if (!setting) return E_PROP_ID_UNSUPPORTED;
    *value = setting->value;
    *flags = setting->flags;
    return S_OK;
}

HRESULT VirtualCameraFilter::SetControl(int control, LONG value, LONG flags) {
    Guard lock(lock_);
    auto setting = ControlState(control);
    if (!setting) return E_PROP_ID_UNSUPPORTED;
    if ((flags != kFlagsAuto && flags != kFlagsManual) || (flags & setting->capsFlags) == 0) {
        return E_INVALIDARG;
    }
    if (flags == kFlagsManual) {
        if (value < setting->min || value > setting->max ||
            (value - setting->min) % setting->step != 0) {
            return E_INVALIDARG;
        }
        setting->value = value;
    }
    setting->flags = flags;  // automatic mode keeps the value that the camera had
    if (persistent_ && !SaveControlValue(settings_.id, control, setting->value, flags)) {
        return E_FAIL;
    }
    std::lock_guard<std::mutex> controls(controlsLock_);
    settings_.controls[static_cast<size_t>(control)] = *setting;
    return S_OK;
}

PictureControlReadings VirtualCameraFilter::PictureReadings() {
    std::array<ControlSetting, kControlCount> controls{};
    for (int i = 0; i < kFirstProcAmpControl + kProcAmpControlCount; ++i) {
        if (persistent_) {
            controls[static_cast<size_t>(i)] =
                LoadControl(settings_.id, i).value_or(ControlSetting{});
        } else {
            std::lock_guard<std::mutex> lock(controlsLock_);
            controls[static_cast<size_t>(i)] = settings_.controls[static_cast<size_t>(i)];
        }
    }
    const auto reading = [](const ControlSetting& setting) {
        ControlReading control;
        control.present = setting.present;
        control.min = setting.min;
        control.max = setting.max;
        control.defaultValue = setting.defaultValue;
        control.value = setting.value;
        control.automatic = (setting.flags & kFlagsAuto) != 0;
        return control;
    };
    PictureControlReadings readings;
    for (int i = 0; i < kCameraControlCount; ++i) {
        readings.camera[static_cast<size_t>(i)] = reading(controls[static_cast<size_t>(i)]);
    }
    for (int i = 0; i < kProcAmpControlCount; ++i) {
        readings.procAmp[static_cast<size_t>(i)] =
            reading(controls[static_cast<size_t>(kFirstProcAmpControl + i)]);
    }
    return readings;
}

HRESULT VirtualCameraFilter::GetRange(LONG property, LONG* min, LONG* max, LONG* step,
                                      LONG* defaultValue, LONG* flags) {
    if (property < 0 || property >= kCameraControlCount) {
        return min && max && step && defaultValue && flags ? E_PROP_ID_UNSUPPORTED : E_POINTER;
    }
    return ControlRange(static_cast<int>(property), min, max, step, defaultValue, flags);
}

HRESULT VirtualCameraFilter::Get(LONG property, LONG* value, LONG* flags) {
    if (property < 0 || property >= kCameraControlCount) {
        return value && flags ? E_PROP_ID_UNSUPPORTED : E_POINTER;
    }
    return ControlValue(static_cast<int>(property), value, flags);
}

HRESULT VirtualCameraFilter::Set(LONG property, LONG value, LONG flags) {
    if (property < 0 || property >= kCameraControlCount) return E_PROP_ID_UNSUPPORTED;
    return SetControl(static_cast<int>(property), value, flags);
}

HRESULT VirtualCameraFilter::InitNew() { return S_OK; }

HRESULT VirtualCameraFilter::Load(IPropertyBag* bag, IErrorLog*) {
    if (!bag) return E_POINTER;
    Guard lock(lock_);
    if (state_ != State_Stopped || pin_->IsConnected()) return E_UNEXPECTED;
    // The registration tool stores the instance id beside the friendly name; an instance
    // registered by other means is known by its friendly name.
    std::wstring id = ReadBagString(bag, L"CamzoomInstance");
    const std::wstring friendlyName = ReadBagString(bag, L"FriendlyName");
    if (id.empty()) id = friendlyName;
    if (id.empty()) return S_OK;
    if (auto stored = LoadSettings(id)) {
        ApplySettings(*stored, true);
    } else {
        CameraSettings settings = DefaultSettings(id);
        if (!friendlyName.empty()) settings.friendlyName = friendlyName;
        ApplySettings(std::move(settings), false);
    }
    return S_OK;
}

HRESULT VirtualCameraFilter::Save(IPropertyBag*, BOOL, BOOL) { return E_NOTIMPL; }

ULONG VirtualCameraFilter::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

}  // namespace vcam
