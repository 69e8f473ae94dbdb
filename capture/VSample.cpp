#include "capture/VSample.h"

#include <cstdint>
#include <vector>

#include "capture/current_format.h"
#include "capture/device_selection.h"
#include "capture/media_type.h"

namespace {

constexpr HRESULT kExceptionStatus = -1;
// StartCapture without the graph members it needs, or without a matching device.
constexpr HRESULT kMissingMember = E_POINTER;
constexpr HRESULT kNoMatchingDevice = E_FAIL;
constexpr LONG kGraphNotifyMessage = WM_APP + 1;
constexpr DWORD kClassContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

// A step whose status is ignored (teardown, stopping and restarting the stream) also goes on
// past a platform call that raises, so the later steps still run.
template <class Step>
void IgnoringExceptions(Step step) {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

TVideoSample::TVideoSample(WindowHandle notifyWindow, HRESULT& status)
    : FNotifyWindow(static_cast<HWND>(notifyWindow)) {
    FThread.MainThreadOnly();
    try {
        status = BuildGraphObjects();
    } catch (...) {
        status = kExceptionStatus;
    }
}

TVideoSample::~TVideoSample() {
    FThread.MainThreadOnly();
    // A frame waiting for the main window must not hold up the stop below.
    if (FCallbackObject) FCallbackObject->SetMainWindowPath(false);
    IgnoringExceptions([&] {
        if (FMediaControl) FMediaControl->Stop();
    });
    IgnoringExceptions([&] { StopSource(); });
    IgnoringExceptions([&] { ReleaseGraph(); });
    // The members then release their references, the callback object's first (its last one).
}

HRESULT TVideoSample::BuildGraphObjects() {
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, kClassContext, IID_IGraphBuilder,
                                  FGraph.PutVoid());
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          FGrabberFilter.PutVoid());
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          FNullRenderer.PutVoid());
    if (FAILED(hr)) return hr;
    hr = FGrabberFilter.QueryInto(IID_ISampleGrabber, FGrabber);
    if (FAILED(hr)) return hr;
    // The grabber keeps no samples: frames go to the callback in the sample's own buffer.
    FGrabber->SetBufferSamples(FALSE);

    FCallbackObject = new TSampleGrabberCB(FNotifyWindow);
    FCallbackIntf = ComPtr<TSampleGrabberCBInt>(FCallbackObject);
    FGrabber->SetCallback(FCallbackIntf.Get(), 0);

    hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, kClassContext,
                          IID_ICaptureGraphBuilder2, FCaptureBuilder.PutVoid());
    if (FAILED(hr)) return hr;
    hr = FGraph.QueryInto(IID_IMediaControl, FMediaControl);
    if (FAILED(hr)) return hr;
    hr = FGraph.QueryInto(IID_IVideoWindow, FVideoWindow);
    if (FAILED(hr)) return hr;
    hr = FGraph.QueryInto(IID_IMediaEventEx, FMediaEvent);
    if (FAILED(hr)) return hr;
    return FMediaEvent->SetNotifyWindow(reinterpret_cast<OAHWND>(FNotifyWindow),
                                        kGraphNotifyMessage, 0);
}

bool TVideoSample::HasGraphMembers() const {
    return FGraph && FCaptureBuilder && FGrabberFilter && FNullRenderer && FMediaControl;
}

HRESULT TVideoSample::StartCapture(const std::string& name) {
    FThread.MainThreadOnly();
    if (!HasGraphMembers()) return kMissingMember;
    HRESULT hr = FCaptureBuilder->SetFiltergraph(FGraph.Get());
    if (FAILED(hr)) return hr;
    hr = SelectDevice(name);
    if (FAILED(hr)) return hr;
    if (!FSource) return kNoMatchingDevice;
    return ConnectAndRun();
}

HRESULT TVideoSample::SelectDevice(const std::string& name) {
    return BindSelectedDevice(name, FSource);
}

HRESULT TVideoSample::ConnectAndRun() {
    // Optional: a device without camera controls still streams.
    FSource.QueryInto(IID_IAMCameraControl, FCameraControl);
    FPictureControls = PictureControlAccess(*FSource.Get(), FCameraControl);

    HRESULT hr = FGraph->AddFilter(FSource.Get(), L"Video Capture");
    if (FAILED(hr)) return hr;
    hr = FGraph->AddFilter(FGrabberFilter.Get(), L"Sample Grabber");
    if (FAILED(hr)) return hr;
    hr = FGraph->AddFilter(FNullRenderer.Get(), L"Null Renderer");
    if (FAILED(hr)) return hr;

    try {
        hr = FCaptureBuilder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, FSource.Get(),
                                           FGrabberFilter.Get(), FNullRenderer.Get());
    } catch (...) {
        hr = kExceptionStatus;
    }
    if (FAILED(hr)) return hr;
    // 1 (about to run) counts as success.
    return FMediaControl->Run();
}

HRESULT TVideoSample::FindStreamConfig(ComPtr<IAMStreamConfig>& config) {
    if (!FCaptureBuilder || !FSource) return kMissingMember;
    return FCaptureBuilder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, FSource.Get(),
                                          IID_IAMStreamConfig, config.PutVoid());
}

