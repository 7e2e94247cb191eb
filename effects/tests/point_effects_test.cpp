#include <gtest/gtest.h>

#include <functional>

#include "effects/effect_image.h"
#include "effects/effect_routines.h"
#include "effects/row_bands.h"
#include "effects/tests/surfaces.h"
#include "imaging/numeric.h"

namespace qv {
namespace {

using namespace test;  // the small pictures and Apply

// One channel value through an effect: every channel of a grey pixel.
int OneValue(int v, const std::function<void(TProEffectImage&)>& effect) {
  Px p = At(Apply(Solid(1, 1, Grey(v)), effect), 0, 0);
  EXPECT_TRUE(p.b == p.g && p.g == p.r) << p;
  return p.b;
}

class NoiseTest : public ::testing::Test {
 protected:
  // Every test starts as the program does.
  void SetUp() override { RandomSeed = 0; }
};

TEST_F(NoiseTest, GeneratorDrawsAndSeedsFromProgramStart) {
  const struct { uint32_t draw, seed; } expected[] = {{0, 1}, {3, 134775814}, {86, 3698175007u}};
  for (const auto& e : expected) {
    EXPECT_EQ(NextRandom(100), e.draw);
    EXPECT_EQ(RandomSeed, e.seed);
  }
  // Range 0 gives 0 and still advances the seed.
  EXPECT_EQ(NextRandom(0), 0u);
  EXPECT_EQ(RandomSeed, 3698175007u * 134775813u + 1u);
}

TEST_F(NoiseTest, MonoNoiseMovesTheFirstPixelsByTheFirstDraws) {
  TBitmap out = Apply(Solid(3, 1, Grey(100)), [](auto& i) { i.Effect_AddMonoNoise(100); });
  EXPECT_EQ(At(out, 0, 0), Grey(50));
  EXPECT_EQ(At(out, 1, 0), Grey(53));
  EXPECT_EQ(At(out, 2, 0), Grey(136));
}

TEST_F(NoiseTest, ColorNoiseDrawsBlueGreenRedPerPixel) {
  TBitmap out = Apply(Solid(1, 1, Grey(100)), [](auto& i) { i.Effect_AddColorNoise(10); });
  EXPECT_EQ(At(out, 0, 0), (Px{95, 95, 103}));
}

TEST_F(NoiseTest, ZeroAmountChangesNothingButAdvancesTheSeed) {
  const TBitmap picture = test::Pattern(5, 4);
  auto seedAfter = [](int draws) {
    uint32_t s = 0;
    for (int i = 0; i < draws; ++i) s = s * 134775813u + 1u;
    return s;
  };
  TBitmap out = Apply(picture, [](auto& i) { i.Effect_AddColorNoise(0); });
  EXPECT_TRUE(test::SamePixels(out, picture));
  EXPECT_EQ(RandomSeed, seedAfter(3 * 20));
  RandomSeed = 0;
  out = Apply(picture, [](auto& i) { i.Effect_AddMonoNoise(0); });
  EXPECT_TRUE(test::SamePixels(out, picture));
  EXPECT_EQ(RandomSeed, seedAfter(20));
}

TEST_F(NoiseTest, OffsetsStayInsideTheAmountsRangeAndClamp) {
  // Amount 11: offsets -5 .. 5; black and white pixels clamp at the ends.
  TBitmap out = Apply(Make(64, 64, [](int x, int) { return Grey(x % 2 ? 255 : 0); }),
                      [](auto& i) { i.Effect_AddColorNoise(11); });
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      Px p = At(out, x, y);
      for (int v : {p.b, p.g, p.r}) {
        if (x % 2) EXPECT_GE(v, 250);
        else EXPECT_LE(v, 5);
      }
    }
  // A negative amount is read as unsigned: -1 gives draws of seed - 1 and a
  // half of 0x7FFFFFFF, so the first pixel's sum is hugely negative.
  RandomSeed = 0;
  EXPECT_EQ(At(Apply(Solid(1, 1, Grey(200)), [](auto& i) { i.Effect_AddMonoNoise(-1); }), 0, 0),
            Grey(0));
}

TEST(ChannelRules, OneChannelValueThroughEachRule) {
  using Effect = std::function<void(TProEffectImage&)>;
  const struct { const char* what; Effect effect; int in, out; } cases[] = {
      {"Contrast 255", [](auto& i) { i.Effect_Contrast(255); }, 127, 127},
      {"Contrast 255", [](auto& i) { i.Effect_Contrast(255); }, 128, 129},
      {"Contrast 255", [](auto& i) { i.Effect_Contrast(255); }, 100, 73},
      {"Contrast 255", [](auto& i) { i.Effect_Contrast(255); }, 0, 0},
      {"Contrast 255", [](auto& i) { i.Effect_Contrast(255); }, 255, 255},
      {"Contrast 64", [](auto& i) { i.Effect_Contrast(64); }, 200, 218},
      {"Contrast 64", [](auto& i) { i.Effect_Contrast(64); }, 127, 127},
      {"Lightness 255", [](auto& i) { i.Effect_Lightness(255); }, 37, 255},
      {"Lightness 0", [](auto& i) { i.Effect_Lightness(0); }, 37, 37},
      {"Lightness 128", [](auto& i) { i.Effect_Lightness(128); }, 100, 177},
      {"Lightness -255", [](auto& i) { i.Effect_Lightness(-255); }, 200, 145},
      {"Lightness -255", [](auto& i) { i.Effect_Lightness(-255); }, 100, 0},
      {"Darkness 255", [](auto& i) { i.Effect_Darkness(255); }, 213, 0},
      {"Darkness 0", [](auto& i) { i.Effect_Darkness(0); }, 213, 213},
      {"Darkness 128", [](auto& i) { i.Effect_Darkness(128); }, 100, 50},
      {"Posterize 2", [](auto& i) { i.Effect_Posterize(2); }, 1, 0},
      {"Posterize 2", [](auto& i) { i.Effect_Posterize(2); }, 3, 4},
      {"Posterize 2", [](auto& i) { i.Effect_Posterize(2); }, 5, 4},
      {"Posterize 64", [](auto& i) { i.Effect_Posterize(64); }, 31, 0},
      {"Posterize 64", [](auto& i) { i.Effect_Posterize(64); }, 96, 128},
      {"Posterize 64", [](auto& i) { i.Effect_Posterize(64); }, 100, 128},
      {"Posterize 1", [](auto& i) { i.Effect_Posterize(1); }, 133, 133},
      // round(255 / 64) * 64 = 256 does not fit a channel: it is limited to
      // white instead of wrapping to black.
      {"Posterize 64", [](auto& i) { i.Effect_Posterize(64); }, 255, 255},
      {"Posterize -64", [](auto& i) { i.Effect_Posterize(-64); }, 200, 192},
      {"Posterize -64", [](auto& i) { i.Effect_Posterize(-64); }, 255, 255},
      {"Splitlight 1", [](auto& i) { i.Effect_Splitlight(1); }, 128, 181},
      {"Splitlight 2", [](auto& i) { i.Effect_Splitlight(2); }, 128, 229},
      {"Splitlight 2", [](auto& i) { i.Effect_Splitlight(2); }, 85, 181},
      {"Splitlight 0", [](auto& i) { i.Effect_Splitlight(0); }, 85, 85},
      {"Splitlight -3", [](auto& i) { i.Effect_Splitlight(-3); }, 85, 85},
      {"Invert", [](auto& i) { i.Effect_Invert(); }, 55, 200},
  };
  for (const auto& c : cases) EXPECT_EQ(OneValue(c.in, c.effect), c.out) << c.what << " of " << c.in;
}

TEST(ChannelRules, PixelMeanRules) {
  using Effect = std::function<void(TProEffectImage&)>;
  const struct { const char* what; Effect effect; Px in, out; } cases[] = {
      {"Saturation 255", [](auto& i) { i.Effect_Saturation(255); }, {10, 20, 40}, {10, 20, 40}},
      {"Saturation 0", [](auto& i) { i.Effect_Saturation(0); }, {10, 20, 40}, {23, 23, 23}},
      {"Saturation 510", [](auto& i) { i.Effect_Saturation(510); }, {10, 20, 40}, {0, 17, 57}},
      {"GrayScale red", [](auto& i) { i.Effect_GrayScale(); }, {0, 0, 255}, Grey(76)},
      {"GrayScale green", [](auto& i) { i.Effect_GrayScale(); }, {0, 255, 0}, Grey(150)},
      {"GrayScale blue", [](auto& i) { i.Effect_GrayScale(); }, {255, 0, 0}, Grey(28)},
      {"GrayScale mixed", [](auto& i) { i.Effect_GrayScale(); }, {10, 20, 30}, Grey(22)},
      {"GrayScale white", [](auto& i) { i.Effect_GrayScale(); }, Grey(255), Grey(255)},
      {"GrayScale black", [](auto& i) { i.Effect_GrayScale(); }, Grey(0), Grey(0)},
      {"Solorize 127", [](auto& i) { i.Effect_Solorize(127); }, Grey(200), Grey(55)},
      {"Solorize 127", [](auto& i) { i.Effect_Solorize(127); }, Grey(100), Grey(100)},
      {"Solorize 127", [](auto& i) { i.Effect_Solorize(127); }, {100, 127, 154}, {100, 127, 154}},
      {"Solorize 127", [](auto& i) { i.Effect_Solorize(127); }, {100, 127, 157}, {155, 128, 98}},
      {"Solorize 255", [](auto& i) { i.Effect_Solorize(255); }, Grey(255), Grey(255)},
      {"Solorize -1", [](auto& i) { i.Effect_Solorize(-1); }, Grey(0), Grey(255)},
      {"Solorize -1", [](auto& i) { i.Effect_Solorize(-1); }, {10, 20, 40}, {245, 235, 215}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(At(Apply(Solid(1, 1, c.in), c.effect), 0, 0), c.out) << c.what << " of " << c.in;
}

TEST(ChannelRules, WideRowsGiveEveryByteTheSingleValueResult) {
  // A row holding all 256 values in each channel, wide enough for the
  // word-at-a-time loop and its remainder; each byte must come out as the
  // same value does alone in a one-pixel picture.
  using Effect = std::function<void(TProEffectImage&)>;
  const Effect effects[] = {[](auto& i) { i.Effect_Contrast(90); },   [](auto& i) { i.Effect_Lightness(-40); },
                            [](auto& i) { i.Effect_Darkness(77); },    [](auto& i) { i.Effect_Posterize(24); },
                            [](auto& i) { i.Effect_Splitlight(3); }};
  const TBitmap ramp = Make(257, 2, [](int x, int y) { return Px{x % 256, (x * 7 + y) % 256, (255 - x + 256) % 256}; });
  for (size_t e = 0; e < std::size(effects); ++e) {
    TBitmap out = Apply(ramp, effects[e]);
    int single[256];
    for (int v = 0; v < 256; ++v) single[v] = OneValue(v, effects[e]);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 257; ++x) {
        const Px in = At(ramp, x, y);
        ASSERT_EQ(At(out, x, y), (Px{single[in.b], single[in.g], single[in.r]})) << "effect " << e << " at " << x;
      }
  }
}

// GrayScale's three ways through a picture: AVX-512 steps, AVX2 steps and
// the plain tabulated loop (a way the processor lacks falls to the next).
struct GrayPath {
  const char* name;
  bool plain, avx512;
};
constexpr GrayPath kGrayPaths[] = {{"AVX-512", false, true}, {"AVX2", false, false}, {"plain", true, false}};

void TakeGrayPath(const GrayPath& path) {
  SetPlainPathsOnly(path.plain);
  SetGrayAvx512(path.avx512);
}

void RestoreGrayPaths() {
  SetPlainPathsOnly(false);
  SetGrayAvx512(true);
}

// Every colour whose weighted sum lies exactly halfway between two levels
// (11b + 59g + 30r ending in 50), as 0x00RRGGBB.
const std::vector<uint32_t>& HalfwayColours() {
  static const std::vector<uint32_t> halfway = [] {
    std::vector<uint32_t> h;
    for (uint32_t c = 0; c < (1u << 24); ++c)
      if ((11 * (c & 0xFF) + 59 * ((c >> 8) & 0xFF) + 30 * (c >> 16)) % 100 == 50) h.push_back(c);
    return h;
  }();
  return halfway;
}

// Fills pixel i (row-major) of b with colours[i % size], then grey-scales b
// and counts the pixels whose three channels are not GrayLevel's.
int GrayMismatches(TBitmap& b, const std::vector<uint32_t>& colours, size_t offset = 0) {
  const int W = b.Width(), H = b.Height();
  auto colourAt = [&](int x, int y) { return colours[(offset + static_cast<size_t>(y) * W + x) % colours.size()]; };
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      uint8_t* p = b.PixelRow(y) + 3 * x;
      const uint32_t c = colourAt(x, y);
      p[0] = c & 0xFF;
      p[1] = (c >> 8) & 0xFF;
      p[2] = (c >> 16) & 0xFF;
    }
  GrayScalePixels(b);
  int mismatches = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const uint8_t* p = b.PixelRow(y) + 3 * x;
      const uint32_t c = colourAt(x, y);
      const int level = GrayLevel(c & 0xFF, (c >> 8) & 0xFF, c >> 16);
      if (p[0] != level || p[1] != level || p[2] != level) ++mismatches;
    }
  return mismatches;
}

