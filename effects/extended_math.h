// Inline forms of the numeric rules (imaging/numeric.h) for the per-pixel
// loops of the remaps. They execute the very same x87 instructions and make
// the same checks, raising the same errors; being inline, their operands stay
// in x87 registers instead of passing through memory on every call.
#pragma once

#include <cmath>
#include <cstdint>

#include "imaging/numeric.h"

namespace qv::xmath {

using ld = long double;

inline ld Divide(ld a, ld b) {
  if (std::isnan(a) || std::isnan(b)) [[unlikely]] ThrowInvalidOp();
  if (b == 0.0L) [[unlikely]] {
    if (a == 0.0L) ThrowInvalidOp();
    ThrowZeroDivide();
  }
  const ld q = a / b;
  if (std::isinf(q) && !std::isinf(a)) [[unlikely]] ThrowOverflow();
  return q;
}

inline ld Sqrt(ld x) {
  if (!(x >= 0.0L)) [[unlikely]] ThrowInvalidOp();  // negative or NaN
  ld r;
  asm("fsqrt" : "=t"(r) : "0"(x));
  return r;
}

inline ld Sin(ld x) {
  ld r;
  asm("fsin" : "=t"(r) : "0"(x));
  return r;
}

inline ld Cos(ld x) {
  ld r;
  asm("fcos" : "=t"(r) : "0"(x));
  return r;
}

inline ld ArcTan(ld x) {
  ld r;
  asm("fpatan" : "=t"(r) : "0"(1.0L), "u"(x) : "st(1)");
  return r;
}

// 2^63: the first magnitude that no longer fits a 64-bit integer.
inline constexpr ld kTwo63 = 9223372036854775808.0L;

inline ld RoundToIntegral(ld v) {
  ld r;
  asm("frndint" : "=t"(r) : "0"(v));
  return r;
}

// An integral value in the 64-bit range to a 64-bit integer. fistp converts
// in the current (nearest) rounding mode, which leaves an integral value as
// it is; a C++ conversion would switch the x87 control word to truncation and
// back around every single conversion, which costs more than the remap's
// arithmetic.
inline int64_t StoreIntegral(ld integral) {
  int64_t i;
  asm("fistpll %0" : "=m"(i) : "t"(integral) : "st");
  return i;
}

inline int64_t Round(ld v) {
  const ld r = RoundToIntegral(v);
  if (!(r < kTwo63 && r >= -kTwo63)) [[unlikely]] ThrowInvalidOp();  // also NaN
  return StoreIntegral(r);
}

inline int64_t Trunc(ld v) {
  if (!(v < kTwo63 && v > -kTwo63 - 1.0L)) [[unlikely]] ThrowInvalidOp();  // also NaN
  // Nearest integral value, then one step back toward zero where it went
  // past v: that is v without its fraction.
  ld r = RoundToIntegral(v);
  if (v >= 0 ? r > v : r < v) r += v >= 0 ? -1.0L : 1.0L;
  return StoreIntegral(r);
}

// Stores an extended value into a float; a finite value too large for it is
// an overflow.
inline float ToFloat(ld v) {
  const float f = static_cast<float>(v);
  if (std::isinf(f) && !std::isinf(v)) [[unlikely]] ThrowOverflow();
  return f;
}

}  // namespace qv::xmath
