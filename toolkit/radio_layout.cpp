#include "toolkit/radio_layout.h"

#include <algorithm>

namespace qv::win {

TRect RadioButtonRect(int i, int n, int columns, int groupWidth, int groupHeight, int textHeight) {
  columns = std::max(1, columns);
  const int perColumn = std::max(1, (n + columns - 1) / columns);
  const int width = (groupWidth - 10) / columns;
  const int caption = std::max(4, textHeight) + 2;
  const int height = (groupHeight - caption - 5) / perColumn;
  const int x = (i / perColumn) * width + 8;
  const int y = (i % perColumn) * height + caption + 2;
  return {x, y, x + width, y + height};
}

}  // namespace qv::win
