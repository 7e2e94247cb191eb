// The fish-eye rows in vector lanes against the rule as written, with the
// plain rows alongside: every path must give the written points, refuse the
// same pixels and stop at the same failing pixel.
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "effects/fisheye_lanes.h"
#include "effects/remap_points.h"
#include "effects/row_bands.h"
#include "imaging/numeric.h"

namespace qv::remap {
namespace {

struct PlainPaths {
  explicit PlainPaths(bool plain) { SetPlainPathsOnly(plain); }
  ~PlainPaths() { SetPlainPathsOnly(false); }
};

bool Same(TSourcePoint a, TSourcePoint b) {
  return std::bit_cast<uint32_t>(a.x) == std::bit_cast<uint32_t>(b.x) &&
         std::bit_cast<uint32_t>(a.y) == std::bit_cast<uint32_t>(b.y);
}

// One row on one path: how many points it gave, the points, and which
// pixels its quick steps refused.
struct Row {
  int32_t n = 0;
  std::vector<TSourcePoint> points;
  std::vector<uint8_t> settled;
  int64_t extended = 0;
  std::string error;
};

Row RunRow(bool plain, int y, int w, int h, float R) {
  const PlainPaths paths(plain);
  const float cx = w / 2.0f, cy = h / 2.0f;
  Row row;
  row.points.assign(static_cast<size_t>(w), {-1, -1});
  TRowScratch scratch;
  row.n = FishEyeRow(y - cy, cx, cy, R, w, row.points.data(), scratch);
  row.settled = scratch.settled;
  row.extended = scratch.extended;
  if (scratch.error) {
    try {
      std::rethrow_exception(scratch.error);
    } catch (const Exception& e) {
      row.error = e.what();
    }
  }
  return row;
}

// Checks row y of a w x h picture against the written points, on the plain
// path and on the path chosen for this processor, and each width of lanes
// this processor has against the plain steps; returns how many pixels the
// quick steps refused.
int64_t CheckRow(int y, int w, int h, float R, const std::string& what) {
  const float cx = w / 2.0f, cy = h / 2.0f;
  const Row chosen = RunRow(false, y, w, h, R), plain = RunRow(true, y, w, h, R);
  EXPECT_EQ(chosen.n, plain.n) << what;
  EXPECT_EQ(chosen.settled, plain.settled) << what;
  EXPECT_EQ(chosen.extended, plain.extended) << what;
  EXPECT_EQ(chosen.error, plain.error) << what;
  for (int x = 0; x < w; ++x) {
    try {
      const TSourcePoint written = FishEyePointAsWritten(x - cx, y - cy, cx, cy, R);
      EXPECT_LT(x, chosen.n) << what << " x " << x;
      if (x >= chosen.n) break;
      EXPECT_TRUE(Same(chosen.points[x], written)) << what << " x " << x;
      EXPECT_TRUE(Same(plain.points[x], written)) << what << " x " << x;
    } catch (const Exception& e) {
      EXPECT_EQ(x, chosen.n) << what << ": the row stops at its first failing pixel";
      EXPECT_EQ(chosen.error, e.what()) << what;
      break;
    }
  }
  // The plain steps' points stand for every pixel they settled, also beyond
  // a failing pixel; each width of lanes must settle the same pixels to the
  // same points.
  for (TFishEyeLanes lanes : {TFishEyeLanes::Four, TFishEyeLanes::Eight}) {
    if (R == 0 || !HasFishEyeLanes(lanes)) continue;
    const std::string width = lanes == TFishEyeLanes::Four ? " in 4 lanes" : " in 8 lanes";
    TRowScratch scratch;
    std::vector<TSourcePoint> points(static_cast<size_t>(w));
    const bool every = FishEyeQuickLanes(lanes, y - cy, cx, cy, R, w, points.data(), scratch);
    EXPECT_EQ(every, plain.extended == 0) << what << width;
    EXPECT_EQ(scratch.settled, plain.settled) << what << width;
    for (int x = 0; x < w; ++x)
      if (plain.settled[x]) {
        EXPECT_TRUE(Same(points[x], plain.points[x])) << what << width << " x " << x;
      }
  }
  return chosen.extended;
}

TEST(FishEyeLanes, RowsOfWholePicturesEqualTheWrittenPoints) {
  // Widths below, at and around the lane count, odd and even (odd heights
  // have no pixel at the centre); amounts that magnify, flip beyond R,
  // divide by zero (0), and reach distance R within the picture (1, -1).
  const std::pair<int, int> sizes[] = {{1, 1}, {2, 2}, {3, 5}, {4, 10}, {5, 4},    {7, 8},
                                       {8, 7}, {9, 9}, {16, 6}, {17, 11}, {301, 203}, {256, 180}};
  for (auto [w, h] : sizes)
    for (int amount : {0, 1, -1, 2, 3, -7, 40, INT_MAX, INT_MIN}) {
      const float R = static_cast<float>(static_cast<int64_t>(w) * amount);
      int64_t refused = 0;
      for (int y = 0; y < h; ++y)
        refused += CheckRow(y, w, h, R, std::to_string(w) + "x" + std::to_string(h) + " amount " +
                                            std::to_string(amount) + " row " + std::to_string(y));
      // The quick steps must settle nearly every pixel, or they bring no speed.
      if (amount != 0 && w * h > 1000) {
        EXPECT_LT(refused, w * h / 50) << w << "x" << h << " amount " << amount;
      }
    }
}

TEST(FishEyeLanes, RowStopsAtThePixelAtDistanceR) {
  // A pixel at distance exactly R divides by zero; pixels before it in the
  // row are done. (x, y, w, h): 4 x 10 at Amount 1 has pixel (2, 1) at
  // distance 4; in a 100 x 200 picture pixel (22, 4) lies at offset
  // (-28, -96), distance 100, and its mirror (78, 4) as well; in a
  // 10 x 20 picture pixel (5, 0) lies at offset (0, -10).
  struct Case {
    int x, y, w, h;
  } cases[] = {{2, 1, 4, 10}, {22, 4, 100, 200}, {5, 0, 10, 20}};
  for (const Case& c : cases)
    for (bool plain : {false, true}) {
      const Row row = RunRow(plain, c.y, c.w, c.h, static_cast<float>(c.w));
      EXPECT_EQ(row.n, c.x) << c.w << "x" << c.h << (plain ? " plain" : " lanes");
      EXPECT_EQ(row.error, "Floating point division by zero");
      CheckRow(c.y, c.w, c.h, static_cast<float>(c.w), "at R " + std::to_string(c.w));
    }
}

TEST(FishEyeLanes, FactorsHalfwayBetweenFloatsTakeTheWrittenRule) {
  // At distance d = 5 with R = 2^22 + 5, k = (R / 2) d / (R - d) is
  // (5 x 2^22 + 25) / 2^23 exactly, 25 significant bits: halfway between two
  // floats, so only the extended rounding settles it. Likewise d = 10 with
  // R = 2^23 + 10. Every pixel at that distance, whichever lane or mirror it
  // falls on, must be refused by both paths; in a 200-wide row the others
  // are settled.
  struct Case {
    int d;
    float R;
    std::vector<std::pair<int, int>> offsets;
  } cases[] = {
      {5, 0x1p22f + 5, {{3, 4}, {-3, 4}, {4, -3}, {-4, -3}, {5, 0}, {-5, 0}, {0, 5}, {0, -5}}},
      {10, 0x1p23f + 10, {{6, 8}, {-8, 6}, {10, 0}, {-10, 0}, {0, -10}, {6, -8}, {-6, 8}}},
  };
  constexpr int w = 200, h = 100;
  for (const Case& c : cases)
    for (auto [dx, dy] : c.offsets) {
      const std::string what = std::to_string(dx) + "," + std::to_string(dy);
      CheckRow(h / 2 + dy, w, h, c.R, what);
      for (bool plain : {false, true}) {
        const Row row = RunRow(plain, h / 2 + dy, w, h, c.R);
        EXPECT_EQ(row.settled[w / 2 + dx], 0) << what << (plain ? " plain" : " lanes");
        EXPECT_EQ(row.settled[w / 2 + dx + 1], 1) << what << (plain ? " plain" : " lanes");
      }
    }
}

}  // namespace
}  // namespace qv::remap
