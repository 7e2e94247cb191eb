#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

#include "effects/effect_image.h"
#include "effects/effect_routines.h"
#include "effects/row_bands.h"
#include "effects/tests/surfaces.h"
#include "imaging/drawing.h"
#include "imaging/exceptions.h"
#include "imaging/numeric.h"

namespace qv {
namespace {

using namespace test;  // the small pictures and Apply

TBitmap Sized(int w, int h) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(w, h);
  return b;
}

Px FromSample(TSample s) { return {s.Blue, s.Green, s.Red}; }

TEST(SmoothResize, ReductionWeighsTheFourNearestPixelsInFixedPoint) {
  // Grey level 10 (x + y): pixel (1, 1) of the 5 x 5 reduction lies at
  // sx = sy = 58982, between source pixels 1 and 2 with fraction 26214:
  // weights TL 1311, TR 5243, BL 5244, BR 20970 on 20, 30, 30, 40 give
  // 1179630 shr 15 = 35.
  const TBitmap src = Make(10, 10, [](int x, int y) { return Grey(10 * (x + y)); });
  TBitmap dst = Sized(5, 5);
  SmoothResize(src, dst);
  EXPECT_EQ(At(dst, 1, 1), Grey(35));
  EXPECT_EQ(At(dst, 0, 0), Grey(0));
}

TEST(Tile, TwoByTwoTilesOfTheReducedPicture) {
  const TBitmap picture = Make(12, 10, [](int x, int y) { return Px{x * 20, y * 25, (x * y * 3) % 256}; });
  // The 6 x 5 reduction, worked from the fixed-point rule by
  // reference/geometric_reference.py tile.
  const Px reduced[5][6] = {
      {{0, 0, 0}, {36, 0, 0}, {73, 0, 0}, {109, 0, 0}, {146, 0, 0}, {183, 0, 0}},
      {{0, 44, 0}, {36, 44, 9}, {73, 44, 19}, {109, 44, 29}, {146, 44, 39}, {183, 44, 49}},
      {{0, 89, 0}, {36, 89, 19}, {73, 89, 39}, {109, 89, 59}, {146, 89, 79}, {183, 89, 98}},
      {{0, 134, 0}, {36, 134, 29}, {73, 134, 59}, {109, 134, 89}, {146, 134, 118}, {183, 134, 148}},
      {{0, 179, 0}, {36, 179, 39}, {73, 179, 79}, {109, 179, 118}, {146, 179, 158}, {183, 179, 197}},
  };
  TBitmap out = Apply(picture, [](auto& i) { i.Effect_Tile(2); });
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_EQ(At(out, x, y), reduced[y % 5][x % 6]) << x << "," << y;
}

TEST(Tile, LeavesTheUncoveredStripAndRefusesSmallTiles) {
  const TBitmap picture = test::Pattern(13, 11);
  TBitmap out = Apply(picture, [](auto& i) { i.Effect_Tile(2); });  // 6 x 5 tiles
  for (int y = 0; y < 11; ++y) EXPECT_EQ(At(out, 12, y), At(picture, 12, y));
  for (int x = 0; x < 13; ++x) EXPECT_EQ(At(out, x, 10), At(picture, x, 10));
  const TBitmap narrow = test::Pattern(9, 10);
  for (int n : {2, 0, -3})
    EXPECT_TRUE(test::SamePixels(Apply(narrow, [=](auto& i) { i.Effect_Tile(n); }), narrow)) << n;
}

TEST(Tile, OneTileIsTheResampleNotTheIdentity) {
  // Step (9 x 32768) div 10 = 29491: column 9 mixes source columns 8 and 9
  // with fraction 3275: (160 x 29493 + 180 x 3275) shr 15 = 161 in row 0.
  const TBitmap ramp = Make(10, 10, [](int x, int) { return Grey(20 * x); });
  TBitmap out = Apply(ramp, [](auto& i) { i.Effect_Tile(1); });
  EXPECT_EQ(At(out, 9, 0), Grey(161));
  EXPECT_EQ(At(out, 0, 0), Grey(0));
}

TEST(WrappedSample, WeighsNeighboursAndWrapsAtTheEdges) {
  const int W = 5, H = 4;
  TBitmap s = Make(W, H, [](int x, int y) { return Grey(10 * x + 50 * y); });
  // Integral point: the pixel itself.
  EXPECT_EQ(FromSample(WrappedSample(s, 2.0f, 3.0f)), At(s, 2, 3));
  // Column -1 wraps to W - 2 with weight 0; its neighbour W - 1 gets all.
  EXPECT_EQ(FromSample(WrappedSample(s, -1.0f, 0.0f)), At(s, W - 1, 0));
  // Half way between the last column and column 0: (40 + 1) / 2 would be
  // fractional, so use a picture whose halfway sum ends in .5 exactly.
  TBitmap t = Make(W, 1, [](int x, int) { return Grey(x == 0 ? 201 : 100); });
  t.SetSize(W, 2);
  EXPECT_EQ(FromSample(WrappedSample(t, W - 0.5f, 0.0f)), Grey(150));  // 150.5, even
  // A negative coordinate mirrors the weights: at -0.3 column 0 weighs 0.3.
  TBitmap u = Make(3, 2, [](int x, int) { return Grey(x == 0 ? 100 : x == 1 ? 200 : 0); });
  EXPECT_EQ(FromSample(WrappedSample(u, -0.3f, 0.0f)), Grey(170));
}

TEST(WrappedSample, FarCoordinatesWrapAndHugeOnesAreInvalid) {
  TBitmap s = test::Pattern(7, 6);
  EXPECT_EQ(FromSample(WrappedSample(s, 7.0f * 1000 + 3, 6.0f * 50 + 2)), At(s, 3, 2));
  // -2^31 wraps to column 6 - (2^31 mod 7) = 4 with weight 0; column 5 gets all.
  EXPECT_EQ(FromSample(WrappedSample(s, -2147483648.0f, 0.0f)), At(s, 5, 0));
  EXPECT_THROW(WrappedSample(s, 1e30f, 0.0f), EInvalidOp);
}

TEST(PolarAngle, AnglesOfTheAxesAndDiagonals) {
  EXPECT_EQ(PolarAngle(0, 0), -1.5707964f);
  EXPECT_EQ(PolarAngle(0, 2), 1.5707964f);
  EXPECT_EQ(PolarAngle(1, 1), static_cast<float>(kPi / 4));
  EXPECT_EQ(PolarAngle(-1, 0), static_cast<float>(kPi));
  EXPECT_EQ(PolarAngle(-1, -1), static_cast<float>(5 * kPi / 4));
}

TEST(FishEye, WorkedPointsOnAFourByFour) {
  // Amount 1: centre (2, 2), R = 4. Pixel (3, 2) is at d = 1, so
  // k = (1 / 0.75 - 1) x 2 = 2/3 and it samples (2.667, 2): a third of
  // (2, 2) = 60 and two thirds of (3, 2) = 90, i.e. 80. Pixel (0, 2) at d = 2 has k = 2 and
  // samples (0, 2) exactly; the centre at d = 0 samples itself.
  const TBitmap picture = Make(4, 4, [](int x, int y) { return Grey(y == 2 ? 30 * x : 7); });
  TBitmap out = Apply(picture, [](auto& i) { i.Effect_FishEye(1); });
  EXPECT_EQ(At(out, 3, 2), Grey(80));
  EXPECT_EQ(At(out, 0, 2), Grey(0));
  EXPECT_EQ(At(out, 2, 2), Grey(60));
}

TEST(FishEye, CentreOfAnEvenPictureKeepsItsColour) {
  const TBitmap picture = test::Pattern(8, 6);
  for (int amount : {1, 3, -2, 1000}) {
    TBitmap out = Apply(picture, [=](auto& i) { i.Effect_FishEye(amount); });
    EXPECT_EQ(At(out, 4, 3), At(picture, 4, 3)) << amount;
  }
}

TEST(Twist, CentreOfAnOddPictureKeepsItsColour) {
  const TBitmap picture = test::Pattern(7, 5);
  for (int amount : {1, -4, 77}) {
    TBitmap out = Apply(picture, [=](auto& i) { i.Effect_Twist(amount); });
    EXPECT_EQ(At(out, 3, 2), At(picture, 3, 2)) << amount;
  }
  const TBitmap one = Solid(1, 1, Px{1, 2, 3});
  EXPECT_TRUE(test::SamePixels(Apply(one, [](auto& i) { i.Effect_Twist(0); }), one));
}

TEST(Twist, HugeAmountTurnsByAQuarter) {
  // Offset (dx, dy) from the centre takes the source at (-dy, dx) wherever
  // that source lies inside the picture.
  const TBitmap picture = test::Pattern(7, 7);
  TBitmap out = Apply(picture, [](auto& i) { i.Effect_Twist(0x7FFFFFFF); });
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx)
      EXPECT_EQ(At(out, 3 + dx, 3 + dy), At(picture, 3 - dy, 3 + dx)) << dx << "," << dy;
}