TBitmap GreyTestSurface(int W, int H) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(W, H);
  return b;
}

TEST(GrayScale, EveryColourMatchesTheExtendedPrecisionSum) {
  // All 2^24 colours in one 4096 x 4096 picture (large enough for the
  // halfway table): every path must agree with the extended-precision sum
  // everywhere, ties included.
  std::vector<uint32_t> all(1u << 24);
  for (uint32_t c = 0; c < all.size(); ++c) all[c] = c;
  TBitmap b = GreyTestSurface(4096, 4096);
  for (const GrayPath& path : kGrayPaths) {
    TakeGrayPath(path);
    EXPECT_EQ(GrayMismatches(b, all), 0) << path.name << " path";
  }
  RestoreGrayPaths();
}

TEST(GrayScale, HalfwayColoursOnASmallPicture) {
  // Every halfway colour, on a picture small enough that the paths settle
  // them one by one by the extended sum rather than by the table.
  const std::vector<uint32_t>& halfway = HalfwayColours();
  ASSERT_EQ(halfway.size(), 167836u);
  const int W = 4099, H = static_cast<int>((halfway.size() + W - 1) / W);
  ASSERT_LT(int64_t{W} * H, kBandedPixels);
  TBitmap b = GreyTestSurface(W, H);
  for (const GrayPath& path : kGrayPaths) {
    TakeGrayPath(path);
    EXPECT_EQ(GrayMismatches(b, halfway), 0) << path.name << " path";
  }
  RestoreGrayPaths();
}

