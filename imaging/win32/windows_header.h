// The one place that includes <windows.h>, so every Win32 file, the core's
// Windows half and the window layer alike, sees the same declarations (no
// min/max macros, no rarely used parts).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
