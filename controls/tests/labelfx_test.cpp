// The shadowed caption label, drawn with a text renderer whose ink is one
// pixel, so every shadow value can be worked out by hand.
#include "controls/labelfx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace qv {
namespace {

// Draws every caption as a single pixel at (Left + InkX, Top + InkY) of the
// rectangle, in the style's colour scaled by Coverage/255 (an antialiased
// edge); measures every caption as Advance pixels per character and one line
// of LineHeight. Remembers every call.
class DotRenderer final : public TextRenderer {
 public:
  struct Call {
    std::string Text;
    TRect Rect;
    uint32_t Color;
    unsigned Flags;
  };

  void DrawText(TBitmap& surface, const std::string& text, TRect& rect,
                const TextStyle& style) override {
    const uint32_t color = ResolveColor(style.Color) & 0xFFFFFF;
    Calls.push_back({text, rect, color, style.Flags});
    if (style.Flags & tfCalcRect) {
      rect.Right = rect.Left + Advance * static_cast<int>(text.size());
      rect.Bottom = rect.Top + LineHeight;
      return;
    }
    auto scale = [&](uint32_t channel) { return channel * Coverage / 255; };
    const uint32_t ink = MakeRgb(scale(RedOf(color)), scale(GreenOf(color)), scale(BlueOf(color)));
    const int x = rect.Left + InkX, y = rect.Top + InkY;
    if (x >= rect.Left && x < rect.Right && y >= rect.Top && y < rect.Bottom)
      surface.SetPixelRgb(x, y, ink);
  }
  int TextHeight(const TFont&) override { return LineHeight; }

  std::vector<Call> Calls;
  int InkX = 0, InkY = 0;
  uint32_t Coverage = 255;
  int Advance = 6, LineHeight = 13;
};

class LabelFXTest : public ::testing::Test {
 protected:
  void SetUp() override { SetTextRenderer(&renderer); }
  void TearDown() override {
    SetTextRenderer(nullptr);
    SetSysColorLookup(nullptr);
  }

  // A fixed-size label of w x h at the origin with a one-character caption.
  void Size(int w, int h) {
    label.SetAutoSize(false);
    label.SetBounds(0, 0, w, h);
    label.SetCaption("x");
  }

  // A 32-bit canvas in one colour, by default of the fixture label's size.
  TBitmap Canvas(uint32_t rgb, int w = -1, int h = -1) {
    if (w < 0) w = label.Width();
    if (h < 0) h = label.Height();
    TBitmap canvas;
    canvas.SetPixelFormat(TPixelFormat::pf32bit);
    canvas.SetSize(w, h);
    FillRect(canvas, TRect{0, 0, w, h}, static_cast<TColor>(rgb));
    return canvas;
  }

  // The glow cells that belong to the label's pixels (the ring left out).
  std::vector<std::vector<int>> Glow() const {
    const int w = label.ShadowBitmap().Width(), h = label.ShadowBitmap().Height();
    std::vector<std::vector<int>> cells(h, std::vector<int>(w));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) cells[y][x] = label.GlowBuffer()[(y + 1) * (w + 2) + x + 1];
    return cells;
  }

  DotRenderer renderer;
  TsLabelFX label;
};

// One lit pixel at (1, 1), one stamp-and-blur pass, worked by hand: the
// centre cell does not take part in its own average, and the in-place order
// drags the glow right and down.
const std::vector<std::vector<int>> kOnePass = {
    {0, 63, 15, 3, 0},
    {63, 31, 11, 3, 0},
    {15, 11, 5, 2, 0},
    {3, 3, 2, 1, 0},
    {0, 0, 0, 0, 0},
};