TEST(Twist, SourceJustAboveTheTopEdgeMirrorsItsRowWeights) {
  // On a 5 x 5 picture pixel (0, 0) turns to the source point
  // (3.9999995, -2.4e-7) in float arithmetic (reference/geometric_reference.py
  // twist works it out):
  // the negative row coordinate gives row 0 the weight 2.4e-7 and row 1
  // the rest, so the pixel comes from (4, 1), not from the corner (4, 0).
  const TBitmap picture = test::Pattern(5, 5);
  TBitmap out = Apply(picture, [](auto& i) { i.Effect_Twist(0x7FFFFFFF); });
  EXPECT_EQ(At(out, 0, 0), At(picture, 4, 1));
}

TEST(Remaps, DivisionByZeroFailsAndKeepsThePicture) {
  using Effect = std::function<void(TProEffectImage&)>;
  const struct { const char* what; int w, h; Effect effect; } cases[] = {
      {"fish-eye 0", 5, 4, [](auto& i) { i.Effect_FishEye(0); }},
      {"fish-eye at d = R", 4, 10, [](auto& i) { i.Effect_FishEye(1); }},
      {"twist 0", 3, 3, [](auto& i) { i.Effect_Twist(0); }},
  };
  for (const auto& c : cases) {
    const TBitmap picture = test::Pattern(c.w, c.h);
    TProEffectImage image;
    image.AssignBitmap(picture);
    try {
      c.effect(image);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const EZeroDivide& e) {
      EXPECT_STREQ(e.what(), "Floating point division by zero") << c.what;
    }
    EXPECT_TRUE(test::SamePixels(*image.PictureBitmap(), picture)) << c.what;
  }
}

