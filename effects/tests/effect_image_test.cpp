#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "effects/effect_image.h"
#include "effects/effect_registry.h"
#include "effects/effect_routines.h"
#include "effects/tests/surfaces.h"
#include "imaging/exceptions.h"

namespace qv {
namespace {

using test::At;
using test::Grey;
using test::Px;

class FakeIcon : public TGraphic {
 public:
  int Width() const override { return 32; }
  int Height() const override { return 32; }
};

// Counts what the control would repaint for.
struct Watched {
  TProEffectImage image;
  int changes = 0;
  int repaints = 0;
  Watched() {
    image.OnChange = [this] { ++changes; };
    image.OnRepaintRequest = [this] { ++repaints; };
  }
};

TEST(EffectImage, PublishesTheOperationsInOrder) {
  const std::vector<std::string> expected = {
      "Effect_Invert",     "Effect_AddColorNoise", "Effect_AddMonoNoise", "Effect_AntiAlias",
      "Effect_Contrast",   "Effect_FishEye",       "Effect_GrayScale",    "Effect_Lightness",
      "Effect_Darkness",   "Effect_Saturation",    "Effect_SplitBlur",    "Effect_GaussianBlur",
      "Effect_Mosaic",     "Effect_Twist",         "Effect_Splitlight",   "Effect_Tile",
      "Effect_SpotLight",  "Effect_Trace",         "Effect_Emboss",       "Effect_Solorize",
      "Effect_Posterize"};
  std::vector<std::string> names;
  for (const TEffectInfo& e : PublishedEffects()) names.push_back(e.Name);
  EXPECT_EQ(names, expected);
  EXPECT_EQ(FindEffect("Effect_SpotLight")->Params, TEffectParams::epAmountSpot);
  EXPECT_EQ(FindEffect("Effect_Emboss")->Params, TEffectParams::epNone);
  EXPECT_EQ(FindEffect("Effect_Tile")->Params, TEffectParams::epAmount);
}

TEST(EffectImage, InvokesByNameWithArguments) {
  TProEffectImage image;
  image.AssignBitmap(test::Solid(9, 9, Grey(100)));
  InvokeEffect(image, "effect_darkness", {128, {}});
  EXPECT_EQ(At(*image.PictureBitmap(), 4, 4), Grey(50));
  InvokeEffect(image, "Effect_SpotLight", {0, TRect{0, 0, 9, 9}});
  EXPECT_EQ(At(*image.PictureBitmap(), 0, 0), Grey(0));
  EXPECT_EQ(At(*image.PictureBitmap(), 4, 4), Grey(50));
  InvokeEffect(image, "EFFECT_INVERT");
  EXPECT_EQ(At(*image.PictureBitmap(), 4, 4), Grey(205));
  EXPECT_EQ(FindEffect("Effect_Blur"), nullptr);
  try {
    InvokeEffect(image, "Effect_Blur", {1, {}});
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Unknown effect 'Effect_Blur'");
  }
}

TEST(EffectImage, InPlaceEffectsConvertThenRequestARepaint) {
  Watched w;
  TBitmap eightBit = test::Pattern(6, 4);
  eightBit.SetPixelBits(8);
  TBitmap expected = eightBit;
  expected.SetPixelBits(24);
  w.image.AssignBitmap(eightBit);
  w.changes = 0;
  w.image.Effect_Invert();
  ASSERT_EQ(w.image.PictureBitmap()->PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(w.repaints, 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      Px e = At(expected, x, y);
      EXPECT_EQ(At(*w.image.PictureBitmap(), x, y), (Px{255 - e.b, 255 - e.g, 255 - e.r}));
    }
  // Already 24 bits: the anti-alias only asks for a repaint.
  w.changes = 0;
  w.image.Effect_AntiAlias();
  EXPECT_EQ(w.changes, 0);
  EXPECT_EQ(w.repaints, 2);
}

TEST(EffectImage, EveryOtherEffectReplacesThePictureEvenWhenNothingChanges) {
  Watched w;
  const TBitmap picture = test::Pattern(6, 5);
  w.image.AssignBitmap(picture);
  w.changes = 0;
  w.image.Effect_Splitlight(0);
  EXPECT_EQ(w.changes, 1);
  EXPECT_EQ(w.repaints, 0);
  EXPECT_TRUE(test::SamePixels(*w.image.PictureBitmap(), picture));
}

TEST(EffectImage, EffectsKeepTheTransparencySettings) {
  const TBitmapTransparency settings{true, 0x00FF00};
  TProEffectImage image;
  for (const TEffectInfo& e : PublishedEffects()) {
    image.AssignBitmap(test::Pattern(20, 20), settings);
    e.Invoke(image, {3, TRect{2, 2, 15, 15}});
    EXPECT_EQ(image.Transparency(), settings) << e.Name;
    EXPECT_EQ(image.PictureBitmap()->PixelFormat(), TPixelFormat::pf24bit) << e.Name;
  }
}

TEST(EffectImage, EmptyOrOtherGraphicBecomesAnEmptyBitmap) {
  for (const TEffectInfo& e : PublishedEffects()) {
    for (bool holdsIcon : {false, true}) {
      Watched w;
      if (holdsIcon) w.image.AssignGraphic(std::make_unique<FakeIcon>());
      const bool mayFail = std::string(e.Name) == "Effect_Mosaic";
      try {
        e.Invoke(w.image, {3, TRect{0, 0, 4, 4}});
        EXPECT_FALSE(mayFail) << e.Name;
      } catch (const EInvalidGraphicOperation& err) {
        EXPECT_TRUE(mayFail) << e.Name << ": " << err.what();
      }
      EXPECT_EQ(w.image.PictureKind(), TPictureKind::pkBitmap) << e.Name;
      EXPECT_EQ(w.image.PictureGraphic(), nullptr);
      EXPECT_TRUE(w.image.PictureBitmap()->Empty()) << e.Name;
      EXPECT_GE(w.changes, 1) << e.Name;
    }
  }
}

TEST(EffectImage, FailureLeavesPictureAndFormatAsTheyWere) {
  // An 8-bit picture: the failing effect converted only its working copy.
  TBitmap eightBit = test::Pattern(6, 3);
  eightBit.SetPixelBits(8);
  Watched w;
  w.image.AssignBitmap(eightBit);
  w.changes = 0;
  EXPECT_THROW(w.image.Effect_GaussianBlur(2), EInvalidGraphicOperation);
  EXPECT_EQ(w.image.PictureBitmap()->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(w.image.PictureBitmap()->Bits(), eightBit.Bits());
  EXPECT_EQ(w.changes, 0);
}

TEST(EffectImage, NoiseSeedIsSharedByEveryImage) {
  RandomSeed = 0;
  TProEffectImage a, b;
  a.AssignBitmap(test::Solid(1, 1, Grey(100)));
  b.AssignBitmap(test::Solid(1, 1, Grey(100)));
  a.Effect_AddMonoNoise(100);  // draw 0
  b.Effect_AddMonoNoise(100);  // draw 3: the second draw of the process
  EXPECT_EQ(At(*a.PictureBitmap(), 0, 0), Grey(50));
  EXPECT_EQ(At(*b.PictureBitmap(), 0, 0), Grey(53));
}

}  // namespace
}  // namespace qv
