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
#include "effects/remap_sampler.h"
#include "effects/row_bands.h"
#include "imaging/color.h"
#include "imaging/drawing.h"
#include "effects/extended_math.h"
#include "imaging/numeric.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QV_SAMPLER_LANES 1
#endif

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

inline void Put(uint8_t* out, TSample s) {
  out[0] = s.Blue;
  out[1] = s.Green;
  out[2] = s.Red;
}

// The source of a remap with its rows looked up once: every row index a
// sample computes lies inside the picture, so fetching it through PixelRow
// each time would only repeat the same range check.
class Sampler {
 public:
  explicit Sampler(const TBitmap& S) : SW_(S.Width()), SH_(S.Height()), rows_(S.Height()) {
    for (int32_t y = 0; y < SH_; ++y) rows_[y] = S.PixelRow(y);
    if (SW_ <= 0 || SH_ <= 0) return;
    // The eight-point lanes reach a pixel by a 32-bit offset from row 0:
    // row y lies at y x stride (negative for a picture stored bottom-up).
    // They need rows at one stride and the whole buffer below 2 GB.
    const int64_t rowSize = static_cast<int64_t>(S.RowSize());
    const int64_t stride = SH_ > 1 ? rows_[1] - rows_[0] : rowSize;
    if (std::abs(stride) * (SH_ - 1) + rowSize >= (int64_t{1} << 31)) return;
    for (int32_t y = 0; y < SH_; ++y)
      if (rows_[y] - rows_[0] != y * stride) return;
    stride_ = static_cast<int32_t>(stride);
    // A lane reads a pixel and its right neighbour as eight bytes, which
    // run past the buffer near the end of the last row in memory. The
    // highest offset at which eight bytes can still be read:
    const int64_t lastRowStart = stride > 0 ? stride * (SH_ - 1) : 0;
    lastPair_ = static_cast<int32_t>(lastRowStart + rowSize - 8);
    // Lanes that are not used read at the start of the buffer instead,
    // which needs a buffer of eight bytes at least.
    firstRowStart_ = static_cast<int32_t>(stride > 0 ? 0 : stride * (SH_ - 1));
    lanes_ = lastPair_ >= firstRowStart_;
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
      // exact, and rounding it to float is the rule's one rounding. Blue and
      // green share one pair of double lanes, red has the other: the lanes
      // do the very same double operations and float roundings.
      __m128d blueGreen = _mm_setzero_pd(), red = _mm_setzero_pd();
      for (int t = 0; t < 4; ++t) {
        const __m128d weight = _mm_set1_pd(w[t]);
        const __m128d bg = _mm_set_pd(kByteValue.of[taps[t][1]], kByteValue.of[taps[t][0]]);
        const __m128d r = _mm_set_sd(kByteValue.of[taps[t][2]]);
        blueGreen = _mm_cvtps_pd(_mm_cvtpd_ps(_mm_add_pd(blueGreen, _mm_mul_pd(bg, weight))));
        red = _mm_cvtps_pd(_mm_cvtpd_ps(_mm_add_pd(red, _mm_mul_pd(r, weight))));
      }
      const __m128i bytes = _mm_cvtps_epi32(_mm_movelh_ps(_mm_cvtpd_ps(blueGreen), _mm_cvtpd_ps(red)));
      TSample s;
      s.Blue = static_cast<uint8_t>(_mm_cvtsi128_si32(bytes));
      s.Green = static_cast<uint8_t>(_mm_extract_epi16(bytes, 2));
      s.Red = static_cast<uint8_t>(_mm_extract_epi16(bytes, 4));
      return s;
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

  // The samples of n points, written as Put writes them, in the points'
  // order. Steps of sixteen points go through AVX-512 lanes where the
  // processor has them, steps of eight through AVX2 lanes, then groups of four whose weights are all plain through SSE2
  // lanes; any point the lanes cannot take, and the last points, through
  // At. Only the rows' bytes are written, so the order of writing cannot
  // matter.
  void Row(const remap::TSourcePoint* points, int32_t n, uint8_t* out) const {
    int32_t x = 0;
    if (PlainPathsOnly()) {
      for (; x < n; ++x) Put(out + 3 * x, At(points[x].x, points[x].y));
      return;
    }
#ifdef QV_SAMPLER_LANES
    if (lanes_) {
      if (SamplerAvx512()) x = SixteensAvx512(points, n, out);
      if (SamplerLanes()) x += EightsAvx2(points + x, n - x, out + 3 * x);
    }
#endif
    for (; x + 4 <= n; x += 4)
        if (!FourPlain(points + x, out + 3 * x))
          for (int k = 0; k < 4; ++k) Put(out + 3 * (x + k), At(points[x + k].x, points[x + k].y));
    for (; x < n; ++x) Put(out + 3 * x, At(points[x].x, points[x].y));
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

  // One axis's two weights for four coordinates, as Weights gives them, and
  // whether each lane's pair is plain (all ones) or not (zero).
  static __m128 AxisWeights(__m128 v, __m128 w[2]) {
    const __m128 whole = _mm_cvtepi32_ps(_mm_cvttps_epi32(v));  // exact: |v| < 2^31
    const __m128 negative = _mm_cmplt_ps(v, _mm_setzero_ps());
    // The fraction, exact in float: v - i, or i - v below zero.
    const __m128 fraction = Select(negative, _mm_sub_ps(whole, v), _mm_sub_ps(v, whole));
    // 1 - fraction in double, rounded once to float. OneMinus takes the
    // extended form only when this difference is inexact, which needs a
    // nonzero fraction below 2^-29; the pair is then not plain (the other
    // weight is not 0), so the lanes are not used.
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128d oneD = _mm_set1_pd(1.0);
    const __m128 rest = _mm_movelh_ps(_mm_cvtpd_ps(_mm_sub_pd(oneD, _mm_cvtps_pd(fraction))),
                                      _mm_cvtpd_ps(_mm_sub_pd(oneD, _mm_cvtps_pd(_mm_movehl_ps(one, fraction)))));
    w[0] = Select(negative, fraction, rest);
    w[1] = Select(negative, rest, fraction);
    const __m128 zero = _mm_setzero_ps(), least = _mm_set1_ps(0x1p-10f);
    return _mm_or_ps(_mm_or_ps(_mm_cmpeq_ps(w[0], zero), _mm_cmpeq_ps(w[1], zero)),
                     _mm_and_ps(_mm_cmpge_ps(w[0], least), _mm_cmpge_ps(w[1], least)));
  }

  static __m128 Select(__m128 mask, __m128 ifSet, __m128 ifClear) {
    return _mm_or_ps(_mm_and_ps(mask, ifSet), _mm_andnot_ps(mask, ifClear));
  }

  // float(double(a) * b) for the low and the high pair of lanes.
  static void Products(__m128 a, __m128 b, __m128d product[2]) {
    product[0] = _mm_cvtps_pd(_mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(a), _mm_cvtps_pd(b))));
    product[1] = _mm_cvtps_pd(
        _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(a, a)), _mm_cvtps_pd(_mm_movehl_ps(b, b)))));
  }

  // At's plain path for four points at once, one point per lane: the same
  // weights, the same double sums in the same order and the same float
  // roundings. False, with nothing written, unless all four are plain.
  bool FourPlain(const remap::TSourcePoint* p, uint8_t* out) const {
    const __m128 px = _mm_setr_ps(p[0].x, p[1].x, p[2].x, p[3].x);
    const __m128 py = _mm_setr_ps(p[0].y, p[1].y, p[2].y, p[3].y);
    const __m128 magnitude = _mm_set1_ps(2147483648.0f), sign = _mm_set1_ps(-0.0f);
    // |v| < 2^31, false for NaN.
    const __m128 inRange = _mm_and_ps(_mm_cmplt_ps(_mm_andnot_ps(sign, px), magnitude),
                                      _mm_cmplt_ps(_mm_andnot_ps(sign, py), magnitude));
    if (_mm_movemask_ps(inRange) != 0xF) return false;
    __m128 col[2], row[2];
    const __m128 plain = _mm_and_ps(AxisWeights(px, col), AxisWeights(py, row));
    if (_mm_movemask_ps(plain) != 0xF) return false;

    alignas(16) int32_t ix[4], iy[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(ix), _mm_cvttps_epi32(px));
    _mm_store_si128(reinterpret_cast<__m128i*>(iy), _mm_cvttps_epi32(py));
    // Per tap, in At's order, the four points' pixels.
    const uint8_t* taps[4][4];
    for (int k = 0; k < 4; ++k) {
      const int32_t x0 = Wrap(ix[k], SW_), y0 = Wrap(iy[k], SH_);
      const int32_t x1 = x0 + 1 == SW_ ? 0 : x0 + 1;
      const int32_t y1 = y0 + 1 == SH_ ? 0 : y0 + 1;
      taps[0][k] = rows_[y0] + 3 * x0;
      taps[1][k] = rows_[y1] + 3 * x0;
      taps[2][k] = rows_[y0] + 3 * x1;
      taps[3][k] = rows_[y1] + 3 * x1;
    }
    __m128d w[4][2];
    Products(col[0], row[0], w[0]);
    Products(col[0], row[1], w[1]);
    Products(col[1], row[0], w[2]);
    Products(col[1], row[1], w[3]);

    __m128d sum[3][2];
    for (int c = 0; c < 3; ++c) sum[c][0] = sum[c][1] = _mm_setzero_pd();
    for (int t = 0; t < 4; ++t)
      for (int c = 0; c < 3; ++c)
        for (int h = 0; h < 2; ++h) {
          const __m128d channel = _mm_setr_pd(kByteValue.of[taps[t][2 * h][c]], kByteValue.of[taps[t][2 * h + 1][c]]);
          sum[c][h] = _mm_cvtps_pd(_mm_cvtpd_ps(_mm_add_pd(sum[c][h], _mm_mul_pd(channel, w[t][h]))));
        }
    alignas(16) int32_t bytes[3][4];
    for (int c = 0; c < 3; ++c)
      _mm_store_si128(reinterpret_cast<__m128i*>(bytes[c]),
                      _mm_cvtps_epi32(_mm_movelh_ps(_mm_cvtpd_ps(sum[c][0]), _mm_cvtpd_ps(sum[c][1]))));
    for (int k = 0; k < 4; ++k)
      for (int c = 0; c < 3; ++c) out[3 * k + c] = static_cast<uint8_t>(bytes[c][k]);
    return true;
  }

