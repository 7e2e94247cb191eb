// The twist's quick steps in vector lanes: AVX2 (four doubles a register)
// and AVX-512 (eight). The steps themselves are written once, in
// twist_lanes_steps.inc, over the element-wise operations below; every
// operation rounds exactly as the scalar double or float operation of the
// same name does, lane by lane.
//
// No FMA is asked for: the compiler then cannot fuse a product and a sum
// whatever the build's flags, and the results stay those of the separate
// roundings the bounds are worked for.
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

using Mask = uint64_t;  // one bit a lane

// Pixels go kGroups registers at a time, each operation applied to every
// register before the next: one pixel's steps form a long chain of
// dependent operations, and the registers' chains overlap. Four registers
// measured best for both widths (more gained nothing, fewer lost up to a
// third).

namespace avx2 {

#define QV_LANES __attribute__((target("avx2"), always_inline)) inline
#define QV_LANES_FUNCTION __attribute__((target("avx2")))

constexpr int kGroups = 4;
constexpr int kLanes = 4 * kGroups;

struct V {  // kLanes doubles
  __m256d g[kGroups];
};
struct F {  // kLanes floats
  __m128 g[kGroups];
};
using M = V;   // whole lanes of ones where a comparison holds
using MF = F;  // the same for floats

#define QV_EACH(type, expression)                          \
  type r;                                                  \
  for (int i = 0; i < kGroups; ++i) r.g[i] = (expression); \
  return r

QV_LANES V Set(double v) { QV_EACH(V, _mm256_set1_pd(v)); }
QV_LANES V Columns(int32_t x) { QV_EACH(V, _mm256_add_pd(_mm256_set1_pd(x + 4.0 * i), _mm256_set_pd(3, 2, 1, 0))); }
QV_LANES V LoadV(const double* p) { QV_EACH(V, _mm256_loadu_pd(p + 4 * i)); }
QV_LANES F LoadF(const float* p) { QV_EACH(F, _mm_loadu_ps(p + 4 * i)); }
QV_LANES V Add(V a, V b) { QV_EACH(V, _mm256_add_pd(a.g[i], b.g[i])); }
QV_LANES V Sub(V a, V b) { QV_EACH(V, _mm256_sub_pd(a.g[i], b.g[i])); }
QV_LANES V Mul(V a, V b) { QV_EACH(V, _mm256_mul_pd(a.g[i], b.g[i])); }
QV_LANES V Div(V a, V b) { QV_EACH(V, _mm256_div_pd(a.g[i], b.g[i])); }
QV_LANES V Sqrt(V a) { QV_EACH(V, _mm256_sqrt_pd(a.g[i])); }
// fabs and unary minus are the sign bit cleared or flipped, in scalar code
// as here.
QV_LANES V Abs(V a) { QV_EACH(V, _mm256_andnot_pd(_mm256_set1_pd(-0.0), a.g[i])); }
QV_LANES V Neg(V a) { QV_EACH(V, _mm256_xor_pd(_mm256_set1_pd(-0.0), a.g[i])); }
template <int predicate>
QV_LANES M Compare(V a, V b) {
  QV_EACH(M, _mm256_cmp_pd(a.g[i], b.g[i], predicate));
}
QV_LANES M Differ(M a, M b) { QV_EACH(M, _mm256_xor_pd(a.g[i], b.g[i])); }
// c ? a : b, lane by lane.
QV_LANES V Select(M c, V a, V b) { QV_EACH(V, _mm256_blendv_pd(b.g[i], a.g[i], c.g[i])); }
QV_LANES V Widen(F a) { QV_EACH(V, _mm256_cvtps_pd(a.g[i])); }
// Rounding to float, to nearest as a scalar conversion does.
QV_LANES F Narrow(V a) { QV_EACH(F, _mm256_cvtpd_ps(a.g[i])); }
QV_LANES F SelectF(MF c, F a, F b) { QV_EACH(F, _mm_blendv_ps(b.g[i], a.g[i], c.g[i])); }
QV_LANES F SetF(float v) { QV_EACH(F, _mm_set1_ps(v)); }
QV_LANES MF EqualF(F a, F b) { QV_EACH(MF, _mm_cmpeq_ps(a.g[i], b.g[i])); }
// Where the two floats have the same bits.
QV_LANES MF SameBits(F a, F b) {
  QV_EACH(MF, _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_castps_si128(a.g[i]), _mm_castps_si128(b.g[i]))));
}
#undef QV_EACH

