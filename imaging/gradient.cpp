#include "imaging/gradient.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/exceptions.h"
#include "imaging/numeric.h"

namespace qv {

namespace {

constexpr long double kTwoPi = 2 * kPi;

constexpr uint32_t Pack(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue) {
  return alpha | (red << 8) | (green << 16) | (static_cast<uint32_t>(blue) << 24);
}
constexpr uint8_t PackedAlpha(uint32_t c) { return c & 0xFF; }
constexpr uint8_t PackedRed(uint32_t c) { return (c >> 8) & 0xFF; }
constexpr uint8_t PackedGreen(uint32_t c) { return (c >> 16) & 0xFF; }
constexpr uint8_t PackedBlue(uint32_t c) { return (c >> 24) & 0xFF; }

// One interpolated channel: v = (p - prev) * (new - old) / (q - prev) + old,
// in extended precision, held as a double, then clamped and rounded.
uint8_t InterpolateChannel(double p, double prev, double q, int32_t from, int32_t to) {
  long double v = (static_cast<long double>(p) - prev) * static_cast<long double>(to - from);
  v = v / (static_cast<long double>(q) - prev) + from;
  double held = ToDouble(v);
  if (held < 0) return 0;
  if (held > 255) return 255;
  return static_cast<uint8_t>(Round(held));
}

// What the walk over the sorted stops found for a position: the first stop
// at or above it, and whether it was an exact hit. Two positions with the
// same outcome are coloured by the same monotone formula.
struct WalkOutcome {
  int32_t Stop = 0;
  bool Exact = false;
  friend bool operator==(const WalkOutcome&, const WalkOutcome&) = default;
};

}  // namespace

void TKelvoGradientColor::SetPosition(double value) {
  if (!(value >= 0)) throw Exception("Position must be more than zero.");
  if (value > 1) throw Exception("Position must be less than 1.");
  position_ = value;
}

void TKelvoGradientColor::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TKelvoGradientColor*>(source);
  if (!other) {
    throw EConvertError(std::string("Cannot assign a ") + (source ? source->ClassName() : "nil") +
                        " to a " + ClassName());
  }
  color_ = other->color_;
  alpha_ = other->alpha_;
  position_ = other->position_;
  visible_ = other->visible_;
}

TKelvoGradientColor& TKelvoGradientColors::Add() {
  items_.push_back(std::unique_ptr<TKelvoGradientColor>(new TKelvoGradientColor()));
  return *items_.back();
}

