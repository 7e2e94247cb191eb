#include "imaging/halftone.h"

namespace qv {

namespace {

constexpr TRGBQuad Rgb(int r, int g, int b) {
  return TRGBQuad{static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
}

constexpr int kCubeBase = 10;
constexpr int kGreyBase = 226;
constexpr int kGreyCount = 20;
// The greys end where the ten high static colours begin.
static_assert(kGreyBase + kGreyCount == 246);

std::array<TRGBQuad, 256> BuildPalette() {
  std::array<TRGBQuad, 256> p{};
  const TRGBQuad low[10] = {Rgb(0, 0, 0),     Rgb(128, 0, 0),   Rgb(0, 128, 0),
                            Rgb(128, 128, 0), Rgb(0, 0, 128),   Rgb(128, 0, 128),
                            Rgb(0, 128, 128), Rgb(192, 192, 192), Rgb(192, 220, 192),
                            Rgb(166, 202, 240)};
  const TRGBQuad high[10] = {Rgb(255, 251, 240), Rgb(160, 160, 164), Rgb(128, 128, 128),
                             Rgb(255, 0, 0),     Rgb(0, 255, 0),     Rgb(255, 255, 0),
                             Rgb(0, 0, 255),     Rgb(255, 0, 255),   Rgb(0, 255, 255),
                             Rgb(255, 255, 255)};
  for (int i = 0; i < 10; ++i) {
    p[i] = low[i];
    p[246 + i] = high[i];
  }
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) p[kCubeBase + 36 * r + 6 * g + b] = Rgb(51 * r, 51 * g, 51 * b);
  // Greys that fill the gaps of the cube's grey axis, four between each pair.
  int n = 0;
  for (int step = 0; step < 5; ++step)
    for (int k = 1; k <= 4; ++k) {
      int v = 51 * step + (51 * k + 2) / 5;
      p[kGreyBase + n++] = Rgb(v, v, v);
    }
  return p;
}

int Distance(const TRGBQuad& e, int r, int g, int b) {
  int dr = e.Red - r, dg = e.Green - g, db = e.Blue - b;
  return dr * dr + dg * dg + db * db;
}

int NearestLevel(int v) { return (v + 25) / 51; }  // 51 is odd: no ties between levels

}  // namespace

const std::array<TRGBQuad, 256>& HalftonePalette() {
  static const std::array<TRGBQuad, 256> palette = BuildPalette();
  return palette;
}

uint8_t NearestHalftoneIndex(uint8_t red, uint8_t green, uint8_t blue) {
  const auto& p = HalftonePalette();
  // The nearest cube entry is found channel by channel (squared distance is a
  // sum of independent terms); only the 40 entries off the cube's grid can
  // beat it, so those are checked one by one in index order.
  int cube = kCubeBase + 36 * NearestLevel(red) + 6 * NearestLevel(green) + NearestLevel(blue);
  int best = -1, bestDist = 0;
  auto consider = [&](int i) {
    int d = Distance(p[i], red, green, blue);
    if (best < 0 || d < bestDist || (d == bestDist && i < best)) {
      best = i;
      bestDist = d;
    }
  };
  for (int i = 0; i < kCubeBase; ++i) consider(i);
  consider(cube);
  // Lower-indexed cube entries at the same distance would also tie; the
  // distance of the grid neighbour differs by at least one level step, and
  // per-channel nearest levels are unique, so the cube's best is unique.
  for (int i = kGreyBase; i < 256; ++i) consider(i);
  return static_cast<uint8_t>(best);
}

uint8_t NearestPaletteIndex(const std::vector<TRGBQuad>& palette, uint8_t red, uint8_t green,
                            uint8_t blue) {
  int best = 0, bestDist = Distance(palette[0], red, green, blue);
  for (size_t i = 1; i < palette.size() && bestDist != 0; ++i) {
    int d = Distance(palette[i], red, green, blue);
    if (d < bestDist) {
      best = static_cast<int>(i);
      bestDist = d;
    }
  }
  return static_cast<uint8_t>(best);
}

}  // namespace qv
