// Text on surfaces through GDI: the platform's rasterisation, so text in a
// TBitmap looks exactly like text in a window.
#pragma once

#include "imaging/drawing.h"

namespace qv::win {

class GdiTextRenderer : public TextRenderer {
 public:
  void DrawText(TBitmap& surface, const std::string& text, TRect& rect,
                const TextStyle& style) override;
  int TextHeight(const TFont& font) override;
};

// Installs the GDI text renderer and GetSysColor as the core's system colour
// lookup. The program calls this first thing at start-up; so do the tests of
// anything that draws.
void InstallPlatformServices();

}  // namespace qv::win
