// The shadowed caption label: a label that draws its caption over a soft,
// blurred shadow. This is the portable model: it holds every property and
// paints onto a TBitmap that stands for the label's client area; the Win32
// half (controls/win32/labelfx.h) owns the window and shows what it paints.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/bound_label.h"  // TAlignment, shared with the colour box's caption label
#include "imaging/bitmap.h"
#include "imaging/color.h"
#include "imaging/drawing.h"
#include "imaging/geometry.h"

namespace qv {

enum TTextLayout { tlTop, tlCenter, tlBottom };

enum TsShadowMode { smNone, smCustom, smSkin1 };
enum TsKindType { ktStandard, ktCustom, ktSkin };

// The shadow's settings. Every writer that changes a value asks the owning
// label to repaint.
class TsShadow {
 public:
  explicit TsShadow(std::function<void()> changed) : changed_(std::move(changed)) {}

  TsShadowMode Mode() const { return mode_; }
  void SetMode(TsShadowMode mode);
  TColor Color() const { return color_; }
  // Also takes the channels of the resolved colour.
  void SetColor(TColor color);
  int BlurCount() const { return blur_count_; }
  void SetBlurCount(int count);
  int Distance() const { return distance_; }
  void SetDistance(int distance);

  // The channels of the resolved shadow colour: set by SetColor, and by every
  // shadow paint that takes its colour from the skin mode.
  uint8_t ShadowRed = 0;
  uint8_t ShadowGreen = 0;
  uint8_t ShadowBlue = 0;

 private:
  void Changed() const {
    if (changed_) changed_();
  }

  std::function<void()> changed_;
  TsShadowMode mode_ = smSkin1;
  TColor color_ = clBlack;
  int blur_count_ = 4;
  int distance_ = 1;
};

// Where the caption's colour comes from.
class TsKind {
 public:
  explicit TsKind(std::function<void()> changed) : changed_(std::move(changed)) {}

  TsKindType KindType() const { return kind_type_; }
  void SetKindType(TsKindType kindType);
  TColor Color() const { return color_; }
  void SetColor(TColor color);

 private:
  void Changed() const {
    if (changed_) changed_();
  }

  std::function<void()> changed_;
  TsKindType kind_type_ = ktSkin;
  TColor color_ = clWhite;
};

class TsLabelFX {
 public:
  TsLabelFX();
  TsLabelFX(const TsLabelFX&) = delete;
  TsLabelFX& operator=(const TsLabelFX&) = delete;

  // Called whenever a visible property changes; the window half invalidates.
  std::function<void()> OnInvalidate;
  // Called when auto-size changed the label's bounds.
  std::function<void()> OnBoundsChange;

  TsShadow& Shadow() { return shadow_; }
  const TsShadow& Shadow() const { return shadow_; }
  TsKind& Kind() { return kind_; }
  const TsKind& Kind() const { return kind_; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout layout);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool wordWrap);
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool autoSize);
  bool ShowAccelChar() const { return show_accel_char_; }
  void SetShowAccelChar(bool show);
  // Right-to-left reading order for the caption.
  bool RightToLeft() const { return right_to_left_; }
  void SetRightToLeft(bool rightToLeft);

  // Position and size in the parent, in pixels. Auto-size changes them when
  // the text changes; the window half follows.
  const TRect& BoundsRect() const { return bounds_; }
  void SetBounds(int left, int top, int width, int height);
  int Width() const { return bounds_.Width(); }
  int Height() const { return bounds_.Height(); }

  // Paints the whole client area onto canvas (Width x Height pixels). For a
  // transparent label the canvas must already hold the parent's background.
  void Paint(TBitmap& canvas);

  // Draws the caption into r on canvas; with tfCalcRect in flags only
  // measures it into r (and notes the room the shadow needs).
  void DrawCaptionText(TBitmap& canvas, TRect& r, unsigned flags);

  // Resizes the label to its text when AutoSize is on.
  void AdjustBounds();

  // Working state, visible for drawing and inspection.
  const TBitmap& ShadowBitmap() const { return shadow_bitmap_; }
  const std::vector<uint8_t>& GlowBuffer() const { return glow_buffer_; }
  int ShadowLead() const { return shadow_lead_; }
  int ShadowTrail() const { return shadow_trail_; }

 private:
  void Invalidate() const {
    if (OnInvalidate) OnInvalidate();
  }
  void DrawPlainText(TBitmap& canvas, const std::string& text, TRect& r, const TFont& font,
                     TColor color, unsigned flags) const;
  void BuildShadow(TBitmap& canvas, const std::string& text, const TRect& r, const TFont& font,
                   unsigned flags, TColor shadowColor, int passes, int distance);

  TsShadow shadow_;
  TsKind kind_;

  std::string caption_;
  TFont font_;
  TColor color_ = clBtnFace;
  bool enabled_ = true;
  bool transparent_ = true;
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool word_wrap_ = false;
  bool auto_size_ = true;
  bool show_accel_char_ = true;
  bool right_to_left_ = false;
  TRect bounds_{0, 0, 65, 17};

  TBitmap shadow_bitmap_;             // 32 bits per pixel once painted
  std::vector<uint8_t> glow_buffer_;  // only ever grows
  int shadow_lead_ = 0;
  int shadow_trail_ = 0;
};

}  // namespace qv
