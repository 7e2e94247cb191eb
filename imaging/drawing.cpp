#include "imaging/drawing.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qv {

namespace {

TRect Clip(const TRect& r, const TBitmap& s) {
  return TRect{std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, s.Width()),
               std::min(r.Bottom, s.Height())};
}

void FillSpan(TBitmap& surface, int y, int x0, int x1, uint32_t rgb) {
  if (x0 >= x1) return;
  if (surface.PixelFormat() == TPixelFormat::pf24bit) {
    uint8_t* row = surface.PixelRow(y);
    for (int x = x0; x < x1; ++x) {
      row[3 * x] = BlueOf(rgb);
      row[3 * x + 1] = GreenOf(rgb);
      row[3 * x + 2] = RedOf(rgb);
    }
    return;
  }
  for (int x = x0; x < x1; ++x) surface.SetPixelRgb(x, y, rgb);
}

}  // namespace

void FillRect(TBitmap& surface, const TRect& rect, TColor color) {
  TRect c = Clip(rect, surface);
  uint32_t rgb = ResolveColor(color) & 0xFFFFFF;
  for (int y = c.Top; y < c.Bottom; ++y) FillSpan(surface, y, c.Left, c.Right, rgb);
}

void FrameRect(TBitmap& surface, const TRect& rect, TColor color) {
  if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
  FillRect(surface, TRect{rect.Left, rect.Top, rect.Right, rect.Top + 1}, color);
  FillRect(surface, TRect{rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom}, color);
  FillRect(surface, TRect{rect.Left, rect.Top, rect.Left + 1, rect.Bottom}, color);
  FillRect(surface, TRect{rect.Right - 1, rect.Top, rect.Right, rect.Bottom}, color);
}

namespace {

// A box given right to left or bottom to top is the same box: its edges
// are ordered first, as the platform's ellipse drawing does.
TRect OrderedBox(const TRect& box) {
  return TRect{std::min(box.Left, box.Right), std::min(box.Top, box.Bottom), std::max(box.Left, box.Right),
               std::max(box.Top, box.Bottom)};
}

}  // namespace

void ForEllipseRows(const TRect& box, int top, int bottom, const EllipseRowFn& row) {
  const TRect rect = OrderedBox(box);
  const int64_t w = static_cast<int64_t>(rect.Right) - rect.Left;
  const int64_t h = static_cast<int64_t>(rect.Bottom) - rect.Top;
  auto emptyRows = [&] {
    for (int y = top; y < bottom; ++y) row(y, TEllipseRow{});
  };
  if (w <= 0 || h <= 0) return emptyRows();
  // In doubled coordinates the pixel centre (x + 0.5, y + 0.5) relative to
  // the rectangle's centre is (2x + 1 - (L + R), 2y + 1 - (T + B)), and the
  // ellipse is px^2 h^2 + py^2 w^2 <= w^2 h^2: all integers, no rounding.
  // Inside the box |px| < w and |py| < h, with w and h below 2^32, so in the
  // form py^2 w^2 <= h^2 (w^2 - px^2) every square fits 64 unsigned bits
  // and every product 128, however large the box.
  using u128 = unsigned __int128;
  const uint64_t w2 = static_cast<uint64_t>(w) * static_cast<uint64_t>(w);
  const uint64_t h2 = static_cast<uint64_t>(h) * static_cast<uint64_t>(h);
  auto square = [](int64_t v) {
    const uint64_t a = static_cast<uint64_t>(v < 0 ? -v : v);
    return a * a;
  };
  auto inside = [&](int64_t x, int64_t y) {
    if (x < rect.Left || x >= rect.Right || y < rect.Top || y >= rect.Bottom) return false;
    const uint64_t px2 = square(2 * x + 1 - (static_cast<int64_t>(rect.Left) + rect.Right));
    const uint64_t py2 = square(2 * y + 1 - (static_cast<int64_t>(rect.Top) + rect.Bottom));
    return static_cast<u128>(py2) * w2 <= static_cast<u128>(h2) * (w2 - px2);
  };
  // The pixels of a row inside the ellipse are one run [first, end), found
  // by bisection on the rule above (inside grows toward the centre column),
  // and symmetric about the centre. A pixel of the run is outline when it
  // ends the run or lies outside the run of the row above or below.
  struct Run {
    int64_t first = 0, end = 0;
  };
  auto runOf = [&](int64_t y) {
    Run run;
    if (y < rect.Top || y >= rect.Bottom) return run;
    const int64_t mid = rect.Left + (w - 1) / 2;  // a centre column, or the left one of two
    if (!inside(mid, y)) return run;
    int64_t lo = rect.Left, hi = mid;  // the first inside column lies in [lo, hi]
    while (lo < hi) {
      const int64_t m = lo + (hi - lo) / 2;
      if (inside(m, y)) hi = m;
      else lo = m + 1;
    }
    run.first = lo;
    run.end = static_cast<int64_t>(rect.Left) + rect.Right - lo;
    return run;
  };
  if (top >= bottom) return;
  Run above = runOf(static_cast<int64_t>(top) - 1), here = runOf(top);
  for (int y = top; y < bottom; ++y) {
    const Run below = runOf(static_cast<int64_t>(y) + 1);
    TEllipseRow r;
    if (here.first < here.end) {
      r.First = here.first;
      r.End = here.end;
      r.FillFirst = std::max({here.first + 1, above.first, below.first});
      r.FillEnd = std::min({here.end - 1, above.end, below.end});
      if (r.FillFirst >= r.FillEnd) r.FillFirst = r.FillEnd = r.End;  // outline only
    }
    row(y, r);
    above = here;
    here = below;
  }
}

