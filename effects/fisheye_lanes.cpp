// Why the lanes give the plain row's floats: every lane step below is one
// IEEE double operation (sum, difference, product, quotient, square root,
// absolute value, negation) or a rounding from double to float, done in the
// order the plain row does it, with no fused multiply-add (none is named
// here, and the core is compiled without contraction). A vector
// lane rounds each such operation to nearest exactly as a scalar SSE2
// operation does, under the same rounding mode, so each lane holds the same
// double the plain row holds at that step, the same float candidates, and so
// the same accept-or-refuse decision; the bounds the plain row proves carry
// over unchanged.
#include "effects/fisheye_lanes.h"

#include "effects/row_bands.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QV_FISHEYE_LANES 1
#include <immintrin.h>

#include <array>
#include <cmath>
#include <cstring>
#endif

namespace qv::remap {

#ifdef QV_FISHEYE_LANES
namespace {

#define QV_LANES __attribute__((target("avx2")))

// The per-row values every group of lanes uses.
struct RowValues {
  __m256d dy, dy2, dyZero, cx, cy, R, halfR, absHalfR, nearR;
  __m128 cxF, cyF;
};

QV_LANES inline __m256d Abs(__m256d v) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v); }

// The row's OneFloat, four at a time: the candidate float(v - slack) and the
// lanes where it is the only float within the bound, refused as there for
// values that are NaN or may overflow.
QV_LANES inline __m128 OneFloatLanes(__m256d v, __m256d bound, __m256d& ok) {
  const __m256d a = Abs(v);
  const __m256d slack = _mm256_add_pd(bound, _mm256_mul_pd(a, _mm256_set1_pd(0x1p-51)));
  const __m128 lo = _mm256_cvtpd_ps(_mm256_sub_pd(v, slack));
  const __m128 hi = _mm256_cvtpd_ps(_mm256_add_pd(v, slack));
  // Same bits, so that zeros of opposite signs are refused.
  const __m128i same = _mm_cmpeq_epi32(_mm_castps_si128(lo), _mm_castps_si128(hi));
  const __m256d inRange = _mm256_cmp_pd(a, _mm256_set1_pd(0x1p127), _CMP_LT_OQ);
  ok = _mm256_and_pd(inRange, _mm256_castsi256_pd(_mm256_cvtepi32_epi64(same)));
  return lo;
}

// float(offset x kd + c), bounded as the row's FishEyeCoordinate, from the
// product q = offset x kd.
QV_LANES inline __m128 CoordinateLanes(__m256d q, __m256d c, __m256d& ok) {
  const __m256d s = _mm256_add_pd(q, c);
  const __m256d bound = _mm256_mul_pd(_mm256_add_pd(Abs(q), Abs(s)), _mm256_set1_pd(0x1p-51));
  return OneFloatLanes(s, bound, ok);
}

// The distances of four pixels of the left half: dx^2 + dy^2 is exact, its
// root rounded once, and the float d accepted as the plain row accepts it.
// Where the row would refuse it, d is NaN instead, which every later check
// refuses in turn.
QV_LANES inline __m256d FourDistances(__m256d dx, const RowValues& row) {
  const __m256d root = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), row.dy2));
  __m256d ok;
  const __m256d d = _mm256_cvtps_pd(OneFloatLanes(root, _mm256_mul_pd(root, _mm256_set1_pd(0x1p-52)), ok));
  return _mm256_blendv_pd(_mm256_set1_pd(__builtin_nan("")), d, ok);
}

// kd = k / d from the distances, the factor bounded as the row's
// FishEyeFactor does it, term by term; NaN where the row would refuse the
// factor (or had refused the distance). At the centre (d = 0) kd is
// meaningless.
QV_LANES inline __m256d FourFactors(__m256d d, const RowValues& row) {
  const __m256d one = _mm256_set1_pd(1), two = _mm256_set1_pd(2), u = _mm256_set1_pd(0x1p-63);
  const __m256d rMinusD = _mm256_sub_pd(row.R, d);
  const __m256d t = _mm256_div_pd(d, rMinusD);
  const __m256d farFromR = _mm256_cmp_pd(Abs(rMinusD), row.nearR, _CMP_GE_OQ);
  const __m256d kD = _mm256_mul_pd(row.halfR, t);
  const __m256d n = Abs(_mm256_add_pd(one, t)), tt = Abs(t), absK = Abs(kD);
  const __m256d en = _mm256_mul_pd(n, _mm256_add_pd(_mm256_mul_pd(_mm256_mul_pd(two, _mm256_add_pd(one, tt)), u), u));
  const __m256d ek = _mm256_mul_pd(
      two, _mm256_add_pd(_mm256_mul_pd(_mm256_add_pd(en, _mm256_mul_pd(tt, u)), row.absHalfR), _mm256_mul_pd(absK, u)));
  __m256d kOk;
  const __m128 k = OneFloatLanes(kD, _mm256_add_pd(ek, _mm256_mul_pd(absK, _mm256_set1_pd(0x1p-51))), kOk);
  const __m256d kd = _mm256_div_pd(_mm256_cvtps_pd(k), d);
  return _mm256_blendv_pd(_mm256_set1_pd(__builtin_nan("")), kd, _mm256_and_pd(farFromR, kOk));
}

