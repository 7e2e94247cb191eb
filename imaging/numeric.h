// The numeric rules every piece of pixel code shares: 80-bit intermediates,
// round half to even, truncation toward zero, and the three floating-point
// conditions that abort an operation.
//
// Transcendentals go through the x87 unit directly so that Linux and Windows
// builds give the same bits (the C libraries' long double sin/cos differ in
// the last bit between glibc and MinGW).
#pragma once

#include <cfloat>
#include <cstdint>

#include "imaging/exceptions.h"

static_assert(LDBL_MANT_DIG == 64,
              "Quorvane needs the 80-bit extended long double of GCC/Clang on x86-64; "
              "this compiler would paint different pixels");

namespace qv {

inline constexpr const char* kInvalidOpMessage = "Invalid floating point operation";
inline constexpr const char* kZeroDivideMessage = "Floating point division by zero";
inline constexpr const char* kOverflowMessage = "Floating point overflow";

// pi with a 64-bit significand (3.14159265358979323851...).
inline constexpr long double kPi = 3.14159265358979323846264338327950288L;

[[noreturn]] void ThrowInvalidOp();
[[noreturn]] void ThrowZeroDivide();
[[noreturn]] void ThrowOverflow();

// Everything below is inline: pixel loops call these per channel, and inline
// the operands stay in x87 registers instead of passing through memory.

// 2^63: the first magnitude that no longer fits a 64-bit integer.
inline constexpr long double kTwo63 = 9223372036854775808.0L;

// Nearest integral value, ties to even (the x87's rounding mode, which both
// platforms start in and nothing here changes).
inline long double RoundToIntegral(long double v) {
  long double r;
  asm("frndint" : "=t"(r) : "0"(v));
  return r;
}

// An integral value in the 64-bit range to a 64-bit integer. fistp converts
// in the current (nearest) mode, which leaves an integral value as it is; a
// C++ conversion would switch the control word to truncation and back.
inline int64_t StoreIntegral(long double integral) {
  int64_t i;
  asm("fistpll %0" : "=m"(i) : "t"(integral) : "st");
  return i;
}

// Round to nearest, ties to even, to a 64-bit integer. NaN and values outside
// the 64-bit range are an invalid operation.
inline int64_t Round(long double v) {
  const long double r = RoundToIntegral(v);
  if (!(r < kTwo63 && r >= -kTwo63)) [[unlikely]] ThrowInvalidOp();  // also NaN
  return StoreIntegral(r);
}

// Drop the fraction toward zero; NaN and out-of-range values are invalid.
inline int64_t Trunc(long double v) {
  if (!(v < kTwo63 && v > -kTwo63 - 1.0L)) [[unlikely]] ThrowInvalidOp();  // also NaN
  // Nearest integral value, then one step back toward zero where it went
  // past v: that is v without its fraction.
  long double r = RoundToIntegral(v);
  if (v >= 0 ? r > v : r < v) r += v >= 0 ? -1.0L : 1.0L;
  return StoreIntegral(r);
}

// Store an extended value into a double, as assigning to a Double does.
// Overflow to infinity is an error; underflow and inexact pass silently.
inline double ToDouble(long double v) {
  const double d = static_cast<double>(v);
  if (__builtin_isinf(d) && !__builtin_isinf(v)) [[unlikely]] ThrowOverflow();
  return d;
}

// The same for a float32 value.
inline float ToFloat(long double v) {
  const float f = static_cast<float>(v);
  if (__builtin_isinf(f) && !__builtin_isinf(v)) [[unlikely]] ThrowOverflow();
  return f;
}

// Division with the floating-point error rules: x/0 with x != 0 is a
// division by zero, 0/0 (or NaN operands) an invalid operation.
inline long double Divide(long double a, long double b) {
  if (__builtin_isnan(a) || __builtin_isnan(b)) [[unlikely]] ThrowInvalidOp();
  if (b == 0.0L) [[unlikely]] {
    if (a == 0.0L) ThrowInvalidOp();
    ThrowZeroDivide();
  }
  const long double q = a / b;
  if (__builtin_isinf(q) && !__builtin_isinf(a)) [[unlikely]] ThrowOverflow();
  return q;
}

// x87 transcendentals, 64-bit significand, identical on every platform.
inline long double Sin(long double x) {
  long double r;
  asm("fsin" : "=t"(r) : "0"(x));
  return r;
}

inline long double Cos(long double x) {
  long double r;
  asm("fcos" : "=t"(r) : "0"(x));
  return r;
}

// arctan(x): fpatan computes atan(st1 / st0) and pops; st1 = x, st0 = 1.
inline long double ArcTan(long double x) {
  long double r;
  asm("fpatan" : "=t"(r) : "0"(1.0L), "u"(x) : "st(1)");
  return r;
}

// Square root; of a negative number (or NaN) it is an invalid operation.
inline long double Sqrt(long double x) {
  if (!(x >= 0.0L)) [[unlikely]] ThrowInvalidOp();
  long double r;
  asm("fsqrt" : "=t"(r) : "0"(x));
  return r;
}

}  // namespace qv
