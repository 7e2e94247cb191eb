#include "imaging/color.h"

namespace qv {

namespace {

// Windows Classic, as a fresh Windows 2000 desktop has it.
constexpr uint32_t kClassicScheme[31] = {
    MakeRgb(212, 208, 200),  //  0 scroll bar
    MakeRgb(58, 110, 165),   //  1 desktop
    MakeRgb(10, 36, 106),    //  2 active caption
    MakeRgb(128, 128, 128),  //  3 inactive caption
    MakeRgb(212, 208, 200),  //  4 menu
    MakeRgb(255, 255, 255),  //  5 window
    MakeRgb(0, 0, 0),        //  6 window frame
    MakeRgb(0, 0, 0),        //  7 menu text
    MakeRgb(0, 0, 0),        //  8 window text
    MakeRgb(255, 255, 255),  //  9 caption text
    MakeRgb(212, 208, 200),  // 10 active border
    MakeRgb(212, 208, 200),  // 11 inactive border
    MakeRgb(128, 128, 128),  // 12 application workspace
    MakeRgb(10, 36, 106),    // 13 highlight
    MakeRgb(255, 255, 255),  // 14 highlight text
    MakeRgb(212, 208, 200),  // 15 button face
    MakeRgb(128, 128, 128),  // 16 button shadow
    MakeRgb(128, 128, 128),  // 17 grey text
    MakeRgb(0, 0, 0),        // 18 button text
    MakeRgb(212, 208, 200),  // 19 inactive caption text
    MakeRgb(255, 255, 255),  // 20 button highlight
    MakeRgb(64, 64, 64),     // 21 3-D dark shadow
    MakeRgb(212, 208, 200),  // 22 3-D light
    MakeRgb(0, 0, 0),        // 23 tooltip text
    MakeRgb(255, 255, 225),  // 24 tooltip background
    MakeRgb(181, 181, 181),  // 25 (unnamed)
    MakeRgb(0, 0, 128),      // 26 hot-tracked item
    MakeRgb(166, 202, 240),  // 27 active caption gradient
    MakeRgb(192, 192, 192),  // 28 inactive caption gradient
    MakeRgb(10, 36, 106),    // 29 menu highlight
    MakeRgb(212, 208, 200),  // 30 menu bar
};

SysColorLookup g_lookup = nullptr;

}  // namespace

uint32_t ClassicSysColor(int index) {
  if (index < 0 || index > 30) return 0;
  return kClassicScheme[index];
}

void SetSysColorLookup(SysColorLookup lookup) { g_lookup = lookup; }

uint32_t ResolveColor(TColor color) {
  if (color >= 0) return static_cast<uint32_t>(color);
  int index = static_cast<uint32_t>(color) & 0xFF;
  return g_lookup ? g_lookup(index) : ClassicSysColor(index);
}

}  // namespace qv
