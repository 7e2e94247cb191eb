#include "effects/twist_lanes.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include "effects/remap_points.h"
#include "effects/row_bands.h"

namespace qv::remap {
namespace {

bool Same(TSourcePoint a, TSourcePoint b) {
  return std::bit_cast<uint32_t>(a.x) == std::bit_cast<uint32_t>(b.x) &&
         std::bit_cast<uint32_t>(a.y) == std::bit_cast<uint32_t>(b.y);
}

// Each test for the AVX2 lanes and for the AVX-512 ones.
class TwistLanesTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    SetPlainPathsOnly(false);
    SetTwistAvx512(GetParam());
    if (!TwistLanesOn()) GTEST_SKIP() << "no AVX2 on this processor";
    if (GetParam() && !TwistAvx512()) GTEST_SKIP() << "no AVX-512 on this processor";
  }
  void TearDown() override {
    SetPlainPathsOnly(false);
    SetTwistAvx512(true);
  }

  // The points and the count of extended steps of part of a row, by the
  // lanes or by the steps alone.
  struct Row {
    std::vector<TSourcePoint> points;
    int64_t extended;
  };
  static Row Twist(bool lanes, float dy, float cx, float cy, int32_t amount, int32_t x0, int32_t x1) {
    SetPlainPathsOnly(!lanes);
    TRowScratch scratch;
    Row row{std::vector<TSourcePoint>(static_cast<size_t>(x1 - x0)), 0};
    TwistRow(dy, cx, cy, amount, x0, x1, row.points.data(), scratch);
    SetPlainPathsOnly(false);
    row.extended = scratch.extended;
    return row;
  }

  // Lanes and steps give the same points, the written rule's, after the
  // same number of extended steps; returns that number.
  static int64_t ExpectLanesAsWritten(float dy, float cx, float cy, int32_t amount, int32_t x0, int32_t x1) {
    const Row lanes = Twist(true, dy, cx, cy, amount, x0, x1), steps = Twist(false, dy, cx, cy, amount, x0, x1);
    EXPECT_EQ(lanes.extended, steps.extended) << "amount " << amount << " row " << dy << " from " << x0;
    for (int32_t x = x0; x < x1; ++x) {
      const TSourcePoint written = TwistPointAsWritten(x - cx, dy, cx, cy, amount);
      if (!Same(lanes.points[x - x0], written) || !Same(steps.points[x - x0], written)) {
        ADD_FAILURE() << "amount " << amount << " at " << x << ", row " << dy << " centre " << cx << "," << cy;
        return lanes.extended;
      }
    }
    return lanes.extended;
  }
};

TEST_P(TwistLanesTest, SineCosineAndArcTangentAreTheScalarFormsBitForBit) {
  // The lanes' proof of exactness is that they round exactly as the scalar
  // forms do, whose bounds are checked against the x87 elsewhere. Angles
  // from 2^-40 to beyond the polynomials' range, both signs.
  std::vector<float> angles;
  for (uint32_t bits = std::bit_cast<uint32_t>(0x1p-40f); bits <= std::bit_cast<uint32_t>(0x1p23f); bits += 509)
    for (float angle : {std::bit_cast<float>(bits), -std::bit_cast<float>(bits)}) angles.push_back(angle);
  for (float angle : {0.0f, -0.0f, 0.7853982f, 1.5707964f, 3.1415927f, 4096.0f}) angles.push_back(angle);
  std::vector<double> sine(angles.size()), cosine(angles.size());
  SinCosLanes(angles.data(), sine.data(), cosine.data(), angles.size());
  for (size_t i = 0; i < angles.size(); ++i) {
    double s, c;
    SinCos(angles[i], s, c);
    ASSERT_EQ(std::bit_cast<uint64_t>(sine[i]), std::bit_cast<uint64_t>(s)) << angles[i];
    ASSERT_EQ(std::bit_cast<uint64_t>(cosine[i]), std::bit_cast<uint64_t>(c)) << angles[i];
  }
  // Quotients from 2^-30 to 1, and those on the table's entries and on the
  // edges between them, where the index changes.
  std::vector<double> quotients = {0, 1};
  for (uint32_t bits = std::bit_cast<uint32_t>(0x1p-30f); bits < std::bit_cast<uint32_t>(1.0f); bits += 251)
    quotients.push_back(std::bit_cast<float>(bits) + 0x1p-40 * (bits % 7));
  for (int i = 0; i <= 64; ++i)
    for (double q : {i / 64.0, (i + 0.5) / 64, std::nextafter((i + 0.5) / 64, 0.0)})
      if (q <= 1) quotients.push_back(q);
  std::vector<double> result(quotients.size());
  ArcTanUnitLanes(quotients.data(), result.data(), quotients.size());
  for (size_t i = 0; i < quotients.size(); ++i)
    ASSERT_EQ(std::bit_cast<uint64_t>(result[i]), std::bit_cast<uint64_t>(ArcTan(quotients[i]))) << quotients[i];
}

TEST_P(TwistLanesTest, RowsOfWholePicturesAtEveryKindOfAmount) {
  // Both parities (the centre on a pixel or between two), row parts whose
  // ends fall anywhere in a group of four, amounts that swirl, magnify,
  // flip, divide by nearly zero (1, -1) or hardly turn at all.
  for (auto [w, h] : {std::pair{301, 203}, std::pair{256, 180}, std::pair{7, 5}}) {
    const float cx = (w - 1) / 2.0f, cy = (h - 1) / 2.0f;
    for (int32_t amount : {1, -1, 2, 3, 40, 256, -7000, 1 << 20, INT_MAX, INT_MIN}) {
      int64_t extended = 0;
      for (int y = 0; y < h; ++y) {
        const int x0 = y % 7 < w ? y % 7 : 0, x1 = w - y % 5 > x0 ? w - y % 5 : w;
        extended += ExpectLanesAsWritten(y - cy, cx, cy, amount, x0, x1);
        if (HasFailure()) return;
      }
      // The lanes must settle most pixels, or they would bring no speed.
      if (w * h > 1000) {
        EXPECT_LT(extended, w * h / 5) << w << "x" << h << " amount " << amount;
      }
    }
  }
}

TEST_P(TwistLanesTest, PixelsOnTheDecisionsFallBackAsTheStepsDo) {
  // Without swirl the pixels straight above and below the centre (dx = 0,
  // the arctangent's special case) turn to about 0 or pi, whose sines are
  // tiny floats: many lie within the bound of a rounding and take the rule
  // as written. The centre is put in each lane of a group in turn, with
  // neighbours on both sides.
  int64_t extended = 0;
  for (int dy = -1500; dy <= 1500; ++dy) {
    const int x0 = 1500 - (dy & 7);
    extended += ExpectLanesAsWritten(static_cast<float>(dy), 1500, 1500, INT_MAX, x0, x0 + 11);
    if (HasFailure()) return;
  }
  EXPECT_GT(extended, 100);
  // The row through the centre (dy = 0, of either sign of the angle), and
  // rows so far out with Amount 1 that theta passes 4096, beyond the
  // polynomials, where the x87 takes over.
  for (int32_t amount : {INT_MAX, -INT_MAX, 1, -1, 5})
    ExpectLanesAsWritten(0, 1500, 1500, amount, 0, 3001);
  EXPECT_GT(ExpectLanesAsWritten(6000, 10, 10, 1, 0, 37), 0);
  ExpectLanesAsWritten(-5000.5f, 2.5f, 3.5f, -1, 0, 23);
}

INSTANTIATE_TEST_SUITE_P(Widths, TwistLanesTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Avx512" : "Avx2"; });

}  // namespace
}  // namespace qv::remap