TEST(GrayScale, RowsOfHalfwayPixelsAroundTheStepWidths) {
  // Rows made of halfway pixels only (every group of the vector steps full
  // of them), and rows where they alternate with ordinary ones, at widths
  // on either side of the 32- and 64-pixel steps: the steps, their lists
  // of halfway pixels and the plain loop after them must meet exactly.
  const std::vector<uint32_t>& halfway = HalfwayColours();
  std::vector<uint32_t> mixed;
  for (size_t i = 0; i < 4096; ++i) {
    mixed.push_back(halfway[(i * 7919) % halfway.size()]);
    mixed.push_back(static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF);
  }
  for (const GrayPath& path : kGrayPaths) {
    TakeGrayPath(path);
    for (int W : {1, 31, 32, 63, 64, 65, 127, 128, 129, 191, 192, 193, 1000})
      for (const std::vector<uint32_t>* colours : {&halfway, static_cast<const std::vector<uint32_t>*>(&mixed)}) {
        TBitmap b = GreyTestSurface(W, 5);
        EXPECT_EQ(GrayMismatches(b, *colours, static_cast<size_t>(W) * 31), 0)
            << path.name << " path, width " << W << (colours == &halfway ? ", halfway only" : ", mixed");
      }
  }
  RestoreGrayPaths();
}

