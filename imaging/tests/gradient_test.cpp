#include "imaging/gradient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "imaging/exceptions.h"

namespace qv {
namespace {

std::string ErrorText(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "(no error)";
}

// Blue, green, red of pixel (x, y) of a 24-bit surface, as 0xRRGGBB for readability.
uint32_t Pixel(TBitmap& b, int x, int y) {
  const uint8_t* p = b.PixelRow(y) + 3 * x;
  return (p[2] << 16) | (p[1] << 8) | p[0];
}

TBitmap Filled(int w, int h, uint8_t blue, uint8_t green, uint8_t red) {
  TBitmap b;
  b.SetSize(w, h);
  b.SetPixelFormat(TPixelFormat::pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = b.PixelRow(y) + 3 * x;
      p[0] = blue, p[1] = green, p[2] = red;
    }
  return b;
}

TEST(GradientStop, PositionSetterAcceptsZeroToOneAndKeepsTheOldValueOtherwise) {
  TKelvoGradient g;
  TKelvoGradientColor& s = g.Colors().Add();
  s.SetPosition(0.25);
  EXPECT_EQ(ErrorText([&] { s.SetPosition(-0.1); }), "Position must be more than zero.");
  EXPECT_EQ(ErrorText([&] { s.SetPosition(std::nan("")); }), "Position must be more than zero.");
  EXPECT_EQ(ErrorText([&] { s.SetPosition(1.5); }), "Position must be less than 1.");
  EXPECT_EQ(s.Position(), 0.25);
  s.SetPosition(0);
  EXPECT_EQ(s.Position(), 0);
  s.SetPosition(1);
  EXPECT_EQ(s.Position(), 1);
}

TEST(GradientStop, StartsWithTheDeclaredValues) {
  TKelvoGradient g;
  const TKelvoGradientColor& s = g.Colors().Add();
  EXPECT_EQ(s.Color(), 0xFFFFFF);
  EXPECT_EQ(s.Alpha(), 255);
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(s.Name(), "Kelvo Gradient Color");
  EXPECT_EQ(s.DisplayName(), "Kelvo Gradient Color");
  EXPECT_TRUE(s.Visible());
  EXPECT_EQ(g.GradientType(), gtLinear);
  EXPECT_FALSE(g.Reverse());
  EXPECT_EQ(g.Angle(), 0);
  EXPECT_EQ(ErrorText([&] { g.Colors().Items(1); }), "List index out of bounds (1)");
}

class NotAStop : public TPersistent {
 public:
  const char* ClassName() const override { return "TFont"; }
};

TEST(GradientStop, AssignCopiesEverythingButTheNameAndRefusesOtherSources) {
  TKelvoGradient g;
  TKelvoGradientColor& a = g.Colors().Add();
  TKelvoGradientColor& b = g.Colors().Add();
  a.SetColor(0x123456);
  a.SetAlpha(7);
  a.SetPosition(0.75);
  a.SetVisible(false);
  a.SetName("first");
  b.SetName("second");
  b.Assign(&a);
  EXPECT_EQ(b.Color(), 0x123456);
  EXPECT_EQ(b.Alpha(), 7);
  EXPECT_EQ(b.Position(), 0.75);
  EXPECT_FALSE(b.Visible());
  EXPECT_EQ(b.Name(), "second");

  NotAStop other;
  EXPECT_EQ(ErrorText([&] { b.Assign(&other); }), "Cannot assign a TFont to a TKelvoGradientColor");
  EXPECT_EQ(ErrorText([&] { b.Assign(nullptr); }), "Cannot assign a nil to a TKelvoGradientColor");
  EXPECT_THROW(b.Assign(nullptr), EConvertError);
}

TEST(Gradient, AngleIsReducedIntoOneTurn) {
  TKelvoGradient g;
  const struct { double in, out; } cases[] = {
      {360, 0}, {-90, 270}, {725, 5}, {359.5, 359.5}, {-720, 0}, {1e300, std::fmod(1e300, 360.0)}};
  for (const auto& c : cases) {
    g.SetAngle(c.in);
    EXPECT_EQ(g.Angle(), c.out) << c.in;
  }
  g.SetAngle(45);
  EXPECT_THROW(g.SetAngle(std::numeric_limits<double>::infinity()), EInvalidOp);
  EXPECT_EQ(g.Angle(), 45);
}

TEST(Gradient, HomePageIsFixedAndCannotBeWritten) {
  TKelvoGradient g;
  std::string page = g.HomePage();
  EXPECT_EQ(page.rfind("https://", 0), 0u);
  g.SetHomePage("elsewhere");
  EXPECT_EQ(g.HomePage(), page);
}

TEST(Gradient, SortColorsKeepsTheExchangeSortOrderForEqualPositions) {
  TKelvoGradient g;
  g.Colors().Add().SetPosition(0.5);  // A
  g.Colors().Add().SetPosition(0.5);  // B
  g.Colors().Add().SetPosition(0.2);  // C
  g.Colors().Add().SetVisible(false);
  g.SortColors();
  EXPECT_EQ(g.SortedIndex(), (std::vector<int32_t>{2, 1, 0}));
}

TEST(Gradient, EqualPositionsPaintTheStopTheSortPutsFirst) {
  // A (red) and B (green) at 0.5, C (blue) at 0.2: order C, B, A. With a
  // handler supplying positions, 0.5 takes B; 0.35 lies halfway from C to B;
  // 0.8 is past every stop and stays as it was.
  TKelvoGradient g;
  g.Colors().Add().SetColor(0x0000FF);
  g.Colors().Items(0).SetPosition(0.5);
  g.Colors().Add().SetColor(0x00FF00);
  g.Colors().Items(1).SetPosition(0.5);
  g.Colors().Add().SetColor(0xFF0000);
  g.Colors().Items(2).SetPosition(0.2);
  g.SetGradientType(gtCustom);
  const double positions[3] = {0.5, 0.35, 0.8};
  g.SetOnColorPixel([&](TPoint pixel, double& p) { p = positions[pixel.X]; });
  TBitmap b = Filled(3, 1, 1, 2, 3);
  g.PaintGradient(0, 0, b);
  EXPECT_EQ(Pixel(b, 0, 0), 0x00FF00u);
  // 0.35 is 0.15/0.3 of the way: green 0 -> 255 gives (0.15 * 255) / 0.3 = 127.5,
  // which as a double is a hair below (0.35 - 0.2 is inexact) -> 127; blue 255 -> 0
  // gives 127.5 + a hair -> 128.
  EXPECT_EQ(Pixel(b, 1, 0), 0x007F80u);
  EXPECT_EQ(Pixel(b, 2, 0), 0x030201u);
}

TEST(Gradient, WithoutVisibleStopsOnlyConvertsTheSurface) {
  TKelvoGradient g;
  g.Colors().Add().SetVisible(false);
  TBitmap b;
  b.SetSize(4, 3);  // device format, white
  g.PaintGradient(0, 0, b);
  EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf24bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(b, x, y), 0xFFFFFFu);
}

TEST(Gradient, OneStopPaintsOnlyThePixelsAtItsExactPosition) {
  TKelvoGradient g;
  g.Colors().Add().SetColor(0x000000);
  g.Colors().Items(0).SetPosition(0.5);
  TBitmap b = Filled(1, 5, 9, 9, 9);  // rows at 0, 0.25, 0.5, 0.75, 1
  g.PaintGradient(0, 0, b);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(Pixel(b, 0, y), y == 2 ? 0u : 0x090909u) << y;
}

TEST(Gradient, LinearOnASingleRowGivesEveryPixelPositionZero) {
  TKelvoGradient g;
  g.Colors().Add().SetColor(0x112233);
  TBitmap b = Filled(6, 1, 0, 0, 0);
  g.PaintGradient(0, 0, b);
  EXPECT_EQ(g.MaxDistance(), 1.0);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(Pixel(b, x, 0), 0x332211u);
}

TEST(Gradient, AngleKindPositionsAroundTheCentre) {
  TKelvoGradient g;
  g.SetGradientType(gtAngle);
  const struct { int x, y; double p; } cases[] = {
      {3, 2, 0.0}, {2, 1, 0.25}, {1, 2, 0.5}, {2, 3, 0.75}, {2, 2, 0.25}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(g.GetColorPosition(c.x, c.y, 2, 2), c.p) << c.x << "," << c.y;
  g.SetAngle(90);
  EXPECT_DOUBLE_EQ(g.GetColorPosition(3, 2, 2, 2), 0.75);
  g.SetReverse(true);
  EXPECT_DOUBLE_EQ(g.GetColorPosition(3, 2, 2, 2), 0.25);
}

TEST(Gradient, ReversedAnglePositionsAreRoundedOnceAfterTheReversal) {
  // Straight below the centre t = (-pi/2 + pi) + pi, each sum held as a
  // double, and p = t / 2pi stays extended: worked in exact rational
  // arithmetic, 1 - p lies more than half a unit of the last place above
  // 0.25, so the reversed position is the double after 0.25. Rounding p to a
  // double first (0.75 exactly) would give 0.25 itself.
  TKelvoGradient g;
  g.SetGradientType(gtAngle);
  g.SetReverse(true);
  const struct { int x, y; double p; } cases[] = {
      {2, 3, 0x1.0000000000001p-2}, {2, 1, 0.75}, {2, 2, 0.75}, {1, 2, 0.5}, {3, 2, 1.0}};
  for (const auto& c : cases) EXPECT_EQ(g.GetColorPosition(c.x, c.y, 2, 2), c.p) << c.x << "," << c.y;
}

TEST(Gradient, CustomKindCallsTheHandlerOncePerPixelInPaintingOrder) {
  TKelvoGradient g;
  g.SetGradientType(gtCustom);
  EXPECT_EQ(g.GetColorPosition(5, 5, 0, 0), 0.0);
  g.SetReverse(true);
  EXPECT_EQ(g.GetColorPosition(5, 5, 0, 0), 1.0);
  g.SetReverse(false);

  std::vector<TPoint> calls;
  g.SetOnColorPixel([&](TPoint pixel, double& p) {
    EXPECT_EQ(p, 0.0);
    calls.push_back(pixel);
    p = 0.5;
  });
  g.Colors().Add().SetPosition(0.5);
  TBitmap b = Filled(3, 2, 0, 0, 0);
  g.PaintGradient(7, 7, b);
  const std::vector<TPoint> expected = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}};
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(Pixel(b, 2, 1), 0xFFFFFFu);
}

