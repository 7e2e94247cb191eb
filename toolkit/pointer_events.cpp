#include "toolkit/pointer_events.h"

namespace qv::win {

bool TPointerEvents::Bind(std::string_view event, std::function<void()> handler) {
  if (event == "click") OnClick = std::move(handler);
  else if (event == "mousemove") OnMouseMove = std::move(handler);
  else if (event == "mouseleave") OnMouseLeave = std::move(handler);
  else return false;
  return true;
}

void TPointerEvents::SetCursor(HWND window, HCURSOR cursor) {
  cursor_ = cursor;
  POINT p;
  if (window && GetCursorPos(&p) && WindowFromPoint(p) == window)
    ::SetCursor(cursor_ ? cursor_ : LoadCursorW(nullptr, IDC_ARROW));
}

bool TPointerEvents::Handle(HWND window, UINT msg, WPARAM, LPARAM lParam, LRESULT* result) {
  switch (msg) {
    case WM_SETCURSOR:
      if (LOWORD(lParam) != HTCLIENT) return false;
      ::SetCursor(cursor_ ? cursor_ : LoadCursorW(nullptr, IDC_ARROW));
      *result = TRUE;
      return true;
    case WM_MOUSEMOVE:
      if (!tracking_) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, window, 0};
        tracking_ = TrackMouseEvent(&tme) != FALSE;
      }
      if (OnMouseMove) OnMouseMove();
      *result = 0;
      return true;
    case WM_MOUSELEAVE:
      tracking_ = false;
      if (OnMouseLeave) OnMouseLeave();
      *result = 0;
      return true;
    case WM_LBUTTONDOWN:
      // A click is a press and a release on the control. The second press of
      // a double click (WM_LBUTTONDBLCLK) starts none, so a quick double
      // click on a link opens the page once.
      pressed_ = true;
      SetCapture(window);
      *result = 0;
      return true;
    case WM_LBUTTONUP: {
      const bool wasPressed = pressed_;
      pressed_ = false;
      if (GetCapture() == window) ReleaseCapture();
      POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      RECT r;
      GetClientRect(window, &r);
      if (wasPressed && PtInRect(&r, p) && OnClick) OnClick();
      *result = 0;
      return true;
    }
    case WM_CAPTURECHANGED:
      pressed_ = false;
      return false;
  }
  return false;
}

}  // namespace qv::win
