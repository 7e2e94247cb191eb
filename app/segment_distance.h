// The strokes of the painted pictures (button glyphs, the About logo) are
// the points within half a stroke's width of a line segment.
#pragma once

#include <algorithm>
#include <cmath>

namespace qv {

// Distance from (px, py) to the segment (ax, ay)-(bx, by).
inline double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = std::clamp(t, 0.0, 1.0);
  const double qx = ax + t * dx - px, qy = ay + t * dy - py;
  return std::sqrt(qx * qx + qy * qy);
}

}  // namespace qv
