// Turns the main window's four settings into the preview picture. The window
// reads its controls and calls these; nothing here keeps a copy of them.
#pragma once

#include "imaging/bitmap.h"
#include "imaging/color.h"
#include "imaging/gradient.h"

namespace qv {

struct PreviewSettings {
  TColor FirstColor = clBlue;      // colorselect1.Selected
  TColor SecondColor = clSkyBlue;  // colorselect2.Selected
  int KindIndex = 0;               // srdgrp1's selected index: 0 Vertical, 1 Horizonal, -1 none
  bool Reverse = false;            // chk1's checked state
};

// Reloads the gradient's stops (second colour at 0, first at 1), its kind
// (an index other than 0 or 1 keeps the kind it had) and its reverse flag.
void SetBGColors(TKelvoGradient& gradient, const PreviewSettings& settings);

// A new white surface of the preview's size, painted from the top-left pixel;
// the result has 24 bits per pixel.
TBitmap RenderPreview(TKelvoGradient& gradient, const PreviewSettings& settings, int width,
                      int height);

}  // namespace qv
