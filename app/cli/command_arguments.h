// The values a command line gives as text: colours, gradient kinds, picture
// sizes, DPI and effect steps. A value that does not parse raises
// EConvertError with the text the user sees.
#pragma once

#include <string>
#include <string_view>

#include "effects/effect_registry.h"
#include "imaging/color.h"

namespace qv {

struct TPictureSize {
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TPictureSize&, const TPictureSize&) = default;
};

// The preview's size at 96 pixels per inch, what the window renders there.
inline constexpr TPictureSize kPreviewSize96{885, 147};

// A colour as the colour box names it: its entry ("clSkyBlue"), the entry
// without "cl" ("SkyBlue"), the name it shows ("Sky Blue"), ignoring case
// and blanks; or "#RRGGBB".
TColor ParseColorArgument(std::string_view text);

// The radio group's index: 0 for "Vertical", 1 for "Horizonal" (also
// "Horizontal" and "radial"), ignoring case.
int ParseKindArgument(std::string_view text);

// "WxH" with both sides from 1 to the largest picture the BMP reader takes.
TPictureSize ParseSizeArgument(std::string_view text);

// A whole number of pixels per inch.
int ParseDpiArgument(std::string_view text);

// The size of the main window's preview at that DPI: the window's client
// area less the top panel, the status bar and the lower panel's bevel, each
// scaled from 96 dpi as the window scales its layout (rounded to nearest).
// Raises EConvertError when the preview would be larger than a picture the
// BMP reader takes.
TPictureSize PreviewSizeAtDpi(int dpi);

// One step of an effect chain: "Contrast:40", "Effect_SpotLight:64:10,10,200,120",
// "invert". The name is looked up with or without "Effect_", ignoring case;
// the arguments must be those the effect takes.
struct TEffectStep {
  const TEffectInfo* Effect = nullptr;
  TEffectArgs Args;
};
TEffectStep ParseEffectStep(std::string_view text);

}  // namespace qv
