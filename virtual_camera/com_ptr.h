#pragma once
// Owning smart pointer for one COM reference, and RAII helpers for COM-allocated memory.
#include <objbase.h>

#include <utility>

namespace vcam {

template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes an extra reference to `p`.
    explicit ComPtr(T* p) : ptr_(p) {
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

    // Adopts a reference that the caller already owns.
    static ComPtr Attach(T* p) {
        ComPtr result;
        result.ptr_ = p;
        return result;
    }
    T* Detach() { return std::exchange(ptr_, nullptr); }
    void Reset() {
        if (T* old = std::exchange(ptr_, nullptr)) old->Release();
    }
    void Swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    // For out parameters: releases what is held first.
    T** Put() {
        Reset();
        return &ptr_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    // Hands out a new reference through an out parameter.
    void CopyTo(T** out) const {
        *out = ptr_;
        if (ptr_) ptr_->AddRef();
    }

    template <class U>
    HRESULT As(ComPtr<U>& out) const {
        if (!ptr_) return E_POINTER;
        return ptr_->QueryInterface(__uuidof(U), out.PutVoid());
    }

  private:
    T* ptr_ = nullptr;
};

// Memory from CoTaskMemAlloc that must go back with CoTaskMemFree.
template <class T>
class CoTaskMem {
  public:
    CoTaskMem() = default;
    explicit CoTaskMem(T* p) : ptr_(p) {}
    CoTaskMem(const CoTaskMem&) = delete;
    CoTaskMem& operator=(const CoTaskMem&) = delete;
    ~CoTaskMem() { CoTaskMemFree(ptr_); }
    T* Get() const { return ptr_; }
    T** Put() {
        CoTaskMemFree(ptr_);
        ptr_ = nullptr;
        return &ptr_;
    }

  private:
    T* ptr_ = nullptr;
};

// COM runtime of the calling thread for the lifetime of the object.
class ComApartment {
  public:
    explicit ComApartment(DWORD model) : hr_(CoInitializeEx(nullptr, model)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    HRESULT Status() const { return hr_; }

  private:
    HRESULT hr_;
};

}  // namespace vcam
