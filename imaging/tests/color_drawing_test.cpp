#include <gtest/gtest.h>

#include "imaging/color.h"
#include "imaging/drawing.h"

namespace qv {
namespace {

TEST(ResolveColor, PlainColoursComeBackUnchangedSystemColoursFromTheLookup) {
  EXPECT_EQ(ResolveColor(0x00FF0000), 0x00FF0000u);
  EXPECT_EQ(BlueOf(ResolveColor(0x00FF0000)), 255);
  EXPECT_EQ(RedOf(ResolveColor(0x00FF0000)), 0);
  EXPECT_EQ(ResolveColor(clNone), 0x1FFFFFFFu);
  EXPECT_EQ(RedOf(clNone), 255);
  EXPECT_EQ(BlueOf(clNone), 255);
  EXPECT_EQ(ResolveColor(clDefault), 0x20000000u);
  EXPECT_EQ(RedOf(clDefault) | GreenOf(clDefault) | BlueOf(clDefault), 0);
  // Classic scheme: button face 212, 208, 200; only the lowest byte picks the index.
  EXPECT_EQ(ResolveColor(clBtnFace), MakeRgb(212, 208, 200));
  EXPECT_EQ(ResolveColor(static_cast<TColor>(0xFFAB000F)), MakeRgb(212, 208, 200));
  SetSysColorLookup([](int index) -> uint32_t { return index == 15 ? 0x00ABCDEF : 1; });
  EXPECT_EQ(ResolveColor(clBtnFace), 0x00ABCDEFu);
  SetSysColorLookup(nullptr);
  EXPECT_EQ(ResolveColor(clWindow), 0x00FFFFFFu);
}

// Draws on a 24-bit surface of '.' (white) and returns it as text: '#' for
// the first colour, '+' for the second, '.' for white, '?' otherwise.
std::vector<std::string> Picture(const TBitmap& b, uint32_t one, uint32_t two) {
  std::vector<std::string> rows;
  for (int y = 0; y < b.Height(); ++y) {
    std::string r;
    for (int x = 0; x < b.Width(); ++x) {
      uint32_t c = b.GetPixelRgb(x, y);
      r += c == one ? '#' : c == two ? '+' : c == 0xFFFFFF ? '.' : '?';
    }
    rows.push_back(r);
  }
  return rows;
}

TBitmap White(int w, int h) {
  TBitmap b;
  b.SetSize(w, h);
  b.SetPixelBits(24);
  return b;
}

TEST(Drawing, FillAndFrameStayInsideTheRectangleAndTheSurface) {
  TBitmap b = White(6, 4);
  FillRect(b, TRect{-2, 1, 3, 10}, 0x000000);
  FrameRect(b, TRect{3, 0, 6, 3}, 0x0000FF);
  EXPECT_EQ(Picture(b, 0x000000, 0x0000FF), (std::vector<std::string>{
                                                "...+++",
                                                "###+.+",
                                                "###+++",
                                                "###...",
                                            }));
}

TEST(Drawing, EllipseHasAOnePixelOutlineAndExcludesRightAndBottomEdges) {
  // Bounding rectangle 0..7 x 0..5 (exclusive): centre (3.5, 2.5), radii 3.5 and 2.5.
  // A pixel belongs when (2x+1-7)^2 * 25 + (2y+1-5)^2 * 49 <= 1225: rows 0 and 4
  // hold x = 1..5 (|2x-6| <= 4), rows 1 to 3 x = 0..6.
  TBitmap b = White(9, 6);
  FillEllipse(b, TRect{0, 0, 7, 5}, 0x00FF00, 0x000000);
  EXPECT_EQ(Picture(b, 0x000000, 0x00FF00), (std::vector<std::string>{
                                                ".#####...",
                                                "#+++++#..",
                                                "#+++++#..",
                                                "#+++++#..",
                                                ".#####...",
                                                ".........",
                                            }));
  // A rounder one: 0..9 x 0..9, radius 4.5; row 0 holds |2x-8| <= 4 -> x = 2..6.
  TBitmap c = White(9, 9);
  FillEllipse(c, TRect{0, 0, 9, 9}, 0x00FF00, 0x000000);
  EXPECT_EQ(Picture(c, 0x000000, 0x00FF00)[0], "..#####..");
  EXPECT_EQ(Picture(c, 0x000000, 0x00FF00)[1], ".#+++++#.");
  TBitmap tiny = White(3, 3);
  FillEllipse(tiny, TRect{1, 1, 2, 2}, 0x00FF00, 0x000000);
  EXPECT_EQ(Picture(tiny, 0x000000, 0x00FF00), (std::vector<std::string>{"...", ".#.", "..."}));
  FillEllipse(tiny, TRect{2, 2, 2, 5}, 0x00FF00, 0x000000);  // empty rectangle: nothing
  EXPECT_EQ(tiny.GetPixelRgb(2, 2), 0xFFFFFFu);
}

TEST(Drawing, EllipseRowsMatchThePixelByPixelRule) {
  // The rule pixel by pixel: inside when the pixel's centre lies in or on the
  // inscribed ellipse, outline when a neighbour left, right, above or below
  // is not inside; rectangles partly or wholly off the surface, thin, tiny,
  // of both parities and large enough that the products need 128 bits.
  const TRect rects[] = {{0, 0, 7, 5},       {-3, -2, 12, 9},   {2, 1, 3, 8},     {1, 1, 30, 2},
                         {-40, -40, 50, 45}, {5, 5, 6, 6},      {-9, 3, -1, 7},   {0, 0, 21, 17},
                         {3, -100000, 17, 100011}, {-1000000000, -1000000000, 1000000000, 1000000000}};
  for (const TRect& r : rects) {
    TBitmap drawn = White(21, 17);
    FillEllipse(drawn, r, 0x00FF00, 0x000000);
    const __int128 w = static_cast<int64_t>(r.Right) - r.Left, h = static_cast<int64_t>(r.Bottom) - r.Top;
    auto inside = [&](int64_t x, int64_t y) {
      if (x < r.Left || x >= r.Right || y < r.Top || y >= r.Bottom) return false;
      const __int128 px = 2 * x + 1 - (static_cast<int64_t>(r.Left) + r.Right);
      const __int128 py = 2 * y + 1 - (static_cast<int64_t>(r.Top) + r.Bottom);
      return px * px * h * h + py * py * w * w <= w * w * h * h;
    };
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 21; ++x) {
        uint32_t expected = 0xFFFFFF;
        if (inside(x, y))
          expected = (inside(x - 1, y) && inside(x + 1, y) && inside(x, y - 1) && inside(x, y + 1)) ? 0x00FF00 : 0;
        ASSERT_EQ(drawn.GetPixelRgb(x, y), expected)
            << "rect " << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom << " at " << x << "," << y;
      }
  }
}

TEST(Drawing, EllipseOrdersTheEdgesOfAReversedRectangle) {
  TBitmap ordered = White(9, 6);
  FillEllipse(ordered, TRect{0, 0, 7, 5}, 0x00FF00, 0x000000);
  for (TRect reversed : {TRect{7, 0, 0, 5}, TRect{0, 5, 7, 0}, TRect{7, 5, 0, 0}}) {
    TBitmap b = White(9, 6);
    FillEllipse(b, reversed, 0x00FF00, 0x000000);
    EXPECT_EQ(Picture(b, 0x000000, 0x00FF00), Picture(ordered, 0x000000, 0x00FF00))
        << reversed.Left << "," << reversed.Top << "," << reversed.Right << "," << reversed.Bottom;
  }
}

TEST(Drawing, CopiesAreClippedAndSkipTheTransparentColour) {
  TBitmap src = White(3, 2);
  FillRect(src, TRect{0, 0, 3, 2}, 0x000000);
  src.SetPixelRgb(1, 0, 0x0000FF);
  TBitmap dst = White(4, 3);
  CopySurface(src, dst, 2, 2);
  EXPECT_EQ(Picture(dst, 0x000000, 0x0000FF), (std::vector<std::string>{"....", "....", "..#+"}));
  TBitmap dst2 = White(4, 2);
  FillRect(dst2, TRect{0, 0, 4, 2}, 0x00FF00);
  CopySurfaceTransparent(src, dst2, -1, 0, 0x000000);
  EXPECT_EQ(dst2.GetPixelRgb(0, 0), 0x0000FFu);
  EXPECT_EQ(dst2.GetPixelRgb(1, 0), 0x00FF00u);
  EXPECT_EQ(dst2.GetPixelRgb(0, 1), 0x00FF00u);
}

TEST(Drawing, TheBuiltInTextRendererMeasuresAndDrawsInsideItsRectangle) {
  TextRenderer& t = CurrentTextRenderer();
  TextStyle style;
  style.Font.Height = 8;
  style.Flags = tfCalcRect;
  TRect r{2, 3, 2, 3};
  TBitmap b = White(40, 12);
  t.DrawText(b, "A&bc", r, style);
  EXPECT_EQ(r, (TRect{2, 3, 14, 11}));  // three characters of 4 pixels; "&" is a prefix
  style.Flags = tfNoPrefix | tfCalcRect;
  r = TRect{0, 0, 0, 0};
  t.DrawText(b, "A&bc", r, style);
  EXPECT_EQ(r.Right, 16);
  style.Flags = tfLeft;
  style.Color = 0x000000;
  TRect clip{0, 0, 3, 12};
  t.DrawText(b, "AB", clip, style);
  for (int x = 3; x < 40; ++x)
    for (int y = 0; y < 12; ++y) ASSERT_EQ(b.GetPixelRgb(x, y), 0xFFFFFFu) << x << "," << y;
  EXPECT_EQ(b.GetPixelRgb(0, 4), 0x000000u);
  int underlined = 0;
  EXPECT_EQ(StripPrefixes("Save &As && more&", &underlined), "Save As & more");
  EXPECT_EQ(underlined, 5);
}

}  // namespace
}  // namespace qv