TEST_F(LabelFXTest, DefaultsAreWhiteTextOverABlackFourPassShadow) {
  EXPECT_EQ(label.Shadow().Mode(), smSkin1);
  EXPECT_EQ(label.Shadow().Color(), clBlack);
  EXPECT_EQ(label.Shadow().BlurCount(), 4);
  EXPECT_EQ(label.Shadow().Distance(), 1);
  EXPECT_EQ(label.Kind().KindType(), ktSkin);
  EXPECT_EQ(label.Kind().Color(), clWhite);
  EXPECT_TRUE(label.Transparent());
  EXPECT_TRUE(label.AutoSize());
  EXPECT_TRUE(label.ShowAccelChar());
  EXPECT_EQ(label.Alignment(), taLeftJustify);
  EXPECT_EQ(label.Layout(), tlTop);
  EXPECT_TRUE(label.ShadowBitmap().Empty());
  EXPECT_TRUE(label.GlowBuffer().empty());
  EXPECT_EQ(label.ShadowLead(), 0);
  EXPECT_EQ(label.ShadowTrail(), 0);
}

TEST_F(LabelFXTest, OnePassOverAnOpaqueLabel) {
  Size(5, 5);
  label.SetTransparent(false);
  label.SetColor(clWhite);
  label.Shadow().SetMode(smCustom);
  label.Shadow().SetBlurCount(1);
  label.Kind().SetKindType(ktCustom);
  label.Kind().SetColor(0x0000FF);  // red text
  TBitmap canvas = Canvas(0x123456);
  label.Paint(canvas);

  EXPECT_EQ(Glow(), kOnePass);
  // Black shadow over white: (255 - a) x 255 >> 8, so even a = 0 gives 254.
  const std::vector<std::vector<uint32_t>> grey = {
      {0, 191, 239, 251, 254},
      {191, 223, 243, 251, 254},
      {239, 243, 249, 252, 254},
      {251, 251, 252, 253, 254},
      {254, 254, 254, 254, 254},
  };
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      const uint32_t expected = (x == 0 && y == 0) ? 0x0000FF : grey[y][x] * 0x010101;
      EXPECT_EQ(canvas.GetPixelRgb(x, y), expected) << x << "," << y;
    }
}

TEST_F(LabelFXTest, FourPassesOverATransparentLabel) {
  Size(8, 8);
  label.Shadow().SetDistance(2);  // the shadow's ink lands on (2, 2)
  label.Shadow().SetColor(0x102030);
  TBitmap canvas = Canvas(0x646464);
  label.Paint(canvas);

  // The four passes worked out by reference/label_glow_reference.py.
  const std::vector<std::vector<int>> fourPasses = {
      {5, 18, 29, 16, 6, 2, 0, 0},   {18, 52, 91, 35, 13, 4, 1, 0},
      {29, 91, 58, 29, 12, 4, 1, 0}, {16, 35, 29, 17, 8, 3, 1, 0},
      {6, 13, 12, 8, 4, 1, 0, 0},    {2, 4, 4, 3, 1, 0, 0, 0},
      {0, 1, 1, 1, 0, 0, 0, 0},      {0, 0, 0, 0, 0, 0, 0, 0},
  };
  EXPECT_EQ(Glow(), fourPasses);
  // Blue 0x10, green 0x20, red 0x30 over 100: (100 (255 - a) + s a) >> 8.
  // a = 91 at (2, 1): blue (16400 + 1456) >> 8 = 69, green (16400 + 2912) >> 8
  // = 75, red (16400 + 4368) >> 8 = 81. a = 0 at (7, 7): 25500 >> 8 = 99.
  EXPECT_EQ(canvas.GetPixelRgb(2, 1), MakeRgb(81, 75, 69));
  EXPECT_EQ(canvas.GetPixelRgb(7, 7), MakeRgb(99, 99, 99));
  // a = 5 at (0, 0), then the white text pixel on top of it.
  EXPECT_EQ(canvas.GetPixelRgb(0, 0), 0xFFFFFFu);
  EXPECT_EQ(label.ShadowBitmap().GetPixelRgb(0, 0),
            MakeRgb((100 * 250 + 48 * 5) >> 8, (100 * 250 + 32 * 5) >> 8, (100 * 250 + 16 * 5) >> 8));
}

