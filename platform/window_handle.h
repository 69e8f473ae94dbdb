#pragma once

// A native window handle as portable code sees it: an HWND on Windows, a window of the
// host message queue on Linux. Only the platform adapters look inside.
using WindowHandle = void*;
