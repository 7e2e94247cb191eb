#include "controls/labelfx.h"

#include <algorithm>
#include <cstdint>

namespace qv {

void TsShadow::SetMode(TsShadowMode mode) {
  if (mode_ == mode) return;
  mode_ = mode;
  Changed();
}

void TsShadow::SetColor(TColor color) {
  if (color_ == color) return;
  color_ = color;
  const uint32_t rgb = ResolveColor(color);
  ShadowRed = RedOf(rgb);
  ShadowGreen = GreenOf(rgb);
  ShadowBlue = BlueOf(rgb);
  Changed();
}

void TsShadow::SetBlurCount(int count) {
  if (blur_count_ == count) return;
  blur_count_ = count;
  Changed();
}

void TsShadow::SetDistance(int distance) {
  if (distance_ == distance) return;
  distance_ = distance;
  Changed();
}

void TsKind::SetKindType(TsKindType kindType) {
  if (kind_type_ == kindType) return;
  kind_type_ = kindType;
  Changed();
}

void TsKind::SetColor(TColor color) {
  if (color_ == color) return;
  color_ = color;
  Changed();
}

TsLabelFX::TsLabelFX() : shadow_([this] { Invalidate(); }), kind_([this] { Invalidate(); }) {
  font_.Name = "MS Sans Serif";
}

namespace {

template <typename T>
bool Assign(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

// Bytes per pixel when the surface keeps plain blue, green, red bytes at the
// start of every pixel (24 bits, or 32 bits with the standard masks), else 0.
int BgrStride(const TBitmap& surface) {
  switch (surface.PixelFormat()) {
    case TPixelFormat::pf24bit: return 3;
    case TPixelFormat::pfDevice: return 4;
    case TPixelFormat::pf32bit:
      return surface.Masks() == DefaultMasks(TPixelFormat::pf32bit) ? 4 : 0;
    default: return 0;
  }
}

// Copies the blue, green and red bytes of the top-left w x h pixels (clipped
// to both surfaces); any fourth byte of the destination stays as it was.
void CopyColors(const TBitmap& source, TBitmap& destination, int w, int h) {
  w = std::min({w, source.Width(), destination.Width()});
  h = std::min({h, source.Height(), destination.Height()});
  if (w <= 0 || h <= 0) return;
  const int from = BgrStride(source), to = BgrStride(destination);
  for (int y = 0; y < h; ++y) {
    if (from == 0 || to == 0) {
      for (int x = 0; x < w; ++x) destination.SetPixelRgb(x, y, source.GetPixelRgb(x, y));
      continue;
    }
    const uint8_t* s = source.PixelRow(y);
    uint8_t* d = destination.PixelRow(y);
    for (int x = 0; x < w; ++x, s += from, d += to) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    }
  }
}

// Rectangle arithmetic with settings a caller may push to their limits: the
// result saturates instead of wrapping around.
int32_t Sum(int64_t a, int64_t b, int64_t c = 0) {
  return static_cast<int32_t>(std::clamp<int64_t>(a + b + c, INT32_MIN, INT32_MAX));
}

bool SameFont(const TFont& a, const TFont& b) {
  return a.Name == b.Name && a.Height == b.Height && a.Bold == b.Bold && a.Italic == b.Italic &&
         a.Underline == b.Underline && a.Color == b.Color;
}

}  // namespace

void TsLabelFX::SetCaption(const std::string& caption) {
  if (!Assign(caption_, caption)) return;
  AdjustBounds();
  Invalidate();
}

void TsLabelFX::SetFont(const TFont& font) {
  if (SameFont(font_, font)) return;
  font_ = font;
  AdjustBounds();
  Invalidate();
}

void TsLabelFX::SetColor(TColor color) {
  if (Assign(color_, color)) Invalidate();
}

void TsLabelFX::SetEnabled(bool enabled) {
  if (Assign(enabled_, enabled)) Invalidate();
}

void TsLabelFX::SetTransparent(bool transparent) {
  if (Assign(transparent_, transparent)) Invalidate();
}

void TsLabelFX::SetAlignment(TAlignment alignment) {
  if (Assign(alignment_, alignment)) Invalidate();
}

void TsLabelFX::SetLayout(TTextLayout layout) {
  if (Assign(layout_, layout)) Invalidate();
}

void TsLabelFX::SetWordWrap(bool wordWrap) {
  if (!Assign(word_wrap_, wordWrap)) return;
  AdjustBounds();
  Invalidate();
}

void TsLabelFX::SetAutoSize(bool autoSize) {
  if (!Assign(auto_size_, autoSize)) return;
  AdjustBounds();
  Invalidate();
}

void TsLabelFX::SetShowAccelChar(bool show) {
  if (!Assign(show_accel_char_, show)) return;
  AdjustBounds();
  Invalidate();
}

void TsLabelFX::SetRightToLeft(bool rightToLeft) {
  if (Assign(right_to_left_, rightToLeft)) Invalidate();
}

void TsLabelFX::SetBounds(int left, int top, int width, int height) {
  const TRect bounds{left, top, left + width, top + height};
  if (!Assign(bounds_, bounds)) return;
  if (OnBoundsChange) OnBoundsChange();
  Invalidate();
}

void TsLabelFX::AdjustBounds() {
  if (!auto_size_) return;
  TBitmap scratch;  // measuring draws nothing
  TRect r{0, 0, Width(), Height()};
  DrawCaptionText(scratch, r, tfExpandTabs | tfCalcRect | (word_wrap_ ? tfWordBreak : 0u));
  int left = bounds_.Left;
  // A right-aligned label keeps its right edge where it was.
  if (alignment_ == taRightJustify) left += Width() - r.Right;
  SetBounds(left, bounds_.Top, r.Right, r.Bottom);
}

void TsLabelFX::Paint(TBitmap& canvas) {
  const TRect client{0, 0, Width(), Height()};
  if (!transparent_) FillRect(canvas, client, color_);
  unsigned flags = tfExpandTabs | (word_wrap_ ? tfWordBreak : 0u);
  if (alignment_ == taRightJustify) flags |= tfRight;
  else if (alignment_ == taCenter) flags |= tfCenter;
  TRect r = client;
  if (layout_ != tlTop) {
    TRect measured = client;
    DrawCaptionText(canvas, measured, flags | tfCalcRect);
    int shift = Height() - measured.Bottom;
    if (layout_ == tlCenter) shift /= 2;  // C++ division truncates toward zero
    r.Top += shift;
    r.Bottom += shift;
  }
  DrawCaptionText(canvas, r, flags);
}

void TsLabelFX::DrawPlainText(TBitmap& canvas, const std::string& text, TRect& r,
                              const TFont& font, TColor color, unsigned flags) const {
  TextStyle style;
  style.Font = font;
  style.Color = color;
  style.Opaque = false;
  style.Flags = flags;
  CurrentTextRenderer().DrawText(canvas, text, r, style);
}

void TsLabelFX::DrawCaptionText(TBitmap& canvas, TRect& r, unsigned flags) {
  const bool measuring = (flags & tfCalcRect) != 0;

  // Shadow parameters. No skin manager exists in this program, so the skin
  // mode falls back to the label's own shadow settings; it resolves the
  // colour at every paint, so a system colour follows the desktop scheme.
  const TColor shadowColor = shadow_.Color();
  const int passes = shadow_.BlurCount();
  const int distance = shadow_.Distance();
  if (shadow_.Mode() == smSkin1) {
    const uint32_t rgb = ResolveColor(shadowColor);
    shadow_.ShadowRed = RedOf(rgb);
    shadow_.ShadowGreen = GreenOf(rgb);
    shadow_.ShadowBlue = BlueOf(rgb);
  }

  // An empty caption, or a lone accelerator mark, would measure as nothing.
  std::string text = caption_;
  if (measuring && (text.empty() || (show_accel_char_ && text == "&"))) text += ' ';
  if (!show_accel_char_) flags |= tfNoPrefix;
  if (right_to_left_) flags |= tfRtlReading;

  const TFont font = font_;

  if (!enabled_) {
    TRect raised{r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1};
    DrawPlainText(canvas, text, raised, font, clBtnHighlight, flags);
    DrawPlainText(canvas, text, r, font, clBtnShadow, flags);
    return;
  }

  if (shadow_.Mode() == smNone) {
    DrawPlainText(canvas, text, r, font, font.Color, flags);
    return;
  }

  // Without a skin the skin kind takes the label's own text colour as well.
  const TColor textColor =
      kind_.KindType() == ktStandard ? static_cast<TColor>(ResolveColor(color_))
                                     : static_cast<TColor>(ResolveColor(kind_.Color()));

  const bool shadowed = shadowColor != clNone && passes != 0;
  if (measuring || !shadowed) {
    DrawPlainText(canvas, text, r, font, textColor, flags);
  } else {
    BuildShadow(canvas, text, r, font, flags, shadowColor, passes, distance);
    CopyColors(shadow_bitmap_, canvas, shadow_bitmap_.Width(), shadow_bitmap_.Height());
    TRect inner{Sum(r.Left, -int64_t{shadow_lead_}), Sum(r.Top, -int64_t{shadow_lead_}),
                Sum(r.Right, -int64_t{shadow_trail_}), Sum(r.Bottom, -int64_t{shadow_trail_})};
    DrawPlainText(canvas, text, inner, font, textColor, flags);
  }

  if (measuring && shadowed) {
    // The blur spreads N pixels around the text, which sits D pixels off.
    shadow_lead_ = std::min(0, Sum(distance, -int64_t{passes}));
    shadow_trail_ = std::max(0, Sum(distance, passes));
    const int64_t grow = int64_t{shadow_trail_} - shadow_lead_;
    r.Right = Sum(r.Right, grow);
    r.Bottom = Sum(r.Bottom, grow);
  }
}

void TsLabelFX::BuildShadow(TBitmap& canvas, const std::string& text, const TRect& r,
                            const TFont& font, unsigned flags, TColor shadowColor, int passes,
                            int distance) {
  (void)shadowColor;  // the channels below carry it
  const int w = std::max(0, r.Width());
  const int h = std::max(0, r.Height());
  shadow_bitmap_.SetPixelFormat(TPixelFormat::pf32bit);
  shadow_bitmap_.SetSize(w, h);
  if (w == 0 || h == 0) return;  // nothing to shade

  // The text's mask: white ink on black, where the shadow will fall.
  for (int y = 0; y < h; ++y) {
    uint8_t* px = shadow_bitmap_.PixelRow(y);
    for (int x = 0; x < w; ++x, px += 4) px[0] = px[1] = px[2] = 0;  // black; fourth byte kept
  }
  TRect mask{Sum(r.Left, -int64_t{shadow_lead_}, distance),
             Sum(r.Top, -int64_t{shadow_lead_}, distance),
             Sum(r.Right, -int64_t{shadow_trail_}, distance),
             Sum(r.Bottom, -int64_t{shadow_trail_}, distance)};
  TFont white = font;
  white.Color = clWhite;
  DrawPlainText(shadow_bitmap_, text, mask, white, clWhite, flags);

  // Coverage cells with a ring of zeros around them, so the blur needs no
  // edge cases; cell (x + 1, y + 1) belongs to pixel (x, y).
  const size_t w2 = static_cast<size_t>(w) + 2;
  const size_t h2 = static_cast<size_t>(h) + 2;
  const size_t cells = w2 * h2;
  if (glow_buffer_.size() < cells) glow_buffer_.resize(cells);
  uint8_t* glow = glow_buffer_.data();
  std::fill(glow, glow + cells, uint8_t{0});

  for (int pass = 0; pass < passes; ++pass) {
    // Any ink at all, even an antialiased edge, counts as full coverage.
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = shadow_bitmap_.PixelRow(y);
      uint8_t* cell = glow + (y + 1) * w2 + 1;
      for (int x = 0; x < w; ++x)
        if (row[4 * x] != 0) cell[x] = 255;
    }
    // In place, row by row: the left and upper neighbours already hold this
    // pass's values, which is what gives the shadow its skewed softness.
    for (size_t y = 1; y + 1 < h2; ++y) {
      uint8_t* cell = glow + y * w2;
      const uint8_t* up = cell - w2;
      const uint8_t* down = cell + w2;
      unsigned left = cell[0];  // carried in a register: the chain runs along the row
      for (size_t x = 1; x + 1 < w2; ++x) {
        left = (left + cell[x + 1] + up[x] + down[x]) >> 2;
        cell[x] = static_cast<uint8_t>(left);
      }
    }
  }

