// The bounds below are worked per step. Both forms round every operation to
// nearest: double to 53 bits (relative error at most 2^-53), the extended
// form to 64 bits (2^-64), so a bound on the distance of the double value
// from the exact value that allows 2^-52 per operation also bounds the
// extended value's distance, and twice it bounds the distance between the
// two. The x87 transcendentals are within an ulp of the exact function for
// the small arguments the remaps meet, plus an absolute error below
// |angle| x 2^-66 from the 66-bit pi of their argument reduction.
#include "effects/remap_points.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "effects/effect_routines.h"
#include "effects/extended_math.h"
#include "effects/fisheye_lanes.h"
#include "effects/twist_lanes.h"

namespace qv::remap {

namespace {

using ld = long double;
using xmath::ToFloat;

// pi / 2 rounded to float, added as that exact value.
constexpr ld kQuarterTurn = 1.5707963705062866L;
constexpr double kPiD = 3.141592653589793;         // within 2^-52 of pi
constexpr double kHalfPiD = 1.5707963267948966;    // within 2^-53 of pi / 2
constexpr float kHalfPiF = 1.5707963705062866f;

}  // namespace

const double* ArcTanSteps() {
  // atan(i / 64) for i = 0 .. 64, from the x87 arctangent, rounded to double.
  struct Table {
    std::array<double, 65> value{};
    Table() {
      for (int i = 0; i <= 64; ++i) value[i] = static_cast<double>(xmath::ArcTan(i / 64.0L));
    }
  };
  static const Table table;
  return table.value.data();
}

namespace {

inline bool OneFloat(double v, double bound, float& out) {
  if (!(std::fabs(v) < 0x1p127)) return false;  // NaN, or the extended form may overflow
  // The slack makes the computed ends lie outside v -/+ bound whatever their
  // own rounding; rounding to float is monotonic, so when both ends give the
  // same float (same bits: a zero of either sign is refused) every value in
  // between gives it too.
  const double slack = bound + std::fabs(v) * 0x1p-51;
  const float lo = static_cast<float>(v - slack), hi = static_cast<float>(v + slack);
  if (std::bit_cast<uint32_t>(lo) != std::bit_cast<uint32_t>(hi)) return false;
  out = lo;
  return true;
}

// The same without a branch, for loops that should become vector code:
// out is set in any case, and the result says whether it may be used.
inline bool OneFloatFlag(double v, double bound, float& out) {
  const double slack = bound + std::fabs(v) * 0x1p-51;
  const float lo = static_cast<float>(v - slack), hi = static_cast<float>(v + slack);
  out = lo;
  return (std::fabs(v) < 0x1p127) & (std::bit_cast<uint32_t>(lo) == std::bit_cast<uint32_t>(hi));
}

}  // namespace

bool RoundsToOneFloat(double v, double bound, float& out) { return OneFloat(v, bound, out); }

// a = |q| is reduced to [0, 1] by 1 / a, then to within 1/128 of c = i / 64:
// atan(a) = atan(c) + atan(t), t = (a - c) / (1 + a c), |t| <= 1/128, whose
// series is cut after t^9 (the rest is below 2^-77). a - c is exact
// (a and c lie within a factor 2), t is within 2^-51 |t|, the series' sum
// within 2^-52 |t| and the table within 2^-53; with |t| <= atan(c) / 2 for
// i >= 1 (and the sum alone for i = 0) the result is within 2^-50 of its
// size. The error of 1 / a moves atan by at most 2^-53 atan(a), and
// pi / 2 - r (r <= pi / 4) adds 2^-52 of the result.
namespace {

// atan(a) for 0 <= a <= 1, as described above.
inline double ArcTanUnit(double a) {
  const int i = static_cast<int>(a * 64 + 0.5);
  const double c = i * (1.0 / 64);
  const double t = (a - c) / (1 + a * c);
  const double t2 = t * t;
  const double series = t + t * t2 * (-1.0 / 3 + t2 * (1.0 / 5 + t2 * (-1.0 / 7 + t2 * (1.0 / 9))));
  return ArcTanSteps()[i] + series;
}

// arctan(y / x) for x != 0 from the smaller magnitude over the larger one,
// one quotient in place of y / x and its reciprocal; the quotient's
// rounding moves the result as much as that of y / x does.
inline double ArcTanOfRatio(double y, double x) {
  const double ay = std::fabs(y), ax = std::fabs(x);
  const bool steep = ay > ax;
  double r = ArcTanUnit(steep ? ax / ay : ay / ax);
  if (steep) r = kHalfPiD - r;
  return (y < 0) != (x < 0) ? -r : r;
}

}  // namespace

double ArcTan(double q) {
  double a = std::fabs(q);
  const bool inverted = a > 1;
  if (inverted) a = 1 / a;
  double r = ArcTanUnit(a);
  if (inverted) r = kHalfPiD - r;
  return std::copysign(r, q);
}

// Cody-Waite reduction by k quarter turns (|k| < 2^12): the high part of
// pi / 2 has 33 bits, so k x high is exact and so is angle - k x high
// (the two lie within a factor 2); the low part leaves an error below
// 2^-75. |t| <= pi / 4, where the Taylor series cut after t^15 (sine) and
// t^16 (cosine) are within 2^-54, and their evaluation within 2^-51.
namespace {

// Branch-free, so that loops over many angles become vector code: the
// quadrant is read from the bits of the rounded multiple, and the quarter
// turns swap and negate by selection.
inline void SinCosInline(float angle, double& sine, double& cosine) {
  constexpr double kTwoOverPi = 0.63661977236758134308;
  constexpr double kQuarterHigh = 1.57079632673412561417e+00;
  constexpr double kQuarterLow = 6.07710050650619224932e-11;
  constexpr double kRound = 0x1.8p52;  // adding and subtracting it rounds to an integer
  const double x = angle;
  const double shifted = x * kTwoOverPi + kRound;
  const double k = shifted - kRound;
  const uint64_t quadrant = std::bit_cast<uint64_t>(shifted);  // k mod 4 in the low bits
  const double t = (x - k * kQuarterHigh) - k * kQuarterLow;
  const double t2 = t * t;
  const double s =
      t + t * t2 *
              (-1.0 / 6 +
               t2 * (1.0 / 120 +
                     t2 * (-1.0 / 5040 +
                           t2 * (1.0 / 362880 +
                                 t2 * (-1.0 / 39916800 + t2 * (1.0 / 6227020800 + t2 * (-1.0 / 1307674368000)))))));
  const double c =
      1 + t2 * (-1.0 / 2 +
                t2 * (1.0 / 24 +
                      t2 * (-1.0 / 720 +
                            t2 * (1.0 / 40320 +
                                  t2 * (-1.0 / 3628800 +
                                        t2 * (1.0 / 479001600 +
                                              t2 * (-1.0 / 87178291200 + t2 * (1.0 / 20922789888000))))))));
  const bool odd = quadrant & 1, negate = quadrant & 2;
  const double sn = odd ? c : s, cs = odd ? -s : c;
  sine = negate ? -sn : sn;
  cosine = negate ? -cs : cs;
}

}  // namespace

void SinCos(float angle, double& sine, double& cosine) { SinCosInline(angle, sine, cosine); }

namespace {

// The distances below: dx^2 + dy^2 is exact in double for offsets that are
// multiples of 1/2 below 2^24 (the remaps' offsets), and the double root is
// within 2^-53 of the exact one.

// float(u + c) for two floats: their double sum, when it is exact, rounds
// once as the extended sum does; otherwise the extended sum itself.
inline float AddCentre(float u, float c) {
  const double s = static_cast<double>(u) + c;
  const double back = s - u;
  if ((u - (s - back)) + (c - back) == 0) [[likely]] return static_cast<float>(s);
  return ToFloat(static_cast<ld>(u) + c);
}

}  // namespace

TSourcePoint TwistPointAsWritten(float dx, float dy, float cx, float cy, int32_t Amount) {
  const float r = ToFloat(xmath::Sqrt(static_cast<ld>(dx) * dx + static_cast<ld>(dy) * dy));
  if (r == 0) return {cx, cy};
  const float theta = ToFloat(PolarAngle(dx, dy) - xmath::Divide(r, Amount) + kQuarterTurn);
  const float u = ToFloat(xmath::Cos(theta) * r);
  const float v = ToFloat(xmath::Sin(theta) * r);
  return {ToFloat(static_cast<ld>(u) + cx), ToFloat(static_cast<ld>(v) + cy)};
}

TSourcePoint FishEyePointAsWritten(float dx, float dy, float cx, float cy, float R) {
  const float d = ToFloat(xmath::Sqrt(static_cast<ld>(dx) * dx + static_cast<ld>(dy) * dy));
  if (d == 0) return {cx, cy};
  // (1 / (1 - d / R) - 1) * (R / 2), left to right: R = 0, or a pixel
  // exactly at distance R, divides by zero.
  const ld oneMinus = 1.0L - xmath::Divide(d, R);
  const float k = ToFloat((xmath::Divide(1.0L, oneMinus) - 1.0L) * (static_cast<ld>(R) / 2.0L));
  return {ToFloat(xmath::Divide(static_cast<ld>(dx) * k, d) + cx),
          ToFloat(xmath::Divide(static_cast<ld>(dy) * k, d) + cy)};
}

namespace {

// The fish-eye factor k = (1 / (1 - d / R) - 1) (R / 2). Near the centre the
// written form cancels (1 / (1 - d / R) is close to 1), so its value carries
// an error of up to about |R| 2^-64, and the bound must cover that error, not
// only the exact value: it is carried step by step, with 2^-63 per
// operation and twice the first-order terms. The double estimate is the
// same value without the cancellation, (R / 2) d / (R - d), within 2^-51
// of its size. 1 - d / R must keep at least 2^-30 of its size, so that the
// second-order terms stay below the first-order ones.
inline bool FishEyeFactor(float d, float R, float& k) {
  constexpr double u = 0x1p-63;
  // t = d / (R - d) = 1 / (1 - d / R) - 1, the written form's n - 1, and
  // n = 1 + t; its relative error em / |m| is (1 + |t|) u.
  const double t = d / (static_cast<double>(R) - d);
  if (!(std::fabs(static_cast<double>(R) - d) >= 0x1p-30 * std::fabs(R))) return false;
  const double half = static_cast<double>(R) / 2;  // exact: R is a whole number
  const double kD = half * t;
  const double n = std::fabs(1 + t), tt = std::fabs(t);
  const double en = n * (2 * (1 + tt) * u + u);
  const double ek = 2 * ((en + tt * u) * std::fabs(half) + std::fabs(kD) * u);
  return OneFloat(kD, ek + std::fabs(kD) * 0x1p-51, k);
}

// float(dx k / d + c) with kd = k / d: the product with kd and the sum are
// each within 2^-53 of their size, and kd's rounding adds 2^-53 of q.
inline bool FishEyeCoordinate(float offset, double kd, float c, float& out) {
  const double q = offset * kd;
  const double s = q + c;
  return OneFloat(s, (std::fabs(q) + std::fabs(s)) * 0x1p-51, out);
}

}  // namespace

namespace {

void TwistSteps(float dy, float cx, float cy, int32_t Amount, int32_t x0, int32_t x1, TSourcePoint* out,
                TRowScratch& scratch) {
  const int32_t W = x1 - x0;
  // Step by step over the row, as for the fish-eye; here every step that
  // cannot be settled is redone in extended precision right after the
  // loop that tried it (none can fail once Amount is not 0). The loops
  // without table look-ups have no branches, so they become vector code.
  scratch.a.resize(5 * static_cast<size_t>(W));
  scratch.settled.resize(static_cast<size_t>(W));
  float* r = scratch.a.data();
  float* angle = r + W;
  float* theta = angle + W;
  float* u = theta + W;
  float* v = u + W;
  uint8_t* settled = scratch.settled.data();
  auto redo = [&](auto step) {
    for (int32_t x = 0; x < W; ++x)
      if (!settled[x]) [[unlikely]] {
        step(x, static_cast<float>(x0 + x - static_cast<double>(cx)));
        ++scratch.extended;
      }
  };
  const double dy2 = static_cast<double>(dy) * dy;
  for (int32_t x = 0; x < W; ++x) {
    const float dx = static_cast<float>(x0 + x - static_cast<double>(cx));
    const double root = std::sqrt(static_cast<double>(dx) * dx + dy2);
    settled[x] = OneFloatFlag(root, root * 0x1p-52, r[x]);
  }
  redo([&](int32_t x, float dx) {
    r[x] = ToFloat(xmath::Sqrt(static_cast<ld>(dx) * dx + static_cast<ld>(dy) * dy));
  });
  for (int32_t x = 0; x < W; ++x) {
    const float dx = static_cast<float>(x0 + x - static_cast<double>(cx));
    settled[x] = 1;
    if (dx == 0) {
      angle[x] = dy > 0 ? kHalfPiF : -kHalfPiF;
      continue;
    }
    const double at = ArcTanOfRatio(dy, dx);
    const double a = dx < 0 ? at + kPiD : at;
    const double bound =
        2 * (std::fabs(at) * (kArcTanBound + 0x1p-52) + (dx < 0 ? 0x1p-52 + std::fabs(a) * 0x1p-52 : 0));
    settled[x] = OneFloatFlag(a, bound, angle[x]);
  }
  redo([&](int32_t x, float dx) { angle[x] = PolarAngle(dx, dy); });
  const double inverse = 1.0 / static_cast<double>(Amount);
  for (int32_t x = 0; x < W; ++x) {
    const double turn = r[x] * inverse;
    const double lessTurn = angle[x] - turn;
    const double thetaD = lessTurn + static_cast<double>(kQuarterTurn);
    settled[x] = OneFloatFlag(thetaD, (std::fabs(turn) + std::fabs(lessTurn) + std::fabs(thetaD)) * 0x1p-51, theta[x]);
  }
  redo([&](int32_t x, float) { theta[x] = ToFloat(angle[x] - xmath::Divide(r[x], Amount) + kQuarterTurn); });
  // Each factor within kTrigBound (ours) or 2^-53 (the x87's) of the exact
  // function, each product within 2^-52 of its size. Angles beyond 4096,
  // outside the polynomials' range, take the x87 instructions.
  for (int32_t x = 0; x < W; ++x) {
    double sine, cosine;
    SinCosInline(theta[x], sine, cosine);  // meaningless beyond 4096, and not used there
    const double trig = 2 * (kTrigBound + 0x1p-53) * r[x];
    const double uD = cosine * r[x], vD = sine * r[x];
    const bool su = OneFloatFlag(uD, trig + std::fabs(uD) * 0x1p-51, u[x]);
    const bool sv = OneFloatFlag(vD, trig + std::fabs(vD) * 0x1p-51, v[x]);
    settled[x] = su & sv & (std::fabs(theta[x]) <= 4096);
  }
  redo([&](int32_t x, float) {
    u[x] = ToFloat(xmath::Cos(theta[x]) * r[x]);
    v[x] = ToFloat(xmath::Sin(theta[x]) * r[x]);
  });
  for (int32_t x = 0; x < W; ++x)
    out[x] = r[x] == 0 ? TSourcePoint{cx, cy} : TSourcePoint{AddCentre(u[x], cx), AddCentre(v[x], cy)};
}

}  // namespace

void TwistRow(float dy, float cx, float cy, int32_t Amount, int32_t x0, int32_t x1, TSourcePoint* out,
              TRowScratch& scratch) {
  if (!TwistLanesOn()) return TwistSteps(dy, cx, cy, Amount, x0, x1, out, scratch);
  // The lanes take the steps above many pixels at a time; a pixel any
  // step refuses then takes the steps alone, with their extended
  // fall-backs. A pixel's point depends on no other's, so it is the one
  // the whole row's steps give.
  constexpr int32_t kPart = 256;
  int32_t refused[kPart];
  for (int32_t x = x0; x < x1; x += kPart) {
    const int32_t end = std::min(x1, x + kPart);
    const int32_t n = TwistLanes(dy, cx, cy, Amount, x, end, out + (x - x0), refused);
    for (int32_t i = 0; i < n; ++i)
      TwistSteps(dy, cx, cy, Amount, refused[i], refused[i] + 1, out + (refused[i] - x0), scratch);
  }
}

int32_t FishEyeRow(float dy, float cx, float cy, float R, int32_t W, TSourcePoint* out, TRowScratch& scratch) {
  // Each step over the whole row before the next, so that the processor
  // overlaps many pixels' square roots and divisions; a pixel that a step
  // cannot settle is done whole in extended precision at the end, in
  // visiting order (its error, if any, is the row's first). Pixels x and
  // W - x lie at offsets dx and -dx (exactly, the centre W / 2 being exact),
  // so they share the distance and the factor: those are worked out for
  // the left half only.
  uint8_t* settled = nullptr;
  auto asWritten = [&]() -> int32_t {
    for (int32_t x = 0; x < W; ++x) {
      if (settled[x]) continue;
      const float dx = static_cast<float>(x - static_cast<double>(cx));
      ++scratch.extended;
      try {
        out[x] = FishEyePointAsWritten(dx, dy, cx, cy, R);
      } catch (...) {
        scratch.error = std::current_exception();
        return x;
      }
    }
    return W;
  };
  // R = 0 divides by zero at once, in the written form.
  if (R == 0) {
    scratch.settled.assign(static_cast<size_t>(W), 0);
    settled = scratch.settled.data();
    return asWritten();
  }
  // The same quick steps four or eight pixels at a time, where the
  // processor has vector lanes for them.
  if (TFishEyeLanes lanes; ChooseFishEyeLanes(lanes)) {
    const bool everySettled = FishEyeQuickLanes(lanes, dy, cx, cy, R, W, out, scratch);
    settled = scratch.settled.data();
    return everySettled ? W : asWritten();
  }
  scratch.settled.assign(static_cast<size_t>(W), 1);
  settled = scratch.settled.data();
  scratch.a.resize(static_cast<size_t>(W));
  scratch.b.resize(static_cast<size_t>(W));
  float* d = scratch.a.data();
  double* kd = scratch.b.data();
  const int32_t half = W / 2;  // 2x <= W for x <= half
  const double dy2 = static_cast<double>(dy) * dy;
  for (int32_t x = 0; x <= half && x < W; ++x) {
    const float dx = static_cast<float>(x - static_cast<double>(cx));
    const double root = std::sqrt(static_cast<double>(dx) * dx + dy2);
    settled[x] = OneFloat(root, root * 0x1p-52, d[x]);
    kd[x] = 0;
    float k;
    if (!settled[x] || d[x] == 0) continue;
    if (!FishEyeFactor(d[x], R, k)) {
      settled[x] = 0;
      continue;
    }
    kd[x] = static_cast<double>(k) / d[x];
  }
  for (int32_t x = half + 1; x < W; ++x) {
    d[x] = d[W - x];
    kd[x] = kd[W - x];
    settled[x] = settled[W - x];
  }
  for (int32_t x = 0; x < W; ++x) {
    if (!settled[x]) continue;
    if (d[x] == 0) {
      out[x] = {cx, cy};
      continue;
    }
    const float dx = static_cast<float>(x - static_cast<double>(cx));
    settled[x] = FishEyeCoordinate(dx, kd[x], cx, out[x].x) && FishEyeCoordinate(dy, kd[x], cy, out[x].y);
  }
  return asWritten();
}

}  // namespace qv::remap