TEST(Gradient, AHandlerErrorLeavesWhatWasAlreadyPainted) {
  TKelvoGradient g;
  g.SetGradientType(gtCustom);
  g.Colors().Add().SetColor(0x000000);
  int n = 0;
  g.SetOnColorPixel([&](TPoint, double&) {
    if (++n == 4) throw EAbort("stop");
  });
  TBitmap b = Filled(2, 2, 50, 50, 50);
  EXPECT_THROW(g.PaintGradient(0, 0, b), EAbort);
  EXPECT_EQ(Pixel(b, 0, 0), 0u);
  EXPECT_EQ(Pixel(b, 1, 0), 0u);
  EXPECT_EQ(Pixel(b, 0, 1), 0u);
  EXPECT_EQ(Pixel(b, 1, 1), 0x323232u);
}

TEST(Gradient, BlendChannelTruncatesTheWeightedMean) {
  EXPECT_EQ(TKelvoGradient::BlendChannel(10, 200, 255), 200);
  EXPECT_EQ(TKelvoGradient::BlendChannel(10, 200, 0), 10);
  EXPECT_EQ(TKelvoGradient::BlendChannel(0, 255, 128), 128);       // 32640 / 255 = 128
  EXPECT_EQ(TKelvoGradient::BlendChannel(255, 0, 1), 254);         // 254 * 255 / 255... = 254
  EXPECT_EQ(TKelvoGradient::BlendChannel(100, 200, 77), 130);      // (15400 + 17800) / 255 = 130.19
}

