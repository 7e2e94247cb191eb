// Handing TBitmap pixels to GDI without copying them.
#pragma once

#include <vector>

#include "imaging/bitmap.h"
#include "toolkit/win.h"

namespace qv::win {

// A BITMAPINFO for the surface's own format (palette or colour masks included).
struct DibInfo {
  std::vector<unsigned char> storage;
  const BITMAPINFO* Get() const { return reinterpret_cast<const BITMAPINFO*>(storage.data()); }
};
DibInfo DescribeDib(const TBitmap& bitmap);

// Draws the whole picture opaque at its own size with its top-left corner at
// (x, y); GDI clips it to the DC.
void DrawBitmap(HDC dc, const TBitmap& bitmap, int x, int y);

// Reads a window's current look from the screen into a 24-bit surface
// (screenshots in tests and tools).
TBitmap CaptureWindow(HWND window, bool withFrame);

// The same for a rectangle of the screen, with whatever windows lie there
// (an open drop-down list is a window of its own).
TBitmap CaptureScreen(const RECT& area);

}  // namespace qv::win
