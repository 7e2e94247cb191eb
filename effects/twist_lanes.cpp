// The twist's quick steps in four double lanes. Every function below
// mirrors a scalar one of remap_points.cpp operation for operation: the
// comments say which, and why the lane form rounds the same.
//
// Only target("avx2") is asked for, not FMA: the compiler then cannot fuse
// a product and a sum whatever the build's flags, and the results stay
// those of the separate roundings the bounds are worked for.
#include "effects/twist_lanes.h"

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

#define QV_LANES __attribute__((target("avx2"))) inline

using V = __m256d;

QV_LANES V Set(double v) { return _mm256_set1_pd(v); }
QV_LANES V Add(V a, V b) { return _mm256_add_pd(a, b); }
QV_LANES V Sub(V a, V b) { return _mm256_sub_pd(a, b); }
QV_LANES V Mul(V a, V b) { return _mm256_mul_pd(a, b); }
QV_LANES V Div(V a, V b) { return _mm256_div_pd(a, b); }
// fabs and unary minus are the sign bit cleared or flipped, in scalar code
// as here.
QV_LANES V Abs(V a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
QV_LANES V Neg(V a) { return _mm256_xor_pd(_mm256_set1_pd(-0.0), a); }
// c ? a : b, lane by lane, for a mask c of whole lanes.
QV_LANES V Select(V c, V a, V b) { return _mm256_blendv_pd(b, a, c); }
QV_LANES int Bits(V c) { return _mm256_movemask_pd(c); }

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
// used, as bits 0 .. 3.
QV_LANES int OneFloatLanes(V v, V bound, __m128& out) {
  const V size = Abs(v);
  const V slack = Add(bound, Mul(size, Set(0x1p-51)));
  const __m128 lo = _mm256_cvtpd_ps(Sub(v, slack)), hi = _mm256_cvtpd_ps(Add(v, slack));
  out = lo;
  const __m128i same = _mm_cmpeq_epi32(_mm_castps_si128(lo), _mm_castps_si128(hi));
  return Bits(_mm256_cmp_pd(size, Set(0x1p127), _CMP_LT_OQ)) & _mm_movemask_ps(_mm_castsi128_ps(same));
}

// ArcTanUnit: the same index (truncated, as static_cast<int> does), the same
// quotient and series in the same order, the same table entry.
QV_LANES V ArcTanUnit4(V a, const double* table) {
  const __m128i i = _mm256_cvttpd_epi32(Add(Mul(a, Set(64)), Set(0.5)));
  const V c = Mul(_mm256_cvtepi32_pd(i), Set(1.0 / 64));
  const V t = Div(Sub(a, c), Add(Set(1), Mul(a, c)));
  const V t2 = Mul(t, t);
  const V poly = Add(Set(-1.0 / 3), Mul(t2, Add(Set(1.0 / 5), Mul(t2, Add(Set(-1.0 / 7), Mul(t2, Set(1.0 / 9)))))));
  const V series = Add(t, Mul(Mul(t, t2), poly));
  // The masked form with every lane on: the plain one leaves its source
  // register unset, which some compilers warn of.
  const V entry = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), table, i, Set(-0.0), 8);
  return Add(entry, series);
}

// SinCosInline: the same reduction, quadrant bits and polynomials.
QV_LANES void SinCos4(V x, V& sine, V& cosine) {
  constexpr double kTwoOverPi = 0.63661977236758134308;
  constexpr double kQuarterHigh = 1.57079632673412561417e+00;
  constexpr double kQuarterLow = 6.07710050650619224932e-11;
  constexpr double kRound = 0x1.8p52;
  const V shifted = Add(Mul(x, Set(kTwoOverPi)), Set(kRound));
  const V k = Sub(shifted, Set(kRound));
  const __m256i quadrant = _mm256_castpd_si256(shifted);
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
  const V odd = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(quadrant, _mm256_set1_epi64x(1)),
                                                        _mm256_set1_epi64x(1)));
  const V negate = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(quadrant, _mm256_set1_epi64x(2)),
                                                           _mm256_set1_epi64x(2)));
  const V sn = Select(odd, c, s), cs = Select(odd, Neg(s), c);
  sine = Select(negate, Neg(sn), sn);
  cosine = Select(negate, Neg(cs), cs);
}

