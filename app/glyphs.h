// The button glyphs of the main window, painted in code at the size the
// button needs so that they stay sharp at every DPI: round badges with a
// white (or blue) mark, anti-aliased.
#pragma once

#include "imaging/bitmap.h"

namespace qv {

enum class TGlyphKind {
  gkApply,    // green badge, white check mark
  gkDefault,  // amber badge, white check mark
  gkLoad,     // blue badge, white circular arrow
  gkAbout,    // silver badge, blue question mark
  gkExit,     // red badge, white cross
};

// A size × size picture of 32 bits per pixel: blue, green, red, and the
// pixel's coverage in the fourth byte (0 transparent to 255 opaque), colour
// not premultiplied.
TBitmap PaintGlyph(TGlyphKind kind, int size);

}  // namespace qv