TEST(Splitlight, CurveValues) {
  const struct { int in, out; } cases[] = {{0, 0},     {1, 2},     {64, 98},   {85, 128}, {127, 180},
                                           {128, 181}, {200, 241}, {254, 255}, {255, 255}};
  for (const auto& c : cases) EXPECT_EQ(SplitlightCurve(c.in), c.out) << c.in;
  // 85 is the halfway case: the double is exactly 127.5.
  EXPECT_EQ(ToDouble(255.0L * Sin(85.0L / 255.0L * kPi / 2.0L)), 127.5);
  for (int v = 1; v < 256; ++v) EXPECT_GE(SplitlightCurve(v), SplitlightCurve(v - 1)) << v;
}

TEST(Splitlight, ManyPassesEqualTheCurveRepeated) {
  const TBitmap ramp = Make(256, 1, [](int x, int) { return Px{x, 255 - x, (x * 7) % 256}; });
  for (int passes : {3, 17, 1000}) {
    TBitmap out = Apply(ramp, [=](auto& i) { i.Effect_Splitlight(passes); });
    for (int x = 0; x < 256; ++x) {
      Px expected = At(ramp, x, 0);
      for (int p = 0; p < passes; ++p)
        expected = {SplitlightCurve(expected.b), SplitlightCurve(expected.g), SplitlightCurve(expected.r)};
      ASSERT_EQ(At(out, x, 0), expected) << passes << " passes, x " << x;
    }
  }
}

