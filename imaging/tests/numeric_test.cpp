#include "imaging/numeric.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qv {
namespace {

TEST(Round, HalfwayGoesToEven) {
  const struct { long double in; int64_t out; } cases[] = {
      {0.5L, 0},   {1.5L, 2},    {2.5L, 2},     {3.5L, 4},     {-0.5L, 0},
      {-2.5L, -2}, {254.5L, 254}, {255.5L, 256}, {2.7L, 3},    {-2.7L, -3},
      {0.49999999999999999L, 0},  {9007199254740993.0L, 9007199254740993LL},
  };
  for (const auto& c : cases) EXPECT_EQ(Round(c.in), c.out) << static_cast<double>(c.in);
}

TEST(Trunc, DropsTheFractionTowardZero) {
  EXPECT_EQ(Trunc(2.7L), 2);
  EXPECT_EQ(Trunc(-2.7L), -2);
  EXPECT_EQ(Trunc(-0.999L), 0);
}

TEST(Round, OutOfRangeAndNaNAreInvalidOperations) {
  EXPECT_THROW(Round(1e19L), EInvalidOp);
  EXPECT_THROW(Round(-1e19L), EInvalidOp);
  EXPECT_THROW(Round(NAN), EInvalidOp);
  EXPECT_THROW(Trunc(INFINITY), EInvalidOp);
  try {
    Round(NAN);
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Invalid floating point operation");
  }
}

TEST(Divide, ZeroDivisorsRaiseTheFixedMessages) {
  try {
    Divide(1, 0);
    FAIL();
  } catch (const EZeroDivide& e) {
    EXPECT_STREQ(e.what(), "Floating point division by zero");
  }
  try {
    Divide(0, 0);
    FAIL();
  } catch (const EInvalidOp& e) {
    EXPECT_STREQ(e.what(), "Invalid floating point operation");
  }
  try {
    Divide(1e4000L, 1e-4000L);
    FAIL();
  } catch (const EOverflow& e) {
    EXPECT_STREQ(e.what(), "Floating point overflow");
  }
  EXPECT_EQ(Divide(7, 2), 3.5L);
}

TEST(ToDouble, OverflowIsAnErrorUnderflowIsNot) {
  EXPECT_THROW(ToDouble(1e400L), EOverflow);
  EXPECT_EQ(ToDouble(1e-400L), 0.0);
  // Rounding to double is to nearest: 1 + 2^-53 (a tie) goes to the even 1.
  EXPECT_EQ(ToDouble(1.0L + 0x1p-53L), 1.0);
  EXPECT_EQ(ToDouble(1.0L + 0x1p-53L + 0x1p-63L), 1.0 + 0x1p-52);
}

TEST(Transcendentals, MatchTheExtendedValues) {
  // Reference values worked independently to 20+ digits.
  EXPECT_EQ(Sin(0.0L), 0.0L);
  EXPECT_EQ(Cos(0.0L), 1.0L);
  EXPECT_NEAR(static_cast<double>(Sin(kPi / 6)), 0.5, 1e-18);
  EXPECT_EQ(Sqrt(4.0L), 2.0L);
  EXPECT_EQ(Sqrt(2.0L), 1.41421356237309504880L);
  EXPECT_THROW(Sqrt(-1.0L), EInvalidOp);
  EXPECT_EQ(ToDouble(ArcTan(1.0L) * 4), 3.141592653589793);
  // The x87 reduces arguments with its own 66-bit pi, so sin of the 64-bit pi
  // is -2^-64 rather than the true -5.0166e-20: what matters is that every
  // build gets this same value.
  EXPECT_EQ(Sin(kPi), -0x1p-64L);
}

}  // namespace
}  // namespace qv
