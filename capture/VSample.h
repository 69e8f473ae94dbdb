#pragma once

#include <cstdint>
#include <string>

#include "capture/SampleGrabberCB.h"
#include "capture/picture_control_access.h"
#include "capture/platform.h"
#include "platform/thread_check.h"
#include "platform/window_handle.h"

// One capture graph: the source filter of one video input device feeds its capture stream
// through a sample grabber into a null renderer. Every frame reaches the frame callback object
// on the platform's streaming thread. All operations run on the main thread, which must have
// joined a COM apartment (ComApartment).
class TVideoSample {
  public:
    // Create: builds the graph objects; `status` is the first failing step's status (or -1 when
    // a platform call raised an exception). The object exists in every case.
    TVideoSample(WindowHandle notifyWindow, HRESULT& status);
    // Destroy: stops the graph, removes what is downstream of the device, releases everything.
    virtual ~TVideoSample();
    TVideoSample(const TVideoSample&) = delete;
    TVideoSample& operator=(const TVideoSample&) = delete;

    // Selects the device by friendly name or "#n" position, connects it through the grabber to
    // the null renderer and runs the graph.
    HRESULT StartCapture(const std::string& name);
    // The stream's current output format; only after a successful StartCapture.
    HRESULT ReadCurrentFormat(std::int32_t& width, std::int32_t& height,
                              std::uint32_t& compression);
    // 1 without camera control, and then nothing is written.
    HRESULT GetCameraSetting(std::int32_t id, std::int32_t& min, std::int32_t& max,
                             std::int32_t& step, std::int32_t& defaultValue, std::int32_t& flags,
                             std::int32_t& value);
    HRESULT SetCameraSetting(std::int32_t id, std::int32_t value, std::int32_t flags);
    // Any picture control of the running device (camera control, video processing, power-line
    // frequency): S_FALSE, and nothing written, without its interface.
    HRESULT GetPictureSetting(const PictureControl& control, PictureControlState& state);
    HRESULT SetPictureSetting(const PictureControl& control, std::int32_t value,
                              std::int32_t flags);
    // May be called while frames arrive: the streaming thread sees either the old or the new
    // pair, never a mix.
    void SetFrameCallback(TFrameCallback callback, void* data);

  private:
    HRESULT BuildGraphObjects();
    HRESULT SelectDevice(const std::string& name);
    HRESULT ConnectAndRun();
    HRESULT FindStreamConfig(ComPtr<IAMStreamConfig>& config);
    // Stops the graph and the source for a format reading, and runs both again.
    void PauseStream();
    void ResumeStream();
    void StopSource();
    void RemoveDownstream(IBaseFilter& filter);
    void ReleaseGraph();
    bool HasGraphMembers() const;

    [[no_unique_address]] ThreadChecker FThread;
    HWND FNotifyWindow;
    ComPtr<IVideoWindow> FVideoWindow;
    ComPtr<IMediaControl> FMediaControl;
    ComPtr<IMediaEventEx> FMediaEvent;
    ComPtr<IGraphBuilder> FGraph;
    ComPtr<ICaptureGraphBuilder2> FCaptureBuilder;
    ComPtr<IBaseFilter> FGrabberFilter;
    ComPtr<IAMCameraControl> FCameraControl;
    ComPtr<IBaseFilter> FNullRenderer;
    ComPtr<ISampleGrabber> FGrabber;
    ComPtr<IBaseFilter> FSource;
    PictureControlAccess FPictureControls;
    TSampleGrabberCB* FCallbackObject = nullptr;  // kept alive by FCallbackIntf
    ComPtr<TSampleGrabberCBInt> FCallbackIntf;
};
