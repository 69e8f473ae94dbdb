#pragma once

// The one seam through which portable code sees COM: the real SDK headers on Windows, the host
// stand-in's declarations of the same names (IUnknown, HRESULT, REFIID, CoInitialize ...)
// elsewhere.

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h must come first.
#include <objbase.h>
#else
#include "platform/host/windows_sdk.h"
#endif
