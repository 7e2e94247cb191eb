#include "controls/bound_label.h"

#include <algorithm>

namespace qv {

TPoint MeasureLabelText(const std::string& text, const TFont& font, bool wordWrap, int width) {
  TBitmap scratch;  // measuring draws nothing
  TRect rect{0, 0, width, 0};
  TextStyle style;
  style.Font = font;
  style.Flags = tfCalcRect | tfExpandTabs | (wordWrap ? tfWordBreak : 0u);
  CurrentTextRenderer().DrawText(scratch, text, rect, style);
  return TPoint{rect.Right, rect.Bottom};
}

void TsEditLabel::AdjustBounds(const TLabelMeasurer& measure) {
  std::string text = Caption;
  if (text.empty() || text == "&") text += ' ';
  TPoint extent = measure(text, Font, WordWrap, Width);
  if (Alignment == taRightJustify) Left += Width - extent.X;
  Width = extent.X;
  Height = extent.Y;
}

TPoint CaptionLabelPosition(const TBoundControl& c, int labelWidth, int labelHeight,
                            TsCaptionLayout layout, int indent) {
  const int above = c.Top - labelHeight - indent;
  switch (layout) {
    case sclLeft:
      return TPoint{c.Left - labelWidth - 4 - indent, c.Top + (c.Height - labelHeight) / 2 - 1};
    case sclTopLeft:
      return TPoint{c.Left, above};
    case sclTopCenter:
      return TPoint{c.Left + (c.Width - labelWidth) / 2, above};
    case sclTopRight:
      return TPoint{c.Left + c.Width - labelWidth, above};
  }
  return TPoint{c.Left, c.Top};
}

TAlignment CaptionLabelAlignment(TsCaptionLayout layout) {
  switch (layout) {
    case sclLeft:
    case sclTopRight:
      return taRightJustify;
    case sclTopCenter:
      return taCenter;
    case sclTopLeft:
      break;
  }
  return taLeftJustify;
}

void TsBoundLabel::SetActive(bool value) {
  if (value == Active()) return;
  if (!value) {
    label_.reset();
    Changed();
    return;
  }
  if (caption_.empty()) caption_ = control_.Name;
  auto label = std::make_unique<TsEditLabel>();
  label->Name = control_.Name + "Label";
  label->Font = control_.Font;
  label->Alignment = CaptionLabelAlignment(layout_);
  label->UseSkinColor = use_skin_color_;
  label->Caption = caption_;
  label->AdjustBounds(Measurer);
  label->Visible = control_.Visible;
  label->Enabled = control_.Enabled;
  label->RightToLeft = control_.RightToLeft;
  label_ = std::move(label);
  PlaceCaptionLabel();
  Changed();
}

void TsBoundLabel::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  if (!label_) return;
  label_->Caption = value;
  if (label_->AutoSize) label_->AdjustBounds(Measurer);
  PlaceCaptionLabel();
  Changed();
}

void TsBoundLabel::SetIndent(int value) {
  if (value == indent_) return;
  indent_ = value;
  PlaceCaptionLabel();
  Changed();
}

void TsBoundLabel::SetLayout(TsCaptionLayout value) {
  if (value == layout_) return;
  layout_ = value;
  if (!label_) return;
  label_->Alignment = CaptionLabelAlignment(value);
  PlaceCaptionLabel();
  Changed();
}

void TsBoundLabel::SetMaxWidth(int value) {
  if (value == max_width_) return;
  max_width_ = value;
  PlaceCaptionLabel();
  Changed();
}

void TsBoundLabel::SetUseSkinColor(bool value) {
  use_skin_color_ = value;
  if (label_) label_->UseSkinColor = value;
}

void TsBoundLabel::SetFont(const TFont& value) {
  if (!label_) {
    own_font_ = value;
    return;
  }
  label_->Font = value;
  label_->ParentFont = false;
  if (label_->AutoSize) label_->AdjustBounds(Measurer);
  PlaceCaptionLabel();
  Changed();
}

void TsBoundLabel::PlaceCaptionLabel() {
  if (!label_ || !label_->Visible) return;
  TsEditLabel& l = *label_;
  l.AutoSize = true;
  l.AdjustBounds(Measurer);
  TPoint at = CaptionLabelPosition(control_, l.Width, l.Height, layout_, indent_);
  l.Left = at.X;
  l.Top = at.Y;
  if (max_width_ != 0) {
    l.AutoSize = false;
    l.Width = max_width_;
    l.WordWrap = true;
    l.Height = std::max(l.Height, control_.Height);
  }
}

void TsBoundLabel::ControlBoundsChanged() {
  if (!label_) return;
  PlaceCaptionLabel();
  Changed();
}

void TsBoundLabel::ControlVisibleChanged() {
  if (!label_) return;
  label_->Visible = control_.Visible;
  PlaceCaptionLabel();
  Changed();
}

void TsBoundLabel::ControlEnabledChanged() {
  if (!label_) return;
  label_->Enabled = control_.Enabled;
  PlaceCaptionLabel();
  Changed();
}

void TsBoundLabel::ControlBiDiModeChanged() {
  if (!label_) return;
  label_->RightToLeft = control_.RightToLeft;
  PlaceCaptionLabel();
  Changed();
}

void TsBoundLabel::ControlFontChanged() {
  if (!label_ || !label_->ParentFont) return;
  label_->Font = control_.Font;
  if (label_->AutoSize) label_->AdjustBounds(Measurer);
  PlaceCaptionLabel();
  Changed();
}

void TsBoundLabel::Changed() {
  if (OnLabelChanged) OnLabelChanged();
}

}  // namespace qv
