// <windows.h> and the common controls for the window layer.
#pragma once

#include "imaging/win32/windows_header.h"

#include <commctrl.h>

// <windows.h> maps DrawText to DrawTextW by macro, which would rename the
// core's TextRenderer::DrawText wherever both are seen. Call DrawTextW by name.
#undef DrawText
