// The button glyphs: a round badge of the right colour with its mark,
// anti-aliased at the edge, at any size.
#include <gtest/gtest.h>

#include "app/glyphs.h"

namespace qv {
namespace {

struct Pixel {
  int b, g, r, a;
};

Pixel At(const TBitmap& glyph, int x, int y) {
  const uint8_t* p = glyph.PixelRow(y) + x * 4;
  return {p[0], p[1], p[2], p[3]};
}

TEST(Glyphs, BadgesHaveTheirColourTheirMarkAndSoftEdges) {
  struct Case {
    TGlyphKind kind;
    bool (*badgeHue)(const Pixel&);
  } cases[] = {
      {TGlyphKind::gkApply, [](const Pixel& p) { return p.g > p.r + 40 && p.g > p.b + 40; }},
      {TGlyphKind::gkDefault, [](const Pixel& p) { return p.r > p.g + 30 && p.g > p.b + 60; }},
      {TGlyphKind::gkLoad, [](const Pixel& p) { return p.b > p.r + 80 && p.b > p.g + 40; }},
      {TGlyphKind::gkAbout, [](const Pixel& p) { return std::abs(p.r - p.b) < 30 && p.g > 150; }},
      {TGlyphKind::gkExit, [](const Pixel& p) { return p.r > p.g + 100 && p.r > p.b + 100; }},
  };
  for (int size : {32, 48, 64}) {
    for (const Case& c : cases) {
      TBitmap glyph = PaintGlyph(c.kind, size);
      ASSERT_EQ(glyph.Width(), size);
      ASSERT_EQ(glyph.Height(), size);
      ASSERT_EQ(glyph.PixelBits(), 32);
      EXPECT_EQ(At(glyph, 0, 0).a, 0) << "corners are transparent";
      EXPECT_EQ(At(glyph, size - 1, size - 1).a, 0);
      // Badge body just inside the left edge, away from the mark.
      Pixel body = At(glyph, size / 8 + 1, size / 2);
      EXPECT_EQ(body.a, 255);
      EXPECT_TRUE(c.badgeHue(body)) << static_cast<int>(c.kind) << " at " << size;
      // Partly covered pixels at the badge's rim: anti-aliased, not jagged.
      int partial = 0, markPixels = 0;
      for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
          Pixel p = At(glyph, x, y);
          if (p.a > 0 && p.a < 255) ++partial;
          const bool white = p.r > 230 && p.g > 230 && p.b > 230;
          const bool blueMark = c.kind == TGlyphKind::gkAbout && p.b > p.r + 80;
          if (p.a == 255 && (white || blueMark)) ++markPixels;
        }
      }
      EXPECT_GT(partial, size) << "soft edge";
      EXPECT_GT(markPixels, size * size / 40) << "the mark is there";
    }
  }
}

}  // namespace
}  // namespace qv
