#include "app/glyphs.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "app/segment_distance.h"

namespace qv {

namespace {

struct Rgb {
  double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

struct Segment {
  double ax, ay, bx, by;
};

// The mark: segments and arcs of a given half-width, plus filled circles
// and triangles, all in one colour.
struct Mark {
  Rgb color = kWhite;
  double halfWidth = 0.055;
  std::vector<Segment> segments;
  struct Arc {
    double cx, cy, r, from, to;  // angles in radians, y pointing down, from < to
  };
  std::vector<Arc> arcs;
  struct Dot {
    double cx, cy, r;
  };
  std::vector<Dot> dots;
  struct Triangle {
    double x[3], y[3];
  };
  std::vector<Triangle> triangles;

  bool Covers(double x, double y) const {
    for (const Segment& s : segments) {
      if (SegmentDistance(x, y, s.ax, s.ay, s.bx, s.by) <= halfWidth) return true;
    }
    for (const Arc& a : arcs) {
      const double dx = x - a.cx, dy = y - a.cy;
      const double d = std::sqrt(dx * dx + dy * dy);
      double angle = std::atan2(dy, dx);
      while (angle < a.from) angle += 2 * std::numbers::pi;
      if (angle <= a.to && std::abs(d - a.r) <= halfWidth) return true;
      // Round ends.
      for (double end : {a.from, a.to}) {
        const double ex = a.cx + a.r * std::cos(end) - x, ey = a.cy + a.r * std::sin(end) - y;
        if (ex * ex + ey * ey <= halfWidth * halfWidth) return true;
      }
    }
    for (const Dot& d : dots) {
      const double dx = x - d.cx, dy = y - d.cy;
      if (dx * dx + dy * dy <= d.r * d.r) return true;
    }
    for (const Triangle& t : triangles) {
      double s[3];
      for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        s[i] = (t.x[j] - t.x[i]) * (y - t.y[i]) - (t.y[j] - t.y[i]) * (x - t.x[i]);
      }
      if ((s[0] >= 0 && s[1] >= 0 && s[2] >= 0) || (s[0] <= 0 && s[1] <= 0 && s[2] <= 0)) {
        return true;
      }
    }
    return false;
  }
};

Mark CheckMark() {
  Mark m;
  m.halfWidth = 0.06;
  m.segments = {{0.28, 0.52, 0.44, 0.67}, {0.44, 0.67, 0.73, 0.35}};
  return m;
}

Mark CrossMark() {
  Mark m;
  m.halfWidth = 0.06;
  m.segments = {{0.34, 0.34, 0.66, 0.66}, {0.66, 0.34, 0.34, 0.66}};
  return m;
}

Mark CircularArrow() {
  const double pi = std::numbers::pi;
  Mark m;
  m.halfWidth = 0.048;
  const double r = 0.21, from = -pi / 2 + 0.55, to = from + 1.55 * pi;
  m.arcs = {{0.5, 0.5, r, from, to}};
  // The head at the arc's end, pointing along the direction of travel.
  const double ex = 0.5 + r * std::cos(to), ey = 0.5 + r * std::sin(to);
  const double tx = -std::sin(to), ty = std::cos(to);  // tangent
  const double nx = std::cos(to), ny = std::sin(to);   // outward normal
  const double base = 0.11, length = 0.15;
  m.triangles = {{{ex + nx * base, ex - nx * base, ex + tx * length},
                  {ey + ny * base, ey - ny * base, ey + ty * length}}};
  return m;
}

Mark QuestionMark() {
  const double pi = std::numbers::pi;
  Mark m;
  m.color = {30, 80, 185};
  m.halfWidth = 0.055;
  // The hook: from the left, over the top, round to the lower right.
  m.arcs = {{0.5, 0.39, 0.13, pi, pi + 1.35 * pi}};
  const double endX = 0.5 + 0.13 * std::cos(2.35 * pi), endY = 0.39 + 0.13 * std::sin(2.35 * pi);
  m.segments = {{endX, endY, 0.5, 0.58}, {0.5, 0.58, 0.5, 0.61}};
  m.dots = {{0.5, 0.73, 0.06}};
  return m;
}

struct Badge {
  Rgb base;
  Mark mark;
};

Badge BadgeFor(TGlyphKind kind) {
  switch (kind) {
    case TGlyphKind::gkApply:
      return {{40, 160, 60}, CheckMark()};
    case TGlyphKind::gkDefault:
      return {{235, 160, 25}, CheckMark()};
    case TGlyphKind::gkLoad:
      return {{40, 110, 210}, CircularArrow()};
    case TGlyphKind::gkAbout:
      return {{196, 201, 208}, QuestionMark()};
    case TGlyphKind::gkExit:
    default:
      return {{210, 48, 45}, CrossMark()};
  }
}

}  // namespace

TBitmap PaintGlyph(TGlyphKind kind, int size) {
  TBitmap out;
  if (size <= 0) return out;
  out.Allocate(size, size, TPixelFormat::pf32bit, true);
  const Badge badge = BadgeFor(kind);
  constexpr int kSamples = 4;  // 4 × 4 samples per pixel
  const double radius = 0.47, rim = 0.035;

  for (int y = 0; y < size; ++y) {
    uint8_t* row = out.PixelRow(y);
    for (int x = 0; x < size; ++x) {
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double u = (x + (sx + 0.5) / kSamples) / size;
          const double v = (y + (sy + 0.5) / kSamples) / size;
          const double dx = u - 0.5, dy = v - 0.5;
          const double d = std::sqrt(dx * dx + dy * dy);
          if (d > radius) continue;
          Rgb c;
          if (badge.mark.Covers(u, v)) {
            c = badge.mark.color;
          } else if (d > radius - rim) {
            c = Mix(badge.base, kBlack, 0.28);  // the rim
          } else {
            // Lit from above: lighter at the top, deeper at the bottom.
            const double t = (v - (0.5 - radius)) / (2 * radius);
            c = t < 0.5 ? Mix(badge.base, kWhite, 0.38 * (0.5 - t) * 2)
                        : Mix(badge.base, kBlack, 0.16 * (t - 0.5) * 2);
          }
          r += c.r;
          g += c.g;
          b += c.b;
          a += 1;
        }
      }
      uint8_t* p = row + x * 4;
      if (a == 0) {
        p[0] = p[1] = p[2] = p[3] = 0;
        continue;
      }
      p[0] = static_cast<uint8_t>(std::lround(b / a));
      p[1] = static_cast<uint8_t>(std::lround(g / a));
      p[2] = static_cast<uint8_t>(std::lround(r / a));
      p[3] = static_cast<uint8_t>(std::lround(a * 255.0 / (kSamples * kSamples)));
    }
  }
  return out;
}

}  // namespace qv