void FillEllipse(TBitmap& surface, const TRect& rect, TColor fill, TColor pen) {
  uint32_t fillRgb = ResolveColor(fill) & 0xFFFFFF;
  uint32_t penRgb = ResolveColor(pen) & 0xFFFFFF;
  TRect c = Clip(OrderedBox(rect), surface);
  if (c.Left >= c.Right) return;
  auto paint = [&](int y, int64_t x0, int64_t x1, uint32_t rgb) {
    x0 = std::max<int64_t>(x0, c.Left);
    x1 = std::min<int64_t>(x1, c.Right);
    if (x0 < x1) FillSpan(surface, y, static_cast<int>(x0), static_cast<int>(x1), rgb);
  };
  ForEllipseRows(rect, c.Top, c.Bottom, [&](int y, const TEllipseRow& r) {
    paint(y, r.First, r.FillFirst, penRgb);
    paint(y, r.FillFirst, r.FillEnd, fillRgb);
    paint(y, r.FillEnd, r.End, penRgb);
  });
}

namespace {

void Copy(const TBitmap& source, TBitmap& destination, int x, int y, bool useKey, uint32_t key) {
  int x0 = std::max(0, x), y0 = std::max(0, y);
  int x1 = std::min(destination.Width(), x + source.Width());
  int y1 = std::min(destination.Height(), y + source.Height());
  if (x0 >= x1 || y0 >= y1) return;
  const bool fast = !useKey && source.PixelFormat() == destination.PixelFormat() &&
                    source.PixelBits() >= 8 && source.Palette() == destination.Palette() &&
                    source.Masks() == destination.Masks();
  for (int dy = y0; dy < y1; ++dy) {
    if (fast) {
      size_t bpp = source.PixelBits() / 8;
      std::memcpy(destination.PixelRow(dy) + x0 * bpp, source.PixelRow(dy - y) + (x0 - x) * bpp,
                  (x1 - x0) * bpp);
      continue;
    }
    if (useKey && source.PixelFormat() == TPixelFormat::pf24bit &&
        destination.PixelFormat() == TPixelFormat::pf24bit) {
      const uint8_t* s = source.PixelRow(dy - y) + 3 * (x0 - x);
      uint8_t* d = destination.PixelRow(dy) + 3 * x0;
      for (int dx = x0; dx < x1; ++dx, s += 3, d += 3) {
        if (s[0] == BlueOf(key) && s[1] == GreenOf(key) && s[2] == RedOf(key)) continue;
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
      continue;
    }
    for (int dx = x0; dx < x1; ++dx) {
      uint32_t rgb = source.GetPixelRgb(dx - x, dy - y);
      if (useKey && rgb == key) continue;
      destination.SetPixelRgb(dx, dy, rgb);
    }
  }
}

}  // namespace

void CopySurface(const TBitmap& source, TBitmap& destination, int x, int y) {
  Copy(source, destination, x, y, false, 0);
}

void CopySurfaceTransparent(const TBitmap& source, TBitmap& destination, int x, int y,
                            TColor transparent) {
  Copy(source, destination, x, y, true, ResolveColor(transparent) & 0xFFFFFF);
}

std::string StripPrefixes(const std::string& text, int* underlined) {
  std::string out;
  int mark = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) {
      ++i;
      if (text[i] != '&' && mark < 0) mark = static_cast<int>(out.size());
    } else if (text[i] == '&') {
      continue;  // a trailing "&" marks nothing and is not drawn
    }
    out.push_back(text[i]);
  }
  if (underlined) *underlined = mark;
  return out;
}

