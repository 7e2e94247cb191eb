// The twist's quick steps in AVX2 double lanes. Every function below
// mirrors a scalar one of remap_points.cpp operation for operation: the
// comments say which, and why the lane form rounds the same.
//
// Only target("avx2") is asked for, not FMA: the compiler then cannot fuse
// a product and a sum whatever the build's flags, and the results stay
// those of the separate roundings the bounds are worked for.
#include "effects/twist_lanes.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "effects/row_bands.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QV_TWIST_LANES 1
#include <immintrin.h>
#endif

namespace qv::remap {

#ifdef QV_TWIST_LANES

namespace {

#define QV_LANES __attribute__((target("avx2"), always_inline)) inline

// Pixels go kGroups groups of four at a time, each operation applied to
// every group before the next: one pixel's steps form a long chain of
// dependent operations, and the groups' chains overlap.
constexpr int kGroups = 4;
constexpr int kLanes = 4 * kGroups;

struct V {  // kLanes doubles
  __m256d g[kGroups];
};
struct F {  // kLanes floats
  __m128 g[kGroups];
};
using Mask = uint32_t;  // one bit a lane

#define QV_EACH(expression)                          \
  V r;                                               \
  for (int i = 0; i < kGroups; ++i) r.g[i] = expression; \
  return r

QV_LANES V Set(double v) { QV_EACH(_mm256_set1_pd(v)); }
QV_LANES V Add(V a, V b) { QV_EACH(_mm256_add_pd(a.g[i], b.g[i])); }
QV_LANES V Sub(V a, V b) { QV_EACH(_mm256_sub_pd(a.g[i], b.g[i])); }
QV_LANES V Mul(V a, V b) { QV_EACH(_mm256_mul_pd(a.g[i], b.g[i])); }
QV_LANES V Div(V a, V b) { QV_EACH(_mm256_div_pd(a.g[i], b.g[i])); }
QV_LANES V Sqrt(V a) { QV_EACH(_mm256_sqrt_pd(a.g[i])); }
// fabs and unary minus are the sign bit cleared or flipped, in scalar code
// as here.
QV_LANES V Abs(V a) { QV_EACH(_mm256_andnot_pd(_mm256_set1_pd(-0.0), a.g[i])); }
QV_LANES V Neg(V a) { QV_EACH(_mm256_xor_pd(_mm256_set1_pd(-0.0), a.g[i])); }
QV_LANES V Xor(V a, V b) { QV_EACH(_mm256_xor_pd(a.g[i], b.g[i])); }
// Comparisons give whole lanes of ones where they hold.
template <int predicate>
QV_LANES V Compare(V a, V b) {
  QV_EACH(_mm256_cmp_pd(a.g[i], b.g[i], predicate));
}
// c ? a : b, lane by lane, for a mask c of whole lanes.
QV_LANES V Select(V c, V a, V b) { QV_EACH(_mm256_blendv_pd(b.g[i], a.g[i], c.g[i])); }
QV_LANES V Widen(F a) { QV_EACH(_mm256_cvtps_pd(a.g[i])); }
#undef QV_EACH

#define QV_EACH(expression)                          \
  F r;                                               \
  for (int i = 0; i < kGroups; ++i) r.g[i] = expression; \
  return r

// Rounding to float, to nearest as a scalar conversion does.
QV_LANES F Narrow(V a) { QV_EACH(_mm256_cvtpd_ps(a.g[i])); }
QV_LANES F SelectF(F c, F a, F b) { QV_EACH(_mm_blendv_ps(b.g[i], a.g[i], c.g[i])); }
QV_LANES F SetF(float v) { QV_EACH(_mm_set1_ps(v)); }
QV_LANES F EqualF(F a, F b) { QV_EACH(_mm_cmpeq_ps(a.g[i], b.g[i])); }
// Lanes of ones where the two floats have the same bits.
QV_LANES F SameBits(F a, F b) {
  QV_EACH(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_castps_si128(a.g[i]), _mm_castps_si128(b.g[i]))));
}
#undef QV_EACH

QV_LANES Mask Bits(V c) {
  Mask m = 0;
  for (int i = 0; i < kGroups; ++i) m |= static_cast<Mask>(_mm256_movemask_pd(c.g[i])) << 4 * i;
  return m;
}
QV_LANES Mask Bits(F c) {
  Mask m = 0;
  for (int i = 0; i < kGroups; ++i) m |= static_cast<Mask>(_mm_movemask_ps(c.g[i])) << 4 * i;
  return m;
}

