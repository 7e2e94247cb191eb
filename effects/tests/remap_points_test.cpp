#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include "effects/remap_points.h"
#include "imaging/numeric.h"

namespace qv::remap {
namespace {

bool Same(TSourcePoint a, TSourcePoint b) {
  return std::bit_cast<uint32_t>(a.x) == std::bit_cast<uint32_t>(b.x) &&
         std::bit_cast<uint32_t>(a.y) == std::bit_cast<uint32_t>(b.y);
}

TEST(RemapKernels, SinCosStayWithinTheirBoundOfTheX87) {
  // Every 509th float from 2^-40 up to 4096, both signs.
  double worst = 0;
  for (uint32_t bits = std::bit_cast<uint32_t>(0x1p-40f); bits <= std::bit_cast<uint32_t>(4096.0f); bits += 509)
    for (float angle : {std::bit_cast<float>(bits), -std::bit_cast<float>(bits)}) {
      double s, c;
      SinCos(angle, s, c);
      worst = std::fmax(worst, std::fabs(s - static_cast<double>(Sin(angle))));
      worst = std::fmax(worst, std::fabs(c - static_cast<double>(Cos(angle))));
    }
  EXPECT_LE(worst, kTrigBound);
}

TEST(RemapKernels, ArcTanStaysWithinItsBoundOfTheX87) {
  double worst = 0;
  for (uint32_t bits = std::bit_cast<uint32_t>(0x1p-30f); bits <= std::bit_cast<uint32_t>(0x1p30f); bits += 251)
    for (float q : {std::bit_cast<float>(bits), -std::bit_cast<float>(bits)}) {
      const long double exact = ArcTan(static_cast<long double>(q));
      worst = std::fmax(worst, static_cast<double>(std::fabs((ArcTan(static_cast<double>(q)) - exact) / exact)));
    }
  EXPECT_LE(worst, kArcTanBound);
}

TEST(RemapKernels, RoundsToOneFloatOnlyAwayFromADecision) {
  const double mid = 1 + 0x1p-24;  // halfway between 1 and the next float
  struct Case {
    double v, bound;
    bool decided;
    float expected;
  } cases[] = {
      {mid, 0, false, 0},
      {mid + 0x1p-40, 0x1p-45, true, 1 + 0x1p-23f},
      {mid - 0x1p-40, 0x1p-45, true, 1.0f},
      {mid + 0x1p-40, 0x1p-39, false, 0},
      {0x1p-30, 0x1p-29, false, 0},  // straddles zero: the sign of zero is open
      {3.0e38, 1, false, 0},         // may overflow in the extended form
      {std::nan(""), 0, false, 0},
  };
  for (const Case& c : cases) {
    float out = -1;
    EXPECT_EQ(RoundsToOneFloat(c.v, c.bound, out), c.decided) << c.v << " +- " << c.bound;
    if (c.decided) {
      EXPECT_EQ(out, c.expected) << c.v;
    }
  }
}

TEST(RemapPoints, FishEyeFactorOnAHalfwayPointTakesTheWrittenRule) {
  // d = 5 and R = 2^22 + 5 make k = (R / 2) d / (R - d) = (5 x 2^22 + 25) / 2^23
  // exactly, a value of 25 significant bits: halfway between two floats, so
  // only the extended arithmetic's own rounding can settle it. Likewise
  // d = 10 with R = 2^23 + 10. A neighbour is settled quickly. The row is
  // 200 wide (centre 100), the pixel at offset (dx, dy).
  struct Case {
    int dx, dy;
    float R;
    bool halfway;
  } cases[] = {
      {3, 4, 0x1p22f + 5, true},
      {4, -3, 0x1p22f + 5, true},
      {-6, 8, 0x1p23f + 10, true},
      {3, 4, 0x1p22f + 7, false},
  };
  for (const Case& c : cases) {
    TRowScratch scratch;
    std::vector<TSourcePoint> row(200);
    ASSERT_EQ(FishEyeRow(static_cast<float>(c.dy), 100, 50, c.R, 200, row.data(), scratch), 200);
    const int x = 100 + c.dx;
    EXPECT_EQ(scratch.settled[x] == 0, c.halfway) << c.dx << "," << c.dy << " R " << c.R;
    EXPECT_TRUE(Same(row[x], FishEyePointAsWritten(static_cast<float>(c.dx), static_cast<float>(c.dy), 100, 50, c.R)));
  }
}

TEST(RemapPoints, TwistOnTheAxesWithoutSwirlSitsOnDecisions) {
  // With no swirl, the pixels straight above and below the centre turn to
  // an angle of about 0 or pi, whose sine is a tiny float: its rounding lies
  // within the quick form's bound for many of them, and those steps take
  // the rule as written.
  TRowScratch scratch;
  TSourcePoint p;
  for (int dy = -1500; dy <= 1500; ++dy) {
    TwistRow(static_cast<float>(dy), 1500, 1500, INT_MAX, 1500, 1501, &p, scratch);
    ASSERT_TRUE(Same(p, TwistPointAsWritten(0, static_cast<float>(dy), 1500, 1500, INT_MAX))) << dy;
  }
  EXPECT_GT(scratch.extended, 100);
}

TEST(RemapPoints, RowsEqualTheWrittenPointsOverWholePictures) {
  // Every pixel of pictures of both parities, for amounts that swirl,
  // magnify, flip and (1, -1) divide by nearly zero at distance R; the
  // quick form must also settle most of them, or it would bring no speed.
  for (auto [w, h] : {std::pair{301, 203}, std::pair{256, 180}}) {
    const float tcx = (w - 1) / 2.0f, tcy = (h - 1) / 2.0f;
    const float fcx = w / 2.0f, fcy = h / 2.0f;
    for (int amount : {1, -1, 3, 40, 256, 200, -7000, INT_MAX}) {
      const float R = static_cast<float>(static_cast<int64_t>(w) * amount);
      TRowScratch twist, fish;
      std::vector<TSourcePoint> row(w);
      for (int y = 0; y < h; ++y) {
        // The twist's also for part of a row.
        const int x0 = y % 7, x1 = w - y % 5;
        TwistRow(y - tcy, tcx, tcy, amount, x0, x1, row.data(), twist);
        for (int x = x0; x < x1; ++x)
          ASSERT_TRUE(Same(row[x - x0], TwistPointAsWritten(x - tcx, y - tcy, tcx, tcy, amount)))
              << "twist " << w << "x" << h << " " << amount << " at " << x << "," << y;
        const int n = FishEyeRow(y - fcy, fcx, fcy, R, w, row.data(), fish);
        for (int x = 0; x < w; ++x) {
          try {
            const TSourcePoint written = FishEyePointAsWritten(x - fcx, y - fcy, fcx, fcy, R);
            ASSERT_LT(x, n);
            ASSERT_TRUE(Same(row[x], written))
                << "fish-eye " << w << "x" << h << " " << amount << " at " << x << "," << y;
          } catch (const Exception&) {
            ASSERT_EQ(x, n) << "the row stops at its first failing pixel";
            break;
          }
        }
      }
      // Amounts with few bits make r / Amount short and many angles exact
      // ties, each settled by one extended sum (no transcendental).
      EXPECT_LT(twist.extended, w * h / 5) << "twist " << amount;
      EXPECT_LT(fish.extended, w * h / 50) << "fish-eye " << amount;
    }
  }
}

}  // namespace
}  // namespace qv::remap
