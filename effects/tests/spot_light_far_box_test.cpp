// A spot light whose box reaches far outside the picture: the picture lies
// near the ellipse's centre, so it must show through, however large the box.
#include <gtest/gtest.h>

#include <cstdint>

#include "effects/effect_image.h"
#include "effects/tests/surfaces.h"

namespace qv {
namespace {

TEST(SpotLight, AHugeBoxCentredOnThePictureKeepsIt) {
  // The box is centred half a pixel from the pixel's centre: the pixel is
  // deep inside the ellipse and none of its neighbours is outside it.
  const test::Px grey = test::Grey(120);
  const TRect boxes[] = {{-1805811301, -1805811301, 1805811301, 1805811301},
                         {-1805811302, -1805811302, 1805811302, 1805811302},
                         {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}};
  for (const TRect& box : boxes) {
    const TBitmap out = test::Apply(test::Solid(1, 1, grey), [=](auto& i) { i.Effect_SpotLight(0, box); });
    EXPECT_EQ(test::At(out, 0, 0), grey) << "box " << box.Left << "," << box.Top << "," << box.Right << "," << box.Bottom;
  }
}

}  // namespace
}  // namespace qv
