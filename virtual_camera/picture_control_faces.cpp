#include "virtual_camera/picture_control_faces.h"

#include <ks.h>
#include <ksmedia.h>

#include "virtual_camera/camera_filter.h"

namespace vcam {
namespace {

// The property-set numbers of the platform's headers.
constexpr DWORD kPowerLineId = 13;       // KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY
constexpr DWORD kSupportGetSet = 1 | 2;  // KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET
constexpr ULONG kFlagsManual = 2;        // KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL
// HRESULT_FROM_WIN32(ERROR_NOT_FOUND): what a driver answers for a property set it lacks.
constexpr HRESULT kSetUnsupported = static_cast<HRESULT>(0x80070492);

int ProcAmpControl(LONG property) {
    return property >= 0 && property < kProcAmpControlCount
               ? kFirstProcAmpControl + static_cast<int>(property)
               : -1;
}

HRESULT CheckPowerLine(REFGUID set, DWORD id) {
    if (set != IID_IAMVideoProcAmp) return kSetUnsupported;
    return id == kPowerLineId ? S_OK : E_PROP_ID_UNSUPPORTED;
}

}  // namespace

HRESULT VideoProcAmpFace::QueryInterface(REFIID iid, void** out) {
    return filter_.QueryInterface(iid, out);
}
ULONG VideoProcAmpFace::AddRef() { return filter_.AddRef(); }
ULONG VideoProcAmpFace::Release() { return filter_.Release(); }

bool VideoProcAmpFace::Offered() const {
    for (int i = 0; i < kProcAmpControlCount; ++i) {
        if (filter_.HasControl(kFirstProcAmpControl + i)) return true;
    }
    return false;
}

HRESULT VideoProcAmpFace::GetRange(LONG property, LONG* min, LONG* max, LONG* step,
                                   LONG* defaultValue, LONG* capsFlags) {
    if (!min || !max || !step || !defaultValue || !capsFlags) return E_POINTER;
    const int control = ProcAmpControl(property);
    if (control < 0) return E_PROP_ID_UNSUPPORTED;
    return filter_.ControlRange(control, min, max, step, defaultValue, capsFlags);
}

HRESULT VideoProcAmpFace::Get(LONG property, LONG* value, LONG* flags) {
    if (!value || !flags) return E_POINTER;
    const int control = ProcAmpControl(property);
    if (control < 0) return E_PROP_ID_UNSUPPORTED;
    return filter_.ControlValue(control, value, flags);
}

HRESULT VideoProcAmpFace::Set(LONG property, LONG value, LONG flags) {
    const int control = ProcAmpControl(property);
    if (control < 0) return E_PROP_ID_UNSUPPORTED;
    return filter_.SetControl(control, value, flags);
}

HRESULT PowerLineFace::QueryInterface(REFIID iid, void** out) {
    return filter_.QueryInterface(iid, out);
}
ULONG PowerLineFace::AddRef() { return filter_.AddRef(); }
ULONG PowerLineFace::Release() { return filter_.Release(); }

HRESULT PowerLineFace::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    if (!support) return E_POINTER;
    if (const HRESULT hr = CheckPowerLine(set, id); hr != S_OK) return hr;
    *support = kSupportGetSet;
    return S_OK;
}

HRESULT PowerLineFace::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataSize,
                           DWORD* returned) {
    if (!data || !returned) return E_POINTER;
    if (const HRESULT hr = CheckPowerLine(set, id); hr != S_OK) return hr;
    if (dataSize < sizeof(KSPROPERTY_VIDEOPROCAMP_S)) return E_INVALIDARG;
    LONG value = 0;
    LONG flags = 0;
    if (const HRESULT hr = filter_.ControlValue(kPowerLineControl, &value, &flags); hr != S_OK) {
        return hr;
    }
    auto* property = static_cast<KSPROPERTY_VIDEOPROCAMP_S*>(data);
    property->Value = value;
    property->Flags = kFlagsManual;
    property->Capabilities = kFlagsManual;
    *returned = sizeof(KSPROPERTY_VIDEOPROCAMP_S);
    return S_OK;
}

HRESULT PowerLineFace::Set(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataSize) {
    if (!data) return E_POINTER;
    if (const HRESULT hr = CheckPowerLine(set, id); hr != S_OK) return hr;
    if (dataSize < sizeof(KSPROPERTY_VIDEOPROCAMP_S)) return E_INVALIDARG;
    const auto* property = static_cast<const KSPROPERTY_VIDEOPROCAMP_S*>(data);
    // The frequency has no automatic mode of its own (3 is a value where a camera has it).
    return filter_.SetControl(kPowerLineControl, property->Value, CameraControl_Flags_Manual);
}

}  // namespace vcam
