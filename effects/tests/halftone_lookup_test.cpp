#include "effects/halftone_lookup.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "effects/tests/surfaces.h"
#include "imaging/bitmap.h"
#include "imaging/halftone.h"

namespace qv {
namespace {

TEST(FastHalftoneIndex, AgreesWithTheFullSearch) {
  // Every third level in each channel plus both ends: 87^3 colours, among
  // them the palette's own entries' neighbourhoods and many equal-distance
  // ties. (All 2^24 colours agree too; that sweep is too slow to repeat.)
  int mismatches = 0;
  auto check = [&](int r, int g, int b) {
    if (FastHalftoneIndex(r, g, b) != NearestHalftoneIndex(r, g, b)) ++mismatches;
  };
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 3)
      for (int b = 0; b < 256; b += 3) check(r, g, b);
  for (const TRGBQuad& q : HalftonePalette())
    for (int d = -2; d <= 2; ++d)
      check(std::clamp(q.Red + d, 0, 255), std::clamp(q.Green - d, 0, 255), std::clamp(q.Blue + d, 0, 255));
  EXPECT_EQ(mismatches, 0);
}

TEST(FastHalftoneIndex, MatchesTheEightBitConversionOfASurface) {
  TBitmap picture = test::Pattern(64, 48);
  TBitmap eightBit = picture;
  eightBit.SetPixelBits(8);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const test::Px p = test::At(picture, x, y);
      ASSERT_EQ(FastHalftoneIndex(p.r, p.g, p.b), eightBit.PixelRow(y)[x]) << x << "," << y;
    }
}

}  // namespace
}  // namespace qv
