#pragma once
// The filter's video-processing interface and its kernel-streaming property set with the
// power-line frequency. Objects of their own inside the filter, because their methods have the
// camera-control interface's names; they share the filter's identity and reference count.
#include <dshow.h>

namespace vcam {

class VirtualCameraFilter;

class VideoProcAmpFace final : public IAMVideoProcAmp {
  public:
    explicit VideoProcAmpFace(VirtualCameraFilter& filter) : filter_(filter) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetRange(LONG property, LONG* min, LONG* max, LONG* step,
                                       LONG* defaultValue, LONG* capsFlags) override;
    HRESULT STDMETHODCALLTYPE Set(LONG property, LONG value, LONG flags) override;
    HRESULT STDMETHODCALLTYPE Get(LONG property, LONG* value, LONG* flags) override;

    // Offered when the instance has one of the video-processing controls at least.
    bool Offered() const;

  private:
    VirtualCameraFilter& filter_;
};

// Only the power-line frequency (KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY) of the
// video-processing property set, whose GUID is the video-processing interface's; its data is a
// KSPROPERTY_VIDEOPROCAMP_S.
class PowerLineFace final : public IKsPropertySet {
  public:
    explicit PowerLineFace(VirtualCameraFilter& filter) : filter_(filter) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize,
                                  LPVOID data, DWORD dataSize) override;
    HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize,
                                  LPVOID data, DWORD dataSize, DWORD* returned) override;
    HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

  private:
    VirtualCameraFilter& filter_;
};

}  // namespace vcam
