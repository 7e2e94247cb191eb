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
    const uint32_t cell = cells_[red_[red] + green_[green] + blue_[blue]];
    const uint32_t count = cell & ((1u << kCountBits) - 1);
    // Most cells have a single entry that can be nearest: no distances.
    if (count == 1) [[likely]] return static_cast<uint8_t>(cell >> kCountBits);
    int best = INT32_MAX;
    uint8_t bestIndex = 0;
    for (uint32_t i = cell >> kCountBits, end = i + count; i < end; ++i) {
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
  // Each channel's byte to its slice of the colour cube, already scaled so
  // that the three add up to the cell's number.
  std::array<uint32_t, 256> red_{}, green_{}, blue_{};
  // Per cell, the count of entries that can be nearest in its low bits and
  // above them the entry's index (one entry) or the first of its entries.
  static constexpr int kCountBits = 9;
  std::vector<uint32_t> cells_;
  std::vector<Entry> entries_;
};

inline uint8_t FastHalftoneIndex(uint8_t red, uint8_t green, uint8_t blue) {
  return THalftoneLookup::Instance().Nearest(red, green, blue);
}

}  // namespace qv
