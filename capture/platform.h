#pragma once

// The one seam through which the capture graph sees DirectShow: the real SDK headers on Windows,
// the host capture runtime's declarations of the same names elsewhere. COM itself and the owner
// of interface references (ComPtr) come from platform/com_ptr.h.

#include "platform/com_ptr.h"

#ifdef _WIN32
#include <dshow.h>
#include <qedit.h>
// The kernel-streaming video-processing property set (power-line frequency).
#include <ks.h>
#include <ksmedia.h>

// The import library defines these class ids, but the SDK headers do not declare them.
extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;
#else
#include "platform/host/windows_sdk.h"
#endif
