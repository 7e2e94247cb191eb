#include "effects/extended_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qv {
namespace {

// The conversions the remaps lean on, at the values where a fast form is
// most likely to go wrong: halfway cases of both signs and the ends of the
// 64-bit range.
TEST(ExtendedMath, ConversionsAtTheirEdges) {
  const long double two63 = 9223372036854775808.0L;
  const struct { long double in; int64_t trunc, round; } cases[] = {
      {2.5L, 2, 2},     {3.5L, 3, 4},     {-2.5L, -2, -2},   {-3.5L, -3, -4},
      {-0.3L, 0, 0},    {0.99999994L, 0, 1}, {254.5L, 254, 254}, {255.5L, 255, 256},
      {two63 - 1.0L, INT64_MAX, INT64_MAX}, {-two63, INT64_MIN, INT64_MIN},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(xmath::Trunc(c.in), c.trunc) << static_cast<double>(c.in);
    EXPECT_EQ(xmath::Round(c.in), c.round) << static_cast<double>(c.in);
  }
  // 2^63 - 0.5 truncates into range but rounds (to even) out of it.
  EXPECT_EQ(xmath::Trunc(two63 - 0.5L), INT64_MAX);
  EXPECT_THROW(xmath::Round(two63 - 0.5L), EInvalidOp);
  for (long double v : {two63, -two63 - 1.0L, static_cast<long double>(NAN), static_cast<long double>(INFINITY)})
    EXPECT_THROW(xmath::Trunc(v), EInvalidOp) << static_cast<double>(v);
}

TEST(ExtendedMath, DivisionErrors) {
  EXPECT_THROW(xmath::Divide(1, 0), EZeroDivide);
  EXPECT_THROW(xmath::Divide(0, 0), EInvalidOp);
  EXPECT_THROW(xmath::Divide(NAN, 2), EInvalidOp);
  EXPECT_THROW(xmath::Divide(1e4000L, 1e-4000L), EOverflow);
  EXPECT_THROW(xmath::Sqrt(-1), EInvalidOp);
  EXPECT_THROW(xmath::ToFloat(1e39L), EOverflow);
  EXPECT_EQ(xmath::ToFloat(0.1L), 0.1f);
}

}  // namespace
}  // namespace qv
