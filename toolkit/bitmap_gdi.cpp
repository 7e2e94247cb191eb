#include "toolkit/bitmap_gdi.h"

#include <cstring>

#include "toolkit/handles.h"

namespace qv::win {

DibInfo DescribeDib(const TBitmap& bitmap) {
  const auto& palette = bitmap.Palette();
  const bool masks = bitmap.PixelBits() == 16 || bitmap.PixelBits() == 32;
  DibInfo info;
  info.storage.resize(sizeof(BITMAPINFOHEADER) + 4 * (masks ? 3 : palette.size()));
  auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.storage.data());
  h->biSize = sizeof(BITMAPINFOHEADER);
  h->biWidth = bitmap.Width();
  h->biHeight = bitmap.TopDown() ? -bitmap.Height() : bitmap.Height();
  h->biPlanes = 1;
  h->biBitCount = static_cast<WORD>(bitmap.PixelBits());
  h->biCompression = masks ? BI_BITFIELDS : BI_RGB;
  h->biClrUsed = static_cast<DWORD>(palette.size());
  auto* tail = info.storage.data() + sizeof(BITMAPINFOHEADER);
  if (masks) {
    const TColorMasks& m = bitmap.Masks();
    const uint32_t fields[3] = {m.Red, m.Green, m.Blue};
    std::memcpy(tail, fields, sizeof(fields));
  } else if (!palette.empty()) {
    std::memcpy(tail, palette.data(), 4 * palette.size());
  }
  return info;
}

void DrawBitmap(HDC dc, const TBitmap& bitmap, int x, int y) {
  if (bitmap.Empty()) return;
  DibInfo info = DescribeDib(bitmap);
  const auto& bits = bitmap.Bits();
  SetDIBitsToDevice(dc, x, y, bitmap.Width(), bitmap.Height(), 0, 0, 0, bitmap.Height(),
                    bits.data(), info.Get(), DIB_RGB_COLORS);
}

TBitmap CaptureWindow(HWND window, bool withFrame) {
  RECT r{};
  if (withFrame) {
    GetWindowRect(window, &r);
  } else {
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  }
  return CaptureScreen(r);
}

TBitmap CaptureScreen(const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  TBitmap out;
  if (w <= 0 || h <= 0) return out;
  out.Allocate(w, h, TPixelFormat::pf24bit, false);
  WindowDC screen(nullptr);
  MemoryDC mem(screen.Get());
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  Bitmap dib(CreateDIBSection(screen.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib) return out;
  {
    Selection use(mem.Get(), dib.Get());
    BitBlt(mem.Get(), 0, 0, w, h, screen.Get(), r.left, r.top, SRCCOPY);
    GdiFlush();
  }
  const size_t rowBytes = RowBytes(w, 24);
  for (int y = 0; y < h; ++y) {
    // The DIB is bottom-up: its first row is the picture's last.
    std::memcpy(out.PixelRow(y), static_cast<const uint8_t*>(bits) + rowBytes * (h - 1 - y),
                rowBytes);
  }
  return out;
}

}  // namespace qv::win