#ifdef QV_SAMPLER_LANES
  // The samples of the first n - n % 8 points, eight at a time; returns how
  // many points it did.
  int32_t EightsAvx2(const remap::TSourcePoint* points, int32_t n, uint8_t* out) const;
  // The same, sixteen at a time: the first n - n % 16 points.
  int32_t SixteensAvx512(const remap::TSourcePoint* points, int32_t n, uint8_t* out) const;
#endif

  int32_t SW_, SH_;
  std::vector<const uint8_t*> rows_;
  // For the eight-point lanes (lanes_ false: they are not used).
  bool lanes_ = false;
  int32_t stride_ = 0, lastPair_ = 0, firstRowStart_ = 0;
};

#ifdef QV_SAMPLER_LANES

namespace lanes {

// Selects ifSet where mask is set.
__attribute__((target("avx2,fma"))) inline __m256i Select(__m256i mask, __m256i ifSet, __m256i ifClear) {
  return _mm256_blendv_epi8(ifClear, ifSet, mask);
}

// Of two points' eight-byte reads in each half, channel c of both
// columns: the left pixel's of the first point, of the second, then the
// right pixel's of each, one byte to a 32-bit lane.
__attribute__((target("avx2,fma"))) inline __m256i ChannelOfPairs(int c) {
  const char z = -1;
  const char l0 = static_cast<char>(c), l1 = static_cast<char>(8 + c);
  const char r0 = static_cast<char>(3 + c), r1 = static_cast<char>(11 + c);
  return _mm256_setr_epi8(l0, z, z, z, l1, z, z, z, r0, z, z, z, r1, z, z, z,  //
                          l0, z, z, z, l1, z, z, z, r0, z, z, z, r1, z, z, z);
}

// The eight bytes at a, then the eight at b.
__attribute__((target("avx2,fma"))) inline __m128i PairOfReads(const uint8_t* a, const uint8_t* b) {
  const __m128d low = _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)));
  return _mm_castpd_si128(_mm_loadh_pd(low, reinterpret_cast<const double*>(b)));
}

