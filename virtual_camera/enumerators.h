#pragma once
// The two enumerators that a filter hands out: of its pins and of a pin's media types.
#include <dshow.h>

#include <atomic>
#include <vector>

#include "platform/com_ptr.h"
#include "virtual_camera/media_type.h"
#include "virtual_camera/module.h"

namespace vcam {

class PinEnumerator final : public IEnumPins {
  public:
    PinEnumerator(std::vector<ComPtr<IPin>> pins, size_t position);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins** out) override;

  private:
    ~PinEnumerator() = default;
    std::atomic<ULONG> refs_{1};
    ModuleUse use_;
    std::vector<ComPtr<IPin>> pins_;
    size_t position_;
};

class MediaTypeEnumerator final : public IEnumMediaTypes {
  public:
    MediaTypeEnumerator(std::vector<MediaType> types, size_t position);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** out) override;

  private:
    ~MediaTypeEnumerator() = default;
    std::atomic<ULONG> refs_{1};
    ModuleUse use_;
    std::vector<MediaType> types_;
    size_t position_;
};

}  // namespace vcam
