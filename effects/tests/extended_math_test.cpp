#include "effects/extended_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "imaging/numeric.h"

namespace qv {
namespace {

// The remaps' inline conversions must agree with the shared numeric rules
// everywhere, including halfway values, both signs and the ends of the
// 64-bit range.
TEST(ExtendedMath, InlineConversionsAgreeWithTheNumericRules) {
  const long double two63 = 9223372036854775808.0L;
  const long double values[] = {0.0L,  -0.0L, 0.5L,  1.5L,  2.5L,  -0.5L, -2.5L, -3.5L, 2.7L, -2.7L,
                                -0.3L, 0.99999994L, -0.99999994L, 254.5L, 255.5L, 1e18L, -1e18L,
                                two63 - 0.5L, two63 - 1.0L, -two63, -two63 - 0.5L, 4194303.5L};
  // The result, or a marker when the conversion is an invalid operation.
  auto outcome = [](auto convert, long double v) -> std::string {
    try {
      return std::to_string(convert(v));
    } catch (const EInvalidOp&) {
      return "invalid";
    }
  };
  auto fastTrunc = [](long double v) { return xmath::Trunc(v); };
  auto fastRound = [](long double v) { return xmath::Round(v); };
  auto trunc = [](long double v) { return qv::Trunc(v); };
  auto round = [](long double v) { return qv::Round(v); };
  for (long double v : values) {
    EXPECT_EQ(outcome(fastTrunc, v), outcome(trunc, v)) << static_cast<double>(v);
    EXPECT_EQ(outcome(fastRound, v), outcome(round, v)) << static_cast<double>(v);
  }
  EXPECT_EQ(outcome(fastRound, two63 - 0.5L), "invalid");  // rounds up to 2^63
  EXPECT_EQ(outcome(fastTrunc, two63 - 0.5L), "9223372036854775807");
  for (long double v : {two63, -two63 - 1.0L, static_cast<long double>(NAN), static_cast<long double>(INFINITY)}) {
    EXPECT_THROW(xmath::Trunc(v), EInvalidOp) << static_cast<double>(v);
    EXPECT_THROW(qv::Trunc(v), EInvalidOp) << static_cast<double>(v);
  }
  EXPECT_THROW(xmath::Round(two63), EInvalidOp);
  EXPECT_THROW(xmath::Round(-two63 - 1.0L), EInvalidOp);
}

TEST(ExtendedMath, InlineDivisionRaisesTheSameErrors) {
  EXPECT_THROW(xmath::Divide(1, 0), EZeroDivide);
  EXPECT_THROW(xmath::Divide(0, 0), EInvalidOp);
  EXPECT_THROW(xmath::Divide(NAN, 2), EInvalidOp);
  EXPECT_THROW(xmath::Divide(1e4000L, 1e-4000L), EOverflow);
  EXPECT_EQ(xmath::Divide(1, 3), qv::Divide(1, 3));
  EXPECT_EQ(xmath::Sqrt(2), qv::Sqrt(2));
  EXPECT_THROW(xmath::Sqrt(-1), EInvalidOp);
  for (long double x : {0.3L, 1.0L, 2.0344439L, -1.2L, 5.4977871L}) {
    EXPECT_EQ(xmath::Sin(x), qv::Sin(x));
    EXPECT_EQ(xmath::Cos(x), qv::Cos(x));
    EXPECT_EQ(xmath::ArcTan(x), qv::ArcTan(x));
  }
}

}  // namespace
}  // namespace qv
