#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "effects/effect_image.h"
#include "effects/effect_routines.h"
#include "effects/row_bands.h"
#include "effects/tests/surfaces.h"
#include "imaging/exceptions.h"

namespace qv {
namespace {

using namespace test;  // the small pictures and Apply

// Runs an effect that must fail with the scan-line error and checks the
// picture survived it.
void ExpectRangeErrorKeepsPicture(const TBitmap& picture,
                                  const std::function<void(TProEffectImage&)>& effect) {
  TProEffectImage image;
  image.AssignBitmap(picture);
  try {
    effect(image);
    ADD_FAILURE() << "no error";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "Scan line index out of range");
  }
  EXPECT_TRUE(test::SamePixels(*image.PictureBitmap(), picture));
}

TEST(AntiAlias, ThreeByThreeChangesOnlyTheCentre) {
  const TBitmap picture = Make(3, 3, [](int x, int y) { return Grey(10 + 30 * (3 * y + x)); });
  TBitmap out = Apply(picture, [](auto& i) { i.Effect_AntiAlias(); });
  // top 40, bottom 220, left 100, right 160: (520) shr 2 = 130.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(At(out, x, y), (x == 1 && y == 1) ? Grey(130) : At(picture, x, y)) << x << "," << y;
}

TEST(AntiAlias, ReadsTheNewValueOfItsLeftNeighbour) {
  const TBitmap picture = Make(4, 3, [](int x, int y) { return Grey(x == 1 && y == 0 ? 200 : 0); });
  TBitmap out = Apply(picture, [](auto& i) { i.Effect_AntiAlias(); });
  EXPECT_EQ(At(out, 1, 1), Grey(50));
  EXPECT_EQ(At(out, 2, 1), Grey(12));
  EXPECT_EQ(At(out, 1, 0), Grey(200));
}

TEST(AntiAlias, PicturesUnderThreePixelsAreUnchanged) {
  for (auto [w, h] : {std::pair{2, 5}, std::pair{5, 2}, std::pair{1, 1}}) {
    const TBitmap picture = test::Pattern(w, h);
    EXPECT_TRUE(test::SamePixels(Apply(picture, [](auto& i) { i.Effect_AntiAlias(); }), picture)) << w << "x" << h;
  }
}

TEST(AntiAlias, RectangleCornersMayComeInAnyOrder) {
  const TBitmap picture = test::Pattern(8, 7);
  TBitmap a = picture, b = picture;
  AntiAliasRect(a, 2, 1, 5, 4);
  AntiAliasRect(b, 5, 4, 2, 1);
  EXPECT_TRUE(test::SamePixels(a, b));
  EXPECT_EQ(At(a, 1, 1), At(picture, 1, 1));  // left of the rectangle
  EXPECT_EQ(At(a, 6, 4), At(picture, 6, 4));  // right of it
  EXPECT_FALSE(At(a, 3, 2) == At(picture, 3, 2));
}

TEST(SplitBlur, WorkedPassWithItsFallbacks) {
  // Worked by hand from the rule: rows 0, 40, 80 over 120, 160, 200 at
  // distance 1. Row 0 falls back to itself above; row 1 to H - 1 = 1 below;
  // column 2 to W - 2 = 1 on the right; left pixels already hold new values.
  const int values[2][3] = {{0, 40, 80}, {120, 160, 200}};
  const int expected[2][3] = {{80, 120, 140}, {120, 135, 127}};
  TBitmap out = Apply(Make(3, 2, [&](int x, int y) { return Grey(values[y][x]); }),
                      [](auto& i) { i.Effect_SplitBlur(1); });
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(At(out, x, y), Grey(expected[y][x])) << x << "," << y;
}

TEST(SplitBlur, ZeroDistanceChangesNothing) {
  const TBitmap picture = test::Pattern(6, 4);
  EXPECT_TRUE(test::SamePixels(Apply(picture, [](auto& i) { i.Effect_SplitBlur(0); }), picture));
}

TEST(SplitBlur, RowOutsideThePictureFailsAndKeepsIt) {
  const TBitmap picture = test::Pattern(6, 4);
  ExpectRangeErrorKeepsPicture(picture, [](auto& i) { i.Effect_SplitBlur(4); });   // d >= H
  ExpectRangeErrorKeepsPicture(picture, [](auto& i) { i.Effect_SplitBlur(-1); });  // d < 0
  ExpectRangeErrorKeepsPicture(test::Pattern(6, 1), [](auto& i) { i.Effect_SplitBlur(1); });
  ExpectRangeErrorKeepsPicture(test::Pattern(6, 3), [](auto& i) { i.Effect_GaussianBlur(0); });
}

TEST(SplitBlur, DistanceBeyondTheWidthReadsOnlyPixelsOfTheRow) {
  // Column 0 names column W as its right column; the last column stands in,
  // so a plain picture stays plain.
  TBitmap out = Apply(Solid(2, 5, Grey(200)), [](auto& i) { i.Effect_SplitBlur(3); });
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(At(out, x, y), Grey(200));
}

TEST(GaussianBlur, AmountPlusOnePassesAtDistanceThree) {
  const TBitmap picture = test::Pattern(9, 8);
  TBitmap twoPasses = Apply(picture, [](auto& i) {
    i.Effect_SplitBlur(3);
    i.Effect_SplitBlur(3);
  });
  EXPECT_TRUE(test::SamePixels(Apply(picture, [](auto& i) { i.Effect_GaussianBlur(1); }), twoPasses));
  EXPECT_TRUE(test::SamePixels(Apply(picture, [](auto& i) { i.Effect_GaussianBlur(0); }),
                               Apply(picture, [](auto& i) { i.Effect_SplitBlur(3); })));
  EXPECT_TRUE(test::SamePixels(Apply(picture, [](auto& i) { i.Effect_GaussianBlur(-1); }), picture));
  // No pass, so no range error even on a picture too small for one.
  EXPECT_NO_THROW(Apply(test::Pattern(2, 2), [](auto& i) { i.Effect_GaussianBlur(-1); }));
}

TEST(Mosaic, BlocksTakeTheirOriginsColour) {
  const TBitmap picture = test::Pattern(3, 3);
  TBitmap out = Apply(picture, [](auto& i) { i.Effect_Mosaic(2); });
  const struct { int x, y, fromX, fromY; } cases[] = {
      {0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {1, 1, 0, 0}, {2, 0, 2, 0},
      {2, 1, 2, 0}, {0, 2, 0, 2}, {1, 2, 0, 2}, {2, 2, 2, 2}};
  for (const auto& c : cases) EXPECT_EQ(At(out, c.x, c.y), At(picture, c.fromX, c.fromY)) << c.x << "," << c.y;
  for (int s : {1, 0, -5})
    EXPECT_TRUE(test::SamePixels(Apply(picture, [=](auto& i) { i.Effect_Mosaic(s); }), picture)) << s;
  // A block larger than the picture paints it all in the top-left colour.
  TBitmap whole = Apply(picture, [](auto& i) { i.Effect_Mosaic(0x7FFFFFFF); });
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(At(whole, x, y), At(picture, 0, 0));
}

TEST(Mosaic, EmptyPictureFails) {
  TProEffectImage image;
  EXPECT_THROW(image.Effect_Mosaic(4), EInvalidGraphicOperation);
  ASSERT_NE(image.PictureBitmap(), nullptr);
  EXPECT_TRUE(image.PictureBitmap()->Empty());
}

TEST(Emboss, PlainPictureBecomesMidGreyButItsLastRowAndColumns) {
  TBitmap out = Apply(Solid(7, 4, Grey(60)), [](auto& i) { i.Effect_Emboss(); });
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x)
      EXPECT_EQ(At(out, x, y), (y < 3 && x < 4) ? Grey(127) : Grey(60)) << x << "," << y;
}

TEST(Emboss, ReadsTheOldDiagonalNeighbour) {
  // (0, 0) mixes with (3, 1), and (0, 1)... is in the last row and stays.
  const TBitmap picture = Make(4, 2, [](int x, int y) { return x == 3 && y == 1 ? Px{10, 100, 255} : Px{200, 50, 0}; });
  TBitmap out = Apply(picture, [](auto& i) { i.Effect_Emboss(); });
  EXPECT_EQ(At(out, 0, 0), (Px{(200 + 245) >> 1, (50 + 155) >> 1, (0 + 0) >> 1}));
  EXPECT_EQ(At(out, 1, 0), (Px{200, 50, 0}));
  EXPECT_TRUE(test::SamePixels(Apply(test::Pattern(3, 5), [](auto& i) { i.Effect_Emboss(); }), test::Pattern(3, 5)));
}

TEST(Trace, PlainPictureAndZeroPassesMarkNothing) {
  const TBitmap plain = Solid(6, 5, Px{10, 200, 30});
  EXPECT_TRUE(test::SamePixels(Apply(plain, [](auto& i) { i.Effect_Trace(2); }), plain));
  const TBitmap pattern = test::Pattern(6, 5);
  EXPECT_TRUE(test::SamePixels(Apply(pattern, [](auto& i) { i.Effect_Trace(0); }), pattern));
}

TEST(Trace, BoundaryBetweenWhiteAndRedColumns) {
  const int W = 7, H = 4;
  for (int k = 2; k <= W - 2; ++k) {
    const TBitmap picture = Make(W, H, [=](int x, int) { return x < k ? Grey(255) : Px{0, 0, 255}; });
    for (int amount : {1, 2, 3, 50}) {
      TBitmap out = Apply(picture, [=](auto& i) { i.Effect_Trace(amount); });
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          const bool black = x == k - 1 && (amount >= 2 || y <= H - 2);
          EXPECT_EQ(At(out, x, y), black ? Grey(0) : At(picture, x, y))
              << "k " << k << " amount " << amount << " at " << x << "," << y;
        }
    }
  }
}

