#include "effects/halftone_lookup.h"

#include <gtest/gtest.h>

#include "effects/tests/surfaces.h"
#include "imaging/bitmap.h"
#include "imaging/halftone.h"

namespace qv {
namespace {

TEST(FastHalftoneIndex, AgreesWithTheFullSearchForEveryColour) {
  int mismatches = 0;
  for (int r = 0; r < 256; ++r)
    for (int g = 0; g < 256; ++g)
      for (int b = 0; b < 256; ++b)
        if (FastHalftoneIndex(r, g, b) != NearestHalftoneIndex(r, g, b)) ++mismatches;
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
