#include "capture/device_picture_controls.h"

#include "capture/device_selection.h"

DevicePictureControls::Opening DevicePictureControls::Open(const std::string& cameraName) {
    Opening opening;
    ComPtr<IBaseFilter> source;
    HRESULT hr = BindSelectedDevice(cameraName, source);
    if (hr != S_OK || !source) {
        opening.status = hr == S_OK ? E_POINTER : hr;
        return opening;
    }
    opening.status = S_OK;
    PictureControlAccess access(*source.Get());
    if (!access.OffersAny()) {
        opening.result = PictureControlsOpening::NoControls;
        return opening;
    }
    opening.result = PictureControlsOpening::Opened;
    opening.controls.reset(new DevicePictureControls(std::move(source), std::move(access)));
    return opening;
}

DevicePictureControls::DevicePictureControls(ComPtr<IBaseFilter> source,
                                             PictureControlAccess access)
    : source_(std::move(source)), access_(std::move(access)) {}
