// Effects that move pixels or mask them by position: tiling with the
// fixed-point resampler, the fish-eye and twist remaps, and the spot light.
//
// The remaps hold their reals as float, but every float is the rounding of
// an extended-precision expression: each step below is written as a long
// double expression and rounded once when stored (ToFloat), never left to
// single-precision arithmetic, which would round every partial result.
#include <cmath>
#include <cstring>
#include <vector>

#include "effects/effect_routines.h"
#include "imaging/color.h"
#include "imaging/drawing.h"
#include "effects/extended_math.h"
#include "imaging/numeric.h"

namespace qv {

namespace {

using ld = long double;
using xmath::ToFloat;

// The low 32 bits of the truncated value, read as signed.
inline int32_t TruncLow32(float v) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(xmath::Trunc(v))));
}

inline int32_t Wrap(int32_t i, int32_t size) {
  if (i < 0) return (size - 1) - static_cast<int32_t>((-static_cast<int64_t>(i)) % size);
  if (i > size - 1) return i % size;
  return i;
}

// The source of a remap with its rows looked up once: every row index a
// sample computes lies inside the picture, so fetching it through PixelRow
// each time would only repeat the same range check.
class Sampler {
 public:
  explicit Sampler(const TBitmap& S) : SW_(S.Width()), SH_(S.Height()), rows_(S.Height()) {
    for (int32_t y = 0; y < SH_; ++y) rows_[y] = S.PixelRow(y);
  }

  // The rule as written: every float the rounding of an extended value.
  TSample Reference(float px, float py) const {
    int32_t ix = TruncLow32(px);
    int32_t iy = TruncLow32(py);

    // The first weight named is stored first; the second is computed from it.
    float col[2], row[2];
    if (px >= 0) {
      col[1] = ToFloat(static_cast<ld>(px) - ix);
      col[0] = ToFloat(1.0L - col[1]);
    } else {
      col[0] = ToFloat(static_cast<ld>(ix) - px);
      col[1] = ToFloat(1.0L - col[0]);
    }
    if (py >= 0) {
      row[1] = ToFloat(static_cast<ld>(py) - iy);
      row[0] = ToFloat(1.0L - row[1]);
    } else {
      row[0] = ToFloat(static_cast<ld>(iy) - py);
      row[1] = ToFloat(1.0L - row[0]);
    }

    ix = Wrap(ix, SW_);
    iy = Wrap(iy, SH_);

    float sum[3] = {0, 0, 0};
    for (int i = 0; i < 2; ++i) {
      const int32_t cx = (ix + i == SW_) ? 0 : ix + i;
      for (int j = 0; j < 2; ++j) {
        const int32_t ry = (iy + j == SH_) ? 0 : iy + j;
        const uint8_t* p = rows_[ry] + 3 * cx;
        const float w = ToFloat(static_cast<ld>(col[i]) * row[j]);
        for (int c = 0; c < 3; ++c) sum[c] = ToFloat(static_cast<ld>(sum[c]) + static_cast<ld>(p[c]) * w);
      }
    }
    TSample s;
    s.Blue = static_cast<uint8_t>(xmath::Round(sum[0]));
    s.Green = static_cast<uint8_t>(xmath::Round(sum[1]));
    s.Red = static_cast<uint8_t>(xmath::Round(sum[2]));
    return s;
  }

  // The same result computed in double precision wherever that is provably
  // identical, which is almost always:
  // - a value that is exact in double is exact in the extended format too,
  //   so rounding it once to float gives the same float either way;
  // - the fraction of a float and the product of two floats are always
  //   exact in double; a difference 1 - w or a sum is checked with an
  //   error-free transformation, and only an inexact one (a weight below
  //   about 2^-29) is redone in extended precision as the rule says.
  // Coordinates of 2^31 or more (or NaN) take the written rule throughout.
  TSample At(float px, float py) const {
    constexpr float kLimit = 2147483648.0f;
    if (!(std::fabs(px) < kLimit && std::fabs(py) < kLimit)) [[unlikely]]
      return Reference(px, py);
    int32_t ix = static_cast<int32_t>(px);  // truncation; fits, as |px| < 2^31
    int32_t iy = static_cast<int32_t>(py);

    float col[2], row[2];
    Weights(px, ix, col);
    Weights(py, iy, row);

    ix = Wrap(ix, SW_);
    iy = Wrap(iy, SH_);

    float sum[3] = {0, 0, 0};
    for (int i = 0; i < 2; ++i) {
      const int32_t cx = (ix + i == SW_) ? 0 : ix + i;
      for (int j = 0; j < 2; ++j) {
        const int32_t ry = (iy + j == SH_) ? 0 : iy + j;
        const uint8_t* p = rows_[ry] + 3 * cx;
        const double w = static_cast<float>(static_cast<double>(col[i]) * row[j]);
        for (int c = 0; c < 3; ++c) sum[c] = AddProduct(sum[c], p[c], w);
      }
    }
    TSample s;
    // Nearest, ties to even: the processor's default rounding mode.
    s.Blue = static_cast<uint8_t>(std::lrint(sum[0]));
    s.Green = static_cast<uint8_t>(std::lrint(sum[1]));
    s.Red = static_cast<uint8_t>(std::lrint(sum[2]));
    return s;
  }

