#include "effects/halftone_lookup.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "imaging/halftone.h"

namespace qv {

namespace {

struct Box {
  int lo[3], hi[3];
};

int Channel(const TRGBQuad& q, int k) { return k == 0 ? q.Red : k == 1 ? q.Green : q.Blue; }

int Distance(const TRGBQuad& q, int r, int g, int b) {
  const int dr = q.Red - r, dg = q.Green - g, db = q.Blue - b;
  return dr * dr + dg * dg + db * db;
}

// The entries of `candidates` (in index order) that can be nearest, or
// equally near, for some colour of the box. Two tests drop an entry e:
// - its smallest distance to the box exceeds the largest distance to the
//   box of some other entry;
// - some other entry f is nearer than e for every colour of the box, or
//   equally near or nearer and of a lower index. d(f) - d(e) is linear in
//   the colour (the squares of the colour cancel), so over the box it is
//   largest at a corner, found channel by channel: it decides exactly.
// The entry the full search picks for a colour is never dropped: an entry
// that dropped it would be nearer at that colour, or as near with a lower
// index. Searching the survivors in index order with a strict "nearer"
// test therefore gives the full search's answer, ties included.
std::vector<int> Survivors(const Box& box, const std::vector<int>& candidates) {
  const auto& palette = HalftonePalette();
  std::vector<int> dmin(candidates.size());
  int bound = INT32_MAX;
  for (size_t i = 0; i < candidates.size(); ++i) {
    const TRGBQuad& q = palette[candidates[i]];
    int lo = 0, hi = 0;
    for (int k = 0; k < 3; ++k) {
      const int c = Channel(q, k);
      const int below = c < box.lo[k] ? box.lo[k] - c : (c > box.hi[k] ? c - box.hi[k] : 0);
      const int far = std::max(std::abs(c - box.lo[k]), std::abs(c - box.hi[k]));
      lo += below * below;
      hi += far * far;
    }
    dmin[i] = lo;
    bound = std::min(bound, hi);
  }
  std::vector<int> near;
  for (size_t i = 0; i < candidates.size(); ++i)
    if (dmin[i] <= bound) near.push_back(candidates[i]);

  std::vector<int> kept;
  for (const int e : near) {
    bool dropped = false;
    for (const int f : near) {
      if (f == e) continue;
      // d(f) - d(e) = |f|^2 - |e|^2 + 2 c.(e - f): each channel at the box
      // edge that makes its term largest.
      const TRGBQuad& qe = palette[e];
      const TRGBQuad& qf = palette[f];
      int largest = Distance(qf, 0, 0, 0) - Distance(qe, 0, 0, 0);
      for (int k = 0; k < 3; ++k) {
        const int step = Channel(qe, k) - Channel(qf, k);
        largest += 2 * step * (step > 0 ? box.hi[k] : box.lo[k]);
      }
      if (largest < 0 || (largest == 0 && f < e)) {
        dropped = true;
        break;
      }
    }
    if (!dropped) kept.push_back(e);
  }
  return kept;
}

}  // namespace

// The cells are slices of each channel's range. Any slicing gives the same
// answers; this one cuts where the nearest level of the palette's colour
// cube (multiples of 51) changes and then into slices of at most eight
// values, so that in most cells one entry is nearest for every colour. The
// survivors of a cell are found among those of its block of whole levels
// (an entry that cannot be nearest anywhere in the block cannot be nearest
// in a part of it).
THalftoneLookup::THalftoneLookup() {
  struct Slice {
    int lo, hi;
  };
  std::vector<std::vector<Slice>> levels(6);
  std::array<int, 256> sliceOf{};
  int slices = 0;
  for (int level = 0; level < 6; ++level) {
    const int lo = std::max(0, 51 * level - 25), hi = std::min(255, 51 * level + 25);
    const int length = hi - lo + 1, parts = (length + 7) / 8;
    for (int i = 0; i < parts; ++i) {
      const Slice slice{lo + length * i / parts, lo + length * (i + 1) / parts - 1};
      levels[level].push_back(slice);
      for (int v = slice.lo; v <= slice.hi; ++v) sliceOf[v] = slices;
      ++slices;
    }
  }
  for (int v = 0; v < 256; ++v) {
    red_[v] = static_cast<uint32_t>(sliceOf[v] * slices * slices);
    green_[v] = static_cast<uint32_t>(sliceOf[v] * slices);
    blue_[v] = static_cast<uint32_t>(sliceOf[v]);
  }

  std::vector<int> all(256);
  for (int e = 0; e < 256; ++e) all[e] = e;
  const auto& palette = HalftonePalette();
  cells_.assign(static_cast<size_t>(slices) * slices * slices, 0);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) {
        const Box block{{levels[r].front().lo, levels[g].front().lo, levels[b].front().lo},
                        {levels[r].back().hi, levels[g].back().hi, levels[b].back().hi}};
        const std::vector<int> near = Survivors(block, all);
        for (const Slice& sr : levels[r])
          for (const Slice& sg : levels[g])
            for (const Slice& sb : levels[b]) {
              const std::vector<int> kept = Survivors(Box{{sr.lo, sg.lo, sb.lo}, {sr.hi, sg.hi, sb.hi}}, near);
              uint32_t& cell = cells_[red_[sr.lo] + green_[sg.lo] + blue_[sb.lo]];
              // At least one entry survives (the nearest for any colour of
              // the cell), at most the 256 of the palette.
              cell = static_cast<uint32_t>(kept.size());
              if (kept.size() == 1) {
                cell |= static_cast<uint32_t>(kept[0]) << kCountBits;
                continue;
              }
              cell |= static_cast<uint32_t>(entries_.size()) << kCountBits;
              for (const int e : kept)
                entries_.push_back({palette[e].Red, palette[e].Green, palette[e].Blue, static_cast<uint8_t>(e)});
            }
      }
}

const THalftoneLookup& THalftoneLookup::Instance() {
  static const THalftoneLookup lookup;
  return lookup;
}

}  // namespace qv