TKelvoGradientColor& TKelvoGradientColors::Items(int index) {
  if (index < 0 || index >= Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
  return *items_[index];
}

const TKelvoGradientColor& TKelvoGradientColors::Items(int index) const {
  return const_cast<TKelvoGradientColors*>(this)->Items(index);
}

void TKelvoGradient::SetAngle(double value) {
  // Whole turns are removed exactly; fmod gives the same result as taking
  // 360 off repeatedly, without looping for ever on huge values.
  if (!std::isfinite(value)) ThrowInvalidOp();
  if (value >= 360) value = std::fmod(value, 360.0);
  if (value < -360) value = std::fmod(value, 360.0);
  while (value < 0) value += 360;
  angle_ = value;
}

std::string TKelvoGradient::HomePage() const { return "https://kelvo.example/gradient/"; }

void TKelvoGradient::SortColors() {
  sorted_index_.clear();
  for (int i = 0; i < colors_.Count(); ++i)
    if (colors_.Items(i).Visible()) sorted_index_.push_back(i);
  visible_count_ = static_cast<int32_t>(sorted_index_.size());
  // A plain exchange sort; its order for equal positions is part of the
  // painting result, so no other sort may stand in for it.
  for (int32_t i = 0; i + 1 < visible_count_; ++i)
    for (int32_t k = i + 1; k < visible_count_; ++k)
      if (colors_.Items(sorted_index_[k]).Position() < colors_.Items(sorted_index_[i]).Position())
        std::swap(sorted_index_[i], sorted_index_[k]);
}

void TKelvoGradient::PrepareLinear(int32_t CenterX, int32_t CenterY) {
  double r = ToDouble(static_cast<long double>(angle_) * kPi / 180);
  slope_ = ToDouble(Divide(-Sin(r), Cos(r)));
  offset_ = ToDouble(static_cast<long double>(CenterX) * slope_ - CenterY);
  norm_ = ToDouble(Sqrt(static_cast<long double>(slope_) * slope_ + 1));
  max_distance_ = 0;
  auto distance = [&](int32_t x, int32_t y) {
    long double v = (static_cast<long double>(y) - static_cast<long double>(x) * slope_) + offset_;
    return ToDouble(std::fabs(v) / norm_);
  };
  if (slope_ == 0) {
    // x * (+-0) is a zero and y - 0 is y exactly, so every pixel of a row
    // has the row's first distance.
    for (int32_t y = 0; y < surface_height_ && surface_width_ > 0; ++y)
      max_distance_ = std::max(max_distance_, distance(0, y));
  } else {
    for (int32_t y = 0; y < surface_height_; ++y)
      for (int32_t x = 0; x < surface_width_; ++x) {
        double d = distance(x, y);
        if (d > max_distance_) max_distance_ = d;
      }
  }
  if (max_distance_ == 0) max_distance_ = 1;
}

namespace {

// Squared distance from the centre, unsigned 64 bits: with the centre at the
// far corner of the coordinate range each square reaches 2^62 and their sum
// 2^63, one past the signed range.
uint64_t SquaredDistance(int32_t x, int32_t y, int32_t cx, int32_t cy) {
  const int64_t dx = static_cast<int64_t>(x) - cx, dy = static_cast<int64_t>(y) - cy;
  const uint64_t ax = static_cast<uint64_t>(dx < 0 ? -dx : dx);
  const uint64_t ay = static_cast<uint64_t>(dy < 0 ? -dy : dy);
  return ax * ax + ay * ay;
}

// The band painter works on signed squared distances with room to spare.
constexpr uint64_t kBandsLimit = uint64_t{1} << 62;

uint64_t LargestSquaredDistance(int32_t w, int32_t h, int32_t cx, int32_t cy) {
  // The squared distance is a convex function, so over the surface it is
  // largest at a corner.
  uint64_t best = 0;
  for (int32_t x : {0, w - 1})
    for (int32_t y : {0, h - 1}) best = std::max(best, SquaredDistance(x, y, cx, cy));
  return best;
}

}  // namespace

void TKelvoGradient::PrepareRadial(int32_t CenterX, int32_t CenterY) {
  max_distance_ = 0;
  if (surface_width_ > 0 && surface_height_ > 0) {
    // The root and the rounding keep the order of the squared distances.
    const uint64_t best = LargestSquaredDistance(surface_width_, surface_height_, CenterX, CenterY);
    max_distance_ = ToDouble(Sqrt(static_cast<long double>(best)));
  }
  if (max_distance_ == 0) max_distance_ = 1;
}

double TKelvoGradient::GetColorPosition(int32_t X, int32_t Y, int32_t CenterX, int32_t CenterY) {
  // The kind's position stays extended until Reverse has been applied; only
  // the final position is held as a double, so a reversed position is
  // rounded once, after 1 - p, not before it as well.
  long double p = 0;
  switch (type_) {
    case gtLinear: {
      long double v = (static_cast<long double>(Y) - static_cast<long double>(X) * slope_) + offset_;
      double d = ToDouble(std::fabs(v) / norm_);
      p = static_cast<long double>(d) / max_distance_;
      break;
    }
    case gtRadial: {
      double d = ToDouble(Sqrt(static_cast<long double>(SquaredDistance(X, Y, CenterX, CenterY))));
      p = static_cast<long double>(d) / max_distance_;
      break;
    }
    case gtAngle: {
      double t;
      if (X == CenterX) {
        t = -1.5707963267948966;
      } else {
        long double ratio = static_cast<long double>(static_cast<int64_t>(CenterY) - Y) /
                            static_cast<long double>(static_cast<int64_t>(X) - CenterX);
        t = ToDouble(ArcTan(ratio));
      }
      if (t < 0) t = ToDouble(t + kPi);
      if (Y > CenterY) t = ToDouble(t + kPi);
      if (Y == CenterY && X < CenterX) t = 3.141592653589793;
      if (Y == CenterY && X > CenterX) t = 0;
      t = ToDouble(t - static_cast<long double>(ToDouble(static_cast<long double>(angle_) * kPi / 180)));
      while (t < 0) t = ToDouble(t + kTwoPi);
      while (t > kTwoPi) t = ToDouble(t - kTwoPi);
      p = t / kTwoPi;
      break;
    }
    case gtCustom: {
      double position = 0;
      if (on_color_pixel_) on_color_pixel_(TPoint{X, Y}, position);
      p = position;
      break;
    }
    default:
      p = 0;
  }
  return ToDouble(reverse_ ? 1 - p : p);
}

uint32_t TKelvoGradient::ColorAtPosition(double p) const {
  double prev = -1;
  for (int32_t k = 0; k < visible_count_; ++k) {
    const TKelvoGradientColor& s = colors_.Items(sorted_index_[k]);
    double q = s.Position();
    if (q == p) {
      uint32_t c = ResolveColor(s.Color());
      return Pack(s.Alpha(), RedOf(c), GreenOf(c), BlueOf(c));
    }
    if (q < p) {
      prev = q;
      continue;
    }
    if (q > p) {
      if (k == 0) return 0;  // before the first stop: blank
      const TKelvoGradientColor& b = colors_.Items(sorted_index_[k - 1]);
      uint32_t cs = ResolveColor(s.Color()), cb = ResolveColor(b.Color());
      uint8_t red = InterpolateChannel(p, prev, q, RedOf(cb), RedOf(cs));
      uint8_t green = InterpolateChannel(p, prev, q, GreenOf(cb), GreenOf(cs));
      uint8_t blue = InterpolateChannel(p, prev, q, BlueOf(cb), BlueOf(cs));
      uint8_t alpha = InterpolateChannel(p, prev, q, b.Alpha(), s.Alpha());
      return Pack(alpha, red, green, blue);
    }
    // A NaN position compares with nothing: the walk goes on and ends blank.
  }
  return 0;
}

uint32_t TKelvoGradient::GetPixelColor(int32_t X, int32_t Y, int32_t CenterX, int32_t CenterY) {
  return ColorAtPosition(GetColorPosition(X, Y, CenterX, CenterY));
}

uint8_t TKelvoGradient::BlendChannel(uint8_t Old, uint8_t New, uint8_t Alpha) {
  if (Alpha == 255) return New;
  if (Alpha == 0) return Old;
  return static_cast<uint8_t>((New * Alpha + Old * (255 - Alpha)) / 255);
}

namespace {

inline void BlendPixel(uint8_t* px, uint32_t c) {
  uint8_t a = PackedAlpha(c);
  if (a == 0) return;
  if (a == 255) {
    px[0] = PackedBlue(c);
    px[1] = PackedGreen(c);
    px[2] = PackedRed(c);
    return;
  }
  px[0] = TKelvoGradient::BlendChannel(px[0], PackedBlue(c), a);
  px[1] = TKelvoGradient::BlendChannel(px[1], PackedGreen(c), a);
  px[2] = TKelvoGradient::BlendChannel(px[2], PackedRed(c), a);
}

}  // namespace

void TKelvoGradient::PaintGradient(int32_t CenterX, int32_t CenterY, TBitmap& Bitmap) {
  SortColors();
  surface_width_ = Bitmap.Width();
  surface_height_ = Bitmap.Height();
  if (type_ == gtLinear) PrepareLinear(CenterX, CenterY);
  if (type_ == gtRadial) PrepareRadial(CenterX, CenterY);
  Bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  if (surface_width_ <= 0 || surface_height_ <= 0) return;

  // Two shortcuts give exactly the bytes of the pixel-by-pixel rule:
  // a horizontal line makes every pixel of a row share its position, and a
  // radial position depends only on the integer squared distance.
  if (type_ == gtLinear && slope_ == 0) {
    for (int32_t y = 0; y < surface_height_; ++y) {
      uint8_t* row = Bitmap.PixelRow(y);
      uint32_t c = GetPixelColor(0, y, CenterX, CenterY);
      if (PackedAlpha(c) == 255) {
        // Opaque: the row is one pixel repeated; copy it in doubling runs.
        BlendPixel(row, c);
        const size_t total = static_cast<size_t>(surface_width_) * 3;
        for (size_t filled = 3; filled < total;) {
          size_t n = std::min(filled, total - filled);
          std::memcpy(row + filled, row, n);
          filled += n;
        }
      } else {
        for (int32_t x = 0; x < surface_width_; ++x) BlendPixel(row + 3 * x, c);
      }
    }
    return;
  }
  if (type_ == gtRadial &&
      LargestSquaredDistance(surface_width_, surface_height_, CenterX, CenterY) < kBandsLimit) {
    PaintRadialBands(CenterX, CenterY, Bitmap);
    return;
  }
  PaintPerPixel(CenterX, CenterY, Bitmap);
}

void TKelvoGradient::PaintPerPixel(int32_t CenterX, int32_t CenterY, TBitmap& bitmap) {
  for (int32_t y = 0; y < surface_height_; ++y) {
    uint8_t* row = bitmap.PixelRow(y);
    for (int32_t x = 0; x < surface_width_; ++x)
      BlendPixel(row + 3 * x, GetPixelColor(x, y, CenterX, CenterY));
  }
}

void TKelvoGradient::PaintRadialBands(int32_t CenterX, int32_t CenterY, TBitmap& bitmap) {
  // The colour of a pixel is a function of s = dx^2 + dy^2 alone. Along s the
  // position never decreases (root, division by a positive constant and
  // every rounding are monotone; Reverse only mirrors it), so the stop the
  // walk ends at never moves back, and between two stops every channel is a
  // chain of monotone operations of the position. Hence if both ends of an
  // interval of s meet the same stop the same way and get the same colour,
  // every s inside gets it too. Splitting intervals until that holds finds
  // the bands of equal colour with a few thousand evaluations instead of one
  // per pixel, and each band is exactly what the per-pixel rule paints.
  auto position = [&](int64_t s) {
    double d = ToDouble(Sqrt(static_cast<long double>(s)));
    long double p = static_cast<long double>(d) / max_distance_;
    return ToDouble(reverse_ ? 1 - p : p);
  };
  auto outcome = [&](double p) {
    WalkOutcome o{visible_count_, false};
    for (int32_t k = 0; k < visible_count_; ++k) {
      double q = colors_.Items(sorted_index_[k]).Position();
      if (q >= p) {
        o = WalkOutcome{k, q == p};
        break;
      }
    }
    return o;
  };
  struct Sample {
    int64_t s;
    uint32_t color;
    WalkOutcome walk;
  };
  auto sample = [&](int64_t s) {
    double p = position(s);
    return Sample{s, ColorAtPosition(p), outcome(p)};
  };

  int64_t lo = 0, hi = 0;
  {
    // The nearest pixel to the centre gives the smallest s, a corner the largest.
    int32_t nx = std::clamp(CenterX, 0, surface_width_ - 1);
    int32_t ny = std::clamp(CenterY, 0, surface_height_ - 1);
    // Below kBandsLimit, as PaintGradient checked: both fit the signed range.
    lo = static_cast<int64_t>(SquaredDistance(nx, ny, CenterX, CenterY));
    hi = static_cast<int64_t>(LargestSquaredDistance(surface_width_, surface_height_, CenterX, CenterY));
  }

  // Bands as (first s, colour), in increasing s.
  std::vector<int64_t> starts;
  std::vector<uint32_t> colors;
  Sample first = sample(lo);
  starts.push_back(lo);
  colors.push_back(first.color);
  // Where the colour may change: at each stop's position and wherever an
  // interpolated channel passes a half (v = m + 0.5), worked out in double
  // and mapped back to s = (p x MaxDistance)^2. These points only guide the
  // splitting (s and s + 1 either side of each estimate), so that most
  // intervals are settled at once; every band still comes from the check
  // of its ends above, whatever the estimates are worth. Many stops would
  // make too many points: then the splitting goes without them.
  std::vector<int64_t> points;
  auto guess = [&](double p) {
    if (reverse_) p = 1 - p;
    const double d = p * max_distance_;
    const double sd = d * d;
    if (!(p >= 0 && sd >= static_cast<double>(lo) && sd < static_cast<double>(hi))) return;
    const int64_t at = static_cast<int64_t>(sd);
    for (int64_t t : {at, at + 1})
      if (t > lo && t < hi) points.push_back(t);
  };
  for (int32_t k = 0; k < visible_count_ && points.size() < 8192; ++k) {
    const TKelvoGradientColor& stop = colors_.Items(sorted_index_[k]);
    guess(stop.Position());
    if (k == 0) continue;
    const TKelvoGradientColor& before = colors_.Items(sorted_index_[k - 1]);
    const double q0 = before.Position(), q1 = stop.Position();
    if (!(q1 > q0)) continue;
    const uint32_t c0 = ResolveColor(before.Color()), c1 = ResolveColor(stop.Color());
    const int v0[4] = {RedOf(c0), GreenOf(c0), BlueOf(c0), before.Alpha()};
    const int v1[4] = {RedOf(c1), GreenOf(c1), BlueOf(c1), stop.Alpha()};
    for (int c = 0; c < 4; ++c) {
      const int delta = v1[c] - v0[c];
      for (int m = std::min(v0[c], v1[c]); m < std::max(v0[c], v1[c]); ++m)
        guess(q0 + (m + 0.5 - v0[c]) * (q1 - q0) / delta);
    }
  }
  if (points.size() > 8192) points.clear();
  std::sort(points.begin(), points.end());
  points.erase(std::unique(points.begin(), points.end()), points.end());
  if (hi > lo) points.push_back(hi);

  // Depth-first over [a, b], left part first, so bands come out in order.
  struct Range {
    Sample a, b;
  };
  std::vector<Range> work;
  Sample previous = first;
  for (int64_t point : points) {
    const Sample next = sample(point);
    work.push_back(Range{previous, next});
    previous = next;
    while (!work.empty()) {
      Range r = work.back();
      work.pop_back();
      if (r.a.color == r.b.color && r.a.walk == r.b.walk) continue;  // one band
      if (r.b.s - r.a.s == 1) {
        starts.push_back(r.b.s);
        colors.push_back(r.b.color);
        continue;
      }
      Sample mid = sample(r.a.s + (r.b.s - r.a.s) / 2);
      work.push_back(Range{mid, r.b});
      work.push_back(Range{r.a, mid});
    }
  }

  // The band of s is the number of band starts up to s, less one. A table
  // of at most 4096 cells over [lo, hi] gives the band at each cell's first
  // s; a cell that holds at most one further start settles any s in it with
  // one comparison, without a branch that a band change would mispredict.
  // Cells with more starts (near the centre, where bands are narrow in s)
  // search the starts.
  const size_t bands = starts.size();
  starts.push_back(INT64_MAX);  // stop for the comparison of the last band
  int shift = 0;
  while (((hi - lo) >> shift) >= 4096) ++shift;
  const size_t cells = static_cast<size_t>((hi - lo) >> shift) + 1;
  // Per cell: the start of the next band within it and the two colours
  // either side, or, for a crowded cell, a mark (the lowest s) that sends
  // its pixels to the search.
  struct Cell {
    int64_t next;
    uint32_t below, above;
  };
  constexpr int64_t kCrowded = INT64_MIN;
  std::vector<Cell> table(cells);
  for (size_t c = 0, k = 0; c < cells; ++c) {
    const int64_t first = lo + (static_cast<int64_t>(c) << shift);
    const int64_t last = first + (int64_t{1} << shift) - 1;
    while (starts[k + 1] <= first) ++k;
    const bool crowded = starts[k + 1] <= last && starts[k + 2 <= bands ? k + 2 : bands] <= last;
    table[c] = Cell{crowded ? kCrowded : starts[k + 1], colors[k], k + 1 < bands ? colors[k + 1] : colors[k]};
  }
  auto colorOf = [&](int64_t s) -> uint32_t {
    const Cell& cell = table[static_cast<size_t>((s - lo) >> shift)];
    if (cell.next == kCrowded) [[unlikely]]
      return colors[static_cast<size_t>(std::upper_bound(starts.begin(), starts.begin() + bands, s) - starts.begin()) - 1];
    return s >= cell.next ? cell.above : cell.below;
  };
  bool opaque = true;
  for (uint32_t c : colors) opaque = opaque && PackedAlpha(c) == 255;
  if (opaque) {
    // Opaque colours are written, not blended: as bytes blue, green, red in
    // one 32-bit word, stored four bytes at a time; the fourth byte lands on
    // the next pixel, which is written after it, so only the last pixel of
    // a row is stored byte by byte.
    auto bgr = [](uint32_t c) { return PackedBlue(c) | PackedGreen(c) << 8 | static_cast<uint32_t>(PackedRed(c)) << 16; };
    for (Cell& cell : table) {
      cell.below = bgr(cell.below);
      cell.above = bgr(cell.above);
    }
    for (uint32_t& c : colors) c = bgr(c);
  }
  // Pixels mirrored about the centre have the same s, so an opaque row
  // mirrored about it (2 CenterY - y, painted already) is copied whole, and
  // within a row the pixels right of the centre copy their mirror on the
  // left (2 CenterX - x), whose four bytes are all painted by then: it lies
  // at least two pixels to the left.
  const int64_t mirrorRows = 2 * static_cast<int64_t>(CenterY);
  const int64_t mirrorColumns = 2 * static_cast<int64_t>(CenterX);
  const size_t rowBytes = 3 * static_cast<size_t>(surface_width_);
  for (int32_t y = 0; y < surface_height_; ++y) {
    uint8_t* row = bitmap.PixelRow(y);
    const int64_t dy = static_cast<int64_t>(y) - CenterY;
    if (opaque && mirrorRows - y >= 0 && mirrorRows - y < y) {
      std::memcpy(row, bitmap.PixelRow(static_cast<int32_t>(mirrorRows - y)), rowBytes);
      continue;
    }
    if (opaque) {
      const int32_t last = surface_width_ - 1;
      auto paint = [&](int32_t from, int32_t to) {
        for (int32_t x = from; x < to; ++x) {
          const int64_t dx = static_cast<int64_t>(x) - CenterX;
          const uint32_t c = colorOf(dx * dx + dy * dy);
          std::memcpy(row + 3 * x, &c, 4);
        }
      };
      // Columns CenterX + 1 .. 2 CenterX have their mirror in the row.
      const int32_t copyFrom = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(CenterX) + 1, 0, last));
      const int32_t copyTo = static_cast<int32_t>(std::clamp<int64_t>(mirrorColumns + 1, copyFrom, last));
      paint(0, copyFrom);
      for (int32_t x = copyFrom; x < copyTo; ++x) std::memcpy(row + 3 * x, row + 3 * (mirrorColumns - x), 4);
      paint(copyTo, last);
      const int64_t dx = static_cast<int64_t>(last) - CenterX;
      const uint32_t c = colorOf(dx * dx + dy * dy);
      row[3 * last] = c & 0xFF;
      row[3 * last + 1] = (c >> 8) & 0xFF;
      row[3 * last + 2] = (c >> 16) & 0xFF;
    } else {
      for (int32_t x = 0; x < surface_width_; ++x) {
        const int64_t dx = static_cast<int64_t>(x) - CenterX;
        BlendPixel(row + 3 * x, colorOf(dx * dx + dy * dy));
      }
    }
  }
}

}  // namespace qv
