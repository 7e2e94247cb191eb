// The shadowed caption label with the platform's text: the About window's
// title, byte for byte, and auto-size measuring through GDI. No window is
// needed, so these run without a display.
#include <gtest/gtest.h>

#include <vector>

#include "controls/labelfx.h"
#include "toolkit/gdi_text.h"
#include "toolkit/handles.h"
#include "toolkit/win.h"

namespace qv::win {
namespace {

class GdiLabelTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallPlatformServices(); }
  void TearDown() override {
    SetTextRenderer(nullptr);
    SetSysColorLookup(nullptr);
  }

  static TFont TitleFont() {
    TFont font;
    font.Name = "MS Sans Serif";
    font.Height = 19;
    font.Bold = true;
    font.Color = clBlack;
    return font;
  }

  // The About window's title label, 273 x 32, centred.
  static void MakeTitle(TsLabelFX& label) {
    label.SetAutoSize(false);
    label.SetBounds(0, 0, 273, 32);
    label.SetAlignment(taCenter);
    label.SetFont(TitleFont());
    label.SetCaption("Quorvane");
  }

  static TBitmap Canvas(uint32_t rgb) {
    TBitmap canvas;
    canvas.Allocate(273, 32, TPixelFormat::pf32bit, true);
    FillRect(canvas, TRect{0, 0, 273, 32}, static_cast<TColor>(rgb));
    return canvas;
  }
};

TEST_F(GdiLabelTest, AboutTitleIsWhiteTextOverItsBlurredShadowMovedOneDown) {
  // The text's ink as a plain centred label puts it: white on black.
  TsLabelFX plain;
  MakeTitle(plain);
  plain.Shadow().SetMode(smNone);
  TFont white = TitleFont();
  white.Color = clWhite;
  plain.SetFont(white);
  TBitmap ink = Canvas(0);
  plain.Paint(ink);

  TsLabelFX title;
  MakeTitle(title);
  const uint32_t face = 0xC8D0D4;
  TBitmap shown = Canvas(face);
  title.Paint(shown);

  // Expected picture, worked from the description with the ink above: the
  // mask is the ink moved by (1, 1); four passes of stamp and in-place blur;
  // black blended over the face; then the white text.
  const int w = 273, h = 32, w2 = w + 2;
  auto lit = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < w && y < h && (ink.GetPixelRgb(x, y) & 0xFF) != 0;
  };
  std::vector<int> cell(static_cast<size_t>(w2) * (h + 2), 0);
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (lit(x - 1, y - 1)) cell[(y + 1) * w2 + x + 1] = 255;
    for (int y = 1; y <= h; ++y)
      for (int x = 1; x <= w; ++x) {
        int& c = cell[y * w2 + x];
        c = (cell[y * w2 + x - 1] + cell[y * w2 + x + 1] + cell[(y - 1) * w2 + x] +
             cell[(y + 1) * w2 + x]) >> 2;
      }
  }
  int inkPixels = 0, mismatches = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t got = shown.GetPixelRgb(x, y);
      const uint32_t inked = ink.GetPixelRgb(x, y);
      uint32_t expected;
      if (inked == 0xFFFFFF) {
        expected = 0xFFFFFF;
        ++inkPixels;
      } else if (inked != 0) {
        continue;  // an antialiased edge of the text: its blend with the shadow is GDI's
      } else {
        const int a = cell[(y + 1) * w2 + x + 1];
        auto blend = [&](int shift) { return static_cast<uint32_t>((((face >> shift) & 0xFF) * (255 - a)) >> 8) << shift; };
        expected = blend(0) | blend(8) | blend(16);
      }
      if (got != expected && ++mismatches <= 5)
        ADD_FAILURE() << "(" << x << ", " << y << "): " << std::hex << got << " != " << expected;
    }
  EXPECT_GT(inkPixels, 100);  // the name is really there
  EXPECT_EQ(mismatches, 0);
}

TEST_F(GdiLabelTest, AutoSizeTakesTheTextsExtentPlusTheShadowsRoom) {
  MemoryDC dc;
  Font font(CreateFontW(-19, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif"));
  Selection use(dc.Get(), font.Get());
  RECT extent{0, 0, 0, 0};
  DrawTextW(dc.Get(), L"Quorvane", -1, &extent, DT_CALCRECT | DT_EXPANDTABS);
  ASSERT_GT(extent.right, 0);

  TsLabelFX label;
  label.SetFont(TitleFont());
  label.SetCaption("Quorvane");
  EXPECT_EQ(label.Width(), extent.right + 8);
  EXPECT_EQ(label.Height(), extent.bottom + 8);
}

}  // namespace
}  // namespace qv::win