// The eight bytes at base + at[l] for the lanes l0 .. l3, in the four
// 64-bit lanes.
__attribute__((target("avx2,fma"))) inline __m256i Pairs(const uint8_t* base, const int32_t* at, int l0, int l1,
                                                         int l2, int l3) {
  return _mm256_set_m128i(PairOfReads(base + at[l2], base + at[l3]), PairOfReads(base + at[l0], base + at[l1]));
}

// |i| mod size for four lanes, by the double quotient (see Axis).
__attribute__((target("avx2,fma"))) inline __m128i Remainder(__m128i i, int32_t size) {
  const __m256d sizeD = _mm256_set1_pd(size);
  const __m256d a = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_cvtepi32_pd(i));
  const __m256d q = _mm256_round_pd(_mm256_div_pd(a, sizeD), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
  return _mm256_cvttpd_epi32(_mm256_sub_pd(a, _mm256_mul_pd(q, sizeD)));
}

// One axis of eight coordinates v: the truncated coordinate wrapped into
// 0 .. size-1 (wrapped), the two weights as Weights gives them, and a mask
// of the lanes the plain path may take: |v| < 2^31 (not NaN) and weights 0
// or at least 2^-10.
//
// Why the float operations here are the rule's extended ones:
// - trunc(v) is exact (|v| < 2^31), and v - trunc(v) (or trunc(v) - v
//   below zero), the fraction f, is exact in float;
// - for f = 0 or 2^-10 <= f <= 1 - 2^-10, 1 - f is a multiple of 2^-33 in
//   (0, 1], exact in extended, so the float subtraction rounds the same
//   value once, as ToFloat does. Other fractions give a weight in
//   (0, 2^-10), which is not plain, and the lane is left to At.
__attribute__((target("avx2,fma"))) inline __m256 Axis(__m256 v, int32_t size, __m256i& wrapped, __m256& w0,
                                                       __m256& w1) {
  const __m256 magnitude = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), v);
  const __m256 inRange = _mm256_cmp_ps(magnitude, _mm256_set1_ps(2147483648.0f), _CMP_LT_OQ);
  const __m256i i = _mm256_cvttps_epi32(v);
  const __m256 whole = _mm256_cvtepi32_ps(i);
  // The rule's "v >= 0" branch; NaN lanes are out of range anyway.
  const __m256 negative = _mm256_cmp_ps(v, _mm256_setzero_ps(), _CMP_LT_OQ);
  const __m256 fraction = _mm256_blendv_ps(_mm256_sub_ps(v, whole), _mm256_sub_ps(whole, v), negative);
  const __m256 rest = _mm256_sub_ps(_mm256_set1_ps(1.0f), fraction);
  w0 = _mm256_blendv_ps(rest, fraction, negative);
  w1 = _mm256_blendv_ps(fraction, rest, negative);
  const __m256 plain =
      _mm256_or_ps(_mm256_cmp_ps(fraction, _mm256_setzero_ps(), _CMP_EQ_OQ),
                   _mm256_and_ps(_mm256_cmp_ps(fraction, _mm256_set1_ps(0x1p-10f), _CMP_GE_OQ),
                                 _mm256_cmp_ps(fraction, _mm256_set1_ps(1.0f - 0x1p-10f), _CMP_LE_OQ)));
  const __m256 good = _mm256_and_ps(inRange, plain);

  // A coordinate at most one picture outside, -size < i < 2 size, wraps by
  // one step: i - size beyond the end; (size-1) - (-i) below zero. (The
  // unsigned test is exact: 3 size is below 2^31.)
  const __m256i sizeV = _mm256_set1_epi32(size), last = _mm256_set1_epi32(size - 1);
  const __m256i shifted = _mm256_add_epi32(i, last);
  const __m256i near = _mm256_cmpeq_epi32(_mm256_min_epu32(shifted, _mm256_set1_epi32(3 * size - 2)), shifted);
  if (_mm256_movemask_ps(_mm256_andnot_ps(_mm256_castsi256_ps(near), good)) == 0) [[likely]] {
    const __m256i beyond = _mm256_cmpgt_epi32(i, last), below = _mm256_cmpgt_epi32(_mm256_setzero_si256(), i);
    wrapped = _mm256_add_epi32(_mm256_sub_epi32(i, _mm256_and_si256(beyond, sizeV)), _mm256_and_si256(below, last));
    return good;
  }
  // Any other wrap: r = |i| mod size, and (size-1) - r below zero, r
  // otherwise, as Wrap computes it. |i| <= 2^31 and its quotient q by size
  // are exact in double. The double quotient is within 2^-53 (relative) of
  // the true one, |i| / size < 2^32 / size, so within 2^-21 / size; when
  // size does not divide |i| the true quotient lies at least 1 / size below
  // q + 1, so its truncation is q. r = |i| - q x size is then exact
  // (integers below 2^53).
  const __m256i r = _mm256_set_m128i(Remainder(_mm256_extracti128_si256(i, 1), size),
                                     Remainder(_mm256_castsi256_si128(i), size));
  const __m256i below = _mm256_cmpgt_epi32(_mm256_setzero_si256(), i);
  wrapped = Select(below, _mm256_sub_epi32(_mm256_set1_epi32(size - 1), r), r);
  return good;
}

}  // namespace lanes

