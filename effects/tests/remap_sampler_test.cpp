// The remaps' wrapped sample taken a row at a time (sixteen or eight points
// to a step where the processor allows, each width tested), against the sample as written, on the
// pictures and points where a row can go wrong: tiny pictures whose rows
// have no padding, both row orders in memory, the last pixel in memory,
// wraps of every kind, whole-number points, weights too small for the quick
// sums, coordinates past 2^31 and NaN.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "effects/effect_image.h"
#include "effects/effect_routines.h"
#include "effects/remap_sampler.h"
#include "effects/row_bands.h"
#include "effects/tests/surfaces.h"
#include "imaging/exceptions.h"

namespace qv {
namespace {

// Each test with the sixteen-point steps allowed, and forbidden (so that
// the eight-point steps take the rows).
class SamplerRows : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    SetPlainPathsOnly(false);
    SetSamplerAvx512(GetParam());
    if (GetParam() && !SamplerAvx512()) GTEST_SKIP() << "no AVX-512 on this processor";
  }
  void TearDown() override {
    SetPlainPathsOnly(false);
    SetSamplerAvx512(true);
  }
};

struct TPoints {
  std::vector<float> x, y;
  void Add(float px, float py) {
    x.push_back(px);
    y.push_back(py);
  }
  int Size() const { return static_cast<int>(x.size()); }
};

std::optional<TSample> Written(const TBitmap& s, float x, float y) {
  try {
    return WrappedSampleAsWritten(s, x, y);
  } catch (const EMathError&) {
    return std::nullopt;
  }
}

// Coordinates along an axis of the given size: every whole position from
// two pictures before to two after, with fractions that are plain (0, 1/2,
// 1/4 and the 2^-10 limits) and fractions too small for the quick sums, on
// both sides of zero; then far wraps and the ends of the 32-bit range.
std::vector<float> AxisCoordinates(int size) {
  const float fractions[] = {0.0f, 0.5f, 0.25f, 0x1p-10f, 1.0f - 0x1p-10f, 0x1p-11f, 1.0f - 0x1p-11f, 0x1p-24f};
  std::vector<float> v;
  for (int whole = -2 * size - 1; whole <= 3 * size + 1; ++whole)
    for (float f : fractions) v.push_back(static_cast<float>(whole) + (whole < 0 ? -f : f));
  const float far[] = {1000.0f * size + 0.5f, -1000.0f * size - 0.5f, 1000.0f * size - 1.0f, -1000.0f * size,
                       1048575.75f,           -1048576.25f,           2147483520.0f,          -2147483520.0f,
                       -2147483648.0f,        2147483648.0f,          4294967040.0f,          -0.0f,
                       1e-45f,                -1e-45f,                0.99999994f,            -0.99999994f};
  v.insert(v.end(), std::begin(far), std::end(far));
  return v;
}

// Every pair of axis coordinates the rule accepts, in an order that mixes
// plain, wrapping and fall-back points within each step of eight.
TPoints PointsFor(const TBitmap& s) {
  const std::vector<float> xs = AxisCoordinates(s.Width()), ys = AxisCoordinates(s.Height());
  TPoints p;
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (size_t j = 0; j < ys.size(); ++j)
    for (size_t i = 0; i < xs.size(); ++i) {
      // Half the pairs in order (steps of neighbouring points), half with a
      // random partner.
      state ^= state << 13, state ^= state >> 7, state ^= state << 17;
      const float y = (i & 1) ? ys[state % ys.size()] : ys[j];
      if (Written(s, xs[i], y)) p.Add(xs[i], y);
    }
  return p;
}

// Samples the points as rows (whole, and from a few later starts so that
// the steps of eight fall elsewhere) on both paths; every point must give
// the rule's bytes.
void ExpectRowsAsWritten(const TBitmap& s, const TPoints& p, const std::string& what) {
  for (bool plainOnly : {false, true}) {
    SetPlainPathsOnly(plainOnly);
    for (int start : {0, 3, 5}) {
      const int n = p.Size() - start;
      std::vector<uint8_t> out(3 * static_cast<size_t>(n), 0xA5);
      WrappedSampleRow(s, p.x.data() + start, p.y.data() + start, n, out.data());
      int mismatches = 0;
      for (int i = 0; i < n; ++i) {
        const TSample e = *Written(s, p.x[start + i], p.y[start + i]);
        const uint8_t* o = &out[3 * static_cast<size_t>(i)];
        if ((o[0] != e.Blue || o[1] != e.Green || o[2] != e.Red) && ++mismatches <= 3)
          ADD_FAILURE() << what << (plainOnly ? " plain" : " lanes") << ": at (" << p.x[start + i] << ", "
                        << p.y[start + i] << ") " << int(o[0]) << "," << int(o[1]) << "," << int(o[2])
                        << " instead of " << int(e.Blue) << "," << int(e.Green) << "," << int(e.Red);
      }
      EXPECT_EQ(mismatches, 0) << what;
    }
  }
  SetPlainPathsOnly(false);
}