 private:
  // The two weights along one axis, for the truncated coordinate i of v.
  static void Weights(float v, int32_t i, float w[2]) {
    // v - i is the fraction of v (or its negative), exact in float.
    if (v >= 0) {
      w[1] = v - static_cast<float>(i);
      w[0] = OneMinus(w[1]);
    } else {
      w[0] = static_cast<float>(i) - v;
      w[1] = OneMinus(w[0]);
    }
  }

  static float OneMinus(float f) {
    const double b = -static_cast<double>(f);
    const double s = 1.0 + b;
    // Fast two-sum (|1| >= |b|): the rounding error of s, exactly.
    if (b - (s - 1.0) == 0.0) [[likely]] return static_cast<float>(s);
    return ToFloat(1.0L - f);
  }

  static float AddProduct(float sum, uint8_t channel, double w) {
    const double a = sum, b = channel * w;  // the product is exact
    const double s = a + b;
    // Two-sum: the rounding error of s, exactly, whatever the magnitudes.
    const double bb = s - a;
    if ((a - (s - bb)) + (b - bb) == 0.0) [[likely]] return static_cast<float>(s);
    return ToFloat(static_cast<ld>(sum) + static_cast<ld>(channel) * w);
  }

  int32_t SW_, SH_;
  std::vector<const uint8_t*> rows_;
};

inline void Put(uint8_t* out, TSample s) {
  out[0] = s.Blue;
  out[1] = s.Green;
  out[2] = s.Red;
}

}  // namespace

void SmoothResize(const TBitmap& Src, TBitmap& Dst) {
  const int64_t SW = Src.Width(), SH = Src.Height();
  const int32_t DW = Dst.Width(), DH = Dst.Height();
  if (DW <= 0 || DH <= 0) return;
  // The steps are 15-bit fractions. They are kept in 64 bits so that a
  // source wider or taller than 65536 pixels still resamples correctly;
  // up to that size every value fits the 32-bit arithmetic exactly.
  const int64_t xs = ((SW - 1) * 32768) / DW;
  const int64_t ys = ((SH - 1) * 32768) / DH;
  int64_t sy = 0;
  for (int32_t y = 0; y < DH; ++y, sy += ys) {
    const int32_t r0 = static_cast<int32_t>(sy >> 15);
    const int32_t fy = static_cast<int32_t>(sy & 32767);
    const int32_t iy = 32768 - fy;
    const uint8_t* top = Src.PixelRow(r0);
    const uint8_t* bottom = Src.PixelRow(r0 + 1);
    uint8_t* out = Dst.PixelRow(y);
    int64_t sx = 0;
    for (int32_t x = 0; x < DW; ++x, sx += xs, out += 3) {
      const int64_t c0 = sx >> 15;
      const int32_t fx = static_cast<int32_t>(sx & 32767);
      const int32_t wTR = (fx * iy) >> 15;
      const int32_t wTL = iy - wTR;
      const int32_t wBR = (fx * fy) >> 15;
      const int32_t wBL = fy - wBR;
      const uint8_t* tl = top + 3 * c0;
      const uint8_t* bl = bottom + 3 * c0;
      for (int c = 0; c < 3; ++c)
        out[c] = static_cast<uint8_t>(
            (tl[c] * wTL + tl[3 + c] * wTR + bl[c] * wBL + bl[3 + c] * wBR) >> 15);
    }
  }
}

void TilePixels(const TBitmap& S, TBitmap& R, int32_t Amount) {
  // R starts as a plain copy of S (the source-and-result frame made it so).
  const int32_t W = S.Width(), H = S.Height();
  const int32_t n = Amount;
  if (n <= 0 || W / n < 5 || H / n < 5) return;
  const int32_t tw = W / n, th = H / n;
  TBitmap tile;
  tile.SetPixelFormat(TPixelFormat::pf24bit);
  tile.SetSize(tw, th);
  SmoothResize(S, tile);
  for (int32_t i = 0; i < n; ++i)
    for (int32_t j = 0; j < n; ++j) CopySurface(tile, R, j * tw, i * th);
}

TSample WrappedSample(const TBitmap& S, float px, float py) { return Sampler(S).At(px, py); }

TSample WrappedSampleAsWritten(const TBitmap& S, float px, float py) {
  return Sampler(S).Reference(px, py);
}

