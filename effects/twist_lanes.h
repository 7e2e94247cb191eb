// The twist's source points many at a time, in the vector lanes of
// processors that have AVX2 (or AVX-512, where there is).
//
// Each lane does exactly the double operations of TwistRow's quick steps,
// in the same order and with the same constants and table (no fused
// multiply-add), and a vector lane rounds exactly as a scalar double or
// float operation does. So every float the lanes accept, and every step
// they refuse, is the one the quick steps accept or refuse, and the bounds
// those steps carry hold unchanged. All five steps of a pixel are taken in
// one pass, without the step arrays; a pixel with a refused step is left
// to the quick steps and their extended fall-backs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "effects/remap_points.h"

namespace qv::remap {

// Whether TwistRow takes the lanes: the processor has AVX2 and plain paths
// are not forced.
bool TwistLanesOn();

// Whether the lanes are AVX-512's: the processor has them and they are
// allowed (the default). Tests forbid them to compare the two widths.
void SetTwistAvx512(bool allowed);
bool TwistAvx512();

// The twist points of pixels x0 .. x1-1 of a row (Amount not 0), into
// out[0 .. x1-x0-1], except those of the pixels some step refuses: their x
// go into refused[], whose count is returned (at most x1 - x0), and their
// points are to be written again. Only to be called when TwistLanesOn().
int32_t TwistLanes(float dy, float cx, float cy, int32_t Amount, int32_t x0, int32_t x1, TSourcePoint* out,
                   int32_t* refused);

// The lanes' own sine and cosine of n float angles, and arctangent of n
// values in [0, 1]: bit for bit SinCos and ArcTan, which the tests check.
// Only to be called when TwistLanesOn().
void SinCosLanes(const float* angle, double* sine, double* cosine, size_t n);
void ArcTanUnitLanes(const double* a, double* result, size_t n);

}  // namespace qv::remap
