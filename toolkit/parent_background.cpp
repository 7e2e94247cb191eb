#include "toolkit/parent_background.h"

#include <uxtheme.h>

#include <cstring>

#include "toolkit/handles.h"

namespace qv::win {

void PaintParentBackground(HWND child, HDC dc) {
  RECT client;
  GetClientRect(child, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  // Sends the parent WM_ERASEBKGND and WM_PRINTCLIENT with the DC shifted
  // and clipped so that the child's corner is at the origin.
  DrawThemeParentBackground(child, dc, &client);
}

TBitmap ParentBackground(HWND child) {
  RECT r;
  GetClientRect(child, &r);
  const int w = r.right, h = r.bottom;
  TBitmap out;
  if (w <= 0 || h <= 0) return out;
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  Bitmap dib(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  out.Allocate(w, h, TPixelFormat::pf32bit, true);
  if (!dib || !bits) return out;
  {
    MemoryDC mem;
    Selection use(mem.Get(), dib.Get());
    PaintParentBackground(child, mem.Get());
    GdiFlush();
  }
  const auto* from = static_cast<const uint8_t*>(bits);
  for (int y = 0; y < h; ++y)
    std::memcpy(out.PixelRow(y), from + static_cast<size_t>(y) * w * 4, static_cast<size_t>(w) * 4);
  return out;
}

}  // namespace qv::win