namespace {

inline float Angle(float X, float Y) {
  static constexpr float kHalfPi = static_cast<float>(kPi / 2);
  if (X == 0) return Y > 0 ? kHalfPi : -kHalfPi;
  ld angle = xmath::ArcTan(static_cast<ld>(Y) / X);
  if (X < 0) angle += kPi;
  return ToFloat(angle);
}

}  // namespace

float PolarAngle(float X, float Y) { return Angle(X, Y); }

void FishEyePixels(const TBitmap& S, TBitmap& D, int32_t Amount) {
  const int32_t W = S.Width(), H = S.Height();
  const float cx = ToFloat(W / 2.0L);
  const float cy = ToFloat(H / 2.0L);
  const float R = ToFloat(static_cast<ld>(static_cast<int64_t>(W) * Amount));
  const Sampler source(S);
  // Pixels x and W - x of a row lie at offsets dx and -dx (exactly, while
  // the centre W / 2 is exact in float), so they share the distance d, the
  // factor k and, negated, the offset dx * k / d: the right half of a row
  // reuses what its left half computed, including any error, which the
  // left pixel meets first in visiting order.
  const bool mirrored = W < (1 << 24);
  struct Offset {
    ld x, y;
    bool centre;
  };
  std::vector<Offset> offsets(mirrored ? W / 2 + 2 : 0);
  for (int32_t y = 0; y < H; ++y) {
    const float dy = ToFloat(y - static_cast<ld>(cy));
    uint8_t* out = D.PixelRow(y);
    for (int32_t x = 0; x < W; ++x, out += 3) {
      const int64_t a = 2 * static_cast<int64_t>(x) - W;  // 2 dx
      Offset o{0, 0, false};
      if (mirrored && a > 0) {
        o = offsets[a >> 1];
        o.x = -o.x;
      } else {
        const float dx = ToFloat(x - static_cast<ld>(cx));
        const float d = ToFloat(xmath::Sqrt(static_cast<ld>(dx) * dx + static_cast<ld>(dy) * dy));
        o.centre = d == 0;
        if (!o.centre) {
          // (1 / (1 - d / R) - 1) * (R / 2), left to right: R = 0, or a
          // pixel exactly at distance R, divides by zero.
          const ld oneMinus = 1.0L - xmath::Divide(d, R);
          const float k = ToFloat((xmath::Divide(1.0L, oneMinus) - 1.0L) * (static_cast<ld>(R) / 2.0L));
          o.x = xmath::Divide(static_cast<ld>(dx) * k, d);
          o.y = xmath::Divide(static_cast<ld>(dy) * k, d);
        }
        if (mirrored) offsets[(-a) >> 1] = o;
      }
      float px = cx, py = cy;
      if (!o.centre) {
        px = ToFloat(o.x + cx);
        py = ToFloat(o.y + cy);
      }
      Put(out, source.At(px, py));
    }
  }
}

void TwistPixels(const TBitmap& S, TBitmap& D, int32_t Amount) {
  const int32_t W = S.Width(), H = S.Height();
  const float cx = ToFloat((W - 1) / 2.0L);
  const float cy = ToFloat((H - 1) / 2.0L);
  // pi / 2 rounded to float, added as that exact value.
  constexpr ld kQuarterTurn = 1.5707963705062866L;
  const Sampler source(S);
  for (int32_t y = 0; y < H; ++y) {
    const float dy = ToFloat(y - static_cast<ld>(cy));
    uint8_t* out = D.PixelRow(y);
    for (int32_t x = 0; x < W; ++x, out += 3) {
      const float dx = ToFloat(x - static_cast<ld>(cx));
      const float r = ToFloat(xmath::Sqrt(static_cast<ld>(dx) * dx + static_cast<ld>(dy) * dy));
      float px = cx, py = cy;
      if (r != 0) {
        const float theta =
            ToFloat(Angle(dx, dy) - xmath::Divide(r, Amount) + kQuarterTurn);
        const float u = ToFloat(xmath::Cos(theta) * r);
        const float v = ToFloat(xmath::Sin(theta) * r);
        px = ToFloat(static_cast<ld>(u) + cx);
        py = ToFloat(static_cast<ld>(v) + cy);
      }
      Put(out, source.At(px, py));
    }
  }
}

void SpotLightPixels(TBitmap& B, int32_t Amount, const TRect& Spot) {
  DarknessPixels(B, Amount);
  const int32_t W = B.Width(), H = B.Height();
  if (W == 0 || H == 0) return;
  // The mask: black, with the ellipse inside Spot filled white and outlined
  // in black. Where it is white the darkened picture shows through.
  TBitmap mask;
  mask.SetPixelFormat(TPixelFormat::pf24bit);
  mask.SetSize(W, H);
  FillRect(mask, TRect{0, 0, W, H}, clBlack);
  FillEllipse(mask, Spot, clWhite, clBlack);
  CopySurfaceTransparent(mask, B, 0, 0, clWhite);
}

}  // namespace qv
