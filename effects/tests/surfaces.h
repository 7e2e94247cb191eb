// Small 24-bit pictures for the effect tests, and running an effect on one.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>

#include "effects/effect_image.h"
#include "imaging/bitmap.h"

namespace qv::test {

struct Px {
  int b = 0, g = 0, r = 0;
  friend bool operator==(const Px&, const Px&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Px& p) {
    return os << "(b " << p.b << ", g " << p.g << ", r " << p.r << ")";
  }
};

inline Px Grey(int v) { return {v, v, v}; }

inline TBitmap Make(int w, int h, const std::function<Px(int x, int y)>& pixel) {
  TBitmap bmp;
  bmp.SetPixelFormat(TPixelFormat::pf24bit);
  bmp.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bmp.PixelRow(y);
    for (int x = 0; x < w; ++x) {
      Px p = pixel(x, y);
      row[3 * x] = static_cast<uint8_t>(p.b);
      row[3 * x + 1] = static_cast<uint8_t>(p.g);
      row[3 * x + 2] = static_cast<uint8_t>(p.r);
    }
  }
  return bmp;
}

inline TBitmap Solid(int w, int h, Px p) {
  return Make(w, h, [=](int, int) { return p; });
}

// A picture in which neighbouring pixels differ, for checks that every pixel
// went where it should.
inline TBitmap Pattern(int w, int h) {
  return Make(w, h, [](int x, int y) {
    return Px{(x * 37 + y * y * 11) % 256, (x * x * 5 + y * 71) % 256, ((x * 13) ^ (y * 29 + 7)) % 256};
  });
}

inline Px At(const TBitmap& bmp, int x, int y) {
  const uint8_t* p = bmp.PixelRow(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

// Pixels (not padding) equal.
inline bool SamePixels(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (!(At(a, x, y) == At(b, x, y))) return false;
  return true;
}

// Runs one effect through the control on a copy of the picture and returns
// what the control then shows, which is always a 24-bit picture.
inline TBitmap Apply(const TBitmap& picture, const std::function<void(TProEffectImage&)>& effect) {
  TProEffectImage image;
  image.AssignBitmap(picture);
  effect(image);
  EXPECT_EQ(image.PictureBitmap()->PixelFormat(), TPixelFormat::pf24bit);
  return *image.PictureBitmap();
}

}  // namespace qv::test
