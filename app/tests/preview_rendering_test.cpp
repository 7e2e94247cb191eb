#include "app/preview_rendering.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

struct RefColor {
  int r, g, b;
};
struct RefPoint {
  int x, y, r, g, b;
};
#include "imaging/tests/reference/preview_expected.inc"

constexpr int kW = 885, kH = 147;

RefColor At(TBitmap& b, int x, int y) {
  const uint8_t* p = b.PixelRow(y) + 3 * x;
  return RefColor{p[2], p[1], p[0]};
}

::testing::AssertionResult SameColor(RefColor a, RefColor e) {
  if (a.r == e.r && a.g == e.g && a.b == e.b) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << a.r << "," << a.g << "," << a.b << " want "
                                       << e.r << "," << e.g << "," << e.b;
}

#define EXPECT_COLOR(actual, expected) EXPECT_TRUE(SameColor((actual), (expected)))

TEST(PreviewRendering, DefaultPictureRunsFromSkyBlueAtTheTopToBlueAtTheBottom) {
  TKelvoGradient g;
  TBitmap b = RenderPreview(g, PreviewSettings{}, kW, kH);
  ASSERT_EQ(b.Width(), kW);
  ASSERT_EQ(b.Height(), kH);
  EXPECT_EQ(b.PixelBits(), 24);
  EXPECT_COLOR(At(b, 0, 0), (RefColor{0xA6, 0xCA, 0xF0}));
  EXPECT_COLOR(At(b, kW - 1, kH - 1), (RefColor{0, 0, 255}));
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; x += (x == 0 ? 1 : 97)) EXPECT_COLOR(At(b, x, y), kVerticalRows[y]);
  // Every pixel of a row is the row's colour.
  for (int y = 0; y < kH; ++y) {
    const uint8_t* row = b.PixelRow(y);
    for (int x = 1; x < kW; ++x) ASSERT_EQ(0, memcmp(row, row + 3 * x, 3)) << x << "," << y;
  }
}

TEST(PreviewRendering, ReverseSwapsTheEnds) {
  TKelvoGradient g;
  PreviewSettings s;
  s.Reverse = true;
  TBitmap b = RenderPreview(g, s, kW, kH);
  EXPECT_COLOR(At(b, 0, 0), (RefColor{0, 0, 255}));
  EXPECT_COLOR(At(b, 0, kH - 1), (RefColor{0xA6, 0xCA, 0xF0}));
  for (int y = 0; y < kH; ++y) EXPECT_COLOR(At(b, kW / 2, y), kVerticalReverseRows[y]);
}

TEST(PreviewRendering, HorizonalSpreadsFromTheTopLeftPixel) {
  TKelvoGradient g;
  PreviewSettings s;
  s.KindIndex = 1;
  TBitmap b = RenderPreview(g, s, kW, kH);
  EXPECT_EQ(g.GradientType(), gtRadial);
  for (const RefPoint& p : kRadialPoints) EXPECT_COLOR(At(b, p.x, p.y), (RefColor{p.r, p.g, p.b})) << p.x << "," << p.y;
  s.Reverse = true;
  b = RenderPreview(g, s, kW, kH);
  for (const RefPoint& p : kRadialReversePoints)
    EXPECT_COLOR(At(b, p.x, p.y), (RefColor{p.r, p.g, p.b})) << p.x << "," << p.y;
  EXPECT_COLOR(At(b, 0, 0), (RefColor{0, 0, 255}));
  EXPECT_COLOR(At(b, kW - 1, kH - 1), (RefColor{0xA6, 0xCA, 0xF0}));
}