namespace {

// A deterministic stand-in for the platform's fonts: every visible character
// is a solid block, so tests can reason about exactly which pixels are ink.
class BlockTextRenderer final : public TextRenderer {
 public:
  void DrawText(TBitmap& surface, const std::string& text, TRect& rect,
                const TextStyle& style) override {
    std::string shown = (style.Flags & tfNoPrefix) ? text : StripPrefixes(text, nullptr);
    const int height = std::max(1, style.Font.Height);
    const int advance = Advance(style.Font);
    std::vector<std::string> lines;
    std::string line;
    for (char ch : shown) {
      if (ch == '\n') {
        lines.push_back(line);
        line.clear();
      } else if (ch != '\r') {
        line.push_back(ch);
      }
    }
    lines.push_back(line);
    if (style.Flags & tfSingleLine) lines = {shown};
    int widest = 0;
    for (const auto& l : lines) widest = std::max(widest, static_cast<int>(l.size()) * advance);
    if (style.Flags & tfCalcRect) {
      rect.Right = rect.Left + widest;
      rect.Bottom = rect.Top + height * static_cast<int>(lines.size());
      return;
    }
    TRect clip = rect;
    if (style.Opaque) FillRect(surface, clip, style.Background);
    uint32_t ink = ResolveColor(style.Color) & 0xFFFFFF;
    int top = rect.Top;
    if (style.Flags & tfVCenter) top += (rect.Height() - height * static_cast<int>(lines.size())) / 2;
    for (const auto& l : lines) {
      int w = static_cast<int>(l.size()) * advance;
      int left = rect.Left;
      if (style.Flags & tfCenter) left += (rect.Width() - w) / 2;
      else if (style.Flags & tfRight) left = rect.Right - w;
      for (size_t i = 0; i < l.size(); ++i) {
        if (l[i] == ' ' || l[i] == '\t') continue;
        int gx = left + static_cast<int>(i) * advance;
        for (int y = top + height / 4; y < top + height - height / 8; ++y)
          for (int x = gx; x < gx + advance - 1; ++x)
            if (x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom)
              surface.SetPixelRgb(x, y, ink);
      }
      top += height;
    }
  }

  int TextHeight(const TFont& font) override { return std::max(1, font.Height); }

 private:
  static int Advance(const TFont& font) { return std::max(2, (font.Height + 1) / 2); }
};

BlockTextRenderer g_block;
TextRenderer* g_renderer = &g_block;

}  // namespace

TextRenderer& CurrentTextRenderer() { return *g_renderer; }
void SetTextRenderer(TextRenderer* renderer) { g_renderer = renderer ? renderer : &g_block; }

}  // namespace qv