TEST(SpotLight, EllipseOverTheWholePictureKeepsItsInside) {
  const TBitmap picture = Solid(9, 9, Grey(100));
  TBitmap out = Apply(picture, [](auto& i) { i.Effect_SpotLight(0, TRect{0, 0, 9, 9}); });
  EXPECT_EQ(At(out, 4, 4), Grey(100));  // centre
  EXPECT_EQ(At(out, 4, 1), Grey(100));  // inside, next to the outline
  for (auto [x, y] : {std::pair{0, 0}, std::pair{8, 0}, std::pair{0, 8}, std::pair{8, 8}})
    EXPECT_EQ(At(out, x, y), Grey(0)) << "corner " << x << "," << y;
  EXPECT_EQ(At(out, 4, 0), Grey(0));  // on the outline
  EXPECT_EQ(At(out, 0, 4), Grey(0));
  // The amount darkens what shows through.
  TBitmap dark = Apply(picture, [](auto& i) { i.Effect_SpotLight(128, TRect{0, 0, 9, 9}); });
  EXPECT_EQ(At(dark, 4, 4), Grey(50));
}

TEST(SpotLight, SpotOutsideThePictureBlackensEverything) {
  for (TRect spot : {TRect{20, 20, 40, 40}, TRect{-9, -9, -2, -2}, TRect{3, 3, 3, 6}}) {
    TBitmap out = Apply(test::Pattern(9, 7), [=](auto& i) { i.Effect_SpotLight(0, spot); });
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 9; ++x) ASSERT_EQ(At(out, x, y), Grey(0)) << x << "," << y;
  }
}

