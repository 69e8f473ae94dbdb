#include "capture/picture_control_access.h"

namespace {

// The kernel-streaming video-processing property set has the video-processing interface's GUID.
const GUID& kVideoProcAmpPropertySet = IID_IAMVideoProcAmp;

// An interface that only adds controls: a failing or raising query leaves them out, and the
// camera streams as without them.
template <class Query>
void OptionalQuery(Query query) {
    try {
        query();
    } catch (...) {
    }
}

constexpr std::int32_t kPowerLineMax = 2;  // 60 Hz; 3 (automatic) is not on every camera

template <class Interface>
HRESULT ReadRangeAndValue(Interface& face, std::int32_t id, PictureControlState& state) {
    LONG min = state.min, max = state.max, step = state.step, defaultValue = state.defaultValue,
         caps = state.capsFlags;
    HRESULT hr = face.GetRange(id, &min, &max, &step, &defaultValue, &caps);
    if (hr != S_OK) return hr;
    state.min = min;
    state.max = max;
    state.step = step;
    state.defaultValue = defaultValue;
    state.capsFlags = caps;
    LONG value = state.value, flags = state.flags;
    hr = face.Get(id, &value, &flags);
    if (hr != S_OK) return hr;
    state.value = value;
    state.flags = flags;
    return hr;
}

// The property's data as the property set carries it: the header, then value and flags.
KSPROPERTY_VIDEOPROCAMP_S PowerLineProperty(ULONG type) {
    KSPROPERTY_VIDEOPROCAMP_S property{};
    property.Property.Set = kVideoProcAmpPropertySet;
    property.Property.Id = static_cast<ULONG>(kPowerLineFrequencyId);
    property.Property.Flags = type;
    return property;
}

// What follows the header: the instance data of the property set's Get and Set.
void* AfterHeader(KSPROPERTY_VIDEOPROCAMP_S& property) {
    return reinterpret_cast<BYTE*>(&property) + sizeof(KSPROPERTY);
}
constexpr DWORD kAfterHeaderSize = sizeof(KSPROPERTY_VIDEOPROCAMP_S) - sizeof(KSPROPERTY);

}  // namespace

PictureControlAccess::PictureControlAccess(IBaseFilter& source) : PictureControlAccess(source, {}) {
    OptionalQuery([&] { ComPtr<IBaseFilter>(&source).QueryInto(IID_IAMCameraControl, camera_); });
}

PictureControlAccess::PictureControlAccess(IBaseFilter& source, ComPtr<IAMCameraControl> camera)
    : camera_(std::move(camera)) {
    const ComPtr<IBaseFilter> filter(&source);
    OptionalQuery([&] { filter.QueryInto(IID_IAMVideoProcAmp, procAmp_); });
    OptionalQuery([&] {
        ComPtr<IKsPropertySet> properties;
        DWORD support = 0;
        if (SUCCEEDED(filter.QueryInto(IID_IKsPropertySet, properties)) && properties &&
            properties->QuerySupported(kVideoProcAmpPropertySet,
                                       static_cast<DWORD>(kPowerLineFrequencyId),
                                       &support) == S_OK &&
            (support & KSPROPERTY_SUPPORT_GET) != 0) {
            properties_ = properties;
        }
    });
}

bool PictureControlAccess::Offers(ControlInterface face) const {
    switch (face) {
        case ControlInterface::CameraControl:
            return static_cast<bool>(camera_);
        case ControlInterface::VideoProcAmp:
            return static_cast<bool>(procAmp_);
        case ControlInterface::PowerLine:
            return static_cast<bool>(properties_);
    }
    return false;
}

bool PictureControlAccess::OffersAny() const { return camera_ || procAmp_ || properties_; }

HRESULT PictureControlAccess::Read(const PictureControl& control, PictureControlState& state) {
    switch (control.face) {
        case ControlInterface::CameraControl:
            return camera_ ? ReadRangeAndValue(*camera_.Get(), control.id, state) : S_FALSE;
        case ControlInterface::VideoProcAmp:
            return procAmp_ ? ReadRangeAndValue(*procAmp_.Get(), control.id, state) : S_FALSE;
        case ControlInterface::PowerLine:
            return properties_ ? ReadPowerLine(state) : S_FALSE;
    }
    return S_FALSE;
}

HRESULT PictureControlAccess::Set(const PictureControl& control, std::int32_t value,
                                  std::int32_t flags) {
    switch (control.face) {
        case ControlInterface::CameraControl:
            return camera_ ? camera_->Set(control.id, value, flags) : S_FALSE;
        case ControlInterface::VideoProcAmp:
            return procAmp_ ? procAmp_->Set(control.id, value, flags) : S_FALSE;
        case ControlInterface::PowerLine:
            return properties_ ? SetPowerLine(value) : S_FALSE;
    }
    return S_FALSE;
}

HRESULT PictureControlAccess::ReadPowerLine(PictureControlState& state) {
    KSPROPERTY_VIDEOPROCAMP_S property = PowerLineProperty(KSPROPERTY_TYPE_GET);
    DWORD returned = 0;
    HRESULT hr = properties_->Get(kVideoProcAmpPropertySet,
                                  static_cast<DWORD>(kPowerLineFrequencyId), AfterHeader(property),
                                  kAfterHeaderSize, &property, sizeof property, &returned);
    if (hr != S_OK) return hr;
    state.min = 0;
    state.max = kPowerLineMax;
    state.step = 1;
    state.defaultValue = property.Value;
    state.capsFlags = kCameraControlFlagsManual;
    state.value = property.Value;
    state.flags = kCameraControlFlagsManual;
    return hr;
}

HRESULT PictureControlAccess::SetPowerLine(std::int32_t value) {
    KSPROPERTY_VIDEOPROCAMP_S property = PowerLineProperty(KSPROPERTY_TYPE_SET);
    property.Value = value;
    property.Flags = kCameraControlFlagsManual;
    return properties_->Set(kVideoProcAmpPropertySet, static_cast<DWORD>(kPowerLineFrequencyId),
                            AfterHeader(property), kAfterHeaderSize, &property, sizeof property);
}
