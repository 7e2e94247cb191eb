#include "effects/halftone_lookup.h"

#include <algorithm>
#include <cstdlib>

#include "imaging/halftone.h"

namespace qv {

// The colour cube is cut into cells of 16 x 16 x 16 colours. For each cell
// we keep, in index order, every palette entry that can be the nearest one
// for some colour of the cell: an entry is dropped only when even its
// smallest distance to the cell exceeds the largest distance to the cell of
// some other entry, so no colour of the cell can have it as its nearest or
// as an equally near one. Searching the survivors in index order with a
// strict "nearer" test then gives exactly the full search's answer, ties
// included. About four entries per cell survive.
THalftoneLookup::THalftoneLookup() {
  const auto& palette = HalftonePalette();
  for (int cr = 0; cr < 16; ++cr)
    for (int cg = 0; cg < 16; ++cg)
      for (int cb = 0; cb < 16; ++cb) {
        const int lo[3] = {cr * 16, cg * 16, cb * 16};
        const int hi[3] = {lo[0] + 15, lo[1] + 15, lo[2] + 15};
        std::array<int, 256> nearest{};
        int bound = INT32_MAX;
        for (int e = 0; e < 256; ++e) {
          const int c[3] = {palette[e].Red, palette[e].Green, palette[e].Blue};
          int dmin = 0, dmax = 0;
          for (int k = 0; k < 3; ++k) {
            const int below = c[k] < lo[k] ? lo[k] - c[k] : (c[k] > hi[k] ? c[k] - hi[k] : 0);
            const int far = std::max(std::abs(c[k] - lo[k]), std::abs(c[k] - hi[k]));
            dmin += below * below;
            dmax += far * far;
          }
          nearest[e] = dmin;
          bound = std::min(bound, dmax);
        }
        start_[(cr * 16 + cg) * 16 + cb] = static_cast<uint32_t>(entries_.size());
        for (int e = 0; e < 256; ++e)
          if (nearest[e] <= bound)
            entries_.push_back({palette[e].Red, palette[e].Green, palette[e].Blue, static_cast<uint8_t>(e)});
      }
  start_[4096] = static_cast<uint32_t>(entries_.size());
}

const THalftoneLookup& THalftoneLookup::Instance() {
  static const THalftoneLookup lookup;
  return lookup;
}

}  // namespace qv
