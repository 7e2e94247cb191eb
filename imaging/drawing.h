// Drawing services on surfaces. These are done in software, identically on
// every platform, so that everything drawn onto a TBitmap is reproducible.
// Text is the exception: its rasterisation is the platform's (GDI on Windows),
// reached through the TextRenderer interface.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/bitmap.h"
#include "imaging/color.h"
#include "imaging/geometry.h"

namespace qv {

// Every pixel of the rectangle (clipped to the surface) in the colour.
void FillRect(TBitmap& surface, const TRect& rect, TColor color);

// A one-pixel line along the inside edge of the rectangle.
void FrameRect(TBitmap& surface, const TRect& rect, TColor color);

// The ellipse inscribed in the rectangle (right and bottom edges excluded):
// a pixel belongs to it when its centre lies inside or on the ellipse; the
// pixels of the ellipse that touch a pixel outside it (left, right, above or
// below) form the one-pixel outline in the pen colour, the rest the fill.
// A rectangle with Right < Left or Bottom < Top has its edges ordered first.
void FillEllipse(TBitmap& surface, const TRect& rect, TColor fill, TColor pen);

// One row of that ellipse: the pixels First .. End-1 belong to it, and of
// them FillFirst .. FillEnd-1 are the fill (none when FillFirst = FillEnd),
// the rest the outline. An empty row has First = End.
struct TEllipseRow {
  int64_t First = 0, FillFirst = 0, FillEnd = 0, End = 0;
};
using EllipseRowFn = std::function<void(int y, const TEllipseRow& row)>;
// Calls row for every y in [top, bottom), in order, with the ellipse's run
// in that row: what FillEllipse paints, for callers that need no surface.
void ForEllipseRows(const TRect& rect, int top, int bottom, const EllipseRowFn& row);

// Copies the whole source onto the destination with its top-left corner at
// (x, y), clipped to the destination.
void CopySurface(const TBitmap& source, TBitmap& destination, int x, int y);

// The same, but source pixels of the transparent colour leave the
// destination unchanged.
void CopySurfaceTransparent(const TBitmap& source, TBitmap& destination, int x, int y,
                            TColor transparent);

struct TFont {
  std::string Name = "Tahoma";
  int Height = 11;  // character height in pixels
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  TColor Color = clWindowText;
};

enum TextFlags : unsigned {
  tfLeft = 0,
  tfCalcRect = 1u << 0,     // measure only: nothing is drawn, the rectangle gets the extent
  tfCenter = 1u << 1,
  tfRight = 1u << 2,
  tfExpandTabs = 1u << 3,
  tfWordBreak = 1u << 4,
  tfNoPrefix = 1u << 5,     // without it "&" marks the next character and is not drawn
  tfRtlReading = 1u << 6,
  tfSingleLine = 1u << 7,
  tfVCenter = 1u << 8,
};

struct TextStyle {
  TFont Font;
  TColor Color = clWindowText;
  bool Opaque = false;        // hollow background unless set
  TColor Background = clWindow;
  unsigned Flags = tfLeft;
};

class TextRenderer {
 public:
  virtual ~TextRenderer() = default;
  // Draws text inside rect, clipped to it; with tfCalcRect draws nothing and
  // sets rect's right and bottom to the extent of the text.
  virtual void DrawText(TBitmap& surface, const std::string& text, TRect& rect,
                        const TextStyle& style) = 0;
  virtual int TextHeight(const TFont& font) = 0;
};

// The renderer in use: the Windows program installs a GDI one at start-up;
// elsewhere a small built-in block font stands in.
TextRenderer& CurrentTextRenderer();
void SetTextRenderer(TextRenderer* renderer);  // nullptr restores the built-in one

// Drops "&" prefixes the way the platform does ("&&" is one "&"); returns
// the index of the underlined character or -1.
std::string StripPrefixes(const std::string& text, int* underlined);

}  // namespace qv
