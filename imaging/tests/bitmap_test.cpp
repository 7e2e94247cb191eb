#include "imaging/bitmap.h"

#include <gtest/gtest.h>

#include "imaging/color.h"
#include "imaging/exceptions.h"

namespace qv {
namespace {

TEST(Bitmap, RowsOf24BitPicturesArePaddedToFourBytes) {
  const struct { int width; size_t bytes; } cases[] = {{1, 4}, {4, 12}, {5, 16}, {885, 2656}, {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(RowBytes(c.width, 24), c.bytes) << c.width;
  EXPECT_EQ(RowBytes(9, 1), 4u);
  EXPECT_EQ(RowBytes(33, 1), 8u);
  EXPECT_EQ(RowBytes(3, 8), 4u);
}

TEST(Bitmap, ANewSurfaceIsWhiteOnceBothSizesAreSetInEitherOrder) {
  for (bool widthFirst : {true, false}) {
    TBitmap b;
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    if (widthFirst) {
      b.SetWidth(3);
      b.SetHeight(2);
    } else {
      b.SetHeight(2);
      b.SetWidth(3);
    }
    b.SetPixelBits(24);
    ASSERT_EQ(b.RowSize(), 12u);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 9; ++x) EXPECT_EQ(b.PixelRow(y)[x], 255) << x << "," << y;
  }
}

TEST(Bitmap, TheDeviceFormatHoldsEveryColourExactly) {
  TBitmap b;
  b.SetSize(256, 3);
  EXPECT_EQ(b.PixelFormat(), TPixelFormat::pfDevice);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 256; ++x) b.SetPixelRgb(x, y, MakeRgb(x, 255 - x, (x * 7 + y) & 0xFF));
  b.SetPixelBits(24);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 256; ++x) {
      const uint8_t* p = b.PixelRow(y) + 3 * x;
      ASSERT_EQ(p[0], (x * 7 + y) & 0xFF);
      ASSERT_EQ(p[1], 255 - x);
      ASSERT_EQ(p[2], x);
    }
}

TEST(Bitmap, SettingTheSameFormatAgainLeavesTheBytes) {
  TBitmap b;
  b.SetSize(5, 2);
  b.SetPixelBits(24);
  b.PixelRow(0)[15] = 0xAB;  // a padding byte: only a real conversion would drop it
  b.PixelRow(1)[0] = 7;
  b.SetPixelBits(24);
  EXPECT_EQ(b.PixelRow(0)[15], 0xAB);
  EXPECT_EQ(b.PixelRow(1)[0], 7);
}

TEST(Bitmap, RowsLieBottomUpInMemory) {
  TBitmap b;
  b.SetSize(1, 3);
  b.SetPixelBits(24);
  b.PixelRow(0)[0] = 10;  // top row
  b.PixelRow(2)[0] = 30;  // bottom row
  const std::vector<uint8_t>& bits = b.Bits();
  ASSERT_EQ(bits.size(), 12u);
  EXPECT_EQ(bits[0], 30);
  EXPECT_EQ(bits[8], 10);
}

TEST(Bitmap, RowsOutsideThePictureAreAnError) {
  TBitmap b;
  b.SetSize(2, 2);
  for (int row : {-1, 2}) {
    try {
      b.PixelRow(row);
      ADD_FAILURE() << row;
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_STREQ(e.what(), "Scan line index out of range");
    }
  }
  TBitmap empty;
  EXPECT_THROW(empty.PixelRow(0), EInvalidGraphicOperation);
}

TEST(Bitmap, EightBitsTakeTheNearestHalftoneEntryAndEqualColoursShareIt) {
  TBitmap b;
  b.SetSize(4, 2);
  b.SetPixelBits(24);
  const uint32_t colours[4] = {MakeRgb(255, 255, 255), MakeRgb(250, 3, 1), MakeRgb(0, 0, 0),
                               MakeRgb(100, 149, 237)};
  for (int x = 0; x < 4; ++x) {
    b.SetPixelRgb(x, 0, colours[x]);
    b.SetPixelRgb(x, 1, colours[x]);
  }
  b.SetPixelBits(8);
  EXPECT_EQ(b.RowSize(), 4u);
  const auto& pal = HalftonePalette();
  for (int x = 0; x < 4; ++x) {
    uint8_t index = b.PixelRow(0)[x];
    EXPECT_EQ(index, b.PixelRow(1)[x]);
    // Brute force: no entry is nearer.
    int best = INT32_MAX;
    for (const auto& e : pal) {
      int dr = e.Red - RedOf(colours[x]), dg = e.Green - GreenOf(colours[x]), db = e.Blue - BlueOf(colours[x]);
      best = std::min(best, dr * dr + dg * dg + db * db);
    }
    const auto& e = pal[index];
    int dr = e.Red - RedOf(colours[x]), dg = e.Green - GreenOf(colours[x]), db = e.Blue - BlueOf(colours[x]);
    EXPECT_EQ(dr * dr + dg * dg + db * db, best) << x;
  }
  EXPECT_EQ(pal[b.PixelRow(0)[0]], (TRGBQuad{255, 255, 255, 0}));
  EXPECT_EQ(pal[b.PixelRow(0)[2]], (TRGBQuad{0, 0, 0, 0}));
}

TEST(Halftone, FastMatchingAgreesWithAFullSearchOverTheColourCube) {
  const auto& pal = HalftonePalette();
  std::vector<TRGBQuad> all(pal.begin(), pal.end());
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 7)
        ASSERT_EQ(NearestHalftoneIndex(r, g, b), NearestPaletteIndex(all, r, g, b)) << r << "," << g << "," << b;
}

TEST(Bitmap, ResizingKeepsTheOverlapAndWhitensTheRest) {
  TBitmap b;
  b.SetSize(2, 2);
  b.SetPixelBits(24);
  b.SetPixelRgb(0, 0, 0x000000);
  b.SetPixelRgb(1, 1, 0x0000FF);
  b.SetSize(3, 1);
  EXPECT_EQ(b.GetPixelRgb(0, 0), 0x000000u);
  EXPECT_EQ(b.GetPixelRgb(1, 0), 0xFFFFFFu);
  EXPECT_EQ(b.GetPixelRgb(2, 0), 0xFFFFFFu);
}

}  // namespace
}  // namespace qv
