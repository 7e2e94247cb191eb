#include "toolkit/gdi_text.h"

#include <algorithm>

#include "imaging/color.h"
#include "toolkit/handles.h"
#include "toolkit/text.h"
#include "toolkit/win.h"

namespace qv::win {

namespace {

Font MakeFont(const TFont& font) {
  return Font(CreateFontW(-font.Height, 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL, font.Italic,
                          font.Underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                          Widen(font.Name).c_str()));
}

UINT GdiFlags(unsigned flags) {
  UINT out = 0;
  if (flags & tfCalcRect) out |= DT_CALCRECT;
  if (flags & tfCenter) out |= DT_CENTER;
  if (flags & tfRight) out |= DT_RIGHT;
  if (flags & tfExpandTabs) out |= DT_EXPANDTABS;
  if (flags & tfWordBreak) out |= DT_WORDBREAK;
  if (flags & tfNoPrefix) out |= DT_NOPREFIX;
  if (flags & tfRtlReading) out |= DT_RTLREADING;
  if (flags & tfSingleLine) out |= DT_SINGLELINE;
  if (flags & tfVCenter) out |= DT_VCENTER;
  return out;
}

COLORREF Ref(TColor color) { return static_cast<COLORREF>(ResolveColor(color) & 0xFFFFFF); }

uint32_t GdiSysColor(int index) { return GetSysColor(index); }

}  // namespace

void GdiTextRenderer::DrawText(TBitmap& surface, const std::string& text, TRect& rect,
                               const TextStyle& style) {
  std::wstring wide = Widen(text);
  Font font = MakeFont(style.Font);
  UINT flags = GdiFlags(style.Flags);

  if (flags & DT_CALCRECT) {
    MemoryDC dc;
    Selection useFont(dc.Get(), font.Get());
    RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    ::DrawTextW(dc.Get(), wide.c_str(), static_cast<int>(wide.size()), &r, flags);
    rect.Right = r.right;
    rect.Bottom = r.bottom;
    return;
  }

  // Only the part of the rectangle on the surface is drawn: it is copied
  // into a 32-bit DIB, GDI draws on that, and the result is copied back.
  const int left = std::max(0, rect.Left), top = std::max(0, rect.Top);
  const int right = std::min(surface.Width(), rect.Right);
  const int bottom = std::min(surface.Height(), rect.Bottom);
  if (right <= left || bottom <= top) return;
  const int w = right - left, h = bottom - top;

  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  Bitmap dib(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || !bits) return;
  auto* pixels = static_cast<uint32_t*>(bits);
  const bool fast24 = surface.PixelFormat() == TPixelFormat::pf24bit;
  const bool fast32 = surface.PixelFormat() == TPixelFormat::pfDevice ||
                      surface.PixelFormat() == TPixelFormat::pf32bit;
  for (int y = 0; y < h; ++y) {
    if (fast24 || fast32) {
      const uint8_t* row = static_cast<const TBitmap&>(surface).PixelRow(top + y);
      const int step = fast24 ? 3 : 4;
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = row + (left + x) * step;
        pixels[y * w + x] = p[0] | (p[1] << 8) | (p[2] << 16);
      }
    } else {
      for (int x = 0; x < w; ++x) {
        uint32_t rgb = surface.GetPixelRgb(left + x, top + y);
        pixels[y * w + x] = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
      }
    }
  }

  {
    MemoryDC dc;
    Selection useBitmap(dc.Get(), dib.Get());
    Selection useFont(dc.Get(), font.Get());
    SetTextColor(dc.Get(), Ref(style.Color));
    if (style.Opaque) {
      SetBkMode(dc.Get(), OPAQUE);
      SetBkColor(dc.Get(), Ref(style.Background));
    } else {
      SetBkMode(dc.Get(), TRANSPARENT);
    }
    RECT r{rect.Left - left, rect.Top - top, rect.Right - left, rect.Bottom - top};
    ::DrawTextW(dc.Get(), wide.c_str(), static_cast<int>(wide.size()), &r, flags);
    GdiFlush();
  }

  for (int y = 0; y < h; ++y) {
    if (fast24 || fast32) {
      uint8_t* row = surface.PixelRow(top + y);
      const int step = fast24 ? 3 : 4;
      for (int x = 0; x < w; ++x) {
        uint32_t v = pixels[y * w + x];
        uint8_t* p = row + (left + x) * step;
        p[0] = v & 0xFF;
        p[1] = (v >> 8) & 0xFF;
        p[2] = (v >> 16) & 0xFF;
      }
    } else {
      for (int x = 0; x < w; ++x) {
        uint32_t v = pixels[y * w + x];
        surface.SetPixelRgb(left + x, top + y,
                            ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
      }
    }
  }
}

int GdiTextRenderer::TextHeight(const TFont& font) {
  Font f = MakeFont(font);
  MemoryDC dc;
  Selection useFont(dc.Get(), f.Get());
  TEXTMETRICW tm{};
  GetTextMetricsW(dc.Get(), &tm);
  return tm.tmHeight;
}

void InstallPlatformServices() {
  static GdiTextRenderer renderer;
  SetTextRenderer(&renderer);
  SetSysColorLookup(&GdiSysColor);
}

}  // namespace qv::win
