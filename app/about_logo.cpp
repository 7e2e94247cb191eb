#include "app/about_logo.h"

#include <algorithm>

#include "app/segment_distance.h"
#include "imaging/color.h"
#include "imaging/drawing.h"

namespace qv {

namespace {

void PutRgb(TBitmap& b, int x, int y, uint32_t rgb) { b.SetPixelRgb(x, y, rgb); }

uint32_t Mix(uint32_t from, uint32_t to, int step, int steps) {
  auto channel = [&](int shift) {
    const int a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
    return static_cast<uint32_t>(a + (b - a) * step / std::max(1, steps)) << shift;
  };
  return channel(0) | channel(8) | channel(16);
}

}  // namespace

TBitmap PaintAboutLogo() {
  TBitmap logo;
  logo.SetPixelFormat(TPixelFormat::pf24bit);
  logo.SetSize(kAboutLogoWidth, kAboutLogoHeight);
  const int w = kAboutLogoWidth, h = kAboutLogoHeight;
  FillRect(logo, TRect{0, 0, w, h}, clWhite);

  // A little Explorer window: its frame, and a toolbar wearing the gradient
  // the program paints by default, sky blue at the top to blue at the bottom.
  FillRect(logo, TRect{6, 6, w - 6, h - 6}, 0xF4F4F4);
  FrameRect(logo, TRect{6, 6, w - 6, h - 6}, 0x808080);
  FillRect(logo, TRect{7, 7, w - 7, 15}, 0x800000);  // title bar, navy
  const TRect bar{7, 15, w - 7, 43};
  for (int y = bar.Top; y < bar.Bottom; ++y) {
    const uint32_t rgb = Mix(static_cast<uint32_t>(clSkyBlue), static_cast<uint32_t>(clBlue),
                             y - bar.Top, bar.Height() - 1);
    for (int x = bar.Left; x < bar.Right; ++x) PutRgb(logo, x, y, rgb);
  }
  for (int i = 0; i < 4; ++i) {  // toolbar buttons
    const TRect button{12 + i * 24, 20, 32 + i * 24, 38};
    FrameRect(logo, button, clWhite);
    FillRect(logo, TRect{button.Left + 5, button.Top + 5, button.Right - 5, button.Bottom - 5},
             0xFFFFFF);
  }
  FrameRect(logo, TRect{7, 43, w - 7, 44}, 0xA0A0A0);

  // The emblem: a "Q" made of a ring and a tail, in the two default colours.
  const TRect ring{48, 50, 100, 100};
  FillEllipse(logo, ring, clBlue, 0x800000);
  FillEllipse(logo, TRect{ring.Left + 11, ring.Top + 11, ring.Right - 11, ring.Bottom - 11},
              0xF4F4F4, 0xF0CAA6);
  for (int y = 80; y < 103; ++y)
    for (int x = 78; x < 106; ++x)
      if (SegmentDistance(x + 0.5, y + 0.5, 82, 84, 101, 100) <= 3.5) PutRgb(logo, x, y, 0x800000);
  return logo;
}

TBitmap PaintCheckMarkGlyph(int size) {
  TBitmap glyph;
  if (size <= 0) return glyph;
  glyph.Allocate(size, size, TPixelFormat::pf32bit, true);
  // Two strokes in the unit square, sampled 4 x 4 per pixel for smooth edges.
  const double s = size;
  const double ax = 0.12 * s, ay = 0.55 * s, bx = 0.40 * s, by = 0.82 * s, cx = 0.90 * s,
               cy = 0.18 * s;
  const double half = std::max(1.0, 0.09 * s);
  for (int y = 0; y < size; ++y) {
    uint8_t* row = glyph.PixelRow(y);
    for (int x = 0; x < size; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
          const double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
          if (SegmentDistance(px, py, ax, ay, bx, by) <= half ||
              SegmentDistance(px, py, bx, by, cx, cy) <= half)
            ++hits;
        }
      uint8_t* p = row + 4 * x;
      p[0] = 0x00;  // green 0x008000
      p[1] = 0x80;
      p[2] = 0x00;
      p[3] = static_cast<uint8_t>(hits * 255 / 16);
    }
  }
  return glyph;
}

}  // namespace qv
