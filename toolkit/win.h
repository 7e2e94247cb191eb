// The one place that includes <windows.h>, so every Win32 file sees the same
// declarations (wide APIs, no min/max macros).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>

// <windows.h> maps DrawText to DrawTextW by macro, which would rename the
// core's TextRenderer::DrawText wherever both are seen. Call DrawTextW by name.
#undef DrawText
