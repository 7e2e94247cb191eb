// Row bands over the processor's cores, for effects on large pictures.
//
// Each band computes exactly what the one-thread loop computes for its rows,
// so the bytes never depend on the number of threads. The window calls the
// effects as before; only pictures of a megapixel or more are split.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "imaging/bitmap.h"

namespace qv {

// Pictures with fewer pixels run on the calling thread alone: handing
// bands to other threads would cost more than it saves.
inline constexpr int64_t kBandedPixels = 1000000;

// The number of threads for large pictures; 0 (the default) means one per
// processor core. Tests set it to compare one thread with several.
void SetEffectThreads(int count);
int EffectThreads();

// Calls band(y0, y1) for consecutive row ranges [y0, y1) that cover rows
// 0 .. H-1 in order, on several threads when W x H >= kBandedPixels.
// A band that fails stops at its first error; the error rethrown is the one
// of the topmost failing band, which is the error the one-thread loop
// would have met first.
void ForRowBands(int32_t W, int32_t H, const std::function<void(int32_t y0, int32_t y1)>& band);

// Effects that have paths for processor features (AVX2, SSE2) choose them
// at run time; with plain paths only set, they take the paths every x86-64
// processor has, so that tests can compare the two on one machine.
void SetPlainPathsOnly(bool plain);
bool PlainPathsOnly();

// Every row of the surface, fetched on the calling thread: fetching a row
// may fill a fresh surface or forget its file form, which bands on other
// threads must not do at the same time.
std::vector<uint8_t*> WritableRows(TBitmap& B);

// The surface's rows in the order they lie in memory (a bottom-up surface
// keeps row 0 last). Effects whose rows do not depend on one another visit
// them in this order: the processor then streams through memory forwards,
// which on a large picture is several times faster than walking it
// backwards a row at a time.
std::vector<uint8_t*> RowsInMemoryOrder(TBitmap& B);

}  // namespace qv
