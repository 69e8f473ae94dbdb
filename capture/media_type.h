#pragma once

#include <utility>

#include "capture/platform.h"

// Owns a media type that the platform allocated for the caller (IAMStreamConfig::GetFormat):
// frees its format block, releases its pUnk and frees the structure itself, as the platform's
// DeleteMediaType does.
class MediaTypePtr {
  public:
    MediaTypePtr() = default;
    ~MediaTypePtr() { Reset(); }
    MediaTypePtr(const MediaTypePtr&) = delete;
    MediaTypePtr& operator=(const MediaTypePtr&) = delete;

    // Frees the type held so far and hands out the slot for a call that delivers a new one.
    AM_MEDIA_TYPE** Put() {
        Reset();
        return &type_;
    }
    const AM_MEDIA_TYPE* Get() const { return type_; }
    const AM_MEDIA_TYPE* operator->() const { return type_; }
    explicit operator bool() const { return type_ != nullptr; }

    void Reset() {
        AM_MEDIA_TYPE* type = std::exchange(type_, nullptr);
        if (!type) return;
        if (type->pbFormat) CoTaskMemFree(type->pbFormat);
        if (type->pUnk) type->pUnk->Release();
        CoTaskMemFree(type);
    }

  private:
    AM_MEDIA_TYPE* type_ = nullptr;
};