__attribute__((target("avx2,fma"))) int32_t Sampler::EightsAvx2(const remap::TSourcePoint* points, int32_t n,
                                                              uint8_t* out) const {
  static_assert(sizeof(remap::TSourcePoint) == 8, "points are pairs of floats");
  const uint8_t* const base = rows_[0];
  const __m256i stride = _mm256_set1_epi32(stride_), lastPair = _mm256_set1_epi32(lastPair_);
  const __m256i firstRowStart = _mm256_set1_epi32(firstRowStart_);
  const __m256i lastColumn = _mm256_set1_epi32(SW_ - 1), lastRow = _mm256_set1_epi32(SH_ - 1);
  const __m256i channelMask[3] = {lanes::ChannelOfPairs(0), lanes::ChannelOfPairs(1), lanes::ChannelOfPairs(2)};
  // Three bytes of each of four lanes, side by side, in each half; then the
  // two halves' twelve bytes joined.
  const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9,
                                        10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i joinHalves = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
  // The lanes hold the points in the order 0 1 4 5 2 3 6 7 (as the
  // coordinates come apart); this puts them back in order, and is its own
  // inverse.
  static constexpr int kPoint[8] = {0, 1, 4, 5, 2, 3, 6, 7};
  const __m256i inOrder = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);

  // A row is done in runs of up to kRunSteps steps of eight: first every
  // step's offsets and weights, then every step's reads and sums. With the
  // offsets ready in memory, the reads of later steps start while earlier
  // ones still wait for theirs, instead of each step's reads waiting for
  // its own arithmetic.
  constexpr int kRunSteps = 8;
  struct alignas(32) TStep {
    __m256 weight[2][2];  // [column][row]
    int32_t at[2][8];     // [row][lane]
    int vouched;
  };
  TStep steps[kRunSteps];

  int32_t x = 0;
  while (x + 8 <= n) {
    const int run = std::min<int32_t>(kRunSteps, (n - x) / 8);
    for (int k = 0; k < run; ++k) {
      TStep& step = steps[k];
      const remap::TSourcePoint* p = points + x + 8 * k;
      const __m256 a = _mm256_loadu_ps(&p[0].x), b = _mm256_loadu_ps(&p[4].x);
      const __m256 px = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
      const __m256 py = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));

      __m256i x0, y0;
      __m256 col0, col1, row0, row1;
      __m256i good = _mm256_castps_si256(
          _mm256_and_ps(lanes::Axis(px, SW_, x0, col0, col1), lanes::Axis(py, SH_, y0, row0, row1)));

      // The second row is the next one, or row 0 past the last. The second
      // column is read with the first, as the three bytes after it; where it
      // is column 0 (the first is the last column) the point is left to At.
      good = _mm256_andnot_si256(_mm256_cmpeq_epi32(x0, lastColumn), good);
      const __m256i column = _mm256_add_epi32(x0, _mm256_add_epi32(x0, x0));
      const __m256i row0Offset = _mm256_mullo_epi32(y0, stride);
      const __m256i row1Offset = lanes::Select(_mm256_cmpeq_epi32(y0, lastRow), _mm256_setzero_si256(),
                                               _mm256_add_epi32(row0Offset, stride));
      const __m256i at0 = _mm256_add_epi32(row0Offset, column), at1 = _mm256_add_epi32(row1Offset, column);
      good = _mm256_andnot_si256(
          _mm256_or_si256(_mm256_cmpgt_epi32(at0, lastPair), _mm256_cmpgt_epi32(at1, lastPair)), good);
      // Lanes the plain path cannot take read the start of the buffer
      // instead and are redone below.
      _mm256_store_si256(reinterpret_cast<__m256i*>(step.at[0]), lanes::Select(good, at0, firstRowStart));
      _mm256_store_si256(reinterpret_cast<__m256i*>(step.at[1]), lanes::Select(good, at1, firstRowStart));
      step.vouched = _mm256_movemask_ps(_mm256_castsi256_ps(good));

      // The weights: the product of two floats is exact in extended, so
      // ToFloat of it is the float product. Taps: column offset 0 then 1,
      // within each row offset 0 then 1, as the rule sums them.
      step.weight[0][0] = _mm256_mul_ps(col0, row0);
      step.weight[0][1] = _mm256_mul_ps(col0, row1);
      step.weight[1][0] = _mm256_mul_ps(col1, row0);
      step.weight[1][1] = _mm256_mul_ps(col1, row1);
    }

    for (int k = 0; k < run; ++k) {
      const TStep& step = steps[k];
      const remap::TSourcePoint* p = points + x + 8 * k;
      uint8_t* o = out + 3 * (x + 8 * k);
      // Per row offset, both columns' channels, lanes in the points' order.
      __m256 channel[2][2][3];  // [row][column][channel]
      for (int r = 0; r < 2; ++r) {
        const __m256i first = lanes::Pairs(base, step.at[r], 0, 1, 4, 5);
        const __m256i second = lanes::Pairs(base, step.at[r], 2, 3, 6, 7);
        for (int c = 0; c < 3; ++c) {
          const __m256i f = _mm256_shuffle_epi8(first, channelMask[c]);
          const __m256i s = _mm256_shuffle_epi8(second, channelMask[c]);
          channel[r][0][c] = _mm256_cvtepi32_ps(_mm256_unpacklo_epi64(f, s));
          channel[r][1][c] = _mm256_cvtepi32_ps(_mm256_unpackhi_epi64(f, s));
        }
      }
      // The sums. Every weight is 0 or a float of at least 2^-20, so a
      // multiple of 2^-43; so is each channel x weight and, by induction,
      // each float sum, all below 2^10. The rule's extended sum + channel x
      // weight is therefore exact before its one rounding to float: that is
      // the fused multiply-add's result. (The first tap's sum 0 + product
      // is the rounded product; a zero's sign cannot reach the bytes.)
      __m256 sum[3];
      for (int c = 0; c < 3; ++c) {
        sum[c] = _mm256_mul_ps(channel[0][0][c], step.weight[0][0]);
        sum[c] = _mm256_fmadd_ps(channel[1][0][c], step.weight[0][1], sum[c]);
        sum[c] = _mm256_fmadd_ps(channel[0][1][c], step.weight[1][0], sum[c]);
        sum[c] = _mm256_fmadd_ps(channel[1][1][c], step.weight[1][1], sum[c]);
      }
      // Nearest, ties to even. Each axis's two weights add up to 1 exactly
      // (f and the exact 1 - f), so the four rounded products add up to at
      // most 1 + 2^-24; with four roundings of at most 2^-17 each, a sum
      // stays below 255 + 2^-14 and is never negative: the integers are
      // bytes and need no wrapping.
      const __m256i bytes = _mm256_or_si256(
          _mm256_cvtps_epi32(sum[0]), _mm256_or_si256(_mm256_slli_epi32(_mm256_cvtps_epi32(sum[1]), 8),
                                                      _mm256_slli_epi32(_mm256_cvtps_epi32(sum[2]), 16)));
      const __m256i packed = _mm256_permutevar8x32_epi32(
          _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(bytes, inOrder), pack), joinHalves);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(packed));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 16), _mm256_extracti128_si256(packed, 1));

      if (step.vouched != 0xFF) [[unlikely]]
        for (int lane = 0; lane < 8; ++lane)
          if (!(step.vouched >> lane & 1)) {
            const int point = kPoint[lane];
            Put(o + 3 * point, At(p[point].x, p[point].y));
          }
    }
    x += 8 * run;
  }
  return x;
}