TEST_P(SamplerRows, TinyPicturesInBothRowOrdersAgreeWithTheRule) {
  // Widths 4 and 8 have rows without padding: there the last pixel in
  // memory (row 0 bottom-up, the last row top-down) ends the buffer, and a
  // read past it would show under the address sanitizer. Width 1 has no
  // right neighbour but itself; height 1 has no row below but itself.
  for (int w : {1, 2, 3, 4, 5, 8})
    for (int h : {1, 2, 3})
      for (bool topDown : {false, true}) {
        TBitmap s = test::Pattern(w, h);
        s.SetTopDown(topDown);
        ExpectRowsAsWritten(s, PointsFor(s),
                            std::to_string(w) + "x" + std::to_string(h) + (topDown ? " top-down" : " bottom-up"));
      }
}

TEST_P(SamplerRows, ChannelsAtTheirExtremesRoundAsTheRuleDoes) {
  // White and black neighbours: sums near 255 (where the weights' rounding
  // can carry a sum past 255) and sums of exact halves that round to even.
  const TBitmap s = test::Make(6, 4, [](int x, int y) { return (x + y) % 2 ? test::Grey(255) : test::Px{0, 1, 254}; });
  TPoints p;
  for (int i = 0; i < 4000; ++i) {
    const float x = static_cast<float>(i % 97) / 16.0f - 0.3f, y = static_cast<float>(i % 89) / 32.0f - 0.7f;
    p.Add(x, y);
    p.Add(static_cast<float>(i % 6) + 0.5f, static_cast<float>(i % 4));
  }
  ExpectRowsAsWritten(s, p, "extremes");
}

TEST_P(SamplerRows, EachTapIsAddedWithOneRounding) {
  // Grey 2 x 2 pictures and points whose exact sum lies within 2^-13 of a
  // half: there, rounding channel x weight to float before adding it
  // (instead of rounding the sum once) moves the sum off or onto the half
  // and changes the byte. Columns then rows of each picture, the point, and
  // the byte worked out by an independent script with one rounding a tap
  // (the other would give 140, 134, 77, 162).
  struct TCase {
    int grey[2][2];  // [column][row]
    float x, y;
    int byte;
  };
  const TCase cases[] = {{{{175, 125}, {27, 227}}, 0x1.6c8p-1f, 0x1.178p-1f, 139},
                         {{{7, 153}, {121, 223}}, 0x1.bc8p-1f, 0x1.0fp-2f, 135},
                         {{{105, 37}, {75, 40}}, 0x1.69cp-1f, 0x1.4ecp-3f, 76},
                         {{{108, 158}, {199, 253}}, 0x1.14bp-1f, 0x1.a2p-4f, 163}};
  for (const TCase& c : cases) {
    const TBitmap s = test::Make(2, 2, [&](int x, int y) { return test::Grey(c.grey[x][y]); });
    // The same sample at whole pictures' distance, wrapped in one step or
    // by the remainder, at every place of a step.
    TPoints p;
    for (int i = 0; i < 40; ++i) p.Add(c.x + static_cast<float>(2 * (i % 5)), c.y + static_cast<float>(2 * (i % 3)));
    ExpectRowsAsWritten(s, p, "sum of " + std::to_string(c.byte));
    EXPECT_EQ(WrappedSampleAsWritten(s, c.x, c.y).Blue, c.byte);
  }
}

TEST_P(SamplerRows, PointsTheRuleRejectsRaiseItsErrorFromARow) {
  // A NaN or a coordinate past the 64-bit range among ordinary points: the
  // row fails as the rule does, without reading outside the picture.
  const TBitmap s = test::Pattern(4, 3);
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), 1e30f, -1e30f})
    for (int at : {0, 5, 8, 13}) {
      TPoints p;
      for (int i = 0; i < 16; ++i) p.Add(i == at ? bad : 0.5f + i % 4, i == at + 1 ? bad : 1.25f);
      std::vector<uint8_t> out(3 * 16);
      for (bool plainOnly : {false, true}) {
        SetPlainPathsOnly(plainOnly);
        EXPECT_THROW(WrappedSampleRow(s, p.x.data(), p.y.data(), 16, out.data()), EInvalidOp) << bad << " at " << at;
      }
      SetPlainPathsOnly(false);
    }
}

TEST_P(SamplerRows, RemapsAreTheSameOnBothPaths) {
  // Whole pictures, with rows with and without padding and the remaps'
  // wraps at the corners: the rows of eight against the point-by-point
  // path (itself checked against the rule).
  for (auto [w, h] : {std::pair{203, 131}, std::pair{128, 97}})
    for (int amount : {1, 3, -2, 40}) {
      const TBitmap picture = test::Pattern(w, h);
      TBitmap fast[2], plain[2];
      SetPlainPathsOnly(false);
      fast[0] = test::Apply(picture, [=](auto& i) { i.Effect_Twist(amount); });
      fast[1] = test::Apply(picture, [=](auto& i) { i.Effect_FishEye(amount); });
      SetPlainPathsOnly(true);
      plain[0] = test::Apply(picture, [=](auto& i) { i.Effect_Twist(amount); });
      plain[1] = test::Apply(picture, [=](auto& i) { i.Effect_FishEye(amount); });
      SetPlainPathsOnly(false);
      EXPECT_TRUE(test::SamePixels(fast[0], plain[0])) << "twist " << w << "x" << h << " amount " << amount;
      EXPECT_TRUE(test::SamePixels(fast[1], plain[1])) << "fish-eye " << w << "x" << h << " amount " << amount;
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, SamplerRows, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Avx512" : "Avx2"; });

}  // namespace
}  // namespace qv