TEST(Invert, EveryChannelOfAWideRow) {
  // Wide enough for the vectorised loop and its remainder.
  const TBitmap picture = test::Pattern(53, 3);
  TBitmap out = Apply(picture, [](auto& i) { i.Effect_Invert(); });
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 53; ++x) {
      const Px p = At(picture, x, y);
      ASSERT_EQ(At(out, x, y), (Px{255 - p.b, 255 - p.g, 255 - p.r})) << x << "," << y;
    }
}

TEST(Invert, TwiceRestoresThePicture) {
  const TBitmap picture = test::Pattern(7, 5);
  TBitmap out = Apply(picture, [](auto& i) {
    i.Effect_Invert();
    i.Effect_Invert();
  });
  EXPECT_TRUE(test::SamePixels(out, picture));
}

TEST(Posterize, ZeroAmountFailsWithTheFirstPixelsErrorAndKeepsThePicture) {
  const struct { int firstBlue; const char* message; } cases[] = {
      {0, "Invalid floating point operation"}, {5, "Floating point division by zero"}};
  for (const auto& c : cases) {
    TBitmap picture = Make(2, 2, [&](int x, int y) { return x + y == 0 ? Px{c.firstBlue, 9, 9} : Grey(0); });
    TProEffectImage image;
    image.AssignBitmap(picture);
    try {
      image.Effect_Posterize(0);
      ADD_FAILURE() << "no error";
    } catch (const EMathError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_TRUE(test::SamePixels(*image.PictureBitmap(), picture));
  }
  // An empty picture has no first pixel: nothing fails.
  TProEffectImage empty;
  EXPECT_NO_THROW(empty.Effect_Posterize(0));
}

}  // namespace
}  // namespace qv
