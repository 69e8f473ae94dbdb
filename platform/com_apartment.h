#pragma once

#include "platform/com.h"

// Joins the calling thread to a COM apartment for the object's lifetime and leaves it again only
// when the join succeeded. Without a model, the single-threaded apartment that CoInitialize joins.
class ComApartment {
  public:
    ComApartment() : status_(CoInitialize(nullptr)) {}
#ifdef _WIN32
    // COINIT_APARTMENTTHREADED or COINIT_MULTITHREADED. The host stand-in has the
    // single-threaded apartment only.
    explicit ComApartment(DWORD model) : status_(CoInitializeEx(nullptr, model)) {}
#endif
    ~ComApartment() {
        if (SUCCEEDED(status_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    HRESULT Status() const { return status_; }
    bool Joined() const { return SUCCEEDED(status_); }

  private:
    HRESULT status_;
};
