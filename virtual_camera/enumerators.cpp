#include "virtual_camera/enumerators.h"

#include <new>

namespace vcam {

PinEnumerator::PinEnumerator(std::vector<ComPtr<IPin>> pins, size_t position)
    : pins_(std::move(pins)), position_(position) {}

HRESULT PinEnumerator::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumPins) {
        *out = static_cast<IEnumPins*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG PinEnumerator::AddRef() { return ++refs_; }

ULONG PinEnumerator::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
    if (!pins || (count > 1 && !fetched)) return E_POINTER;
    ULONG done = 0;
    while (done < count && position_ < pins_.size()) pins_[position_++].CopyTo(&pins[done++]);
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
}

HRESULT PinEnumerator::Skip(ULONG count) {
    if (pins_.size() - position_ < count) {
        position_ = pins_.size();
        return S_FALSE;
    }
    position_ += count;
    return S_OK;
}

HRESULT PinEnumerator::Reset() {
    position_ = 0;
    return S_OK;
}

HRESULT PinEnumerator::Clone(IEnumPins** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) PinEnumerator(pins_, position_);
    return *out ? S_OK : E_OUTOFMEMORY;
}

MediaTypeEnumerator::MediaTypeEnumerator(std::vector<MediaType> types, size_t position)
    : types_(std::move(types)), position_(position) {}

HRESULT MediaTypeEnumerator::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumMediaTypes) {
        *out = static_cast<IEnumMediaTypes*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG MediaTypeEnumerator::AddRef() { return ++refs_; }

ULONG MediaTypeEnumerator::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (!types || (count > 1 && !fetched)) return E_POINTER;
    ULONG done = 0;
    while (done < count && position_ < types_.size()) {
        AM_MEDIA_TYPE* copy = types_[position_].NewCopy();
        if (!copy) break;
        types[done++] = copy;
        ++position_;
    }
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
}

HRESULT MediaTypeEnumerator::Skip(ULONG count) {
    if (types_.size() - position_ < count) {
        position_ = types_.size();
        return S_FALSE;
    }
    position_ += count;
    return S_OK;
}

HRESULT MediaTypeEnumerator::Reset() {
    position_ = 0;
    return S_OK;
}

HRESULT MediaTypeEnumerator::Clone(IEnumMediaTypes** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) MediaTypeEnumerator(types_, position_);
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace vcam