TEST(Gradient, InterpolatedAlphaBlendsIntoTheOldPixel) {
  // Stops black/alpha 0 at 0 and white/alpha 255 at 1 over a 3-row surface
  // of grey 100: row 1 has position 0.5, colour 127.5 -> 128, alpha 127.5 -> 128;
  // (128 * 128 + 100 * 127) div 255 = 114.
  TKelvoGradient g;
  g.Colors().Add().SetColor(0x000000);
  g.Colors().Items(0).SetAlpha(0);
  g.Colors().Add().SetColor(0xFFFFFF);
  g.Colors().Items(1).SetPosition(1);
  TBitmap b = Filled(2, 3, 100, 100, 100);
  g.PaintGradient(0, 0, b);
  EXPECT_EQ(Pixel(b, 0, 0), 0x646464u);  // alpha 0: untouched
  EXPECT_EQ(Pixel(b, 1, 1), 0x727272u);
  EXPECT_EQ(Pixel(b, 0, 2), 0xFFFFFFu);
}

uint32_t g_face = 0x00112233;
uint32_t TestLookup(int index) { return index == 15 ? g_face : 0; }

TEST(Gradient, SystemColourStopsAreResolvedWhenPainting) {
  SetSysColorLookup(&TestLookup);
  TKelvoGradient g;
  g.Colors().Add().SetColor(clBtnFace);
  TBitmap b = Filled(1, 1, 0, 0, 0);
  g.PaintGradient(0, 0, b);
  EXPECT_EQ(Pixel(b, 0, 0), 0x332211u);
  g_face = 0x00445566;
  g.PaintGradient(0, 0, b);
  EXPECT_EQ(Pixel(b, 0, 0), 0x665544u);
  SetSysColorLookup(nullptr);
}