TEST(Trace, NarrowPicturesTestOnlyTheNeighboursThatExist) {
  // One pixel wide: only vertical tests, at column 0. The first difference
  // (row 1 against row 2) marks row 1.
  TBitmap out = Apply(Make(1, 4, [](int, int y) { return y < 2 ? Grey(255) : Grey(0); }),
                      [](auto& i) { i.Effect_Trace(1); });
  EXPECT_EQ(At(out, 0, 1), Grey(0));
  EXPECT_EQ(At(out, 0, 0), Grey(255));
  // One pixel high: no sweep rows at all.
  const TBitmap row = Make(5, 1, [](int x, int) { return Grey(x * 60); });
  EXPECT_TRUE(test::SamePixels(Apply(row, [](auto& i) { i.Effect_Trace(2); }), row));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The trace rule exactly as written: an 8-bit index copy, and every pass
// with its sweeps, one test at a time.
TBitmap LiteralTrace(TBitmap B, int amount) {
  TBitmap I = B;
  I.SetPixelBits(8);
  const int W = B.Width(), H = B.Height();
  bool edgeSeen = false;
  uint8_t first = 0;
  auto mark = [&](int x, int y) { uint8_t* p = B.PixelRow(y) + 3 * x; p[0] = p[1] = p[2] = 0; };
  auto test = [&](int x, int y, int ax, int ay) {
    const uint8_t c = I.PixelRow(y)[x], a = I.PixelRow(ay)[ax];
    if (a == c) return;
    if (!edgeSeen) { first = a; edgeSeen = true; mark(x, y); }
    else if (c == first) mark(ax, ay);
    else mark(x, y);
  };
  for (int p = 1; p <= amount; ++p) {
    for (int y = 0; y <= H - 2; ++y)
      for (int x = 0; x <= (W >= 3 ? W - 3 : 0); ++x) {
        if (W >= 2) test(x, y, x + 1, y);
        test(x, y, x, y + 1);
      }
    if (p < 2) continue;
    for (int y = H - 1; y >= 1; --y)
      for (int x = W - 1; x >= (W >= 3 ? 2 : W - 1); --x) {
        if (W >= 2) test(x, y, x - 1, y);
        test(x, y, x, y - 1);
      }
  }
  return B;
}

TEST(Trace, AgreesWithEveryPassMadeOneByOne) {
  uint32_t seed = 7;
  auto noisy = [&](int w, int h, int colours) {
    return Make(w, h, [&](int, int) {
      seed = seed * 1103515245u + 12345u;
      const int v = static_cast<int>((seed >> 16) % colours) * (255 / (colours - 1));
      return Px{v, 255 - v, v / 2};
    });
  };
  std::vector<TBitmap> pictures = {noisy(9, 7, 3), noisy(13, 5, 2), noisy(2, 6, 3), noisy(1, 5, 2),
                                   noisy(16, 16, 6)};
  // Edges that only the backward sweep meets: the last column differs
  // between rows, nothing else does.
  pictures.push_back(Make(6, 4, [](int x, int y) { return x == 5 && y % 2 ? Grey(0) : Grey(255); }));
  for (const TBitmap& picture : pictures)
    for (int amount : {1, 2, 3, 4})
      EXPECT_TRUE(test::SamePixels(Apply(picture, [=](auto& i) { i.Effect_Trace(amount); }),
                                   LiteralTrace(picture, amount)))
          << picture.Width() << "x" << picture.Height() << " amount " << amount;
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(GaussianBlur, HugeAmountsEndOnceThePictureSettles) {
  // The blur floors every average, so the picture reaches a state that a
  // further pass leaves unchanged; the remaining passes are then skipped
  // without changing the result.
  const TBitmap picture = test::Pattern(12, 9);
  TBitmap settled = picture;
  int passes = 0;
  while (SplitBlurPass(settled, 3)) ASSERT_LT(++passes, 10000);
  EXPECT_TRUE(test::SamePixels(Apply(picture, [](auto& i) { i.Effect_GaussianBlur(0x7FFFFFFF); }), settled));
  TBitmap again = settled;
  EXPECT_FALSE(SplitBlurPass(again, 3));
  EXPECT_TRUE(test::SamePixels(again, settled));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// One split-blur pass pixel by pixel in the documented order, reading the
// surface as it is at each moment.
void LiteralSplitBlurPass(TBitmap& B, int d) {
  const int W = B.Width(), H = B.Height();
  for (int y = 0; y < H; ++y) {
    const int up = y - d >= 0 ? y - d : y, down = y + d < H ? y + d : H - y;
    for (int x = 0; x < W; ++x) {
      const int left = x - d >= 0 ? x - d : x;
      const int right = x + d < W ? x + d : std::min(W - x, W - 1);
      const test::Px a = test::At(B, left, up), b = test::At(B, left, down), c = test::At(B, right, up),
                     e = test::At(B, right, down);
      uint8_t* p = B.PixelRow(y) + 3 * x;
      p[0] = static_cast<uint8_t>((a.b + b.b + c.b + e.b) >> 2);
      p[1] = static_cast<uint8_t>((a.g + b.g + c.g + e.g) >> 2);
      p[2] = static_cast<uint8_t>((a.r + b.r + c.r + e.r) >> 2);
    }
  }
}

TEST(SplitBlur, EveryDistanceMatchesThePassPixelByPixel) {
  // Wide enough for the rows read only from other rows to take the byte
  // stencil, with the edge columns and the rows that read themselves around it.
  // Both the processor's vector paths and the plain one; 200 wide leaves
  // the widest steps a tail.
  for (bool plain : {false, true}) {
    SetPlainPathsOnly(plain);
    for (auto [w, h] : {std::pair{41, 23}, std::pair{8, 30}, std::pair{64, 9}, std::pair{200, 7}})
      for (int d : {1, 2, 3, 5, 8}) {
        if (d >= h) continue;
        TBitmap expected = test::Pattern(w, h);
        LiteralSplitBlurPass(expected, d);
        EXPECT_TRUE(test::SamePixels(Apply(test::Pattern(w, h), [=](auto& i) { i.Effect_SplitBlur(d); }), expected))
            << w << "x" << h << " distance " << d << (plain ? " plain" : "");
      }
  }
  SetPlainPathsOnly(false);
}

}  // namespace
}  // namespace qv
