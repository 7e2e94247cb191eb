// Prints one line per case: the case's name and a hash of the picture it
// produces, or the error text it raises. The portable core must give the same
// bytes whichever compiler built it, so the test command builds this program
// with each compiler and compares what they print, line for line.
//
// The cases: all 21 effects over random pictures at the amounts where the
// 32-bit channel products and sums wrap, and the gradient in every kind,
// with and without Reverse, at a few sizes.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "effects/effect_image.h"
#include "effects/effect_registry.h"
#include "effects/effect_routines.h"
#include "effects/tests/wrapping_amounts.h"
#include "imaging/bitmap.h"
#include "imaging/exceptions.h"
#include "imaging/gradient.h"

namespace qv {
namespace {

// 64-bit FNV-1a over the size and the picture's bytes (padding excluded).
class Digest {
 public:
  void Add(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i) h_ = (h_ ^ p[i]) * 0x100000001B3ull;
  }
  void Add(const TBitmap& b) {
    const int32_t size[3] = {b.Width(), b.Height(), b.PixelBits()};
    Add(size, sizeof size);
    const size_t rowBytes = (static_cast<size_t>(b.Width()) * b.PixelBits() + 7) / 8;
    for (int y = 0; y < b.Height(); ++y) Add(b.PixelRow(y), rowBytes);
  }
  uint64_t Value() const { return h_; }

 private:
  uint64_t h_ = 0xCBF29CE484222325ull;
};

// Runs one case and prints its line. What the case raises is part of its
// result: its text is printed in place of the hash.
template <typename Case>
void Run(const std::string& name, Case produce) {
  try {
    const TBitmap picture = produce();
    Digest d;
    d.Add(picture);
    std::printf("%s %016" PRIx64 "\n", name.c_str(), d.Value());
  } catch (const std::exception& e) {
    std::printf("%s error: %s\n", name.c_str(), e.what());
  }
}

struct Random {
  uint64_t state;
  uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
};

TBitmap RandomPicture(int w, int h, uint64_t seed) {
  Random r{seed};
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.PixelRow(y);
    for (int i = 0; i < 3 * w; ++i) row[i] = static_cast<uint8_t>(r.Next() >> 56);
  }
  return b;
}

void Effects() {
  struct Size { int w, h; };
  const Size sizes[] = {{1, 1}, {2, 5}, {7, 3}, {37, 23}};
  const std::vector<int32_t> amounts = test::WrappingAmounts();
  const TRect spots[] = {{1, 1, 30, 20}, {30, 20, 1, 1}, {-5, 2, 40, 9}};
  for (const TEffectInfo& effect : PublishedEffects()) {
    for (const Size& s : sizes) {
      const TBitmap picture = RandomPicture(s.w, s.h, 0x9E3779B97F4A7C15ull ^ (s.w * 131 + s.h));
      auto apply = [&](const TEffectArgs& args) {
        return [&, args] {
          RandomSeed = 0;  // every case starts as the program does
          TProEffectImage image;
          image.AssignBitmap(picture);
          effect.Invoke(image, args);
          return *image.PictureBitmap();
        };
      };
      const std::string base = std::string(effect.Name) + " " + std::to_string(s.w) + "x" + std::to_string(s.h);
      if (effect.Params == TEffectParams::epNone) {
        Run(base, apply({}));
        continue;
      }
      for (int32_t a : amounts) {
        if (effect.Params == TEffectParams::epAmount) {
          Run(base + " " + std::to_string(a), apply({a, {}}));
          continue;
        }
        for (const TRect& spot : spots)
          Run(base + " " + std::to_string(a) + " spot " + std::to_string(spot.Left) + "," +
                  std::to_string(spot.Top) + "," + std::to_string(spot.Right) + "," + std::to_string(spot.Bottom),
              apply({a, spot}));
      }
    }
  }
}

void Gradients() {
  struct Size { int w, h; };
  const Size sizes[] = {{1, 1}, {885, 147}, {64, 33}, {3, 200}, {1328, 221}};
  const struct { TKelvoGradientType type; double angle; const char* name; } kinds[] = {
      {gtLinear, 0, "linear"}, {gtRadial, 0, "radial"}, {gtLinear, 30, "linear30"}, {gtAngle, 0, "angle"},
      {gtAngle, 100, "angle100"}};
  Random r{12345};
  for (const Size& s : sizes)
    for (const auto& kind : kinds)
      for (bool reverse : {false, true})
        for (int pair = 0; pair < 3; ++pair) {
          // The main window's two stops (alpha 255 at 0 and 1) with random
          // colours, and for the last pair a half-transparent middle stop.
          const auto first = static_cast<TColor>(r.Next() >> 40), second = static_cast<TColor>(r.Next() >> 40);
          Run(std::string("gradient ") + kind.name + (reverse ? " reverse " : " ") + std::to_string(s.w) + "x" +
                  std::to_string(s.h) + " pair " + std::to_string(pair),
              [&] {
                TKelvoGradient g;
                g.Colors().Add().SetColor(second);
                TKelvoGradientColor& end = g.Colors().Add();
                end.SetColor(first);
                end.SetPosition(1);
                if (pair == 2) {
                  TKelvoGradientColor& middle = g.Colors().Add();
                  middle.SetColor(first ^ 0xFFFFFF);
                  middle.SetAlpha(100);
                  middle.SetPosition(0.375);
                }
                g.SetGradientType(kind.type);
                g.SetAngle(kind.angle);
                g.SetReverse(reverse);
                TBitmap b;
                b.SetSize(s.w, s.h);
                g.PaintGradient(0, 0, b);
                return b;
              });
        }
}

}  // namespace
}  // namespace qv

int main() {
  qv::Effects();
  qv::Gradients();
  return 0;
}