// atan(i / 64), i = 0 .. 64: the quick form's table. Its arctangent gives
// each entry unchanged at i / 64 (t and the series are 0 there, and
// i / 64 <= 1 is not inverted), so the lanes read the same doubles.
struct ArcTanTable {
  alignas(64) std::array<double, 65> value{};
  ArcTanTable() {
    for (int i = 0; i <= 64; ++i) value[i] = ArcTan(i / 64.0);
  }
};
const ArcTanTable& ArcTanSteps() {
  static const ArcTanTable table;
  return table;
}

// OneFloatFlag: the same slack, the same two roundings to float and the
// same comparison of their bits. Returns the lanes where the float may be
// used.
QV_LANES Mask OneFloatLanes(V v, V bound, F& out) {
  const V size = Abs(v);
  const V slack = Add(bound, Mul(size, Set(0x1p-51)));
  const F lo = Narrow(Sub(v, slack)), hi = Narrow(Add(v, slack));
  out = lo;
  return Bits(Compare<_CMP_LT_OQ>(size, Set(0x1p127))) & Bits(SameBits(lo, hi));
}

// ArcTanUnit: the same index (truncated, as static_cast<int> does), the same
// quotient and series in the same order, the same table entry.
QV_LANES V ArcTanUnit(V a, const double* table) {
  const V scaled = Add(Mul(a, Set(64)), Set(0.5));
  __m128i index[kGroups];
  V c, entry;
  for (int i = 0; i < kGroups; ++i) {
    index[i] = _mm256_cvttpd_epi32(scaled.g[i]);
    c.g[i] = _mm256_cvtepi32_pd(index[i]);
    // The masked form with every lane on: the plain one leaves its source
    // register unset, which some compilers warn of.
    entry.g[i] = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), table, index[i], _mm256_set1_pd(-0.0), 8);
  }
  c = Mul(c, Set(1.0 / 64));
  const V t = Div(Sub(a, c), Add(Set(1), Mul(a, c)));
  const V t2 = Mul(t, t);
  const V poly = Add(Set(-1.0 / 3), Mul(t2, Add(Set(1.0 / 5), Mul(t2, Add(Set(-1.0 / 7), Mul(t2, Set(1.0 / 9)))))));
  const V series = Add(t, Mul(Mul(t, t2), poly));
  return Add(entry, series);
}

// SinCosInline: the same reduction, quadrant bits and polynomials.
QV_LANES void SinCos(V x, V& sine, V& cosine) {
  constexpr double kTwoOverPi = 0.63661977236758134308;
  constexpr double kQuarterHigh = 1.57079632673412561417e+00;
  constexpr double kQuarterLow = 6.07710050650619224932e-11;
  constexpr double kRound = 0x1.8p52;
  const V shifted = Add(Mul(x, Set(kTwoOverPi)), Set(kRound));
  const V k = Sub(shifted, Set(kRound));
  const V t = Sub(Sub(x, Mul(k, Set(kQuarterHigh))), Mul(k, Set(kQuarterLow)));
  const V t2 = Mul(t, t);
  V ps = Add(Set(1.0 / 6227020800), Mul(t2, Set(-1.0 / 1307674368000)));
  ps = Add(Set(-1.0 / 39916800), Mul(t2, ps));
  ps = Add(Set(1.0 / 362880), Mul(t2, ps));
  ps = Add(Set(-1.0 / 5040), Mul(t2, ps));
  ps = Add(Set(1.0 / 120), Mul(t2, ps));
  ps = Add(Set(-1.0 / 6), Mul(t2, ps));
  const V s = Add(t, Mul(Mul(t, t2), ps));
  V pc = Add(Set(1.0 / 479001600), Mul(t2, Add(Set(-1.0 / 87178291200), Mul(t2, Set(1.0 / 20922789888000)))));
  pc = Add(Set(-1.0 / 3628800), Mul(t2, pc));
  pc = Add(Set(1.0 / 40320), Mul(t2, pc));
  pc = Add(Set(-1.0 / 720), Mul(t2, pc));
  pc = Add(Set(1.0 / 24), Mul(t2, pc));
  pc = Add(Set(-1.0 / 2), Mul(t2, pc));
  const V c = Add(Set(1), Mul(t2, pc));
  // The quadrant, k mod 4, is in the low bits of the shifted multiple.
  V odd, negate;
  for (int i = 0; i < kGroups; ++i) {
    const __m256i quadrant = _mm256_castpd_si256(shifted.g[i]);
    const __m256i one = _mm256_set1_epi64x(1), two = _mm256_set1_epi64x(2);
    odd.g[i] = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(quadrant, one), one));
    negate.g[i] = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(quadrant, two), two));
  }
  const V sn = Select(odd, c, s), cs = Select(odd, Neg(s), c);
  sine = Select(negate, Neg(sn), sn);
  cosine = Select(negate, Neg(cs), cs);
}

