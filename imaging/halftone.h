// The standard 256-colour halftone palette used for 8-bit surfaces, and exact
// nearest-entry matching into it (or into any palette).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

struct TRGBQuad {
  uint8_t Blue = 0;
  uint8_t Green = 0;
  uint8_t Red = 0;
  uint8_t Reserved = 0;
  friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

// Entries 0-9 and 246-255 are the twenty static colours of the Windows
// system palette; 10-225 the 6 x 6 x 6 colour cube (levels 0, 51, ... 255,
// index 10 + 36r + 6g + b); 226-245 a ramp of greys between the cube's greys.
const std::array<TRGBQuad, 256>& HalftonePalette();

// Index of the halftone entry nearest (squared RGB distance) to the colour;
// among equally near entries the lowest index wins, so equal colours always
// give equal indexes.
uint8_t NearestHalftoneIndex(uint8_t red, uint8_t green, uint8_t blue);

// The same rule for an arbitrary palette (at least one entry).
uint8_t NearestPaletteIndex(const std::vector<TRGBQuad>& palette, uint8_t red, uint8_t green,
                            uint8_t blue);

}  // namespace qv
