// The window of a colour box's caption label: a transparent label on the
// box's parent that shows what the portable TsEditLabel holds.
#pragma once

#include "controls/bound_label.h"
#include "toolkit/control.h"
#include "toolkit/handles.h"

namespace qv::win {

// A GDI font for a TFont (height in device pixels).
Font MakeGdiFont(const TFont& font);

// The text's extent as a label measures it (DrawText with DT_CALCRECT).
TPoint MeasureGdiLabelText(const std::string& text, const TFont& font, bool wordWrap, int width);

class TCaptionLabelWindow : public TControl {
 public:
  // Creates the window on the parent (hidden until Update says otherwise).
  void CreateOn(HWND parent);
  // Takes position, text, font, alignment, visibility and enabled state.
  void Update(const TsEditLabel& label);
  void PaintContent(HDC dc) override;

 protected:
  const wchar_t* ClassName() const override { return L"QvCaptionLabel"; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  TsEditLabel shown_;  // a copy of what is shown
  TFont font_spec_;
  Font font_;  // owned: made from font_spec_
};

}  // namespace qv::win