// AddCentre's test: the double sum of the float u and the centre is exact
// when the two-sum's error is 0; then its rounding to float is the
// extended sum's. Returns the lanes where it is.
QV_LANES Mask AddCentre(F u, V c, F& out) {
  const V uD = Widen(u);
  const V s = Add(uD, c);
  const V back = Sub(s, uD);
  const V error = Add(Sub(uD, Sub(s, back)), Sub(c, back));
  out = Narrow(s);
  return Bits(Compare<_CMP_EQ_OQ>(error, Set(0)));
}

__attribute__((target("avx2"))) int32_t TwistLanesAvx2(float dy, float cx, float cy, int32_t Amount, int32_t x,
                                                       int32_t x1, TSourcePoint* out) {
  constexpr double kPiD = 3.141592653589793;
  constexpr double kHalfPiD = 1.5707963267948966;
  constexpr float kHalfPiF = 1.5707963705062866f;
  constexpr double kQuarterTurnD = static_cast<double>(1.5707963705062866L);
  constexpr Mask kAll = (Mask{1} << kLanes) - 1;
  const double* table = ArcTanSteps().value.data();
  const V y = Set(dy), ay = Abs(y), cxD = Set(cx), cyD = Set(cy), zero = Set(0);
  const V dy2 = Set(static_cast<double>(dy) * dy);
  const V inverse = Set(1.0 / static_cast<double>(Amount));
  const V yNegative = Compare<_CMP_LT_OQ>(y, zero);
  const F axisAngle = SetF(dy > 0 ? kHalfPiF : -kHalfPiF);
  V column;  // whole numbers: exact
  for (int i = 0; i < kGroups; ++i) column.g[i] = _mm256_add_pd(_mm256_set1_pd(x + 4.0 * i), _mm256_set_pd(3, 2, 1, 0));
  for (; x < x1; x += kLanes, out += kLanes, column = Add(column, Set(kLanes))) {
    // The lanes past x1 work on offsets like any other and are not stored.
    const Mask valid = x1 - x >= kLanes ? kAll : (Mask{1} << (x1 - x)) - 1;
    // dx = float(x - cx), as TwistRow takes it.
    const F dxF = Narrow(Sub(column, cxD));
    const V dx = Widen(dxF);
    // The distance: square, sum and root as the quick step does them.
    const V root = Sqrt(Add(Mul(dx, dx), dy2));
    F r;
    Mask settled = OneFloatLanes(root, Mul(root, Set(0x1p-52)), r);
    // The polar angle. On the vertical axis (dx = 0) it is a quarter turn,
    // as the quick step sets it; those lanes divide 0 by 1 instead, so that
    // the centre makes no NaN (and no table index from one).
    const F onAxisF = EqualF(dxF, SetF(0));
    const V onAxis = Compare<_CMP_EQ_OQ>(dx, zero);
    const V ax = Abs(dx);
    const V steep = Compare<_CMP_GT_OQ>(ay, ax);
    const V quotient = Div(Select(steep, ax, ay), Select(onAxis, Set(1), Select(steep, ay, ax)));
    V at = ArcTanUnit(quotient, table);
    at = Select(steep, Sub(Set(kHalfPiD), at), at);
    const V xNegative = Compare<_CMP_LT_OQ>(dx, zero);
    at = Select(Xor(yNegative, xNegative), Neg(at), at);
    const V a = Select(xNegative, Add(at, Set(kPiD)), at);
    const V leftTerm = Select(xNegative, Add(Set(0x1p-52), Mul(Abs(a), Set(0x1p-52))), zero);
    const V angleBound = Mul(Set(2), Add(Mul(Abs(at), Set(kArcTanBound + 0x1p-52)), leftTerm));
    F angle;
    const Mask angleSettled = OneFloatLanes(a, angleBound, angle);
    angle = SelectF(onAxisF, axisAngle, angle);
    settled &= angleSettled | Bits(onAxisF);
    // theta = angle - r / Amount + a quarter turn, with r / Amount as r
    // times the row's reciprocal, as the quick step takes it.
    const V rD = Widen(r);
    const V turn = Mul(rD, inverse);
    const V lessTurn = Sub(Widen(angle), turn);
    const V thetaD = Add(lessTurn, Set(kQuarterTurnD));
    F theta;
    settled &= OneFloatLanes(thetaD, Mul(Add(Add(Abs(turn), Abs(lessTurn)), Abs(thetaD)), Set(0x1p-51)), theta);
    // u = cos theta r and v = sin theta r, the polynomials valid up to
    // |theta| = 4096 (beyond, the quick step takes the x87's).
    const V thetaF = Widen(theta);
    V sine, cosine;
    SinCos(thetaF, sine, cosine);
    const V trig = Mul(Set(2 * (kTrigBound + 0x1p-53)), rD);
    const V uD = Mul(cosine, rD), vD = Mul(sine, rD);
    F u, v;
    settled &= OneFloatLanes(uD, Add(trig, Mul(Abs(uD), Set(0x1p-51))), u);
    settled &= OneFloatLanes(vD, Add(trig, Mul(Abs(vD), Set(0x1p-51))), v);
    settled &= Bits(Compare<_CMP_LE_OQ>(Abs(thetaF), Set(4096)));
    // The centre additions; the centre itself (r = 0) is the centre.
    F px, py;
    const F atCentre = EqualF(r, SetF(0));
    settled &= (AddCentre(u, cxD, px) & AddCentre(v, cyD, py)) | Bits(atCentre);
    px = SelectF(atCentre, SetF(cx), px);
    py = SelectF(atCentre, SetF(cy), py);
    alignas(16) TSourcePoint points[kLanes];
    TSourcePoint* to = (settled & valid) == kAll ? out : points;  // a whole block, all settled, or else
    for (int i = 0; i < kGroups; ++i) {
      _mm_storeu_ps(&to[4 * i].x, _mm_unpacklo_ps(px.g[i], py.g[i]));
      _mm_storeu_ps(&to[4 * i + 2].x, _mm_unpackhi_ps(px.g[i], py.g[i]));
    }
    if (to == out) [[likely]]
      continue;
    // The end of the row, or a refusal: the points before the first
    // refused lane (or the row's end) are stored.
    const Mask refused = ~settled & valid;
    const int done = refused != 0 ? __builtin_ctz(refused) : __builtin_popcount(valid);
    std::memcpy(out, points, sizeof(TSourcePoint) * static_cast<size_t>(done));
    if (refused != 0) return x + done;
  }
  return x1;
}

}  // namespace