QV_LANES Mask Bits(M c) {
  Mask m = 0;
  for (int i = 0; i < kGroups; ++i) m |= static_cast<Mask>(_mm256_movemask_pd(c.g[i])) << 4 * i;
  return m;
}
QV_LANES Mask Bits(MF c) {
  Mask m = 0;
  for (int i = 0; i < kGroups; ++i) m |= static_cast<Mask>(_mm_movemask_ps(c.g[i])) << 4 * i;
  return m;
}
QV_LANES void StoreV(double* p, V a) {
  for (int i = 0; i < kGroups; ++i) _mm256_storeu_pd(p + 4 * i, a.g[i]);
}
QV_LANES void StorePoints(F px, F py, TSourcePoint* to) {
  for (int i = 0; i < kGroups; ++i) {
    _mm_storeu_ps(&to[4 * i].x, _mm_unpacklo_ps(px.g[i], py.g[i]));
    _mm_storeu_ps(&to[4 * i + 2].x, _mm_unpackhi_ps(px.g[i], py.g[i]));
  }
}

// The table index i = (int)scaled, truncated as static_cast<int> truncates,
// as a double, and the table's entry for it. The masked gather with every
// lane on: the plain one leaves its source register unset, which some
// compilers warn of.
QV_LANES void TableEntries(V scaled, const double* table, V& index, V& entry) {
  for (int i = 0; i < kGroups; ++i) {
    const __m128i n = _mm256_cvttpd_epi32(scaled.g[i]);
    index.g[i] = _mm256_cvtepi32_pd(n);
    entry.g[i] = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), table, n, _mm256_set1_pd(-0.0), 8);
  }
}

// Bits 0 and 1 of the shifted multiple's integer form.
QV_LANES void Quadrant(V shifted, M& odd, M& negate) {
  const __m256i one = _mm256_set1_epi64x(1), two = _mm256_set1_epi64x(2);
  for (int i = 0; i < kGroups; ++i) {
    const __m256i quadrant = _mm256_castpd_si256(shifted.g[i]);
    odd.g[i] = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(quadrant, one), one));
    negate.g[i] = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(quadrant, two), two));
  }
}

#include "effects/twist_lanes_steps.inc"

#undef QV_LANES
#undef QV_LANES_FUNCTION

}  // namespace avx2