// AddCentre's test: the double sum of the float u and the centre is exact
// when the two-sum's error is 0; then its rounding to float is the
// extended sum's. Returns the lanes where it is.
QV_LANES int AddCentre4(__m128 u, V c, __m128& out) {
  const V uD = _mm256_cvtps_pd(u);
  const V s = Add(uD, c);
  const V back = Sub(s, uD);
  const V error = Add(Sub(uD, Sub(s, back)), Sub(c, back));
  out = _mm256_cvtpd_ps(s);
  return Bits(_mm256_cmp_pd(error, _mm256_setzero_pd(), _CMP_EQ_OQ));
}

__attribute__((target("avx2"))) int32_t TwistLanesAvx2(float dy, float cx, float cy, int32_t Amount, int32_t x,
                                                       int32_t x1, TSourcePoint* out) {
  constexpr double kPiD = 3.141592653589793;
  constexpr double kHalfPiD = 1.5707963267948966;
  constexpr float kHalfPiF = 1.5707963705062866f;
  constexpr double kQuarterTurnD = static_cast<double>(1.5707963705062866L);
  const double* table = ArcTanSteps().value.data();
  const V y = Set(dy), ay = Abs(y), cxD = Set(cx), cyD = Set(cy), zero = _mm256_setzero_pd();
  const V dy2 = Set(static_cast<double>(dy) * dy);
  const V inverse = Set(1.0 / static_cast<double>(Amount));
  const V yNegative = _mm256_cmp_pd(y, zero, _CMP_LT_OQ);
  const __m128 axisAngle = _mm_set1_ps(dy > 0 ? kHalfPiF : -kHalfPiF);
  V column = Add(Set(x), _mm256_set_pd(3, 2, 1, 0));  // whole numbers: exact
  for (; x < x1; x += 4, out += 4, column = Add(column, Set(4))) {
    // The lanes past x1 work on offsets like any other and are not stored.
    const int valid = x1 - x >= 4 ? 0xF : (1 << (x1 - x)) - 1;
    // dx = float(x - cx), as TwistRow takes it.
    const __m128 dxF = _mm256_cvtpd_ps(Sub(column, cxD));
    const V dx = _mm256_cvtps_pd(dxF);
    // The distance: square, sum and root as the quick step does them.
    const V root = _mm256_sqrt_pd(Add(Mul(dx, dx), dy2));
    __m128 r;
    int settled = OneFloatLanes(root, Mul(root, Set(0x1p-52)), r);
    // The polar angle. On the vertical axis (dx = 0) it is a quarter turn,
    // as the quick step sets it; those lanes divide 0 by 1 instead, so that
    // the centre makes no NaN (and no table index from one).
    const __m128 onAxisF = _mm_cmpeq_ps(dxF, _mm_setzero_ps());
    const V onAxis = _mm256_cmp_pd(dx, zero, _CMP_EQ_OQ);
    const V ax = Abs(dx);
    const V steep = _mm256_cmp_pd(ay, ax, _CMP_GT_OQ);
    const V quotient = Div(Select(steep, ax, ay), Select(onAxis, Set(1), Select(steep, ay, ax)));
    V at = ArcTanUnit4(quotient, table);
    at = Select(steep, Sub(Set(kHalfPiD), at), at);
    const V xNegative = _mm256_cmp_pd(dx, zero, _CMP_LT_OQ);
    at = Select(_mm256_xor_pd(yNegative, xNegative), Neg(at), at);
    const V a = Select(xNegative, Add(at, Set(kPiD)), at);
    const V leftTerm = Select(xNegative, Add(Set(0x1p-52), Mul(Abs(a), Set(0x1p-52))), zero);
    const V angleBound = Mul(Set(2), Add(Mul(Abs(at), Set(kArcTanBound + 0x1p-52)), leftTerm));
    __m128 angle;
    const int angleSettled = OneFloatLanes(a, angleBound, angle);
    angle = _mm_blendv_ps(angle, axisAngle, onAxisF);
    settled &= angleSettled | _mm_movemask_ps(onAxisF);
    // theta = angle - r / Amount + a quarter turn, with r / Amount as r
    // times the row's reciprocal, as the quick step takes it.
    const V rD = _mm256_cvtps_pd(r);
    const V turn = Mul(rD, inverse);
    const V lessTurn = Sub(_mm256_cvtps_pd(angle), turn);
    const V thetaD = Add(lessTurn, Set(kQuarterTurnD));
    __m128 theta;
    settled &= OneFloatLanes(thetaD, Mul(Add(Add(Abs(turn), Abs(lessTurn)), Abs(thetaD)), Set(0x1p-51)), theta);
    // u = cos theta r and v = sin theta r, the polynomials valid up to
    // |theta| = 4096 (beyond, the quick step takes the x87's).
    const V thetaF = _mm256_cvtps_pd(theta);
    V sine, cosine;
    SinCos4(thetaF, sine, cosine);
    const V trig = Mul(Set(2 * (kTrigBound + 0x1p-53)), rD);
    const V uD = Mul(cosine, rD), vD = Mul(sine, rD);
    __m128 u, v;
    settled &= OneFloatLanes(uD, Add(trig, Mul(Abs(uD), Set(0x1p-51))), u);
    settled &= OneFloatLanes(vD, Add(trig, Mul(Abs(vD), Set(0x1p-51))), v);
    settled &= Bits(_mm256_cmp_pd(Abs(thetaF), Set(4096), _CMP_LE_OQ));
    // The centre additions; the centre itself (r = 0) is the centre.
    __m128 px, py;
    const __m128 atCentre = _mm_cmpeq_ps(r, _mm_setzero_ps());
    settled &= (AddCentre4(u, cxD, px) & AddCentre4(v, cyD, py)) | _mm_movemask_ps(atCentre);
    px = _mm_blendv_ps(px, _mm_set1_ps(cx), atCentre);
    py = _mm_blendv_ps(py, _mm_set1_ps(cy), atCentre);
    const __m128 lo = _mm_unpacklo_ps(px, py), hi = _mm_unpackhi_ps(px, py);
    const int refused = ~settled & valid;
    if ((settled & valid) == 0xF) [[likely]] {  // a whole group, all settled
      _mm_storeu_ps(&out[0].x, lo);
      _mm_storeu_ps(&out[2].x, hi);
      continue;
    }
    // The end of the row, or a refusal: the points before the first
    // refused lane (or the row's end) are stored.
    const int done = refused != 0 ? __builtin_ctz(static_cast<unsigned>(refused)) : __builtin_popcount(valid);
    alignas(16) TSourcePoint points[4];
    _mm_store_ps(&points[0].x, lo);
    _mm_store_ps(&points[2].x, hi);
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

__attribute__((target("avx2"))) void SinCosLanesAvx2(const float* angle, double* sine, double* cosine) {
  V s, c;
  SinCos4(_mm256_cvtps_pd(_mm_loadu_ps(angle)), s, c);
  _mm256_storeu_pd(sine, s);
  _mm256_storeu_pd(cosine, c);
}

__attribute__((target("avx2"))) void ArcTanUnitLanesAvx2(const double* a, double* result) {
  _mm256_storeu_pd(result, ArcTanUnit4(_mm256_loadu_pd(a), ArcTanSteps().value.data()));
}

}  // namespace

void SinCosLanes(const float* angle, double* sine, double* cosine) { SinCosLanesAvx2(angle, sine, cosine); }
void ArcTanUnitLanes(const double* a, double* result) { ArcTanUnitLanesAvx2(a, result); }

#else

bool TwistLanesOn() { return false; }
int32_t TwistLanes(float, float, float, int32_t, int32_t x, int32_t, TSourcePoint*) { return x; }
void SinCosLanes(const float*, double*, double*) {}
void ArcTanUnitLanes(const double*, double*) {}

#endif

}  // namespace qv::remap
