#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "effects/effect_image.h"
#include "effects/effect_routines.h"
#include "effects/row_bands.h"
#include "effects/tests/surfaces.h"
#include "imaging/exceptions.h"

namespace qv {
namespace {

// Restores the default thread count and processor paths after each test.
class RowBands : public ::testing::Test {
 protected:
  void TearDown() override {
    SetEffectThreads(0);
    SetPlainPathsOnly(false);
  }
};

using test::Apply;

TEST_F(RowBands, SkipRandomLandsWhereSingleDrawsDo) {
  for (uint64_t n : {0ull, 1ull, 2ull, 3ull, 1000ull, 123457ull}) {
    uint32_t stepped = 987654321u;
    for (uint64_t i = 0; i < n; ++i) stepped = stepped * 134775813u + 1u;
    EXPECT_EQ(SkipRandom(987654321u, n), stepped) << n;
  }
  // The generator has period 2^32: skipping it whole changes nothing.
  EXPECT_EQ(SkipRandom(42u, 1ull << 32), 42u);
}

TEST_F(RowBands, EveryBandedEffectGivesTheSameBytesOnAnyNumberOfThreads) {
  // A little over a megapixel, so that the effects split it; an odd height
  // leaves bands of unequal sizes.
  const TBitmap picture = test::Pattern(1031, 1001);
  struct Case {
    const char* name;
    std::function<void(TProEffectImage&)> effect;
  } cases[] = {
      {"invert", [](auto& i) { i.Effect_Invert(); }},
      {"colour noise", [](auto& i) { i.Effect_AddColorNoise(60); }},
      {"mono noise", [](auto& i) { i.Effect_AddMonoNoise(-7); }},
      {"contrast", [](auto& i) { i.Effect_Contrast(90); }},
      {"grey", [](auto& i) { i.Effect_GrayScale(); }},
      {"saturation", [](auto& i) { i.Effect_Saturation(400); }},
      {"solarize", [](auto& i) { i.Effect_Solorize(100); }},
      {"posterize", [](auto& i) { i.Effect_Posterize(40); }},
      {"fish-eye", [](auto& i) { i.Effect_FishEye(1); }},
      {"twist", [](auto& i) { i.Effect_Twist(150); }},
      {"tile", [](auto& i) { i.Effect_Tile(3); }},
      {"spot light", [](auto& i) { i.Effect_SpotLight(70, TRect{40, -20, 900, 950}); }},
  };
  for (const Case& c : cases) {
    SetEffectThreads(1);
    RandomSeed = 12345;
    const TBitmap one = Apply(picture, c.effect);
    const uint32_t seedAfterOne = RandomSeed;
    for (int threads : {2, 3, 8}) {
      SetEffectThreads(threads);
      RandomSeed = 12345;
      EXPECT_TRUE(test::SamePixels(Apply(picture, c.effect), one)) << c.name << " on " << threads << " threads";
      EXPECT_EQ(RandomSeed, seedAfterOne) << c.name << " on " << threads << " threads";
    }
  }
}

TEST_F(RowBands, PlainPathsGiveTheSameBytes) {
  // Every byte value in every channel position, with pixel counts that
  // leave a tail after the 16-pixel steps.
  const TBitmap picture = test::Make(257, 70, [](int x, int y) {
    return test::Px{(x + y * 7) % 256, (x * 3 + y) % 256, (x * 11 + y * 5) % 256};
  });
  for (auto effect : {std::function<void(TProEffectImage&)>([](auto& i) { i.Effect_GrayScale(); }),
                      std::function<void(TProEffectImage&)>([](auto& i) { i.Effect_Invert(); })}) {
    const TBitmap featured = Apply(picture, effect);
    SetPlainPathsOnly(true);
    EXPECT_TRUE(test::SamePixels(Apply(picture, effect), featured));
    SetPlainPathsOnly(false);
  }
}

TEST_F(RowBands, EffectsOnTwoThreadsAtOnceShareTheWorkers) {
  // Two callers at once: one has the workers, the other runs its bands
  // alone; both get the one-thread bytes, and the workers serve later
  // effects as before.
  const TBitmap picture = test::Pattern(1031, 1001);
  auto twist = [](TProEffectImage& i) { i.Effect_Twist(150); };
  auto contrast = [](TProEffectImage& i) { i.Effect_Contrast(90); };
  SetEffectThreads(1);
  const TBitmap twisted = Apply(picture, twist), contrasted = Apply(picture, contrast);
  SetEffectThreads(3);
  for (int round = 0; round < 3; ++round) {
    TBitmap a, b;
    std::thread first([&] { a = Apply(picture, twist); });
    std::thread second([&] { b = Apply(picture, contrast); });
    first.join();
    second.join();
    EXPECT_TRUE(test::SamePixels(a, twisted)) << round;
    EXPECT_TRUE(test::SamePixels(b, contrasted)) << round;
  }
  EXPECT_TRUE(test::SamePixels(Apply(picture, twist), twisted));
}

TEST_F(RowBands, InvertCoversUnpaddedRowsEndToEnd) {
  // 256 pixels make rows of 768 bytes, without padding, so each band is one
  // run of bytes; over a megapixel, on several threads, and on the plain path.
  const TBitmap picture = test::Make(256, 4000, [](int x, int y) {
    return test::Px{(x + y) % 256, (x * 7 + y * 3) % 256, (x * 13 + 5 * y) % 256};
  });
  for (bool plain : {false, true})
    for (int threads : {1, 3}) {
      SetPlainPathsOnly(plain);
      SetEffectThreads(threads);
      const TBitmap inverted = Apply(picture, [](auto& i) { i.Effect_Invert(); });
      int wrong = 0;
      for (int y = 0; y < 4000; ++y)
        for (int x = 0; x < 256; ++x) {
          const test::Px in = test::At(picture, x, y), out = test::At(inverted, x, y);
          wrong += out.b != 255 - in.b || out.g != 255 - in.g || out.r != 255 - in.r;
        }
      EXPECT_EQ(wrong, 0) << (plain ? "plain" : "vector") << " on " << threads << " threads";
    }
}

TEST_F(RowBands, TheTopmostFailingBandsErrorIsRaised) {
  // Bands below fail with other errors; one thread would have met the top
  // one first.
  SetEffectThreads(4);
  std::vector<int> seen(1000, 0);
  try {
    ForRowBands(2000, 1000, [&](int32_t y0, int32_t y1) {
      for (int32_t y = y0; y < y1; ++y) ++seen[y];
      if (y0 >= 250) throw std::runtime_error("band at " + std::to_string(y0));
    });
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "band at 250");
  }
  for (int y = 0; y < 1000; ++y) EXPECT_EQ(seen[y], 1) << y;
}

TEST_F(RowBands, AFailingRemapKeepsThePictureOnSeveralThreads) {
  SetEffectThreads(3);
  const TBitmap picture = test::Pattern(1024, 1000);
  TProEffectImage image;
  image.AssignBitmap(picture);
  EXPECT_THROW(image.Effect_Twist(0), Exception);
  EXPECT_THROW(image.Effect_FishEye(0), Exception);
  EXPECT_TRUE(test::SamePixels(*image.PictureBitmap(), picture));
}

}  // namespace
}  // namespace qv
