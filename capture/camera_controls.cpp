#include "capture/camera_controls.h"

#include "capture/device_selection.h"

DeviceCameraControls::Opening DeviceCameraControls::Open(const std::string& cameraName) {
    Opening opening;
    ComPtr<IBaseFilter> source;
    HRESULT hr = BindSelectedDevice(cameraName, source);
    if (hr != S_OK || !source) {
        opening.status = hr == S_OK ? E_POINTER : hr;
        return opening;
    }
    ComPtr<IAMCameraControl> control;
    hr = source.QueryInto(IID_IAMCameraControl, control);
    opening.status = hr;
    if (FAILED(hr) || !control) {
        opening.result = CameraControlsOpening::NoCameraControl;
        return opening;
    }
    opening.result = CameraControlsOpening::Opened;
    opening.controls.reset(new DeviceCameraControls(std::move(source), std::move(control)));
    return opening;
}

DeviceCameraControls::DeviceCameraControls(ComPtr<IBaseFilter> source,
                                           ComPtr<IAMCameraControl> control)
    : source_(std::move(source)), control_(std::move(control)) {}

HRESULT DeviceCameraControls::Read(std::int32_t id, CameraControlState& state) {
    LONG min = state.min, max = state.max, step = state.step, defaultValue = state.defaultValue,
         caps = state.capsFlags;
    HRESULT hr = control_->GetRange(id, &min, &max, &step, &defaultValue, &caps);
    if (hr != S_OK) return hr;
    state.min = min;
    state.max = max;
    state.step = step;
    state.defaultValue = defaultValue;
    state.capsFlags = caps;
    LONG value = state.value, flags = state.flags;
    hr = control_->Get(id, &value, &flags);
    if (hr != S_OK) return hr;
    state.value = value;
    state.flags = flags;
    return hr;
}

HRESULT DeviceCameraControls::Set(std::int32_t id, std::int32_t value, std::int32_t flags) {
    return control_->Set(id, value, flags);
}
