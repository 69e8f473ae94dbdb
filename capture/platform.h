#pragma once

// The one seam through which the capture graph sees COM and DirectShow: the real SDK headers on
// Windows, the host capture runtime's declarations of the same names elsewhere. Also the owners
// of interface references (ComPtr) and of the main thread's COM apartment (ComApartment).

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h must come first.
#include <dshow.h>
#include <qedit.h>

// The import library defines these class ids, but the SDK headers do not declare them.
extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;
#else
#include "platform/host/dshow_api.h"
#endif

#include "capture/com_ptr.h"

// Joins the calling thread to a single-threaded COM apartment for the object's lifetime and
// leaves it again only when the join succeeded.
class ComApartment {
  public:
    ComApartment() : status_(CoInitialize(nullptr)) {}
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
