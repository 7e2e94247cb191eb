// Which vector lanes the remaps' wrapped sample takes its rows in: steps of
// sixteen points with AVX-512 where the processor has it, steps of eight
// with AVX2 and FMA otherwise. Both give the bytes of the sample as written;
// tests forbid the wider steps to check the narrower ones on the same
// processor.
#pragma once

namespace qv {

// Allows (the default) or forbids the sixteen-point steps.
void SetSamplerAvx512(bool allowed);

// Whether rows are sampled sixteen points a step: the processor has
// AVX-512 (F, DQ, VL, BW), the steps are allowed and plain paths are not
// forced.
bool SamplerAvx512();

// Whether rows are sampled in lanes at all (eight or sixteen points a
// step): the processor has AVX2 and FMA and plain paths are not forced.
bool SamplerLanes();

}  // namespace qv