// GCC 12's AVX-512 conversions start from a register they leave unset on
// purpose, and warn of it where they are inlined.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
namespace avx512 {

#define QV_LANES __attribute__((target("avx512f,avx512dq,avx512vl,avx512bw"), always_inline)) inline
#define QV_LANES_FUNCTION __attribute__((target("avx512f,avx512dq,avx512vl,avx512bw")))

constexpr int kGroups = 4;
constexpr int kLanes = 8 * kGroups;

struct V {  // kLanes doubles
  __m512d g[kGroups];
};
struct F {  // kLanes floats
  __m256 g[kGroups];
};
struct M {  // a bit a lane where a comparison holds
  __mmask8 g[kGroups];
};
using MF = M;

#define QV_EACH(type, expression)                          \
  type r;                                                  \
  for (int i = 0; i < kGroups; ++i) r.g[i] = (expression); \
  return r

QV_LANES V Set(double v) { QV_EACH(V, _mm512_set1_pd(v)); }
QV_LANES V Columns(int32_t x) {
  QV_EACH(V, _mm512_add_pd(_mm512_set1_pd(x + 8.0 * i), _mm512_set_pd(7, 6, 5, 4, 3, 2, 1, 0)));
}
QV_LANES V LoadV(const double* p) { QV_EACH(V, _mm512_loadu_pd(p + 8 * i)); }
QV_LANES F LoadF(const float* p) { QV_EACH(F, _mm256_loadu_ps(p + 8 * i)); }
QV_LANES V Add(V a, V b) { QV_EACH(V, _mm512_add_pd(a.g[i], b.g[i])); }
QV_LANES V Sub(V a, V b) { QV_EACH(V, _mm512_sub_pd(a.g[i], b.g[i])); }
QV_LANES V Mul(V a, V b) { QV_EACH(V, _mm512_mul_pd(a.g[i], b.g[i])); }
QV_LANES V Div(V a, V b) { QV_EACH(V, _mm512_div_pd(a.g[i], b.g[i])); }
QV_LANES V Sqrt(V a) { QV_EACH(V, _mm512_sqrt_pd(a.g[i])); }
QV_LANES V Abs(V a) { QV_EACH(V, _mm512_andnot_pd(_mm512_set1_pd(-0.0), a.g[i])); }
QV_LANES V Neg(V a) { QV_EACH(V, _mm512_xor_pd(_mm512_set1_pd(-0.0), a.g[i])); }
template <int predicate>
QV_LANES M Compare(V a, V b) {
  QV_EACH(M, _mm512_cmp_pd_mask(a.g[i], b.g[i], predicate));
}
QV_LANES M Differ(M a, M b) { QV_EACH(M, static_cast<__mmask8>(a.g[i] ^ b.g[i])); }
QV_LANES V Select(M c, V a, V b) { QV_EACH(V, _mm512_mask_blend_pd(c.g[i], b.g[i], a.g[i])); }
QV_LANES V Widen(F a) { QV_EACH(V, _mm512_cvtps_pd(a.g[i])); }
QV_LANES F Narrow(V a) { QV_EACH(F, _mm512_cvtpd_ps(a.g[i])); }
QV_LANES F SelectF(MF c, F a, F b) { QV_EACH(F, _mm256_mask_blend_ps(c.g[i], b.g[i], a.g[i])); }
QV_LANES F SetF(float v) { QV_EACH(F, _mm256_set1_ps(v)); }
QV_LANES MF EqualF(F a, F b) { QV_EACH(MF, _mm256_cmp_ps_mask(a.g[i], b.g[i], _CMP_EQ_OQ)); }
QV_LANES MF SameBits(F a, F b) {
  QV_EACH(MF, _mm256_cmpeq_epi32_mask(_mm256_castps_si256(a.g[i]), _mm256_castps_si256(b.g[i])));
}
#undef QV_EACH

QV_LANES Mask Bits(M c) {
  Mask m = 0;
  for (int i = 0; i < kGroups; ++i) m |= static_cast<Mask>(c.g[i]) << 8 * i;
  return m;
}
QV_LANES void StoreV(double* p, V a) {
  for (int i = 0; i < kGroups; ++i) _mm512_storeu_pd(p + 8 * i, a.g[i]);
}
QV_LANES void StorePoints(F px, F py, TSourcePoint* to) {
  for (int i = 0; i < kGroups; ++i) {
    // Interleaved within each half, then the halves put in order.
    const __m256 lo = _mm256_unpacklo_ps(px.g[i], py.g[i]), hi = _mm256_unpackhi_ps(px.g[i], py.g[i]);
    _mm256_storeu_ps(&to[8 * i].x, _mm256_permute2f128_ps(lo, hi, 0x20));
    _mm256_storeu_ps(&to[8 * i + 4].x, _mm256_permute2f128_ps(lo, hi, 0x31));
  }
}
QV_LANES void TableEntries(V scaled, const double* table, V& index, V& entry) {
  for (int i = 0; i < kGroups; ++i) {
    const __m256i n = _mm512_cvttpd_epi32(scaled.g[i]);
    index.g[i] = _mm512_cvtepi32_pd(n);
    entry.g[i] = _mm512_i32gather_pd(n, table, 8);
  }
}
QV_LANES void Quadrant(V shifted, M& odd, M& negate) {
  for (int i = 0; i < kGroups; ++i) {
    const __m512i quadrant = _mm512_castpd_si512(shifted.g[i]);
    odd.g[i] = _mm512_test_epi64_mask(quadrant, _mm512_set1_epi64(1));
    negate.g[i] = _mm512_test_epi64_mask(quadrant, _mm512_set1_epi64(2));
  }
}

#include "effects/twist_lanes_steps.inc"

#undef QV_LANES
#undef QV_LANES_FUNCTION

}  // namespace avx512
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

bool wideAllowed = true;

bool Avx512() {
  static const bool ok = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
  return ok && wideAllowed;
}

}  // namespace

bool TwistLanesOn() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2 && !PlainPathsOnly();
}

void SetTwistAvx512(bool allowed) { wideAllowed = allowed; }
bool TwistAvx512() { return TwistLanesOn() && Avx512(); }

int32_t TwistLanes(float dy, float cx, float cy, int32_t Amount, int32_t x0, int32_t x1, TSourcePoint* out,
                   int32_t* refused) {
  if (Avx512()) return avx512::Points(dy, cx, cy, Amount, x0, x1, out, refused);
  return avx2::Points(dy, cx, cy, Amount, x0, x1, out, refused);
}

void SinCosLanes(const float* angle, double* sine, double* cosine, size_t n) {
  if (Avx512()) return avx512::SinCosN(angle, sine, cosine, n);
  avx2::SinCosN(angle, sine, cosine, n);
}

void ArcTanUnitLanes(const double* a, double* result, size_t n) {
  if (Avx512()) return avx512::ArcTanUnitN(a, result, n);
  avx2::ArcTanUnitN(a, result, n);
}

#else

bool TwistLanesOn() { return false; }
void SetTwistAvx512(bool) {}
bool TwistAvx512() { return false; }
int32_t TwistLanes(float, float, float, int32_t, int32_t, int32_t, TSourcePoint*, int32_t*) { return 0; }
void SinCosLanes(const float*, double*, double*, size_t) {}
void ArcTanUnitLanes(const double*, double*, size_t) {}

#endif

}  // namespace qv::remap
