#include "effects/halftone_lookup.h"

#include <algorithm>
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

// The cube is halved along every channel again and again down to the cells;
// each part keeps only the survivors of the part that holds it: an entry
// that cannot be nearest anywhere in the larger part cannot be nearest in a
// piece of it.
THalftoneLookup::THalftoneLookup() {
  std::vector<std::vector<int>> cellEntries(static_cast<size_t>(kCells) * kCells * kCells);
  auto refine = [&](auto& self, const Box& box, const std::vector<int>& candidates) -> void {
    const std::vector<int> kept = Survivors(box, candidates);
    const int side = box.hi[0] - box.lo[0] + 1;
    if (side == 1 << kShift) {
      const size_t cell = (static_cast<size_t>(box.lo[0] >> kShift) * kCells + (box.lo[1] >> kShift)) *
                              kCells + (box.lo[2] >> kShift);
      cellEntries[cell] = kept;
      return;
    }
    const int half = side / 2;
    for (int part = 0; part < 8; ++part) {
      Box piece = box;
      for (int k = 0; k < 3; ++k) {
        piece.lo[k] = box.lo[k] + (part >> k & 1) * half;
        piece.hi[k] = piece.lo[k] + half - 1;
      }
      self(self, piece, kept);
    }
  };
  std::vector<int> all(256);
  for (int e = 0; e < 256; ++e) all[e] = e;
  refine(refine, Box{{0, 0, 0}, {255, 255, 255}}, all);

  const auto& palette = HalftonePalette();
  start_.reserve(cellEntries.size() + 1);
  for (const auto& list : cellEntries) {
    start_.push_back(static_cast<uint32_t>(entries_.size()));
    for (const int e : list)
      entries_.push_back({palette[e].Red, palette[e].Green, palette[e].Blue, static_cast<uint8_t>(e)});
  }
  start_.push_back(static_cast<uint32_t>(entries_.size()));
}

const THalftoneLookup& THalftoneLookup::Instance() {
  static const THalftoneLookup lookup;
  return lookup;
}

}  // namespace qv
