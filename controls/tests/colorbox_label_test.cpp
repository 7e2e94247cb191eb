#include <gtest/gtest.h>

#include "controls/bound_label.h"
#include "controls/colorbox.h"

namespace qv {
namespace {

// Text 6 pixels per character and 13 high (the main window's Tahoma line);
// wrapped text takes as many lines as the width needs.
TPoint FakeMeasure(const std::string& text, const TFont& font, bool wordWrap, int width) {
  const int perChar = font.Height == 11 ? 6 : 8;
  const int w = static_cast<int>(text.size()) * perChar;
  if (!wordWrap || width <= 0 || w <= width) return TPoint{w, 13};
  const int perLine = std::max(1, width / perChar);
  const int lines = (static_cast<int>(text.size()) + perLine - 1) / perLine;
  return TPoint{perLine * perChar, 13 * lines};
}

// The main window's boxes: 89 x 22 at (112, 9) and (112, 37).
struct LabelFixture : ::testing::Test {
  TsColorBox box;
  int changes = 0;
  void SetUp() override {
    box.SetName("colorselect1");
    box.SetBounds(112, 9, 89, 22);
    box.BoundLabel().Measurer = FakeMeasure;
    box.BoundLabel().OnLabelChanged = [this] { ++changes; };
  }
  const TsEditLabel& L() const { return *box.BoundLabel().Label(); }
};

TEST_F(LabelFixture, MainWindowLabelsEndFourPixelsLeftOfTheBoxes) {
  // Form loading: Active comes before the caption.
  box.BoundLabel().SetActive(true);
  ASSERT_NE(box.BoundLabel().Label(), nullptr);
  EXPECT_EQ(L().Caption, "colorselect1");
  EXPECT_EQ(box.BoundLabel().Caption(), "colorselect1");
  EXPECT_EQ(L().Name, "colorselect1Label");
  box.BoundLabel().SetCaption("Gradient 1st Color:");
  EXPECT_EQ(L().Caption, "Gradient 1st Color:");
  EXPECT_EQ(L().Width, 19 * 6);
  EXPECT_EQ(L().Left + L().Width, 108);
  EXPECT_EQ(L().Top, 12);
  EXPECT_EQ(L().Alignment, taRightJustify);
  EXPECT_TRUE(L().Transparent);
  EXPECT_TRUE(L().Visible);

  box.SetBounds(112, 37, 89, 22);
  EXPECT_EQ(L().Top, 40);
  EXPECT_EQ(L().Left + L().Width, 108);
  EXPECT_GT(changes, 0);
}

TEST_F(LabelFixture, LayoutsAndIndent) {
  box.BoundLabel().SetCaption("Abc");  // 18 x 13
  box.BoundLabel().SetActive(true);
  box.BoundLabel().SetIndent(3);
  const struct {
    TsCaptionLayout layout;
    int left, top;
    TAlignment alignment;
  } cases[] = {
      {sclLeft, 112 - 18 - 4 - 3, 9 + (22 - 13) / 2 - 1, taRightJustify},
      {sclTopLeft, 112, 9 - 13 - 3, taLeftJustify},
      {sclTopCenter, 112 + (89 - 18) / 2, 9 - 13 - 3, taCenter},
      {sclTopRight, 112 + 89 - 18, 9 - 13 - 3, taRightJustify},
  };
  for (const auto& c : cases) {
    box.BoundLabel().SetLayout(c.layout);
    EXPECT_EQ(L().Left, c.left) << c.layout;
    EXPECT_EQ(L().Top, c.top) << c.layout;
    EXPECT_EQ(L().Alignment, c.alignment) << c.layout;
  }
}

TEST_F(LabelFixture, DivisionTruncatesTowardZero) {
  box.BoundLabel().SetCaption("A");
  box.BoundLabel().SetActive(true);
  box.SetBounds(10, 50, 5, 8);  // (8 - 13) div 2 = -2, (5 - 6) div 2 = 0
  EXPECT_EQ(L().Top, 50 - 2 - 1);
  box.BoundLabel().SetLayout(sclTopCenter);
  EXPECT_EQ(L().Left, 10);
}

TEST_F(LabelFixture, MaxWidthWrapsAndKeepsAtLeastTheBoxHeight) {
  box.BoundLabel().SetCaption("Gradient 1st Color:");
  box.BoundLabel().SetActive(true);
  box.BoundLabel().SetMaxWidth(60);
  EXPECT_FALSE(L().AutoSize);
  EXPECT_TRUE(L().WordWrap);
  EXPECT_EQ(L().Width, 60);
  EXPECT_EQ(L().Height, 22);
  EXPECT_EQ(L().Left, 112 - 114 - 4);  // placed by its unwrapped width
  // The next placement measures the wrapped text: 10 characters a line.
  box.SetBounds(112, 9, 89, 22);
  box.SetBounds(112, 10, 89, 22);
  EXPECT_EQ(L().Width, 60);
  EXPECT_EQ(L().Height, 26);
  EXPECT_EQ(L().Left, 112 - 60 - 4);
}

TEST_F(LabelFixture, EmptyCaptionKeepsALineOfHeight) {
  box.SetName("");
  box.BoundLabel().SetActive(true);
  EXPECT_EQ(L().Caption, "");
  EXPECT_EQ(L().Width, 6);  // measured as a blank
  EXPECT_EQ(L().Height, 13);
}

TEST_F(LabelFixture, FollowsTheBoxVisibilityEnabledAndBiDiMode) {
  box.BoundLabel().SetActive(true);
  box.SetVisible(false);
  EXPECT_FALSE(L().Visible);
  // A hidden label is not placed.
  int left = L().Left;
  box.SetBounds(0, 0, 89, 22);
  EXPECT_EQ(L().Left, left);
  box.SetVisible(true);
  EXPECT_EQ(L().Left, 0 - L().Width - 4);
  box.SetStyle(cbIncludeNone);  // disables the box
  EXPECT_FALSE(L().Enabled);
  box.SetRightToLeft(true);
  EXPECT_TRUE(L().RightToLeft);
}

TEST_F(LabelFixture, HiddenBoxCreatesAHiddenLabel) {
  box.SetVisible(false);
  box.BoundLabel().SetActive(true);
  EXPECT_FALSE(L().Visible);
}

TEST_F(LabelFixture, FontWrittenWhileActiveMovesIntoTheLabel) {
  TFont before = box.BoundLabel().Font();
  TFont big;
  big.Height = 14;
  box.BoundLabel().SetFont(big);  // no label: kept by the binder only
  EXPECT_EQ(box.BoundLabel().Font().Height, 14);
  box.BoundLabel().SetCaption("Abc");
  box.BoundLabel().SetActive(true);
  EXPECT_EQ(L().Font.Height, before.Height);
  EXPECT_TRUE(L().ParentFont);

  box.BoundLabel().SetFont(big);
  EXPECT_FALSE(L().ParentFont);
  EXPECT_EQ(L().Width, 3 * 8);
  EXPECT_EQ(L().Left, 112 - 24 - 4);
  // The parent's font no longer reaches it.
  TFont parent;
  parent.Height = 11;
  parent.Bold = true;
  box.SetFont(parent);
  EXPECT_FALSE(L().Font.Bold);
}

TEST_F(LabelFixture, DeactivatingDestroysTheLabel) {
  box.BoundLabel().SetActive(true);
  box.BoundLabel().SetActive(false);
  EXPECT_EQ(box.BoundLabel().Label(), nullptr);
  EXPECT_FALSE(box.BoundLabel().Active());
  box.BoundLabel().SetCaption("Later");
  box.BoundLabel().SetActive(true);
  EXPECT_EQ(L().Caption, "Later");
}

}  // namespace
}  // namespace qv
