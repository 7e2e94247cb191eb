// Exact nearest-halftone-entry lookup, fast enough for a whole picture: the
// same answer as NearestHalftoneIndex (imaging/halftone.h) for every colour,
// ties to the lowest index included.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace qv {

class THalftoneLookup {
 public:
  static const THalftoneLookup& Instance();

  uint8_t Nearest(uint8_t red, uint8_t green, uint8_t blue) const {
    const uint32_t cell = ((red >> 4) * 16u + (green >> 4)) * 16u + (blue >> 4);
    int best = INT32_MAX;
    uint8_t bestIndex = 0;
    for (uint32_t i = start_[cell]; i < start_[cell + 1]; ++i) {
      const Entry& e = entries_[i];
      const int dr = red - e.Red, dg = green - e.Green, db = blue - e.Blue;
      const int d = dr * dr + dg * dg + db * db;
      if (d < best) {
        best = d;
        bestIndex = e.Index;
      }
    }
    return bestIndex;
  }

 private:
  THalftoneLookup();

  struct Entry {
    int16_t Red, Green, Blue;
    uint8_t Index;
  };
  std::array<uint32_t, 4097> start_{};
  std::vector<Entry> entries_;
};

inline uint8_t FastHalftoneIndex(uint8_t red, uint8_t green, uint8_t blue) {
  return THalftoneLookup::Instance().Nearest(red, green, blue);
}

}  // namespace qv
