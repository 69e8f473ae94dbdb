#pragma once
// The virtual camera's source filter: one capture pin, the camera controls, the video-processing
// controls and the power-line frequency, and the property-bag binding through which the system
// device enumerator tells it which registered instance it is.
#include <dshow.h>
#include <ocidl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/camera_picture/picture_effects.h"
#include "platform/com_ptr.h"
#include "virtual_camera/camera_settings.h"
#include "virtual_camera/capture_pin.h"
#include "virtual_camera/module.h"
#include "virtual_camera/picture_control_faces.h"
#include "virtual_camera/stream_claim.h"

namespace vcam {

class VirtualCameraFilter final : public IBaseFilter,
                                  public IAMCameraControl,
                                  public IPersistPropertyBag,
                                  public IAMFilterMiscFlags {
  public:
    static HRESULT Create(REFIID iid, void** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;

    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* state) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;

    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;

    HRESULT STDMETHODCALLTYPE GetRange(LONG property, LONG* min, LONG* max, LONG* step,
                                       LONG* defaultValue, LONG* flags) override;
    HRESULT STDMETHODCALLTYPE Set(LONG property, LONG value, LONG flags) override;
    HRESULT STDMETHODCALLTYPE Get(LONG property, LONG* value, LONG* flags) override;

    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    ULONG STDMETHODCALLTYPE GetMiscFlags() override;

    // The controls by their numbers (camera_settings.h), for the filter's interfaces.
    HRESULT ControlRange(int control, LONG* min, LONG* max, LONG* step, LONG* defaultValue,
                         LONG* capsFlags);
    HRESULT ControlValue(int control, LONG* value, LONG* flags);
    HRESULT SetControl(int control, LONG value, LONG flags);
    bool HasControl(int control);

    // The streaming thread: the controls as the picture reads them. Takes no lock of the
    // filter's, whose Stop waits for that thread.
    PictureControlReadings PictureReadings();

    // For the pin.
    std::recursive_mutex& Lock() { return lock_; }
    FILTER_STATE State() const { return state_; }
    IFilterGraph* Graph() const { return graph_; }
    // The instance's stream, claimed as the pin connects and released as it disconnects:
    // kStreamBusy while someone else streams.
    HRESULT ClaimStream();
    void ReleaseStream();

  private:
    VirtualCameraFilter();
    ~VirtualCameraFilter();
    void ApplySettings(CameraSettings settings, bool persistent);
    // What a camera does as its stream starts and stops: the reset of its controls, if
    // configured, and the platform's use records.
    void StreamStarting();
    void StreamEnded();
    std::optional<ControlSetting> ControlState(int control);

    std::atomic<ULONG> refs_{1};
    ModuleUse use_;
    // Recursive: a downstream pin may call back into this filter while it connects.
    std::recursive_mutex lock_;
    FILTER_STATE state_ = State_Stopped;
    REFERENCE_TIME start_ = 0;
    ComPtr<IReferenceClock> clock_;
    IFilterGraph* graph_ = nullptr;  // not owned: the graph owns its filters
    std::wstring name_;
    CameraSettings settings_;
    bool persistent_ = false;  // settings come from (and go to) the registry
    // settings_.controls as the streaming thread reads them, for an instance without registry
    // settings; persistent_ and the id change only while stopped and unconnected.
    std::mutex controlsLock_;
    std::unique_ptr<CapturePin> pin_;
    VideoProcAmpFace procAmp_;
    PowerLineFace powerLine_;
    std::unique_ptr<StreamClaim> claim_;
    bool streaming_ = false;  // run since the last stop, with the pin connected
    bool recorded_ = false;   // this stream's start is in the use records
};

}  // namespace vcam
