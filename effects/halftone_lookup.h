// Exact nearest-halftone-entry lookup, fast enough for a whole picture: the
// same answer as NearestHalftoneIndex (imaging/halftone.h) for every colour,
// ties to the lowest index included.
#pragma once

#include <cstdint>
#include <vector>

namespace qv {

class THalftoneLookup {
 public:
  static const THalftoneLookup& Instance();

  uint8_t Nearest(uint8_t red, uint8_t green, uint8_t blue) const {
    const uint32_t cell = ((red >> kShift) * kCells + (green >> kShift)) * kCells + (blue >> kShift);
    const uint32_t first = start_[cell], end = start_[cell + 1];
    // Most cells have a single entry that can be nearest: no distances.
    if (end - first == 1) [[likely]] return entries_[first].Index;
    int best = INT32_MAX;
    uint8_t bestIndex = 0;
    for (uint32_t i = first; i < end; ++i) {
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

  // Cells of 8 x 8 x 8 colours, 32 along each channel.
  static constexpr int kShift = 3;
  static constexpr int kCells = 256 >> kShift;

  struct Entry {
    int16_t Red, Green, Blue;
    uint8_t Index;
  };
  std::vector<uint32_t> start_;
  std::vector<Entry> entries_;
};

inline uint8_t FastHalftoneIndex(uint8_t red, uint8_t green, uint8_t blue) {
  return THalftoneLookup::Instance().Nearest(red, green, blue);
}

}  // namespace qv