// The sixteen-point steps: the eight-point steps' operations, lane for
// lane, in 512-bit registers. Every float operation is the same IEEE
// operation on the same operands in the same order (a vector lane rounds as
// the narrower lane does), every integer step and every compare the same,
// so each lane's weights, offsets, vouching and bytes are those of the
// eight-point steps, whose exactness is argued above; only the lanes' masks
// are held in mask registers instead of vectors.
#define QV_SAMPLER_WIDE __attribute__((target("avx512f,avx512dq,avx512vl,avx512bw")))

// GCC 12's AVX-512 conversions start from a register they leave unset on
// purpose, and warn of it where they are inlined.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace wide {

// |i| mod size for eight lanes, by the double quotient (see lanes::Axis).
QV_SAMPLER_WIDE inline __m256i Remainder(__m256i i, int32_t size) {
  const __m512d sizeD = _mm512_set1_pd(size);
  const __m512d a = _mm512_abs_pd(_mm512_cvtepi32_pd(i));
  const __m512d q = _mm512_roundscale_pd(_mm512_div_pd(a, sizeD), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
  return _mm512_cvttpd_epi32(_mm512_sub_pd(a, _mm512_mul_pd(q, sizeD)));
}

// lanes::Axis for sixteen coordinates; the mask of the lanes the plain path
// may take.
QV_SAMPLER_WIDE inline __mmask16 Axis(__m512 v, int32_t size, __m512i& wrapped, __m512& w0, __m512& w1) {
  const __mmask16 inRange = _mm512_cmp_ps_mask(_mm512_abs_ps(v), _mm512_set1_ps(2147483648.0f), _CMP_LT_OQ);
  const __m512i i = _mm512_cvttps_epi32(v);
  const __m512 whole = _mm512_cvtepi32_ps(i);
  const __mmask16 negative = _mm512_cmp_ps_mask(v, _mm512_setzero_ps(), _CMP_LT_OQ);
  const __m512 fraction = _mm512_mask_sub_ps(_mm512_sub_ps(v, whole), negative, whole, v);
  const __m512 rest = _mm512_sub_ps(_mm512_set1_ps(1.0f), fraction);
  w0 = _mm512_mask_blend_ps(negative, rest, fraction);
  w1 = _mm512_mask_blend_ps(negative, fraction, rest);
  const __mmask16 plain =
      _mm512_cmp_ps_mask(fraction, _mm512_setzero_ps(), _CMP_EQ_OQ) |
      (_mm512_cmp_ps_mask(fraction, _mm512_set1_ps(0x1p-10f), _CMP_GE_OQ) &
       _mm512_cmp_ps_mask(fraction, _mm512_set1_ps(1.0f - 0x1p-10f), _CMP_LE_OQ));
  const __mmask16 good = inRange & plain;

  // One step of wrapping for -size < i < 2 size (unsigned i + size-1 at
  // most 3 size - 2, below 2^31), the double remainder otherwise.
  const __m512i sizeV = _mm512_set1_epi32(size), last = _mm512_set1_epi32(size - 1);
  const __mmask16 near = _mm512_cmple_epu32_mask(_mm512_add_epi32(i, last), _mm512_set1_epi32(3 * size - 2));
  const __mmask16 below = _mm512_cmplt_epi32_mask(i, _mm512_setzero_si512());
  if ((good & ~near) == 0) [[likely]] {
    const __mmask16 beyond = _mm512_cmpgt_epi32_mask(i, last);
    const __m512i back = _mm512_mask_sub_epi32(i, beyond, i, sizeV);
    wrapped = _mm512_mask_add_epi32(back, below, back, last);
    return good;
  }
  const __m512i r = _mm512_inserti64x4(_mm512_castsi256_si512(Remainder(_mm512_castsi512_si256(i), size)),
                                       Remainder(_mm512_extracti64x4_epi64(i, 1), size), 1);
  wrapped = _mm512_mask_sub_epi32(r, below, last, r);
  return good;
}

// The eight bytes at base + at[l] and at base + at[l + 1] in each 128-bit
// lane, for l = l0, l0 + 4, l0 + 8, l0 + 12.
QV_SAMPLER_WIDE inline __m128i PairOfReads(const uint8_t* a, const uint8_t* b) {
  const __m128d low = _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)));
  return _mm_castpd_si128(_mm_loadh_pd(low, reinterpret_cast<const double*>(b)));
}

