// Where a captioned radio group puts its buttons.
#pragma once

#include "imaging/geometry.h"

namespace qv::win {

// Button i of n in c columns inside a group of the given size, whose font
// draws "W" textHeight pixels high: b = (n + c - 1) div c per column,
// width (groupWidth - 10) div c, caption height max(4, textHeight) + 2,
// button height (groupHeight - caption - 5) div b.
TRect RadioButtonRect(int i, int n, int columns, int groupWidth, int groupHeight, int textHeight);

}  // namespace qv::win
