#pragma once

// The Windows headers as the adapters use them: no min/max macros, nothing rarely used.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Portable names that <windows.h> would turn into its A/W variants: the canvas's TextOut and
// the profile's WriteProfileString. The adapters call the Win32 functions by their A names.
#undef TextOut
#undef WriteProfileString