TEST(SpotLight, ReversedSpotIsTheSameEllipseAsTheOrderedOne) {
  // As the platform's ellipse drawing does, the box's edges are ordered
  // first: a spot given right to left or bottom to top is the same spot.
  const TBitmap picture = test::Pattern(9, 7);
  const TBitmap ordered = Apply(picture, [](auto& i) { i.Effect_SpotLight(40, TRect{1, 1, 8, 6}); });
  const TBitmap centre = Apply(Solid(1, 1, At(picture, 4, 3)), [](auto& i) { i.Effect_Darkness(40); });
  EXPECT_EQ(At(ordered, 4, 3), At(centre, 0, 0));  // the spot shows the darkened picture
  for (TRect reversed : {TRect{8, 1, 1, 6}, TRect{1, 6, 8, 1}, TRect{8, 6, 1, 1}}) {
    TBitmap out = Apply(picture, [=](auto& i) { i.Effect_SpotLight(40, reversed); });
    EXPECT_TRUE(test::SamePixels(out, ordered)) << reversed.Left << "," << reversed.Top << ","
                                                << reversed.Right << "," << reversed.Bottom;
  }
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// Random coordinates of every scale: around the picture, far outside it,
// tiny fractions whose weights force the extended-precision fallback,
// halves and the 2^31 boundary; `ordinary` keeps to fractions of 1/256 and
// halves, whose weights are all at least 2^-10.
class TRandomCoordinates {
 public:
  float Next(bool ordinary = false) {
    const uint64_t r = Bits();
    switch (ordinary ? (r & 1) * 5 : r % 6) {
      case 0: return static_cast<float>(static_cast<int64_t>(r >> 8) % 4000 - 2000) / 256.0f;
      case 1: return std::ldexp(static_cast<float>((r >> 8) % 1000) / 1000.0f, -static_cast<int>((r >> 20) % 60));
      case 2: return -std::ldexp(static_cast<float>((r >> 8) % 1000) / 1000.0f, -static_cast<int>((r >> 20) % 60));
      case 3: return static_cast<float>((r >> 8) % 20) + std::ldexp(1.0f, -static_cast<int>((r >> 20) % 40));
      case 4: return std::bit_cast<float>(static_cast<uint32_t>(r >> 16) & 0x4FFFFFFFu);  // up to ~2^32
      default: return static_cast<float>(static_cast<int64_t>(r >> 8) % 100) - 49.5f;
    }
  }

 private:
  uint64_t Bits() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  uint64_t state_ = 88172645463325252ull;
};

TBitmap SamplerSource() {
  return test::Make(7, 5, [](int x, int y) {
    return Px{(x * 97 + y * 31) % 256, (x * 13 + y * 201) % 256, (x * y * 59 + 255) % 256};
  });
}

TEST(WrappedSample, AgreesWithTheRuleAsWrittenEverywhere) {
  // Negative zero and the 2^31 boundary are checked at the end.
  const TBitmap s = SamplerSource();
  TRandomCoordinates coordinates;
  auto randomCoordinate = [&] { return coordinates.Next(); };
  int mismatches = 0;
  for (int n = 0; n < 300000; ++n) {
    const float px = randomCoordinate(), py = randomCoordinate();
    if (std::isnan(px) || std::isnan(py)) continue;
    // The sample, or nothing when the point raises a floating-point error.
    auto outcome = [&](TSample (*sample)(const TBitmap&, float, float)) -> std::optional<TSample> {
      try {
        return sample(s, px, py);
      } catch (const EMathError&) {
        return std::nullopt;
      }
    };
    const auto fast = outcome(&WrappedSample), written = outcome(&WrappedSampleAsWritten);
    if (fast != written && ++mismatches < 5) ADD_FAILURE() << "at (" << px << ", " << py << ")";
  }
  EXPECT_EQ(mismatches, 0);
  for (float v : {-0.0f, 2147483648.0f, -2147483648.0f, 2147483520.0f, 1e-45f, -1e-45f, 0.99999994f})
    EXPECT_EQ(WrappedSample(s, v, 1.5f), WrappedSampleAsWritten(s, v, 1.5f)) << v;
}

TEST(WrappedSample, RowsAgreeWithTheRuleAsWrittenOnBothPaths) {
  // Rows of ordinary points (the four-point lanes), of mixed ones (groups
  // that fall back), and of ordinary ones with a stray mixed point; rows of
  // every length modulo four. Points the rule rejects are left out.
  const TBitmap s = SamplerSource();
  TRandomCoordinates coordinates;
  auto accepted = [&](float x, float y) {
    try {
      WrappedSampleAsWritten(s, x, y);
      return true;
    } catch (const EMathError&) {
      return false;
    }
  };
  for (bool plainOnly : {false, true}) {
    SetPlainPathsOnly(plainOnly);
    int mismatches = 0;
    for (int row = 0; row < 3000; ++row) {
      const int n = 1 + row % 67;
      std::vector<float> xs, ys;
      while (static_cast<int>(xs.size()) < n) {
        const bool ordinary = row % 3 == 0 || (row % 3 == 2 && xs.size() % 11 != 5);
        const float x = coordinates.Next(ordinary), y = coordinates.Next(ordinary);
        if (std::isnan(x) || std::isnan(y) || !accepted(x, y)) continue;
        xs.push_back(x);
        ys.push_back(y);
      }
      std::vector<uint8_t> out(3 * n);
      WrappedSampleRow(s, xs.data(), ys.data(), n, out.data());
      for (int i = 0; i < n; ++i) {
        const TSample e = WrappedSampleAsWritten(s, xs[i], ys[i]);
        if ((out[3 * i] != e.Blue || out[3 * i + 1] != e.Green || out[3 * i + 2] != e.Red) && ++mismatches < 5)
          ADD_FAILURE() << "at (" << xs[i] << ", " << ys[i] << ")" << (plainOnly ? " plain" : "");
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
  SetPlainPathsOnly(false);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The two remaps transcribed step by step, each float the rounding of an
// extended expression, sampling with the rule as written.
float F(long double v) { return static_cast<float>(v); }

TBitmap LiteralFishEye(const TBitmap& S, int amount) {
  TBitmap D = S;
  const int W = S.Width(), H = S.Height();
  const float cx = F(W / 2.0L), cy = F(H / 2.0L), R = F(static_cast<long double>(W) * amount);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const float dx = F(x - static_cast<long double>(cx)), dy = F(y - static_cast<long double>(cy));
      const float d = F(Sqrt(static_cast<long double>(dx) * dx + static_cast<long double>(dy) * dy));
      float px = cx, py = cy;
      if (d != 0) {
        const float k = F((Divide(1.0L, 1.0L - Divide(d, R)) - 1.0L) * (static_cast<long double>(R) / 2.0L));
        px = F(Divide(static_cast<long double>(dx) * k, d) + cx);
        py = F(Divide(static_cast<long double>(dy) * k, d) + cy);
      }
      const TSample s = WrappedSampleAsWritten(S, px, py);
      uint8_t* p = D.PixelRow(y) + 3 * x;
      p[0] = s.Blue, p[1] = s.Green, p[2] = s.Red;
    }
  return D;
}

TBitmap LiteralTwist(const TBitmap& S, int amount) {
  TBitmap D = S;
  const int W = S.Width(), H = S.Height();
  const float cx = F((W - 1) / 2.0L), cy = F((H - 1) / 2.0L);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const float dx = F(x - static_cast<long double>(cx)), dy = F(y - static_cast<long double>(cy));
      const float r = F(Sqrt(static_cast<long double>(dx) * dx + static_cast<long double>(dy) * dy));
      float px = cx, py = cy;
      if (r != 0) {
        const float theta = F(PolarAngle(dx, dy) - Divide(r, amount) + 1.5707963705062866L);
        px = F(static_cast<long double>(F(Cos(theta) * r)) + cx);
        py = F(static_cast<long double>(F(Sin(theta) * r)) + cy);
      }
      const TSample s = WrappedSampleAsWritten(S, px, py);
      uint8_t* p = D.PixelRow(y) + 3 * x;
      p[0] = s.Blue, p[1] = s.Green, p[2] = s.Red;
    }
  return D;
}

TEST(Remaps, AgreeWithTheRulesWrittenOut) {
  for (auto [w, h] : {std::pair{16, 11}, std::pair{15, 12}, std::pair{9, 9}, std::pair{1, 7}}) {
    const TBitmap picture = test::Pattern(w, h);
    for (int amount : {1, 2, 5, -3, 300}) {
      EXPECT_TRUE(test::SamePixels(Apply(picture, [=](auto& i) { i.Effect_FishEye(amount); }),
                                   LiteralFishEye(picture, amount)))
          << "fish-eye " << w << "x" << h << " amount " << amount;
      EXPECT_TRUE(test::SamePixels(Apply(picture, [=](auto& i) { i.Effect_Twist(amount); }),
                                   LiteralTwist(picture, amount)))
          << "twist " << w << "x" << h << " amount " << amount;
    }
  }
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(SpotLight, EqualsDarkeningThenTheMaskAsDrawn) {
  // The rule spelled out with a mask surface: black, the ellipse filled
  // white and outlined black, drawn over the darkened picture with white
  // transparent.
  const TBitmap picture = test::Pattern(37, 29);
  const TRect spots[] = {{0, 0, 37, 29}, {5, 3, 20, 26}, {-10, -8, 50, 12}, {30, 20, 60, 70},
                         {40, 0, 50, 10}, {3, 3, 4, 4},   {20, 5, 10, 15},  {2, 9, 35, 10}};
  for (const TRect& spot : spots) {
    TBitmap expected = picture;
    DarknessPixels(expected, 90);
    TBitmap mask = Sized(37, 29);
    FillRect(mask, TRect{0, 0, 37, 29}, clBlack);
    FillEllipse(mask, spot, clWhite, clBlack);
    CopySurfaceTransparent(mask, expected, 0, 0, clWhite);
    EXPECT_TRUE(test::SamePixels(Apply(picture, [=](auto& i) { i.Effect_SpotLight(90, spot); }), expected))
        << spot.Left << "," << spot.Top << "," << spot.Right << "," << spot.Bottom;
  }
}

}  // namespace
}  // namespace qv