TEST_F(LabelFXTest, ShadowLandsWhereTheDistanceAndInkPutIt) {
  struct Case {
    const char* name;
    int distance, inkX, inkY;
    uint32_t coverage;
  };
  // Every case lights the shadow mask at (1, 1) alone: the same glow.
  for (const Case& c : {Case{"offset one", 1, 0, 0, 255}, Case{"no offset", 0, 1, 1, 255},
                        Case{"up and left", -2, 3, 3, 255},
                        Case{"faint antialiased ink", 1, 0, 0, 1}}) {
    SCOPED_TRACE(c.name);
    TsLabelFX fresh;
    fresh.SetAutoSize(false);
    fresh.SetBounds(0, 0, 5, 5);
    fresh.SetCaption("x");
    fresh.Shadow().SetBlurCount(1);
    fresh.Shadow().SetDistance(c.distance);
    renderer.InkX = c.inkX;
    renderer.InkY = c.inkY;
    renderer.Coverage = c.coverage;
    TBitmap canvas = Canvas(0xFFFFFF, 5, 5);
    fresh.Paint(canvas);
    std::vector<std::vector<int>> glow(5, std::vector<int>(5));
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) glow[y][x] = fresh.GlowBuffer()[(y + 1) * 7 + x + 1];
    EXPECT_EQ(glow, kOnePass);
  }
}

TEST_F(LabelFXTest, WithoutAShadowTheTextIsDrawnPlainly) {
  struct Case {
    const char* name;
    TsShadowMode mode;
    TColor shadow;
    int passes;
    uint32_t text;
  };
  for (const Case& c : {Case{"no shadow mode: font colour", smNone, clBlack, 4, 0x008000},
                        Case{"shadow colour none", smCustom, clNone, 4, 0xFFFFFF},
                        Case{"no blur passes", smSkin1, clBlack, 0, 0xFFFFFF}}) {
    SCOPED_TRACE(c.name);
    TsLabelFX plain;
    plain.SetAutoSize(false);
    plain.SetBounds(0, 0, 4, 4);
    plain.SetCaption("x");
    TFont font = plain.Font();
    font.Color = 0x008000;
    plain.SetFont(font);
    plain.Shadow().SetMode(c.mode);
    plain.Shadow().SetColor(c.shadow);
    plain.Shadow().SetBlurCount(c.passes);
    TBitmap canvas = Canvas(0x646464, 4, 4);
    renderer.Calls.clear();
    plain.Paint(canvas);

    ASSERT_EQ(renderer.Calls.size(), 1u);
    EXPECT_EQ(renderer.Calls[0].Color, c.text);
    EXPECT_EQ(renderer.Calls[0].Rect, (TRect{0, 0, 4, 4}));
    EXPECT_EQ(canvas.GetPixelRgb(0, 0), c.text);
    EXPECT_EQ(canvas.GetPixelRgb(1, 1), 0x646464u);  // no shadow anywhere
    EXPECT_TRUE(plain.GlowBuffer().empty());
  }
}

TEST_F(LabelFXTest, TextColourFollowsTheKind) {
  struct Case {
    TsKindType kind;
    uint32_t expected;
  };
  SetSysColorLookup([](int index) -> uint32_t { return index == 15 ? 0xC0C0C0 : 0; });
  for (const Case& c : {Case{ktStandard, 0xC0C0C0}, Case{ktCustom, 0x00FFFF},
                        Case{ktSkin, 0x00FFFF}}) {
    SCOPED_TRACE(c.kind);
    Size(4, 4);
    label.SetColor(clBtnFace);  // the standard kind paints in the background colour
    label.Kind().SetKindType(c.kind);
    label.Kind().SetColor(0x00FFFF);
    TBitmap canvas = Canvas(0);
    renderer.Calls.clear();
    label.Paint(canvas);
    ASSERT_EQ(renderer.Calls.size(), 2u);  // the shadow's mask, then the text
    EXPECT_EQ(renderer.Calls[0].Color, 0xFFFFFFu);
    EXPECT_EQ(renderer.Calls[1].Color, c.expected);
  }
}

