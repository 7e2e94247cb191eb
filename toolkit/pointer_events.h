// What a control does with the pointer: click, move and leave events (each
// called only when set) and the cursor shown over it. A control of our own
// holds one and hands it its messages.
#pragma once

#include <functional>
#include <string_view>

#include "toolkit/win.h"

namespace qv::win {

class TPointerEvents {
 public:
  std::function<void()> OnClick;
  std::function<void()> OnMouseMove;
  std::function<void()> OnMouseLeave;

  // "click", "mousemove" or "mouseleave"; false for any other name.
  bool Bind(std::string_view event, std::function<void()> handler);
  // True when the control listens to the pointer at all.
  bool Wanted() const { return OnClick || OnMouseMove || OnMouseLeave || cursor_; }

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

}  // namespace qv::win
