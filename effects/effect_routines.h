// The routines the effects share, and each effect's pixel rule as a function
// of the 24-bit surface it works on. TProEffectImage wraps each rule in its
// frame (in place, working copy, or source and result; a rule that cannot
// fail works on the picture's own surface, with the same outcome); tests
// and benchmarks reach the rules and routines here directly.
//
// Channel arithmetic is 32-bit signed with wrap-around (as the pixel rules
// define it for out-of-range amounts); division truncates toward zero.
#pragma once

#include <cstdint>

#include "imaging/bitmap.h"
#include "imaging/geometry.h"

namespace qv {

// --- Shared routines -------------------------------------------------------

inline uint8_t ClampByte(int32_t v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// The noise generator's state: one value for the whole process, 0 at start,
// changed only by NextRandom.
extern uint32_t RandomSeed;

// Advances RandomSeed and returns a value in 0 .. Range-1 (0 for Range 0),
// Range read as unsigned.
inline uint32_t NextRandom(int32_t Range) {
  RandomSeed = RandomSeed * 134775813u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(static_cast<uint32_t>(Range)) * RandomSeed) >> 32);
}

// The seed that draws more NextRandom calls would leave, from seed, in
// O(log draws) steps.
uint32_t SkipRandom(uint32_t seed, uint64_t draws);

// round(255 * sin(v / 255 * pi / 2)) with the product held as a double.
int SplitlightCurve(int v);

// round((b * 0.11 + g * 0.59) + r * 0.3) in extended precision.
int GrayLevel(int blue, int green, int red);

// The angle of the vector (X, Y) in -pi/2 .. 3pi/2, as float.
float PolarAngle(float X, float Y);

struct TSample {
  uint8_t Blue = 0, Green = 0, Red = 0;
  friend bool operator==(const TSample&, const TSample&) = default;
};

// The colour of the 24-bit surface at the real point (px, py); coordinates
// outside the surface wrap around.
TSample WrappedSample(const TBitmap& S, float px, float py);
// The same, evaluated step by step in extended precision exactly as the rule
// is written; WrappedSample must agree with it everywhere (tests check).
TSample WrappedSampleAsWritten(const TBitmap& S, float px, float py);
// WrappedSample of the n points (xs[i], ys[i]), written three bytes each
// (blue, green, red) to out, in order, the way the remaps sample a row.
void WrappedSampleRow(const TBitmap& S, const float* xs, const float* ys, int32_t n, uint8_t* out);

// Fills the sized 24-bit Dst with a 15-bit fixed-point bilinear resample of
// the 24-bit Src (at least 2 x 2 pixels).
void SmoothResize(const TBitmap& Src, TBitmap& Dst);

// Four-neighbour average, in place, over the rectangle clipped to the
// surface less its one-pixel border. Sets B to 24 bits.
void AntiAliasRect(TBitmap& B, int32_t XOrigin, int32_t YOrigin, int32_t XFinal, int32_t YFinal);

// One split-blur pass at distance d, in place. Fails with the scan-line
// range error (before writing anything) when d < 0 or d >= height. Tells
// whether any pixel changed.
bool SplitBlurPass(TBitmap& B, int32_t d);

// --- Pixel rules on a 24-bit surface ---------------------------------------

void InvertPixels(TBitmap& B);
void AddColorNoisePixels(TBitmap& B, int32_t Amount);
void AddMonoNoisePixels(TBitmap& B, int32_t Amount);
void ContrastPixels(TBitmap& B, int32_t Amount);
void GrayScalePixels(TBitmap& B);
// Whether GrayScalePixels takes its AVX-512 steps: the processor has them,
// they are allowed (the default) and plain paths are not forced. Tests
// forbid them to compare them with the AVX2 steps.
void SetGrayAvx512(bool allowed);
bool GrayAvx512();
void LightnessPixels(TBitmap& B, int32_t Amount);
void DarknessPixels(TBitmap& B, int32_t Amount);
void SaturationPixels(TBitmap& B, int32_t Amount);
void SplitlightPixels(TBitmap& B, int32_t Amount);
// Source and result rules read S and write R (both 24 bits, same size).
void SolorizePixels(const TBitmap& S, TBitmap& R, int32_t Amount);
void PosterizePixels(const TBitmap& S, TBitmap& R, int32_t Amount);
// Raises the error posterizing a first channel value v with Amount 0 gives.
[[noreturn]] void PosterizeFailure(int v);

void MosaicPixels(TBitmap& B, int32_t Amount);
void EmbossPixels(TBitmap& B);
void TracePixels(TBitmap& B, int32_t Amount);

void TilePixels(const TBitmap& S, TBitmap& R, int32_t Amount);
void FishEyePixels(const TBitmap& S, TBitmap& D, int32_t Amount);
void TwistPixels(const TBitmap& S, TBitmap& D, int32_t Amount);
void SpotLightPixels(TBitmap& B, int32_t Amount, const TRect& Spot);

}  // namespace qv
