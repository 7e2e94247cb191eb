// Every channel value at the amounts where the 32-bit channel products and
// sums wrap around. The expected values are worked out here in plain 64-bit
// arithmetic with the 32-bit wrap written out, independently of the effects'
// own helpers, so that a compiler that mistranslates the effects' arithmetic
// cannot make both sides agree.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "effects/effect_routines.h"
#include "effects/tests/surfaces.h"
#include "effects/tests/wrapping_amounts.h"

namespace qv {
namespace {

using test::At;
using test::Make;
using test::Px;
using test::WrappingAmounts;

// The low 32 bits of x read as a signed number.
int64_t Wrap(int64_t x) {
  int64_t low = x & INT64_C(0xFFFFFFFF);
  return low >= INT64_C(0x80000000) ? low - INT64_C(0x100000000) : low;
}

int Clamp(int64_t v) { return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v)); }

// Every blue value 0 .. 255 in each row, with green and red running through
// other values, so that every channel value meets many pixel means.
TBitmap Ramp() {
  return Make(256, 6, [](int x, int y) { return Px{x, (x * 7 + y * 41) % 256, (255 - x + y * 83) % 256}; });
}

int64_t Contrast(int64_t v, int64_t A) {
  const int64_t d = Wrap((v > 127 ? v - 127 : 127 - v) * A) / 255;
  return Clamp(v > 127 ? v + d : v - d);
}
int64_t Lightness(int64_t v, int64_t A) { return Clamp(v + Wrap(A * (255 - v)) / 255); }
int64_t Darkness(int64_t v, int64_t A) { return Clamp(v - Wrap(A * v) / 255); }

// round(v / A) * A with ties to even, in integers (exact for 32-bit A),
// limited to a byte; A is not 0.
int64_t Posterize(int64_t v, int64_t A) {
  const int64_t n = A < 0 ? -v : v, d = A < 0 ? -A : A;  // n / d = v / A, d > 0
  int64_t q = n >= 0 ? n / d : -((-n) / d);               // truncated
  int64_t r = n - q * d;                                  // same sign as n
  if (2 * (r < 0 ? -r : r) > d || (2 * (r < 0 ? -r : r) == d && q % 2 != 0)) q += (n < 0 ? -1 : 1);
  const int64_t product = q * A;
  return product < 0 ? 0 : (product > 255 ? 255 : product);
}

void ExpectEachChannel(const TBitmap& in, const TBitmap& out, int32_t A, const char* what,
                       int64_t (*rule)(int64_t, int64_t)) {
  int wrong = 0;
  for (int y = 0; y < in.Height(); ++y)
    for (int x = 0; x < in.Width(); ++x) {
      const Px p = At(in, x, y);
      const Px expected{static_cast<int>(rule(p.b, A)), static_cast<int>(rule(p.g, A)),
                        static_cast<int>(rule(p.r, A))};
      if (!(At(out, x, y) == expected) && ++wrong <= 3)
        ADD_FAILURE() << what << "(" << A << ") of " << p << ": " << At(out, x, y) << ", expected " << expected;
    }
  EXPECT_EQ(wrong, 0) << what << "(" << A << ")";
}

TEST(WrappingAmounts, ChannelRules) {
  const TBitmap ramp = Ramp();
  for (int32_t A : WrappingAmounts()) {
    TBitmap out = ramp;
    ContrastPixels(out, A);
    ExpectEachChannel(ramp, out, A, "Contrast", Contrast);
    out = ramp;
    LightnessPixels(out, A);
    ExpectEachChannel(ramp, out, A, "Lightness", Lightness);
    out = ramp;
    DarknessPixels(out, A);
    ExpectEachChannel(ramp, out, A, "Darkness", Darkness);
    if (A != 0) {  // Amount 0 fails; its errors are tested with the effect
      out = ramp;
      PosterizePixels(ramp, out, A);
      ExpectEachChannel(ramp, out, A, "Posterize", Posterize);
    }
    // The spot light darkens like Darkness; a spot far larger than the
    // picture puts every pixel inside the ellipse and off its outline.
    out = ramp;
    SpotLightPixels(out, A, TRect{-1000, -1000, 1256, 1006});
    ExpectEachChannel(ramp, out, A, "SpotLight", Darkness);
  }
}