TEST_F(LabelFXTest, DisabledLabelIsTwoToneWithoutShadow) {
  Size(6, 6);
  label.SetEnabled(false);
  TBitmap canvas = Canvas(0x646464);
  label.Paint(canvas);
  ASSERT_EQ(renderer.Calls.size(), 2u);
  EXPECT_EQ(renderer.Calls[0].Rect, (TRect{1, 1, 7, 7}));
  EXPECT_EQ(renderer.Calls[0].Color, ClassicSysColor(20));  // button highlight
  EXPECT_EQ(renderer.Calls[1].Rect, (TRect{0, 0, 6, 6}));
  EXPECT_EQ(renderer.Calls[1].Color, ClassicSysColor(16));  // button shadow
  EXPECT_EQ(canvas.GetPixelRgb(1, 1), ClassicSysColor(20));
  EXPECT_EQ(canvas.GetPixelRgb(0, 0), ClassicSysColor(16));
  EXPECT_EQ(canvas.GetPixelRgb(3, 3), 0x646464u);
  EXPECT_TRUE(label.GlowBuffer().empty());
}

TEST_F(LabelFXTest, MeasuringMakesRoomForTheShadow) {
  struct Case {
    int passes, distance, lead, trail;
  };
  // Lead min(0, D - N), trail max(0, D + N); the extent grows by their gap.
  for (const Case& c : {Case{4, 1, -3, 5}, Case{4, 0, -4, 4}, Case{1, -2, -3, 0},
                        Case{2, 5, 0, 7}}) {
    SCOPED_TRACE(testing::Message() << "N=" << c.passes << " D=" << c.distance);
    TsLabelFX measured;
    measured.Shadow().SetBlurCount(c.passes);
    measured.Shadow().SetDistance(c.distance);
    measured.SetCaption("Ab");  // auto-size: 12 x 13 of text
    const int grow = c.trail - c.lead;
    EXPECT_EQ(measured.ShadowLead(), c.lead);
    EXPECT_EQ(measured.ShadowTrail(), c.trail);
    EXPECT_EQ(measured.Width(), 12 + grow);
    EXPECT_EQ(measured.Height(), 13 + grow);
  }
}

TEST_F(LabelFXTest, AMeasuredLabelDrawsItsTextInsideTheShadowRoom) {
  label.SetCaption("Ab");
  ASSERT_EQ(label.Width(), 20);  // 8 pixels more than the text each way
  ASSERT_EQ(label.Height(), 21);
  TBitmap canvas = Canvas(0x646464);
  renderer.Calls.clear();
  label.Paint(canvas);
  ASSERT_EQ(renderer.Calls.size(), 2u);
  // 3 in from the left and top, 5 from the right and bottom; the mask one
  // pixel further right and down.
  EXPECT_EQ(renderer.Calls[0].Rect, (TRect{4, 4, 16, 17}));
  EXPECT_EQ(renderer.Calls[1].Rect, (TRect{3, 3, 15, 16}));
}

TEST_F(LabelFXTest, EmptyOrLoneAccelCaptionIsMeasuredWithABlank) {
  struct Case {
    std::string caption;
    bool accel;
    std::string measured;
    bool noPrefix;
  };
  for (const Case& c : {Case{"", true, " ", false}, Case{"&", true, "& ", false},
                        Case{"", false, " ", true}, Case{"&", false, "&", true},
                        Case{"&&", true, "&&", false}}) {
    SCOPED_TRACE("'" + c.caption + "'");
    TsLabelFX measured;
    measured.SetShowAccelChar(c.accel);
    renderer.Calls.clear();
    measured.SetCaption(c.caption);
    if (c.caption.empty()) measured.AdjustBounds();  // an unchanged caption measures nothing
    ASSERT_FALSE(renderer.Calls.empty());
    EXPECT_EQ(renderer.Calls.back().Text, c.measured);
    EXPECT_TRUE(renderer.Calls.back().Flags & tfCalcRect);
    EXPECT_EQ((renderer.Calls.back().Flags & tfNoPrefix) != 0, c.noPrefix);
  }
}