// The painting shortcuts must give exactly the bytes of the plain per-pixel
// rule: compare them with GetPixelColor + BlendChannel done pixel by pixel.
void ExpectSameAsPerPixel(TKelvoGradient& g, int w, int h, int cx, int cy) {
  TBitmap painted = Filled(w, h, 40, 90, 200);
  g.PaintGradient(cx, cy, painted);
  TBitmap reference = Filled(w, h, 40, 90, 200);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = reference.PixelRow(y);
    for (int x = 0; x < w; ++x) {
      uint32_t c = g.GetPixelColor(x, y, cx, cy);
      uint8_t a = c & 0xFF;
      row[3 * x] = TKelvoGradient::BlendChannel(row[3 * x], c >> 24, a);
      row[3 * x + 1] = TKelvoGradient::BlendChannel(row[3 * x + 1], (c >> 16) & 0xFF, a);
      row[3 * x + 2] = TKelvoGradient::BlendChannel(row[3 * x + 2], (c >> 8) & 0xFF, a);
    }
  }
  ASSERT_EQ(painted.Bits(), reference.Bits()) << "size " << w << "x" << h << " centre " << cx << "," << cy;
}

TEST(Gradient, ShortcutsPaintExactlyWhatThePerPixelRuleGives) {
  struct Stop { TColor color; uint8_t alpha; double pos; };
  const std::vector<std::vector<Stop>> stopSets = {
      {{0xF0CAA6, 255, 0}, {0xFF0000, 255, 1}},
      {{0x0000FF, 255, 0.1}, {0x00FF00, 90, 0.4}, {0x0000FF, 255, 0.4}, {0x123456, 10, 0.9}},
      {{0xFFFFFF, 0, 0}, {0x000000, 255, 1}},
      {{0x808080, 255, 0.3}},
  };
  const struct { int w, h, cx, cy; } shapes[] = {
      {97, 23, 0, 0}, {31, 40, 15, 20}, {50, 7, -30, 100}, {1, 1, 0, 0}, {64, 3, 70, -5}, {2, 90, 1, 45},
      {885, 147, 0, 0}, {300, 200, 150, 40},  // the preview, and a centre inside a wide picture
      // Centres whose mirrored rows and columns end inside the picture, at
      // its edge or beyond it, and the preview's own centre.
      {40, 9, 35, 4}, {17, 5, 16, 2}, {17, 6, 8, 5}, {884, 146, 442, 73}, {885, 147, 442, 73}, {3, 3, 1, 1}};
  for (const auto& stops : stopSets)
    for (auto type : {gtLinear, gtRadial})
      for (bool reverse : {false, true})
        for (const auto& s : shapes) {
          TKelvoGradient g;
          for (const auto& st : stops) {
            auto& c = g.Colors().Add();
            c.SetColor(st.color);
            c.SetAlpha(st.alpha);
            c.SetPosition(st.pos);
          }
          g.SetGradientType(type);
          g.SetReverse(reverse);
          ExpectSameAsPerPixel(g, s.w, s.h, s.cx, s.cy);
        }
}

TEST(Gradient, SlopedLinesAndAnglesPaintPerPixel) {
  TKelvoGradient g;
  g.Colors().Add().SetColor(0x0000FF);
  g.Colors().Add().SetColor(0xFF0000);
  g.Colors().Items(1).SetPosition(1);
  for (double angle : {45.0, 90.0, 180.0, 300.0}) {
    g.SetAngle(angle);
    g.SetGradientType(gtLinear);
    ExpectSameAsPerPixel(g, 20, 11, 3, 4);
    g.SetGradientType(gtAngle);
    ExpectSameAsPerPixel(g, 20, 11, 3, 4);
  }
}

TEST(Gradient, LinearAt45DegreesMeasuresThePerpendicularDistance) {
  // Slope = -tan(45 deg) rounded (-1 or a neighbour); on a 3 x 3 surface with the
  // centre at (0, 0) the farthest pixel is (2, 2) at 4 / sqrt(2) = 2.828...
  TKelvoGradient g;
  g.SetAngle(45);
  TBitmap b;
  b.SetSize(3, 3);
  g.Colors().Add();
  g.PaintGradient(0, 0, b);
  EXPECT_NEAR(g.Slope(), -1.0, 1e-15);
  EXPECT_NEAR(g.MaxDistance(), 2.8284271247461903, 1e-14);
  EXPECT_NEAR(g.GetColorPosition(1, 1, 0, 0), 0.5, 1e-15);
  EXPECT_NEAR(g.GetColorPosition(2, 0, 0, 0), 0.5, 1e-15);
}

}  // namespace
}  // namespace qv
