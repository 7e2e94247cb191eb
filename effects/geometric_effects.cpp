// Effects that move pixels or mask them by position: tiling with the
// fixed-point resampler, the fish-eye and twist remaps, and the spot light.
//
// The remaps hold their reals as float, but every float is the rounding of
// an extended-precision expression: each step below is written as a long
// double expression and rounded once when stored (ToFloat), never left to
// single-precision arithmetic, which would round every partial result.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <immintrin.h>

#include "effects/effect_routines.h"
#include "effects/remap_points.h"
#include "effects/row_bands.h"
#include "imaging/color.h"
#include "imaging/drawing.h"
#include "effects/extended_math.h"
#include "imaging/numeric.h"

namespace qv {

namespace {

using ld = long double;
using xmath::ToFloat;

// Channel bytes as doubles, looked up rather than converted one by one.
struct ByteValues {
  double of[256];
  constexpr ByteValues() : of{} {
    for (int v = 0; v < 256; ++v) of[v] = v;
  }
};
constexpr ByteValues kByteValue;

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
  [[gnu::always_inline]] TSample At(float px, float py) const {
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
    const int32_t ix1 = ix + 1 == SW_ ? 0 : ix + 1;
    const int32_t iy1 = iy + 1 == SH_ ? 0 : iy + 1;
    // Column offset 0 then 1, and within each row offset 0 then 1.
    const uint8_t* const taps[4] = {rows_[iy] + 3 * ix, rows_[iy1] + 3 * ix, rows_[iy] + 3 * ix1,
                                    rows_[iy1] + 3 * ix1};
    double w[4];
    for (int i = 0; i < 2; ++i)
      for (int j = 0; j < 2; ++j) w[2 * i + j] = static_cast<float>(static_cast<double>(col[i]) * row[j]);

    float sum[3] = {0, 0, 0};
    if (Plain(col) && Plain(row)) [[likely]] {
      // Every weight is 0 or at least 2^-20, a float with 24 bits, so every
      // product channel x weight and every partial sum (a float below 2^10
      // made of them) is a multiple of 2^-43 below 2^10: the double sum is
      // exact, and rounding it to float is the rule's one rounding.
      for (int t = 0; t < 4; ++t)
        for (int c = 0; c < 3; ++c)
          sum[c] = static_cast<float>(static_cast<double>(sum[c]) + kByteValue.of[taps[t][c]] * w[t]);
    } else {
      for (int t = 0; t < 4; ++t)
        for (int c = 0; c < 3; ++c) sum[c] = AddProduct(sum[c], taps[t][c], w[t]);
    }
    TSample s;
    s.Blue = RoundByte(sum[0]);
    s.Green = RoundByte(sum[1]);
    s.Red = RoundByte(sum[2]);
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

  // Both weights of an axis 0 or at least 2^-10.
  static bool Plain(const float w[2]) {
    return w[0] == 0 || w[1] == 0 || (w[0] >= 0x1p-10f && w[1] >= 0x1p-10f);
  }

  // Nearest, ties to even (the default rounding mode), of a sum in 0 .. 255.
  static uint8_t RoundByte(float v) { return static_cast<uint8_t>(_mm_cvtss_si32(_mm_set_ss(v))); }

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

// The largest picture side for which the remaps take their quick points.
constexpr int32_t kQuickSize = 1 << 22;

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
  const std::vector<uint8_t*> rows = WritableRows(D);
  // Offsets from the centre are then multiples of 1/2, which the quick
  // form squares exactly.
  const bool quick = W <= kQuickSize && H <= kQuickSize;
  ForRowBands(W, H, [&](int32_t y0, int32_t y1) {
    std::vector<remap::TSourcePoint> points(static_cast<size_t>(W));
    remap::TRowScratch scratch;
    for (int32_t y = y0; y < y1; ++y) {
      const float dy = static_cast<float>(y - static_cast<double>(cy));  // exact
      uint8_t* out = rows[y];
      if (!quick) {
        for (int32_t x = 0; x < W; ++x, out += 3) {
          const float dx = static_cast<float>(x - static_cast<double>(cx));
          const remap::TSourcePoint p = remap::FishEyePointAsWritten(dx, dy, cx, cy, R);
          Put(out, source.At(p.x, p.y));
        }
        continue;
      }
      const int32_t n = remap::FishEyeRow(dy, cx, cy, R, W, points.data(), scratch);
      for (int32_t x = 0; x < n; ++x, out += 3) Put(out, source.At(points[x].x, points[x].y));
      if (n < W) std::rethrow_exception(scratch.error);
    }
  });
}

void TwistPixels(const TBitmap& S, TBitmap& D, int32_t Amount) {
  const int32_t W = S.Width(), H = S.Height();
  const float cx = ToFloat((W - 1) / 2.0L);
  const float cy = ToFloat((H - 1) / 2.0L);
  const Sampler source(S);
  const std::vector<uint8_t*> rows = WritableRows(D);
  // Amount 0 fails at the first pixel off the centre, in the written form.
  const bool quick = Amount != 0 && W <= kQuickSize && H <= kQuickSize;
  ForRowBands(W, H, [&](int32_t y0, int32_t y1) {
    std::vector<remap::TSourcePoint> points(static_cast<size_t>(W));
    remap::TRowScratch scratch;
    if (!quick) {
      for (int32_t y = y0; y < y1; ++y) {
        const float dy = static_cast<float>(y - static_cast<double>(cy));  // exact
        for (int32_t x = 0; x < W; ++x)
          points[x] = remap::TwistPointAsWritten(static_cast<float>(x - static_cast<double>(cx)), dy, cx, cy, Amount);
        for (int32_t x = 0; x < W; ++x) Put(rows[y] + 3 * x, source.At(points[x].x, points[x].y));
      }
      return;
    }
    // A turned picture reads the source across its rows: done in blocks
    // of rows and columns, the source pixels a block reads stay in the
    // cache. The order of the pixels cannot matter, as none can fail.
    constexpr int32_t kBlockRows = 32, kBlockColumns = 128;
    for (int32_t by = y0; by < y1; by += kBlockRows)
      for (int32_t bx = 0; bx < W; bx += kBlockColumns) {
        const int32_t xEnd = std::min(W, bx + kBlockColumns);
        for (int32_t y = by; y < std::min(y1, by + kBlockRows); ++y) {
          const float dy = static_cast<float>(y - static_cast<double>(cy));  // exact
          remap::TwistRow(dy, cx, cy, Amount, bx, xEnd, points.data(), scratch);
          uint8_t* out = rows[y] + 3 * bx;
          for (int32_t x = bx; x < xEnd; ++x, out += 3) Put(out, source.At(points[x - bx].x, points[x - bx].y));
        }
      }
  });
}

void SpotLightPixels(TBitmap& B, int32_t Amount, const TRect& Spot) {
  DarknessPixels(B, Amount);
  const int32_t W = B.Width(), H = B.Height();
  if (W == 0 || H == 0) return;
  // The mask would be black with the ellipse inside Spot filled white and
  // outlined in black, and the darkened picture shows through where it is
  // white: that is the ellipse's fill, row by row, and black elsewhere.
  ForEllipseRows(Spot, 0, H, [&](int y, const TEllipseRow& r) {
    uint8_t* row = B.PixelRow(y);
    const int64_t keep0 = std::clamp<int64_t>(r.FillFirst, 0, W);
    const int64_t keep1 = std::clamp<int64_t>(r.FillEnd, keep0, W);
    std::memset(row, 0, static_cast<size_t>(3 * keep0));
    std::memset(row + 3 * keep1, 0, static_cast<size_t>(3 * (W - keep1)));
  });
}

}  // namespace qv