  const int s[3] = {shadow_.ShadowBlue, shadow_.ShadowGreen, shadow_.ShadowRed};
  if (transparent_) {
    // What lies under the label is the background the shadow darkens.
    CopyColors(canvas, shadow_bitmap_, w, h);
    for (int y = 0; y < h; ++y) {
      uint8_t* px = shadow_bitmap_.PixelRow(y);
      const uint8_t* cell = glow + (y + 1) * w2 + 1;
      for (int x = 0; x < w; ++x, px += 4) {
        const int a = cell[x];
        for (int c = 0; c < 3; ++c) px[c] = static_cast<uint8_t>((px[c] * (255 - a) + s[c] * a) >> 8);
      }
    }
  } else {
    const uint32_t back = ResolveColor(color_);
    const int b[3] = {BlueOf(back), GreenOf(back), RedOf(back)};
    for (int y = 0; y < h; ++y) {
      uint8_t* px = shadow_bitmap_.PixelRow(y);
      const uint8_t* cell = glow + (y + 1) * w2 + 1;
      for (int x = 0; x < w; ++x, px += 4) {
        const int a = cell[x];
        for (int c = 0; c < 3; ++c) px[c] = static_cast<uint8_t>((s[c] * a + (255 - a) * b[c]) >> 8);
      }
    }
  }
}

}  // namespace qv