// First colour clActiveCaption (10, 36, 106 in the classic scheme), second
// clLime, reversed: 1 - y / 146 is taken of the unrounded position, so rows
// where green's exact value is a tie (row 43: 255 - 219 * 103 / 146 = 100.5)
// round to the even byte.
TEST(PreviewRendering, ReversedPositionIsRoundedOnceAfterTheReversal) {
  TKelvoGradient g;
  PreviewSettings s{SystemColor(2), 0x00FF00, 0, true};  // clActiveCaption, clLime
  TBitmap b = RenderPreview(g, s, kW, kH);
  const struct { int row, green; } ties[] = {{43, 100}, {51, 112}, {59, 124}};
  for (const auto& t : ties) EXPECT_EQ(At(b, 0, t.row).g, t.green) << "row " << t.row;
  for (int y = 0; y < kH; ++y)
    EXPECT_COLOR(At(b, (y * 37) % kW, y), kLimeCaptionVerticalReverseRows[y]) << "row " << y;
  s.KindIndex = 1;
  b = RenderPreview(g, s, kW, kH);
  for (const RefPoint& p : kLimeCaptionRadialReversePoints)
    EXPECT_COLOR(At(b, p.x, p.y), (RefColor{p.r, p.g, p.b})) << p.x << "," << p.y;
}

TEST(PreviewRendering, SetBGColorsPutsTheSecondColourFirstAndKeepsTheKindForNoSelection) {
  TKelvoGradient g;
  PreviewSettings s{0x0000FF, 0x00FF00, 1, true};
  SetBGColors(g, s);
  ASSERT_EQ(g.Colors().Count(), 2);
  EXPECT_EQ(g.Colors().Items(0).Color(), 0x00FF00);
  EXPECT_EQ(g.Colors().Items(0).Position(), 0.0);
  EXPECT_EQ(g.Colors().Items(1).Color(), 0x0000FF);
  EXPECT_EQ(g.Colors().Items(1).Position(), 1.0);
  EXPECT_EQ(g.Colors().Items(1).Alpha(), 255);
  EXPECT_EQ(g.GradientType(), gtRadial);
  EXPECT_TRUE(g.Reverse());
  for (int kind : {-1, 2}) {
    s.KindIndex = kind;
    s.Reverse = false;
    SetBGColors(g, s);
    EXPECT_EQ(g.GradientType(), gtRadial) << kind;
    EXPECT_FALSE(g.Reverse());
    EXPECT_EQ(g.Colors().Count(), 2);
  }
  s.KindIndex = 0;
  SetBGColors(g, s);
  EXPECT_EQ(g.GradientType(), gtLinear);
}

TEST(PreviewRendering, TogglingReverseTwiceGivesTheSamePictureAgain) {
  TKelvoGradient g;
  PreviewSettings s;
  s.KindIndex = 1;
  TBitmap first = RenderPreview(g, s, 120, 30);
  s.Reverse = true;
  RenderPreview(g, s, 120, 30);
  s.Reverse = false;
  TBitmap again = RenderPreview(g, s, 120, 30);
  EXPECT_EQ(first.Bits(), again.Bits());
}

TEST(PreviewRendering, SmallAndScaledSurfaces) {
  TKelvoGradient g;
  PreviewSettings s;
  // One pixel: position 0 for either kind, so the second colour.
  for (int kind : {0, 1}) {
    s.KindIndex = kind;
    TBitmap b = RenderPreview(g, s, 1, 1);
    EXPECT_COLOR(At(b, 0, 0), (RefColor{0xA6, 0xCA, 0xF0}));
  }
  // At 144 pixels per inch the preview is 1328 x 221: still sky blue to blue.
  s.KindIndex = 0;
  TBitmap big = RenderPreview(g, s, 1328, 221);
  EXPECT_COLOR(At(big, 1327, 0), (RefColor{0xA6, 0xCA, 0xF0}));
  EXPECT_COLOR(At(big, 0, 220), (RefColor{0, 0, 255}));
  // An empty preview renders an empty 24-bit picture without error.
  TBitmap none = RenderPreview(g, s, 0, 0);
  EXPECT_EQ(none.Width(), 0);
  EXPECT_EQ(none.PixelBits(), 24);
}

}  // namespace
}  // namespace qv