TEST_F(LabelFXTest, RightToLeftLabelDrawsEveryTextInRightToLeftReading) {
  Size(6, 6);
  label.SetRightToLeft(true);
  label.SetWordWrap(true);
  TBitmap canvas = Canvas(0);
  renderer.Calls.clear();
  label.Paint(canvas);
  ASSERT_EQ(renderer.Calls.size(), 2u);  // the shadow's mask and the text
  for (const auto& call : renderer.Calls) {
    EXPECT_TRUE(call.Flags & tfRtlReading);
    EXPECT_TRUE(call.Flags & tfWordBreak);
    EXPECT_TRUE(call.Flags & tfExpandTabs);
  }
}

TEST_F(LabelFXTest, CentredAndBottomLayoutsShiftByTheMeasuredHeight) {
  struct Case {
    TTextLayout layout;
    int top;
  };
  // 40 high; the text measures 13 + 8 = 21: bottom shifts by 19, centre by 9.
  for (const Case& c : {Case{tlCenter, 9}, Case{tlBottom, 19}}) {
    Size(30, 40);
    label.SetLayout(c.layout);
    label.SetAlignment(taCenter);
    TBitmap canvas = Canvas(0);
    renderer.Calls.clear();
    label.Paint(canvas);
    ASSERT_EQ(renderer.Calls.size(), 3u);  // measure, mask, text
    EXPECT_TRUE(renderer.Calls[0].Flags & tfCalcRect);
    EXPECT_TRUE(renderer.Calls[2].Flags & tfCenter);
    EXPECT_EQ(renderer.Calls[2].Rect, (TRect{3, c.top + 3, 25, c.top + 35}));
  }
}

TEST_F(LabelFXTest, GlowBufferOnlyGrows) {
  Size(8, 8);
  TBitmap canvas = Canvas(0);
  label.Paint(canvas);
  EXPECT_EQ(label.GlowBuffer().size(), 100u);
  label.SetBounds(0, 0, 3, 2);
  canvas = Canvas(0);
  label.Paint(canvas);
  EXPECT_EQ(label.GlowBuffer().size(), 100u);
  EXPECT_EQ(label.ShadowBitmap().Width(), 3);
  EXPECT_EQ(label.ShadowBitmap().Height(), 2);
  label.SetBounds(0, 0, 10, 10);
  canvas = Canvas(0);
  label.Paint(canvas);
  EXPECT_EQ(label.GlowBuffer().size(), 144u);
}

TEST_F(LabelFXTest, EmptyAreaBlendsNothing) {
  Size(0, 5);
  TBitmap canvas;
  label.Paint(canvas);
  EXPECT_EQ(label.ShadowBitmap().Width(), 0);
  TRect upsideDown{4, 4, 1, 1};
  label.DrawCaptionText(canvas, upsideDown, 0);
  EXPECT_TRUE(label.ShadowBitmap().Empty());
}