// The points of four pixels x .. x+3 of the left half and of their mirrors
// W - x .. W - x-3, which lie at the opposite offsets and so share kd and
// the vertical coordinate.
struct Group {
  __m128 px, mirrorPx, py;
  int settled, mirrorSettled;  // a bit per lane, lane 0 lowest
};

QV_LANES inline Group FourPoints(__m256d dx, __m256d kd, const RowValues& row) {
  // The mirror's offset is -dx, and a product rounds symmetrically, so its
  // q is exactly -q.
  const __m256d q = _mm256_mul_pd(dx, kd);
  __m256d xOk, mirrorOk, yOk;
  __m128 px = CoordinateLanes(q, row.cx, xOk);
  __m128 mirrorPx = CoordinateLanes(_mm256_xor_pd(q, _mm256_set1_pd(-0.0)), row.cx, mirrorOk);
  __m128 py = CoordinateLanes(_mm256_mul_pd(row.dy, kd), row.cy, yOk);
  // The centre itself is the point (dx and dy both 0, the only offset whose
  // distance is 0, and a distance the row always accepts).
  const __m256d centre = _mm256_and_pd(_mm256_cmp_pd(dx, _mm256_setzero_pd(), _CMP_EQ_OQ), row.dyZero);
  const __m128 centreF = _mm_shuffle_ps(_mm_castpd_ps(_mm256_castpd256_pd128(centre)),
                                        _mm_castpd_ps(_mm256_extractf128_pd(centre, 1)), _MM_SHUFFLE(2, 0, 2, 0));
  px = _mm_blendv_ps(px, row.cxF, centreF);
  mirrorPx = _mm_blendv_ps(mirrorPx, row.cxF, centreF);
  py = _mm_blendv_ps(py, row.cyF, centreF);
  const __m256d settled = _mm256_or_pd(centre, _mm256_and_pd(xOk, yOk));
  const __m256d mirrorSettled = _mm256_or_pd(centre, _mm256_and_pd(mirrorOk, yOk));
  return {px, mirrorPx, py, _mm256_movemask_pd(settled), _mm256_movemask_pd(mirrorSettled)};
}

// Four settled bits as four bytes 0 or 1, in lane order or reversed.
constexpr std::array<uint32_t, 16> FlagBytes(bool reversed) {
  std::array<uint32_t, 16> t{};
  for (int bits = 0; bits < 16; ++bits)
    for (int j = 0; j < 4; ++j)
      if (bits >> j & 1) t[bits] |= 1u << (8 * (reversed ? 3 - j : j));
  return t;
}
constexpr std::array<uint32_t, 16> kFlagBytes = FlagBytes(false), kFlagBytesReversed = FlagBytes(true);

QV_LANES inline void StorePoints(TSourcePoint* p, __m128 x, __m128 y) {
  _mm_storeu_ps(&p[0].x, _mm_unpacklo_ps(x, y));
  _mm_storeu_ps(&p[2].x, _mm_unpackhi_ps(x, y));
}

QV_LANES inline __m128 Reversed(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }

// At the row's ends, lane by lane: pixel 0 has no mirror, and a short row
// has fewer pixels than lanes. Lanes beyond the row are left out.
template <int N>
void StoreEnds(int32_t g, int32_t W, const float* px, const float* mirrorPx, const float* py, unsigned bits,
               unsigned mirrorBits, TSourcePoint* out, uint8_t* settled, bool& every) {
  for (int32_t j = 0; j < N; ++j) {
    const int32_t x = g + j;
    if (x < W) {
      out[x] = {px[j], py[j]};
      settled[x] = bits >> j & 1;
      every &= settled[x] != 0;
    }
    if (x >= 1 && x < W) {
      out[W - x] = {mirrorPx[j], py[j]};
      settled[W - x] = mirrorBits >> j & 1;
      every &= settled[W - x] != 0;
    }
  }
}