bool TwistLanesOn() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2 && !PlainPathsOnly();
}

int32_t TwistLanes(float dy, float cx, float cy, int32_t Amount, int32_t x, int32_t x1, TSourcePoint* out) {
  return TwistLanesAvx2(dy, cx, cy, Amount, x, x1, out);
}

namespace {

__attribute__((target("avx2"))) void SinCosLanesAvx2(const float* angle, double* sine, double* cosine, size_t n) {
  for (size_t at = 0; at < n; at += kLanes) {
    const size_t m = std::min<size_t>(kLanes, n - at);
    alignas(32) float in[kLanes] = {};
    alignas(32) double s[kLanes], c[kLanes];
    std::memcpy(in, angle + at, m * sizeof(float));
    F a;
    for (int i = 0; i < kGroups; ++i) a.g[i] = _mm_load_ps(in + 4 * i);
    V sv, cv;
    SinCos(Widen(a), sv, cv);
    for (int i = 0; i < kGroups; ++i) _mm256_store_pd(s + 4 * i, sv.g[i]), _mm256_store_pd(c + 4 * i, cv.g[i]);
    std::memcpy(sine + at, s, m * sizeof(double));
    std::memcpy(cosine + at, c, m * sizeof(double));
  }
}

__attribute__((target("avx2"))) void ArcTanUnitLanesAvx2(const double* a, double* result, size_t n) {
  for (size_t at = 0; at < n; at += kLanes) {
    const size_t m = std::min<size_t>(kLanes, n - at);
    alignas(32) double in[kLanes] = {}, out[kLanes];
    std::memcpy(in, a + at, m * sizeof(double));
    V q;
    for (int i = 0; i < kGroups; ++i) q.g[i] = _mm256_load_pd(in + 4 * i);
    const V r = ArcTanUnit(q, ArcTanSteps().value.data());
    for (int i = 0; i < kGroups; ++i) _mm256_store_pd(out + 4 * i, r.g[i]);
    std::memcpy(result + at, out, m * sizeof(double));
  }
}

}  // namespace

void SinCosLanes(const float* angle, double* sine, double* cosine, size_t n) {
  SinCosLanesAvx2(angle, sine, cosine, n);
}
void ArcTanUnitLanes(const double* a, double* result, size_t n) { ArcTanUnitLanesAvx2(a, result, n); }

#else

bool TwistLanesOn() { return false; }
int32_t TwistLanes(float, float, float, int32_t, int32_t x, int32_t, TSourcePoint*) { return x; }
void SinCosLanes(const float*, double*, double*, size_t) {}
void ArcTanUnitLanes(const double*, double*, size_t) {}

#endif

}  // namespace qv::remap
