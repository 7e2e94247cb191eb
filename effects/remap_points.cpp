// The bounds below are worked per step. Both forms round every operation to
// nearest: double to 53 bits (relative error at most 2^-53), the extended
// form to 64 bits (2^-64), so a bound on the distance of the double value
// from the exact value that allows 2^-52 per operation also bounds the
// extended value's distance, and twice it bounds the distance between the
// two. The x87 transcendentals are within an ulp of the exact function for
// the small arguments the remaps meet, plus an absolute error below
// |angle| x 2^-66 from the 66-bit pi of their argument reduction.
#include "effects/remap_points.h"

#include <array>
#include <bit>
#include <cmath>

#include "effects/effect_routines.h"
#include "effects/extended_math.h"

namespace qv::remap {

namespace {

using ld = long double;
using xmath::ToFloat;

// pi / 2 rounded to float, added as that exact value.
constexpr ld kQuarterTurn = 1.5707963705062866L;
constexpr double kPiD = 3.141592653589793;         // within 2^-52 of pi
constexpr double kHalfPiD = 1.5707963267948966;    // within 2^-53 of pi / 2
constexpr float kHalfPiF = 1.5707963705062866f;

// atan(i / 64) for i = 0 .. 64, from the x87 arctangent, rounded to double.
struct ArcTanTable {
  std::array<double, 65> value{};
  ArcTanTable() {
    for (int i = 0; i <= 64; ++i) value[i] = static_cast<double>(xmath::ArcTan(i / 64.0L));
  }
};
const ArcTanTable kArcTan;

}  // namespace

bool RoundsToOneFloat(double v, double bound, float& out) {
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

// a = |q| is reduced to [0, 1] by 1 / a, then to within 1/128 of c = i / 64:
// atan(a) = atan(c) + atan(t), t = (a - c) / (1 + a c), |t| <= 1/128, whose
// series is cut after t^9 (the rest is below 2^-77). a - c is exact
// (a and c lie within a factor 2), t is within 2^-51 |t|, the series' sum
// within 2^-52 |t| and the table within 2^-53; with |t| <= atan(c) / 2 for
// i >= 1 (and the sum alone for i = 0) the result is within 2^-50 of its
// size. The error of 1 / a moves atan by at most 2^-53 atan(a), and
// pi / 2 - r (r <= pi / 4) adds 2^-52 of the result.
double ArcTan(double q) {
  double a = std::fabs(q);
  const bool inverted = a > 1;
  if (inverted) a = 1 / a;
  const int i = static_cast<int>(a * 64 + 0.5);
  const double c = i * (1.0 / 64);
  const double t = (a - c) / (1 + a * c);
  const double t2 = t * t;
  const double series = t + t * t2 * (-1.0 / 3 + t2 * (1.0 / 5 + t2 * (-1.0 / 7 + t2 * (1.0 / 9))));
  double r = kArcTan.value[i] + series;
  if (inverted) r = kHalfPiD - r;
  return std::copysign(r, q);
}

// Cody-Waite reduction by k quarter turns (|k| < 2^12): the high part of
// pi / 2 has 33 bits, so k x high is exact and so is angle - k x high
// (the two lie within a factor 2); the low part leaves an error below
// 2^-75. |t| <= pi / 4, where the Taylor series cut after t^15 (sine) and
// t^16 (cosine) are within 2^-54, and their evaluation within 2^-51.
void SinCos(float angle, double& sine, double& cosine) {
  constexpr double kTwoOverPi = 0.63661977236758134308;
  constexpr double kQuarterHigh = 1.57079632673412561417e+00;
  constexpr double kQuarterLow = 6.07710050650619224932e-11;
  constexpr double kRound = 0x1.8p52;  // adding and subtracting it rounds to an integer
  const double x = angle;
  const double k = (x * kTwoOverPi + kRound) - kRound;
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
  switch (static_cast<int>(static_cast<int64_t>(k) & 3)) {
    case 0: sine = s; cosine = c; break;
    case 1: sine = c; cosine = -s; break;
    case 2: sine = -s; cosine = -c; break;
    default: sine = -c; cosine = s; break;
  }
}

namespace {

// float(sqrt(dx^2 + dy^2)): the sum is exact in double for offsets that are
// multiples of 1/2 below 2^24 (the remaps' offsets), and the double root is
// within 2^-53 of the exact one.
inline bool Distance(float dx, float dy, float& d) {
  const double s = static_cast<double>(dx) * dx + static_cast<double>(dy) * dy;
  const double root = std::sqrt(s);
  return RoundsToOneFloat(root, root * 0x1p-52, d);
}

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

TSourcePoint TwistPointQuick(float dx, float dy, float cx, float cy, int32_t Amount, int* extended) {
  if (Amount == 0) return TwistPointAsWritten(dx, dy, cx, cy, Amount);  // raises its error
  auto settle = [&](bool decided) {
    if (!decided && extended) ++*extended;
    return !decided;
  };
  float r;
  if (settle(Distance(dx, dy, r))) r = ToFloat(xmath::Sqrt(static_cast<ld>(dx) * dx + static_cast<ld>(dy) * dy));
  if (r == 0) return {cx, cy};
  // The polar angle: arctan(dy / dx), plus pi left of the centre. The
  // quotient's rounding moves the arctangent by at most 2^-53 of it.
  float angle;
  if (dx == 0) {
    angle = dy > 0 ? kHalfPiF : -kHalfPiF;
  } else {
    const double at = ArcTan(static_cast<double>(dy) / dx);
    const double a = dx < 0 ? at + kPiD : at;
    const double bound =
        2 * (std::fabs(at) * (kArcTanBound + 0x1p-52) + (dx < 0 ? 0x1p-52 + std::fabs(a) * 0x1p-52 : 0));
    if (settle(RoundsToOneFloat(a, bound, angle))) angle = PolarAngle(dx, dy);
  }
  // Small amounts often make r / Amount short, and the angle exactly
  // halfway between two floats: those ties go to the extended sum.
  const double turn = r / static_cast<double>(Amount);
  const double lessTurn = angle - turn;
  const double thetaD = lessTurn + static_cast<double>(kQuarterTurn);
  float theta;
  if (settle(RoundsToOneFloat(thetaD, (std::fabs(turn) + std::fabs(lessTurn) + std::fabs(thetaD)) * 0x1p-51, theta)))
    theta = ToFloat(angle - xmath::Divide(r, Amount) + kQuarterTurn);
  if (!(std::fabs(theta) <= 4096)) [[unlikely]] {
    if (extended) ++*extended;
    return {ToFloat(static_cast<ld>(ToFloat(xmath::Cos(theta) * r)) + cx),
            ToFloat(static_cast<ld>(ToFloat(xmath::Sin(theta) * r)) + cy)};
  }
  double sine, cosine;
  SinCos(theta, sine, cosine);
  // Each factor within kTrigBound (ours) or 2^-53 (the x87's) of the exact
  // function, each product within 2^-52 of its size.
  const double trig = 2 * (kTrigBound + 0x1p-53) * r;
  const double uD = cosine * r, vD = sine * r;
  float u, v;
  if (settle(RoundsToOneFloat(uD, trig + std::fabs(uD) * 0x1p-51, u))) u = ToFloat(xmath::Cos(theta) * r);
  if (settle(RoundsToOneFloat(vD, trig + std::fabs(vD) * 0x1p-51, v))) v = ToFloat(xmath::Sin(theta) * r);
  return {AddCentre(u, cx), AddCentre(v, cy)};
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
  const double half = static_cast<double>(R) / 2;  // exact: R is a whole number
  const double kD = half * d / (R - static_cast<double>(d));
  const double a = static_cast<double>(d) / R;
  const double m = 1 - a;
  if (!(std::fabs(m) >= 0x1p-30)) return false;
  const double n = 1 / m, n1 = kD / half;
  const double em = (std::fabs(a) + std::fabs(m)) * u;
  const double en = std::fabs(n) * (2 * em / std::fabs(m) + u);
  const double ek = 2 * ((en + std::fabs(n1) * u) * std::fabs(half) + std::fabs(kD) * u);
  return RoundsToOneFloat(kD, ek + std::fabs(kD) * 0x1p-51, k);
}

// float(dx k / d + c): dx k is exact in double (24-bit factors), the
// quotient and the sum each within 2^-53 of their size.
inline bool FishEyeCoordinate(float offset, float k, float d, float c, float& out) {
  const double q = static_cast<double>(offset) * k / d;
  const double s = q + c;
  return RoundsToOneFloat(s, (std::fabs(q) + std::fabs(s)) * 0x1p-51, out);
}

}  // namespace

TSourcePoint FishEyePointQuick(float dx, float dy, float cx, float cy, float R, int* extended) {
  float d, k;
  if (R == 0 || !Distance(dx, dy, d) || !FishEyeFactor(d, R, k)) {
    // R = 0 and distance R raise their errors here.
    if (extended) ++*extended;
    return FishEyePointAsWritten(dx, dy, cx, cy, R);
  }
  if (d == 0) return {cx, cy};
  TSourcePoint p;
  if (!FishEyeCoordinate(dx, k, d, cx, p.x)) {
    if (extended) ++*extended;
    p.x = ToFloat(xmath::Divide(static_cast<ld>(dx) * k, d) + cx);
  }
  if (!FishEyeCoordinate(dy, k, d, cy, p.y)) {
    if (extended) ++*extended;
    p.y = ToFloat(xmath::Divide(static_cast<ld>(dy) * k, d) + cy);
  }
  return p;
}

}  // namespace qv::remap
