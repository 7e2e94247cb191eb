// The caption label a list control keeps beside itself: its settings
// (TsBoundLabel), the label it creates (TsEditLabel) and where that label
// goes. Portable: the Windows front end mirrors the label into a window.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "imaging/drawing.h"
#include "imaging/geometry.h"

namespace qv {

enum TsCaptionLayout { sclLeft, sclTopLeft, sclTopCenter, sclTopRight };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// What the label needs to know of the control it is bound to.
struct TBoundControl {
  std::string Name;
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool Visible = true;
  bool Enabled = true;
  bool RightToLeft = false;
  TFont Font;  // the parent's font, which a new label takes
};

// Extent of a label's text: width and height in pixels. With wordWrap the
// text is broken into lines no wider than width.
using TLabelMeasurer =
    std::function<TPoint(const std::string& text, const TFont& font, bool wordWrap, int width)>;

// The measurer of the current text renderer (with "&" prefixes).
TPoint MeasureLabelText(const std::string& text, const TFont& font, bool wordWrap, int width);

// A transparent label; plain data plus auto-size. The window that shows it
// reads these fields.
struct TsEditLabel {
  std::string Name;
  std::string Caption;
  TFont Font;
  bool ParentFont = true;
  TAlignment Alignment = taLeftJustify;
  bool AutoSize = true;
  bool WordWrap = false;
  bool Visible = false;
  bool Enabled = true;
  bool RightToLeft = false;
  bool Transparent = true;
  bool UseSkinColor = true;
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;

  // Auto-size: takes the text's extent, keeping the right edge when the text
  // is right-justified. An empty caption (or a lone "&") is measured as a
  // blank so that the label keeps a line's height.
  void AdjustBounds(const TLabelMeasurer& measure);
};

// The label's top-left corner for a layout, given the control's rectangle
// and the label's current size.
TPoint CaptionLabelPosition(const TBoundControl& control, int labelWidth, int labelHeight,
                            TsCaptionLayout layout, int indent);

TAlignment CaptionLabelAlignment(TsCaptionLayout layout);

class TsBoundLabel {
 public:
  // The control must outlive the binder (the control owns it).
  explicit TsBoundLabel(const TBoundControl& control) : control_(control) {}

  bool Active() const { return label_ != nullptr; }
  // True creates the label (with the control's name for an empty caption),
  // false destroys it.
  void SetActive(bool value);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  int Indent() const { return indent_; }
  void SetIndent(int value);
  TsCaptionLayout Layout() const { return layout_; }
  void SetLayout(TsCaptionLayout value);
  int MaxWidth() const { return max_width_; }
  void SetMaxWidth(int value);
  bool UseSkinColor() const { return use_skin_color_; }
  void SetUseSkinColor(bool value);
  // The label's font while the label exists, else the binder's own, which a
  // label created later does not take over.
  const TFont& Font() const { return label_ ? label_->Font : own_font_; }
  void SetFont(const TFont& value);

  // The label, or nullptr while inactive.
  const TsEditLabel* Label() const { return label_.get(); }

  // Auto-sizes the label and moves it beside the control. Nothing happens
  // unless the label exists and is visible.
  void PlaceCaptionLabel();

  // The control reports changes of its own window here.
  void ControlBoundsChanged();
  void ControlVisibleChanged();
  void ControlEnabledChanged();
  void ControlBiDiModeChanged();
  // The control's parent font changed: a label that follows it takes it.
  void ControlFontChanged();

  TLabelMeasurer Measurer = MeasureLabelText;
  // Called after the label was created, changed or destroyed, so that a
  // window showing it can follow.
  std::function<void()> OnLabelChanged;

 private:
  void Changed();

  const TBoundControl& control_;
  std::unique_ptr<TsEditLabel> label_;
  std::string caption_;
  int indent_ = 0;
  TsCaptionLayout layout_ = sclLeft;
  int max_width_ = 0;
  bool use_skin_color_ = true;
  TFont own_font_;
};

}  // namespace qv
