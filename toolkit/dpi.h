// Every size in a form table is at 96 pixels per inch; this is the one place
// that turns it into the window's pixels.
#pragma once

#include "toolkit/win.h"

namespace qv::win {

// Pixels per inch of the monitor the window is on (of the system when the
// window is null or the system predates per-monitor DPI).
int DpiOf(HWND window);

// value × dpi / 96, rounded to nearest.
int Scale(int value96, int dpi);
inline int ScaleFor(HWND window, int value96) { return Scale(value96, DpiOf(window)); }

// Makes the process per-monitor DPI aware when the manifest has not already
// done so (test executables carry no manifest).
void EnableDpiAwareness();

}  // namespace qv::win
