// A radial gradient whose centre lies as far from the picture as a centre
// can: the squared distance of a pixel then reaches 2^63, one past the
// signed 64-bit range.
#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <string>

#include "imaging/gradient.h"

namespace qv {
namespace {

TEST(RadialGradient, CentreAtTheFarCornerOfTheCoordinateRange) {
  // One pixel at (0, 0), centre (-2^31, -2^31): its distance, sqrt(2^63),
  // is also the largest, so its position is 1 (blue), and 0 with Reverse
  // (red). Stops: red at 0, blue at 1.
  struct Case {
    bool reverse;
    uint8_t blue, red;
  };
  for (const Case c : {Case{false, 255, 0}, Case{true, 0, 255}}) {
    SCOPED_TRACE(c.reverse ? "reversed" : "not reversed");
    TKelvoGradient g;
    g.SetGradientType(gtRadial);
    g.SetReverse(c.reverse);
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
    EXPECT_EQ(p[0], c.blue);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(p[2], c.red);
  }
}

}  // namespace
}  // namespace qv