QV_SAMPLER_WIDE inline __m512i Pairs(const uint8_t* base, const int32_t* at, int l0) {
  const __m256i low = _mm256_set_m128i(PairOfReads(base + at[l0 + 4], base + at[l0 + 5]),
                                       PairOfReads(base + at[l0], base + at[l0 + 1]));
  const __m256i high = _mm256_set_m128i(PairOfReads(base + at[l0 + 12], base + at[l0 + 13]),
                                        PairOfReads(base + at[l0 + 8], base + at[l0 + 9]));
  return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

}  // namespace wide

QV_SAMPLER_WIDE int32_t Sampler::SixteensAvx512(const remap::TSourcePoint* points, int32_t n,
                                               uint8_t* out) const {
  const uint8_t* const base = rows_[0];
  const __m512i stride = _mm512_set1_epi32(stride_), lastPair = _mm512_set1_epi32(lastPair_);
  const __m512i firstRowStart = _mm512_set1_epi32(firstRowStart_);
  const __m512i lastColumn = _mm512_set1_epi32(SW_ - 1), lastRow = _mm512_set1_epi32(SH_ - 1);
  // Channel c of two points' reads, as lanes::ChannelOfPairs, in each
  // 128-bit lane.
  __m512i channelMask[3];
  for (int c = 0; c < 3; ++c) {
    const char z = -1;
    const char l0 = static_cast<char>(c), l1 = static_cast<char>(8 + c);
    const char r0 = static_cast<char>(3 + c), r1 = static_cast<char>(11 + c);
    channelMask[c] = _mm512_broadcast_i32x4(_mm_setr_epi8(l0, z, z, z, l1, z, z, z, r0, z, z, z, r1, z, z, z));
  }
  // The coordinates come apart in the points' order: x from the even
  // floats of sixteen points, y from the odd ones.
  const __m512i evens = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
  const __m512i odds = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
  // Three bytes of each 32-bit lane side by side in each 128-bit lane, then
  // the four lanes' twelve bytes joined into 48.
  const __m512i pack = _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
  const __m512i joinLanes = _mm512_setr_epi32(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 3, 7, 11, 15);

  // Runs of steps in two passes, as in the eight-point steps.
  constexpr int kRunSteps = 4;
  struct alignas(64) TStep {
    __m512 weight[2][2];  // [column][row]
    int32_t at[2][16];    // [row][lane]
    uint32_t vouched;
  };
  TStep steps[kRunSteps];

  int32_t x = 0;
  while (x + 16 <= n) {
    const int run = std::min<int32_t>(kRunSteps, (n - x) / 16);
    for (int k = 0; k < run; ++k) {
      TStep& step = steps[k];
      const remap::TSourcePoint* p = points + x + 16 * k;
      const __m512 a = _mm512_loadu_ps(&p[0].x), b = _mm512_loadu_ps(&p[8].x);
      const __m512 px = _mm512_permutex2var_ps(a, evens, b);
      const __m512 py = _mm512_permutex2var_ps(a, odds, b);

      __m512i x0, y0;
      __m512 col0, col1, row0, row1;
      __mmask16 good = wide::Axis(px, SW_, x0, col0, col1) & wide::Axis(py, SH_, y0, row0, row1);
      good &= static_cast<__mmask16>(~_mm512_cmpeq_epi32_mask(x0, lastColumn));
      const __m512i column = _mm512_add_epi32(x0, _mm512_add_epi32(x0, x0));
      const __m512i row0Offset = _mm512_mullo_epi32(y0, stride);
      const __m512i row1Offset = _mm512_mask_blend_epi32(_mm512_cmpeq_epi32_mask(y0, lastRow),
                                                         _mm512_add_epi32(row0Offset, stride), _mm512_setzero_si512());
      const __m512i at0 = _mm512_add_epi32(row0Offset, column), at1 = _mm512_add_epi32(row1Offset, column);
      good &= static_cast<__mmask16>(~(_mm512_cmpgt_epi32_mask(at0, lastPair) | _mm512_cmpgt_epi32_mask(at1, lastPair)));
      _mm512_storeu_si512(step.at[0], _mm512_mask_blend_epi32(good, firstRowStart, at0));
      _mm512_storeu_si512(step.at[1], _mm512_mask_blend_epi32(good, firstRowStart, at1));
      step.vouched = good;

      _mm512_storeu_ps(&step.weight[0][0], _mm512_mul_ps(col0, row0));
      _mm512_storeu_ps(&step.weight[0][1], _mm512_mul_ps(col0, row1));
      _mm512_storeu_ps(&step.weight[1][0], _mm512_mul_ps(col1, row0));
      _mm512_storeu_ps(&step.weight[1][1], _mm512_mul_ps(col1, row1));
    }

    for (int k = 0; k < run; ++k) {
      const TStep& step = steps[k];
      const remap::TSourcePoint* p = points + x + 16 * k;
      uint8_t* o = out + 3 * (x + 16 * k);
      __m512 channel[2][2][3];  // [row][column][channel]
      for (int r = 0; r < 2; ++r) {
        // Points 4j, 4j+1 in lane j of the first, 4j+2, 4j+3 of the second:
        // the unpacks then give the left and the right pixels' channels of
        // points 4j .. 4j+3 in lane j, in the points' order.
        const __m512i first = wide::Pairs(base, step.at[r], 0);
        const __m512i second = wide::Pairs(base, step.at[r], 2);
        for (int c = 0; c < 3; ++c) {
          const __m512i f = _mm512_shuffle_epi8(first, channelMask[c]);
          const __m512i s = _mm512_shuffle_epi8(second, channelMask[c]);
          channel[r][0][c] = _mm512_cvtepi32_ps(_mm512_unpacklo_epi64(f, s));
          channel[r][1][c] = _mm512_cvtepi32_ps(_mm512_unpackhi_epi64(f, s));
        }
      }
      const __m512 w00 = _mm512_loadu_ps(&step.weight[0][0]), w01 = _mm512_loadu_ps(&step.weight[0][1]);
      const __m512 w10 = _mm512_loadu_ps(&step.weight[1][0]), w11 = _mm512_loadu_ps(&step.weight[1][1]);
      // The sums in the rule's tap order, each fused step the rule's one
      // rounding of an exact extended sum (see the eight-point steps).
      __m512 sum[3];
      for (int c = 0; c < 3; ++c) {
        sum[c] = _mm512_mul_ps(channel[0][0][c], w00);
        sum[c] = _mm512_fmadd_ps(channel[1][0][c], w01, sum[c]);
        sum[c] = _mm512_fmadd_ps(channel[0][1][c], w10, sum[c]);
        sum[c] = _mm512_fmadd_ps(channel[1][1][c], w11, sum[c]);
      }
      // Nearest, ties to even, in the current rounding mode as the narrower
      // steps round; the integers are bytes.
      const __m512i bytes = _mm512_or_si512(
          _mm512_cvtps_epi32(sum[0]), _mm512_or_si512(_mm512_slli_epi32(_mm512_cvtps_epi32(sum[1]), 8),
                                                      _mm512_slli_epi32(_mm512_cvtps_epi32(sum[2]), 16)));
      const __m512i packed = _mm512_permutexvar_epi32(joinLanes, _mm512_shuffle_epi8(bytes, pack));
      // Exactly the sixteen points' 48 bytes.
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm512_castsi512_si256(packed));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32), _mm512_extracti32x4_epi32(packed, 2));

      if (step.vouched != 0xFFFF) [[unlikely]]
        for (uint32_t left = ~step.vouched & 0xFFFF; left != 0; left &= left - 1) {
          const int point = __builtin_ctz(left);
          Put(o + 3 * point, At(p[point].x, p[point].y));
        }
    }
    x += 16 * run;
  }
  return x;
}

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#undef QV_SAMPLER_WIDE