HRESULT TVideoSample::ReadCurrentFormat(std::int32_t& width, std::int32_t& height,
                                        std::uint32_t& compression) {
    FThread.MainThreadOnly();
    width = 0;
    height = 0;
    compression = 0;
    PauseStream();
    // The stream runs again on every way out, a raised exception included.
    struct Resume {
        TVideoSample& capture;
        ~Resume() { capture.ResumeStream(); }
    } resume{*this};

    ComPtr<IAMStreamConfig> config;
    HRESULT hr = FindStreamConfig(config);
    if (hr != S_OK) return hr;
    MediaTypePtr type;
    hr = config->GetFormat(type.Put());
    if (hr != S_OK || !type) return hr;

    CurrentFormatReading reading =
        ReadCurrentFormatBlock(type->formattype, type->pbFormat, type->cbFormat);
    width = reading.format.width;
    height = reading.format.height;
    compression = reading.format.compression;
    return CurrentFormatResult(reading.status);
}

void TVideoSample::PauseStream() {
    // Frames waiting for the main window would otherwise hold up the stop.
    if (FCallbackObject) FCallbackObject->SetMainWindowPath(false);
    // Statuses are ignored, and so is a raised exception: the reading goes on either way.
    IgnoringExceptions([&] {
        if (FMediaControl) FMediaControl->Stop();
    });
    IgnoringExceptions([&] {
        if (FSource) FSource->Stop();
    });
}

void TVideoSample::ResumeStream() {
    IgnoringExceptions([&] {
        if (FSource) FSource->Run(0);
    });
    IgnoringExceptions([&] {
        if (FMediaControl) FMediaControl->Run();
    });
    if (FCallbackObject) FCallbackObject->SetMainWindowPath(true);
}

HRESULT TVideoSample::GetCameraSetting(std::int32_t id, std::int32_t& min, std::int32_t& max,
                                       std::int32_t& step, std::int32_t& defaultValue,
                                       std::int32_t& flags, std::int32_t& value) {
    FThread.MainThreadOnly();
    if (!FCameraControl) return S_FALSE;
    // The platform writes through these as it would through the caller's own variables.
    LONG rangeMin = min;
    LONG rangeMax = max;
    LONG rangeStep = step;
    LONG rangeDefault = defaultValue;
    LONG rangeFlags = flags;
    HRESULT hr =
        FCameraControl->GetRange(id, &rangeMin, &rangeMax, &rangeStep, &rangeDefault, &rangeFlags);
    min = rangeMin;
    max = rangeMax;
    step = rangeStep;
    defaultValue = rangeDefault;
    flags = rangeFlags;
    value = rangeDefault;
    if (hr != S_OK) return hr;

    LONG current = value;
    LONG mode = flags;
    hr = FCameraControl->Get(id, &current, &mode);
    value = current;
    flags = mode;
    return hr;
}

HRESULT TVideoSample::SetCameraSetting(std::int32_t id, std::int32_t value, std::int32_t flags) {
    FThread.MainThreadOnly();
    if (!FCameraControl) return S_FALSE;
    return FCameraControl->Set(id, value, flags);
}

HRESULT TVideoSample::GetPictureSetting(const PictureControl& control, PictureControlState& state) {
    FThread.MainThreadOnly();
    return FPictureControls.Read(control, state);
}

HRESULT TVideoSample::SetPictureSetting(const PictureControl& control, std::int32_t value,
                                        std::int32_t flags) {
    FThread.MainThreadOnly();
    return FPictureControls.Set(control, value, flags);
}

void TVideoSample::SetFrameCallback(TFrameCallback callback, void* data) {
    FThread.MainThreadOnly();
    if (FCallbackObject) FCallbackObject->Impl().Install(callback, data);
}

void TVideoSample::StopSource() {
    if (!FSource) return;
    FSource->Stop();
    RemoveDownstream(*FSource.Get());
}

void TVideoSample::RemoveDownstream(IBaseFilter& filter) {
    ComPtr<IEnumPins> pins;
    if (filter.EnumPins(pins.Put()) != S_OK || !pins) return;
    for (;;) {
        ComPtr<IPin> pin;
        if (pins->Next(1, pin.Put(), nullptr) != S_OK || !pin) return;
        ComPtr<IPin> peer;
        if (pin->ConnectedTo(peer.Put()) != S_OK || !peer) return;
        PIN_INFO info{};
        HRESULT hr = peer->QueryPinInfo(&info);
        ComPtr<IBaseFilter> peerFilter;
        peerFilter.Attach(info.pFilter);
        if (hr != S_OK) return;
        if (info.dir != PINDIR_INPUT || !peerFilter) continue;
        // Deepest first: the peer's own downstream filters go before the peer itself.
        RemoveDownstream(*peerFilter.Get());
        if (FGraph) {
            FGraph->Disconnect(peer.Get());
            FGraph->Disconnect(pin.Get());
            FGraph->RemoveFilter(peerFilter.Get());
        }
    }
}

void TVideoSample::ReleaseGraph() {
    if (FGrabber) {
        IgnoringExceptions([&] { FGrabber->SetCallback(nullptr, 1); });
    }
    if (FMediaControl) {
        IgnoringExceptions([&] { FMediaControl->StopWhenReady(); });
    }
    if (FMediaEvent) {
        IgnoringExceptions([&] { FMediaEvent->SetNotifyWindow(0, kGraphNotifyMessage, 0); });
    }
    if (FVideoWindow) {
        IgnoringExceptions([&] { FVideoWindow->put_Visible(OAFALSE); });
        IgnoringExceptions([&] { FVideoWindow->put_Owner(0); });
    }
}
