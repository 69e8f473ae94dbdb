#pragma once

#include <cstddef>
#include <utility>

#include "platform/com.h"

// Owns one counted reference to a COM interface and releases it when replaced or destroyed.
template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a reference of its own to `raw`.
    explicit ComPtr(T* raw) : ptr_(raw) {
        if (ptr_) ptr_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.ptr_) {}
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

    // Releases the reference held so far and hands out the slot for a call that delivers a
    // new counted reference.
    T** Put() {
        Reset();
        return &ptr_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    // Adopts a reference that the caller already counted.
    void Attach(T* raw) {
        Reset();
        ptr_ = raw;
    }
    T* Detach() { return std::exchange(ptr_, nullptr); }

    // Hands out a new counted reference through an out parameter, as a COM getter does.
    void CopyTo(T** out) const {
        *out = ptr_;
        if (ptr_) ptr_->AddRef();
    }

    void Reset() {
        // Cleared before the release, so a destructor that runs inside Release sees it empty.
        if (T* old = std::exchange(ptr_, nullptr)) old->Release();
    }
    void Swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }

    // Queries the object for another interface; `target` is empty on failure.
    template <class U>
    HRESULT QueryInto(REFIID iid, ComPtr<U>& target) const {
        if (!ptr_) {
            target.Reset();
            return E_POINTER;
        }
        return ptr_->QueryInterface(iid, target.PutVoid());
    }

  private:
    T* ptr_ = nullptr;
};
