// The fish-eye row's quick steps four or eight pixels at a time, in vector
// lanes.
//
// The lanes do the plain row's double operations in the same order and
// round them the same way, so every float they accept and every pixel they
// refuse is the plain row's; the row then does the refused pixels whole as
// written, as it does after its plain steps.
#pragma once

#include <cstdint>

#include "effects/remap_points.h"

namespace qv::remap {

// The lanes: four doubles (AVX2) or eight (AVX-512).
enum class TFishEyeLanes { Four, Eight };

// Whether this processor has them.
bool HasFishEyeLanes(TFishEyeLanes lanes);

// The widest lanes this processor has, unless plain paths only are asked
// for; false where there are none to use.
bool ChooseFishEyeLanes(TFishEyeLanes& lanes);

// The quick steps of a fish-eye row (R not 0, W at most 2^22, cx = W / 2)
// in lanes this processor has: out[x] and scratch.settled[x] for
// x = 0 .. W-1, exactly as the plain steps give them (settled 0: the pixel
// is to be done whole as written, and out[x] is then meaningless);
// scratch.b is working memory. Returns whether every pixel was settled.
bool FishEyeQuickLanes(TFishEyeLanes lanes, float dy, float cx, float cy, float R, int32_t W, TSourcePoint* out,
                       TRowScratch& scratch);

}  // namespace qv::remap