QV_LANES bool RowAvx2(float dy, float cx, float cy, float R, int32_t W, TSourcePoint* out, uint8_t* settled,
                      double* kd) {
  const double Rd = R;
  const RowValues row{_mm256_set1_pd(dy),
                      _mm256_set1_pd(static_cast<double>(dy) * dy),
                      _mm256_castsi256_pd(_mm256_set1_epi64x(dy == 0 ? -1 : 0)),
                      _mm256_set1_pd(cx),
                      _mm256_set1_pd(cy),
                      _mm256_set1_pd(Rd),
                      _mm256_set1_pd(Rd / 2),
                      _mm256_set1_pd(std::fabs(Rd / 2)),
                      _mm256_set1_pd(0x1p-30 * std::fabs(R)),
                      _mm_set1_ps(cx),
                      _mm_set1_ps(cy)};
  // Every pixel x <= W / 2 directly, every other one as the mirror of
  // W - x, which lies in 1 .. W / 2. Where groups overlap (the middle of
  // the row) both give the same bytes, being the same operations on the
  // same values. The distances first, over the whole left half, then the
  // factors, then the points: each loop's iterations are then short enough
  // for the processor to overlap several groups' square roots and
  // divisions.
  const int32_t half = W / 2;
  // x - cx is exact (multiples of 1/2 below 2^23), and so is adding 4.
  const __m256d firstDx = _mm256_sub_pd(_mm256_setr_pd(0, 1, 2, 3), row.cx), four = _mm256_set1_pd(4);
  __m256d dx = firstDx;
  for (int32_t g = 0; g <= half; g += 4, dx = _mm256_add_pd(dx, four)) _mm256_storeu_pd(kd + g, FourDistances(dx, row));
  for (int32_t g = 0; g <= half; g += 4) _mm256_storeu_pd(kd + g, FourFactors(_mm256_loadu_pd(kd + g), row));
  bool every = true;
  dx = firstDx;
  for (int32_t g = 0; g <= half; g += 4, dx = _mm256_add_pd(dx, four)) {
    const Group l = FourPoints(dx, _mm256_loadu_pd(kd + g), row);
    if (g >= 1 && g + 3 <= W - 1) [[likely]] {
      StorePoints(out + g, l.px, l.py);
      StorePoints(out + (W - g - 3), Reversed(l.mirrorPx), Reversed(l.py));
      std::memcpy(settled + g, &kFlagBytes[l.settled], 4);
      std::memcpy(settled + (W - g - 3), &kFlagBytesReversed[l.mirrorSettled], 4);
      every &= (l.settled & l.mirrorSettled) == 0xF;
      continue;
    }
    alignas(16) float px[4], mirrorPx[4], py[4];
    _mm_store_ps(px, l.px);
    _mm_store_ps(mirrorPx, l.mirrorPx);
    _mm_store_ps(py, l.py);
    StoreEnds<4>(g, W, px, mirrorPx, py, l.settled, l.mirrorSettled, out, settled, every);
  }
  return every;
}

#undef QV_LANES

// The same steps eight pixels at a time with AVX-512, where each lane's
// operations are again exactly the plain row's.
#define QV_LANES __attribute__((target("avx512f,avx512dq,avx512vl,avx512bw")))
// GCC 12 warns of the undefined pass-through vector inside its own AVX-512
// square root and conversions, which no lane here reads.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

struct RowValues8 {
  __m512d dy, dy2, cx, cy, R, halfR, absHalfR, nearR;
  __mmask8 dyZero;
  __m256 cxF, cyF;
};

QV_LANES inline __m256 OneFloatLanes(__m512d v, __m512d bound, __mmask8& ok) {
  const __m512d a = _mm512_abs_pd(v);
  const __m512d slack = _mm512_add_pd(bound, _mm512_mul_pd(a, _mm512_set1_pd(0x1p-51)));
  const __m256 lo = _mm512_cvtpd_ps(_mm512_sub_pd(v, slack));
  const __m256 hi = _mm512_cvtpd_ps(_mm512_add_pd(v, slack));
  ok = _mm256_cmpeq_epi32_mask(_mm256_castps_si256(lo), _mm256_castps_si256(hi)) &
       _mm512_cmp_pd_mask(a, _mm512_set1_pd(0x1p127), _CMP_LT_OQ);
  return lo;
}