#endif  // QV_SAMPLER_LANES

// The largest picture side for which the remaps take their quick points.
constexpr int32_t kQuickSize = 1 << 22;

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

#ifdef QV_SAMPLER_LANES
namespace {
bool samplerWideAllowed = true;
}  // namespace

void SetSamplerAvx512(bool allowed) { samplerWideAllowed = allowed; }

bool SamplerAvx512() {
  static const bool ok = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
  return ok && samplerWideAllowed && !PlainPathsOnly();
}

bool SamplerLanes() {
  static const bool ok = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return ok && !PlainPathsOnly();
}
#else
void SetSamplerAvx512(bool) {}
bool SamplerAvx512() { return false; }
bool SamplerLanes() { return false; }
#endif

TSample WrappedSample(const TBitmap& S, float px, float py) { return Sampler(S).At(px, py); }

void WrappedSampleRow(const TBitmap& S, const float* xs, const float* ys, int32_t n, uint8_t* out) {
  std::vector<remap::TSourcePoint> points(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) points[i] = {xs[i], ys[i]};
  Sampler(S).Row(points.data(), n, out);
}

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
      source.Row(points.data(), n, out);
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
          source.Row(points.data(), xEnd - bx, out);
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
  const std::vector<uint8_t*> rows = WritableRows(B);
  ForRowBands(W, H, [&](int32_t y0, int32_t y1) {
    ForEllipseRows(Spot, y0, y1, [&](int y, const TEllipseRow& r) {
      uint8_t* row = rows[y];
      const int64_t keep0 = std::clamp<int64_t>(r.FillFirst, 0, W);
      const int64_t keep1 = std::clamp<int64_t>(r.FillEnd, keep0, W);
      std::memset(row, 0, static_cast<size_t>(3 * keep0));
      std::memset(row + 3 * keep1, 0, static_cast<size_t>(3 * (W - keep1)));
    });
  });
}

}  // namespace qv
