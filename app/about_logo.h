// The maker's logo shown in the About window: 147 x 110 pixels, 24 bits per
// pixel, painted in code so that no picture file has to travel with the exe.
#pragma once

#include "imaging/bitmap.h"

namespace qv {

inline constexpr int kAboutLogoWidth = 147;
inline constexpr int kAboutLogoHeight = 110;

TBitmap PaintAboutLogo();

// The OK button's check mark at size x size pixels: 32 bits per pixel with
// the coverage in the fourth byte, as glyph buttons take it.
TBitmap PaintCheckMarkGlyph(int size);

}  // namespace qv
