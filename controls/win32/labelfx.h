// The window of a caption label. It owns the HWND, keeps the portable model
// (controls/labelfx.h) in step with the window's text and bounds, and shows
// what the model paints over the parent's background. With the model's
// shadow mode at smNone it is the program's plain label as well.
#pragma once

#include <functional>
#include <string>

#include "controls/labelfx.h"
#include "toolkit/control.h"

namespace qv::win {

// What a control does with the pointer: click, move and leave events (each
// called only when set) and the cursor shown over it.
class TPointerEvents {
 public:
  std::function<void()> OnClick;
  std::function<void()> OnMouseMove;
  std::function<void()> OnMouseLeave;

  // The cursor over the control; nullptr is the default arrow. Takes effect
  // at once when the pointer is over the window.
  HCURSOR Cursor() const { return cursor_; }
  void SetCursor(HWND window, HCURSOR cursor);

  // Answers the pointer messages of the window; false for the others.
  bool Handle(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

 private:
  HCURSOR cursor_ = nullptr;  // shared system cursor: never destroyed
  bool tracking_ = false;     // a leave notification has been asked for
  bool pressed_ = false;      // the left button went down on the control
};

class TsLabelFXControl : public TControl {
 public:
  TsLabelFXControl();

  TsLabelFX& Model() { return model_; }
  const TsLabelFX& Model() const { return model_; }
  TPointerEvents& Pointer() { return pointer_; }
  const TPointerEvents& Pointer() const { return pointer_; }
  // The control's hint (a web address for a link label); never shown here.
  std::wstring Hint;

  // Paints the label over the parent's background, as the window shows it.
  void PaintContent(HDC dc) override;

 protected:
  const wchar_t* ClassName() const override { return L"QvLabelFX"; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnCreated() override;

 private:
  void TakeWindowBounds();

  TsLabelFX model_;
  TPointerEvents pointer_;
  bool syncing_ = false;  // the window is being moved to the model's bounds, or the reverse
};

// The parent's look under a child window, as a 32-bit surface of the child's
// client size: what a transparent control paints over. Where the parent
// paints nothing for printing, the button face shows.
TBitmap ParentBackground(HWND child);

}  // namespace qv::win