TEST_F(LabelFXTest, ExtremeDistancesSaturateInsteadOfWrappingAround) {
  for (int distance : {INT32_MAX, INT32_MIN}) {
    TsLabelFX extreme;
    extreme.Shadow().SetBlurCount(1);
    extreme.Shadow().SetDistance(distance);
    extreme.SetCaption("x");  // measures: lead and trail at their limits
    EXPECT_EQ(extreme.ShadowLead(), distance > 0 ? 0 : INT32_MIN);
    EXPECT_EQ(extreme.ShadowTrail(), distance > 0 ? INT32_MAX : 0);
    extreme.SetAutoSize(false);
    extreme.SetBounds(0, 0, 4, 4);
    TBitmap canvas = Canvas(0x646464, 4, 4);
    extreme.Paint(canvas);  // the shadow falls outside: nothing lit
    EXPECT_TRUE(std::all_of(extreme.GlowBuffer().begin(), extreme.GlowBuffer().begin() + 36,
                            [](uint8_t c) { return c == 0; }));
  }
}

TEST_F(LabelFXTest, FourthByteOfTheShadowPictureIsNeverWritten) {
  Size(4, 4);
  TBitmap canvas = Canvas(0x646464);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) canvas.PixelRow(y)[4 * x + 3] = 0x5A;
  TBitmap fresh;
  fresh.SetPixelFormat(TPixelFormat::pf32bit);
  fresh.SetSize(4, 4);
  const uint8_t untouched = fresh.PixelRow(0)[3];
  label.Paint(canvas);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(label.ShadowBitmap().PixelRow(y)[4 * x + 3], untouched);
}

TEST_F(LabelFXTest, SkinModeResolvesTheShadowColourAtEveryPaint) {
  static uint32_t shadowScheme = 0x808080;
  SetSysColorLookup([](int index) -> uint32_t { return index == 16 ? shadowScheme : 0; });
  Size(3, 3);
  label.Shadow().SetColor(clBtnShadow);
  EXPECT_EQ(label.Shadow().ShadowRed, 0x80);
  shadowScheme = 0x102030;
  label.Shadow().SetMode(smCustom);
  TBitmap canvas = Canvas(0);
  label.Paint(canvas);
  EXPECT_EQ(label.Shadow().ShadowRed, 0x80);  // custom keeps what writing the colour set
  label.Shadow().SetMode(smSkin1);
  label.Paint(canvas);
  EXPECT_EQ(label.Shadow().ShadowRed, 0x30);
  EXPECT_EQ(label.Shadow().ShadowGreen, 0x20);
  EXPECT_EQ(label.Shadow().ShadowBlue, 0x10);
}

TEST_F(LabelFXTest, ChangedValuesRepaintAndEqualOnesDoNot) {
  int repaints = 0;
  label.OnInvalidate = [&] { ++repaints; };
  auto expectRepaints = [&](const char* what, auto write, int expected) {
    repaints = 0;
    write();
    EXPECT_EQ(repaints, expected) << what;
  };
  expectRepaints("same shadow mode", [&] { label.Shadow().SetMode(smSkin1); }, 0);
  expectRepaints("shadow mode", [&] { label.Shadow().SetMode(smCustom); }, 1);
  expectRepaints("same shadow colour", [&] { label.Shadow().SetColor(clBlack); }, 0);
  expectRepaints("shadow colour", [&] { label.Shadow().SetColor(0x0A0B0C); }, 1);
  expectRepaints("blur count", [&] { label.Shadow().SetBlurCount(2); }, 1);
  expectRepaints("same distance", [&] { label.Shadow().SetDistance(1); }, 0);
  expectRepaints("distance", [&] { label.Shadow().SetDistance(3); }, 1);
  expectRepaints("kind", [&] { label.Kind().SetKindType(ktCustom); }, 1);
  expectRepaints("same kind colour", [&] { label.Kind().SetColor(clWhite); }, 0);
  expectRepaints("kind colour", [&] { label.Kind().SetColor(clBlack); }, 1);
  expectRepaints("transparent", [&] { label.SetTransparent(false); }, 1);
  EXPECT_EQ(label.Shadow().ShadowRed, 0x0C);
  EXPECT_EQ(label.Shadow().ShadowGreen, 0x0B);
  EXPECT_EQ(label.Shadow().ShadowBlue, 0x0A);
}

}  // namespace
}  // namespace qv
