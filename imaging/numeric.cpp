#include "imaging/numeric.h"

#include <cmath>

namespace qv {

void ThrowInvalidOp() { throw EInvalidOp(kInvalidOpMessage); }
void ThrowZeroDivide() { throw EZeroDivide(kZeroDivideMessage); }
void ThrowOverflow() { throw EOverflow(kOverflowMessage); }

namespace {

// 2^63 exactly; the largest magnitude that fits is just below it.
constexpr long double kTwo63 = 9223372036854775808.0L;

long double RoundToIntegralEven(long double v) {
  long double r;
  // frndint rounds with the current x87 mode, which is nearest-even unless
  // someone changed it; both our platforms start in that mode.
  asm("frndint" : "=t"(r) : "0"(v));
  return r;
}

}  // namespace

int64_t Round(long double v) {
  if (std::isnan(v)) ThrowInvalidOp();
  long double r = RoundToIntegralEven(v);
  if (r >= kTwo63 || r < -kTwo63) ThrowInvalidOp();
  return static_cast<int64_t>(r);
}

int64_t Trunc(long double v) {
  if (std::isnan(v)) ThrowInvalidOp();
  if (v >= kTwo63 || v <= -kTwo63 - 1.0L) ThrowInvalidOp();
  return static_cast<int64_t>(v);
}

double ToDouble(long double v) {
  double d = static_cast<double>(v);
  if (std::isinf(d) && !std::isinf(v)) ThrowOverflow();
  return d;
}

long double Divide(long double a, long double b) {
  if (std::isnan(a) || std::isnan(b)) ThrowInvalidOp();
  if (b == 0.0L) {
    if (a == 0.0L) ThrowInvalidOp();
    ThrowZeroDivide();
  }
  long double q = a / b;
  if (std::isinf(q) && !std::isinf(a)) ThrowOverflow();
  return q;
}

long double Sin(long double x) {
  long double r;
  asm("fsin" : "=t"(r) : "0"(x));
  return r;
}

long double Cos(long double x) {
  long double r;
  asm("fcos" : "=t"(r) : "0"(x));
  return r;
}

long double ArcTan(long double x) {
  long double r;
  // fpatan computes atan(st1 / st0) and pops: st1 = x, st0 = 1.
  asm("fpatan" : "=t"(r) : "0"(1.0L), "u"(x) : "st(1)");
  return r;
}

long double Sqrt(long double x) {
  if (std::isnan(x) || x < 0.0L) ThrowInvalidOp();
  long double r;
  asm("fsqrt" : "=t"(r) : "0"(x));
  return r;
}

}  // namespace qv