QV_LANES inline __m256 CoordinateLanes(__m512d q, __m512d c, __mmask8& ok) {
  const __m512d s = _mm512_add_pd(q, c);
  const __m512d bound = _mm512_mul_pd(_mm512_add_pd(_mm512_abs_pd(q), _mm512_abs_pd(s)), _mm512_set1_pd(0x1p-51));
  return OneFloatLanes(s, bound, ok);
}

QV_LANES inline __m512d EightDistances(__m512d dx, const RowValues8& row) {
  const __m512d root = _mm512_sqrt_pd(_mm512_add_pd(_mm512_mul_pd(dx, dx), row.dy2));
  __mmask8 ok;
  const __m512d d = _mm512_cvtps_pd(OneFloatLanes(root, _mm512_mul_pd(root, _mm512_set1_pd(0x1p-52)), ok));
  return _mm512_mask_blend_pd(ok, _mm512_set1_pd(__builtin_nan("")), d);
}

QV_LANES inline __m512d EightFactors(__m512d d, const RowValues8& row) {
  const __m512d one = _mm512_set1_pd(1), two = _mm512_set1_pd(2), u = _mm512_set1_pd(0x1p-63);
  const __m512d rMinusD = _mm512_sub_pd(row.R, d);
  const __m512d t = _mm512_div_pd(d, rMinusD);
  const __mmask8 farFromR = _mm512_cmp_pd_mask(_mm512_abs_pd(rMinusD), row.nearR, _CMP_GE_OQ);
  const __m512d kD = _mm512_mul_pd(row.halfR, t);
  const __m512d n = _mm512_abs_pd(_mm512_add_pd(one, t)), tt = _mm512_abs_pd(t), absK = _mm512_abs_pd(kD);
  const __m512d en = _mm512_mul_pd(n, _mm512_add_pd(_mm512_mul_pd(_mm512_mul_pd(two, _mm512_add_pd(one, tt)), u), u));
  const __m512d ek = _mm512_mul_pd(
      two, _mm512_add_pd(_mm512_mul_pd(_mm512_add_pd(en, _mm512_mul_pd(tt, u)), row.absHalfR), _mm512_mul_pd(absK, u)));
  __mmask8 kOk;
  const __m256 k = OneFloatLanes(kD, _mm512_add_pd(ek, _mm512_mul_pd(absK, _mm512_set1_pd(0x1p-51))), kOk);
  const __m512d kd = _mm512_div_pd(_mm512_cvtps_pd(k), d);
  return _mm512_mask_blend_pd(farFromR & kOk, _mm512_set1_pd(__builtin_nan("")), kd);
}

struct Group8 {
  __m256 px, mirrorPx, py;
  unsigned settled, mirrorSettled;  // a bit per lane, lane 0 lowest
};

QV_LANES inline Group8 EightPoints(__m512d dx, __m512d kd, const RowValues8& row) {
  const __m512d q = _mm512_mul_pd(dx, kd);
  __mmask8 xOk, mirrorOk, yOk;
  __m256 px = CoordinateLanes(q, row.cx, xOk);
  __m256 mirrorPx = CoordinateLanes(_mm512_xor_pd(q, _mm512_set1_pd(-0.0)), row.cx, mirrorOk);
  __m256 py = CoordinateLanes(_mm512_mul_pd(row.dy, kd), row.cy, yOk);
  const __mmask8 centre = _mm512_cmp_pd_mask(dx, _mm512_setzero_pd(), _CMP_EQ_OQ) & row.dyZero;
  px = _mm256_mask_blend_ps(centre, px, row.cxF);
  mirrorPx = _mm256_mask_blend_ps(centre, mirrorPx, row.cxF);
  py = _mm256_mask_blend_ps(centre, py, row.cyF);
  return {px, mirrorPx, py, static_cast<unsigned>(centre | (xOk & yOk)),
          static_cast<unsigned>(centre | (mirrorOk & yOk))};
}

QV_LANES inline void StorePoints(TSourcePoint* p, __m256 x, __m256 y) {
  const __m256 lo = _mm256_unpacklo_ps(x, y), hi = _mm256_unpackhi_ps(x, y);  // pixels 0 1 4 5, 2 3 6 7
  _mm256_storeu_ps(&p[0].x, _mm256_permute2f128_ps(lo, hi, 0x20));
  _mm256_storeu_ps(&p[4].x, _mm256_permute2f128_ps(lo, hi, 0x31));
}

QV_LANES inline __m256 Reversed(__m256 v) { return _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0)); }

