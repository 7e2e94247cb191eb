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

// Round to nearest, ties to even, to a 64-bit integer. NaN and values outside
// the 64-bit range are an invalid operation.
int64_t Round(long double v);

// Drop the fraction toward zero; NaN and out-of-range values are invalid.
int64_t Trunc(long double v);

// Store an extended value into a double, as assigning to a Double does.
// Overflow to infinity is an error; underflow and inexact pass silently.
double ToDouble(long double v);

// Division with the floating-point error rules: x/0 with x != 0 is a
// division by zero, 0/0 (or NaN operands) an invalid operation.
long double Divide(long double a, long double b);

// x87 transcendentals, 64-bit significand, identical on every platform.
long double Sin(long double x);
long double Cos(long double x);
long double ArcTan(long double x);          // fpatan(x, 1)
long double Sqrt(long double x);            // sqrt of a negative number is invalid

}  // namespace qv
