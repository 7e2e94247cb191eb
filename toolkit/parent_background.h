// What lies under a transparent child: the parent's look at the child's
// place. Labels paint their text over it.
#pragma once

#include "imaging/bitmap.h"
#include "toolkit/win.h"

namespace qv::win {

// Paints the parent's look under the child into a DC in the child's client
// coordinates. The parent erases and prints itself into the DC (a control of
// ours prints its PaintContent); where it paints nothing, the button face
// shows.
void PaintParentBackground(HWND child, HDC dc);

// The same as a 32-bit surface of the child's client size.
TBitmap ParentBackground(HWND child);

}  // namespace qv::win