// Eight settled bits as eight bytes 0 or 1, in lane order or reversed.
QV_LANES inline void StoreFlags(uint8_t* p, unsigned bits, bool reversed) {
  __m128i bytes = _mm_maskz_mov_epi8(static_cast<__mmask16>(bits), _mm_set1_epi8(1));
  if (reversed) bytes = _mm_shuffle_epi8(bytes, _mm_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 8, 9, 10, 11, 12, 13, 14, 15));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), bytes);
}

QV_LANES bool RowAvx512(float dy, float cx, float cy, float R, int32_t W, TSourcePoint* out, uint8_t* settled,
                        double* kd) {
  const double Rd = R;
  const RowValues8 row{_mm512_set1_pd(dy),
                       _mm512_set1_pd(static_cast<double>(dy) * dy),
                       _mm512_set1_pd(cx),
                       _mm512_set1_pd(cy),
                       _mm512_set1_pd(Rd),
                       _mm512_set1_pd(Rd / 2),
                       _mm512_set1_pd(std::fabs(Rd / 2)),
                       _mm512_set1_pd(0x1p-30 * std::fabs(R)),
                       static_cast<__mmask8>(dy == 0 ? 0xFF : 0),
                       _mm256_set1_ps(cx),
                       _mm256_set1_ps(cy)};
  // As the four-lane row, eight at a time.
  const int32_t half = W / 2;
  const __m512d firstDx = _mm512_sub_pd(_mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7), row.cx), eight = _mm512_set1_pd(8);
  __m512d dx = firstDx;
  for (int32_t g = 0; g <= half; g += 8, dx = _mm512_add_pd(dx, eight)) _mm512_storeu_pd(kd + g, EightDistances(dx, row));
  for (int32_t g = 0; g <= half; g += 8) _mm512_storeu_pd(kd + g, EightFactors(_mm512_loadu_pd(kd + g), row));
  bool every = true;
  dx = firstDx;
  for (int32_t g = 0; g <= half; g += 8, dx = _mm512_add_pd(dx, eight)) {
    const Group8 l = EightPoints(dx, _mm512_loadu_pd(kd + g), row);
    if (g >= 1 && g + 7 <= W - 1) [[likely]] {
      StorePoints(out + g, l.px, l.py);
      StorePoints(out + (W - g - 7), Reversed(l.mirrorPx), Reversed(l.py));
      StoreFlags(settled + g, l.settled, false);
      StoreFlags(settled + (W - g - 7), l.mirrorSettled, true);
      every &= (l.settled & l.mirrorSettled) == 0xFF;
      continue;
    }
    // Unaligned stores: Windows keeps its stack aligned to 16 bytes only.
    float px[8], mirrorPx[8], py[8];
    _mm256_storeu_ps(px, l.px);
    _mm256_storeu_ps(mirrorPx, l.mirrorPx);
    _mm256_storeu_ps(py, l.py);
    StoreEnds<8>(g, W, px, mirrorPx, py, l.settled, l.mirrorSettled, out, settled, every);
  }
  return every;
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#undef QV_LANES

}  // namespace
#endif

bool HasFishEyeLanes(TFishEyeLanes lanes) {
#ifdef QV_FISHEYE_LANES
  static const bool avx2 = __builtin_cpu_supports("avx2");
  static const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                             __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
  return lanes == TFishEyeLanes::Four ? avx2 : avx512;
#else
  (void)lanes;
  return false;
#endif
}

bool ChooseFishEyeLanes(TFishEyeLanes& lanes) {
  if (PlainPathsOnly()) return false;
  for (TFishEyeLanes widest : {TFishEyeLanes::Eight, TFishEyeLanes::Four})
    if (HasFishEyeLanes(widest)) {
      lanes = widest;
      return true;
    }
  return false;
}

bool FishEyeQuickLanes(TFishEyeLanes lanes, float dy, float cx, float cy, float R, int32_t W, TSourcePoint* out,
                       TRowScratch& scratch) {
  scratch.settled.resize(static_cast<size_t>(W));
  scratch.b.resize(static_cast<size_t>(W / 2 + 8));  // the left half's kd, in whole groups
#ifdef QV_FISHEYE_LANES
  if (lanes == TFishEyeLanes::Eight) return RowAvx512(dy, cx, cy, R, W, out, scratch.settled.data(), scratch.b.data());
  return RowAvx2(dy, cx, cy, R, W, out, scratch.settled.data(), scratch.b.data());
#else
  (void)lanes, (void)dy, (void)cx, (void)cy, (void)R, (void)out;
  return false;
#endif
}

}  // namespace qv::remap
