// Where the twist and fish-eye remaps sample the source, pixel by pixel.
//
// The rules hold every real as a float that is the rounding of an extended
// (80-bit) expression, with x87 transcendentals. Each point has two forms:
//
// - AsWritten: the rule step by step in extended precision. It is the
//   reference, and the only form that raises the rules' errors.
// - Quick: the same steps in double precision, with polynomial sine, cosine
//   and arctangent. Every step carries a bound on how far its value may lie
//   from the exact one, generous enough to cover the extended form as well,
//   and a float is accepted only when every value within that bound rounds
//   to the same float (RoundsToOneFloat). Where it cannot vouch for a float
//   it takes that step in extended precision as written, so both forms
//   give the same floats by construction.
//
// The quick form works a row at a time, each step over the whole row
// before the next, so that the processor overlaps many pixels' work.
#pragma once

#include <cstdint>
#include <exception>
#include <vector>

namespace qv::remap {

struct TSourcePoint {
  float x = 0, y = 0;
};

// The float nearest to v when every value within bound of v rounds to the
// same float; false otherwise (also for values near the float range's end,
// where the extended form may overflow).
bool RoundsToOneFloat(double v, double bound, float& out);

// Double-precision sine and cosine of a float angle (|angle| <= 4096), and
// arctangent of any finite double; each within the bound named below of the
// exact value.
inline constexpr double kTrigBound = 0x1p-49;  // absolute
void SinCos(float angle, double& sine, double& cosine);
inline constexpr double kArcTanBound = 0x1p-48;  // relative to the result
double ArcTan(double q);
// The arctangent's table, atan(i / 64) for i = 0 .. 64.
const double* ArcTanSteps();

// dx, dy: the pixel's offset from the centre (cx, cy), a multiple of 1/2
// below 2^23 in size, as the remaps' offsets are.
TSourcePoint TwistPointAsWritten(float dx, float dy, float cx, float cy, int32_t Amount);

// R: the float radius W x Amount.
TSourcePoint FishEyePointAsWritten(float dx, float dy, float cx, float cy, float R);

// Working memory a row of points reuses.
struct TRowScratch {
  std::vector<float> a;
  std::vector<double> b;
  std::vector<uint8_t> settled;  // fish-eye: 0 where the pixel was done whole as written
  std::exception_ptr error;
  int64_t extended = 0;  // steps (twist) or pixels (fish-eye) done in extended precision
};

// The twist points of part of a row (Amount not 0): dx = x - cx for
// x = x0 .. x1-1 into out[0 .. x1-x0-1], the same floats as
// TwistPointAsWritten.
void TwistRow(float dy, float cx, float cy, int32_t Amount, int32_t x0, int32_t x1, TSourcePoint* out,
              TRowScratch& scratch);

// The fish-eye points of one row, cx = W / 2: dx = x - cx for
// x = 0 .. W-1, the same floats as FishEyePointAsWritten. Returns how many
// points, from x = 0, are in out: fewer than W when the pixel after them
// raises the written rule's error, which is then in scratch.error.
int32_t FishEyeRow(float dy, float cx, float cy, float R, int32_t W, TSourcePoint* out, TRowScratch& scratch);

}  // namespace qv::remap