TEST(WrappingAmounts, PixelMeanRules) {
  const TBitmap ramp = Ramp();
  for (int32_t A : WrappingAmounts()) {
    TBitmap saturated = ramp, solorized = ramp;
    SaturationPixels(saturated, A);
    SolorizePixels(ramp, solorized, A);
    int wrong = 0;
    for (int y = 0; y < ramp.Height(); ++y)
      for (int x = 0; x < ramp.Width(); ++x) {
        const Px p = At(ramp, x, y);
        const int64_t m = (int64_t{p.b} + p.g + p.r) / 3;
        auto saturate = [&](int64_t v) { return Clamp(m + Wrap((v - m) * A) / 255); };
        const Px sat{saturate(p.b), saturate(p.g), saturate(p.r)};
        const Px sol = m > A ? Px{255 - p.b, 255 - p.g, 255 - p.r} : p;
        if (!(At(saturated, x, y) == sat) && ++wrong <= 3)
          ADD_FAILURE() << "Saturation(" << A << ") of " << p << ": " << At(saturated, x, y) << ", expected " << sat;
        if (!(At(solorized, x, y) == sol) && ++wrong <= 3)
          ADD_FAILURE() << "Solorize(" << A << ") of " << p << ": " << At(solorized, x, y) << ", expected " << sol;
      }
    EXPECT_EQ(wrong, 0) << "amount " << A;
  }
}

// The generator written out: seed * 134775813 + 1 modulo 2^32, and the high
// half of the 64-bit product of the amount (read unsigned) and the new seed.
struct Draws {
  uint64_t seed = 0;
  int64_t Next(int64_t A) {
    seed = (seed * 134775813 + 1) & UINT64_C(0xFFFFFFFF);
    return static_cast<int64_t>(((static_cast<uint64_t>(A) & UINT64_C(0xFFFFFFFF)) * seed) >> 32);
  }
};

TEST(WrappingAmounts, NoiseSums) {
  const TBitmap ramp = Ramp();
  for (int32_t A : WrappingAmounts()) {
    const int64_t half = (static_cast<int64_t>(A) & INT64_C(0xFFFFFFFF)) >> 1;
    TBitmap colour = ramp, mono = ramp;
    RandomSeed = 0;
    AddColorNoisePixels(colour, A);
    RandomSeed = 0;
    AddMonoNoisePixels(mono, A);
    Draws forColour, forMono;
    int wrong = 0;
    for (int y = 0; y < ramp.Height(); ++y)
      for (int x = 0; x < ramp.Width(); ++x) {
        const Px p = At(ramp, x, y);
        const int64_t nb = forColour.Next(A), ng = forColour.Next(A), nr = forColour.Next(A);
        const Px c{Clamp(Wrap(nb - half + p.b)), Clamp(Wrap(ng - half + p.g)), Clamp(Wrap(nr - half + p.r))};
        const int64_t n = Wrap(forMono.Next(A) - half);
        const Px m{Clamp(Wrap(p.b + n)), Clamp(Wrap(p.g + n)), Clamp(Wrap(p.r + n))};
        if (!(At(colour, x, y) == c) && ++wrong <= 3)
          ADD_FAILURE() << "AddColorNoise(" << A << ") at " << x << "," << y << ": " << At(colour, x, y)
                        << ", expected " << c;
        if (!(At(mono, x, y) == m) && ++wrong <= 3)
          ADD_FAILURE() << "AddMonoNoise(" << A << ") at " << x << "," << y << ": " << At(mono, x, y)
                        << ", expected " << m;
      }
    EXPECT_EQ(wrong, 0) << "amount " << A;
  }
  RandomSeed = 0;
}

// The case the fault was found with, worked by hand: at -2^31 red 30 has
// the product 97 * -2^31, which wraps to exactly -2^31, so d = -8421504 and
// red goes white; green's 60 * -2^31 wraps to 0 and blue 127 is never moved.
TEST(WrappingAmounts, ContrastOfTheProductThatWrapsToTheLowestValue) {
  TBitmap picture = Make(1, 1, [](int, int) { return Px{127, 67, 30}; });
  ContrastPixels(picture, INT32_MIN);
  EXPECT_EQ(At(picture, 0, 0), (Px{127, 67, 255}));
}

}  // namespace
}  // namespace qv
