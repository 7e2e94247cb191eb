#include "controls/win32/labelfx.h"

#include <uxtheme.h>

#include <cstring>

#include "toolkit/bitmap_gdi.h"
#include "toolkit/handles.h"
#include "toolkit/text.h"

namespace qv::win {

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

TBitmap ParentBackground(HWND child) {
  RECT r;
  GetClientRect(child, &r);
  const int w = r.right, h = r.bottom;
  TBitmap out;
  if (w <= 0 || h <= 0) return out;
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  Bitmap dib(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  out.Allocate(w, h, TPixelFormat::pf32bit, true);
  if (!dib || !bits) return out;
  {
    MemoryDC mem;
    Selection use(mem.Get(), dib.Get());
    FillRect(mem.Get(), &r, GetSysColorBrush(COLOR_BTNFACE));
    // The parent erases and prints its client area into the DC, shifted so
    // that the child's corner is at the origin.
    DrawThemeParentBackground(child, mem.Get(), &r);
    GdiFlush();
  }
  const auto* from = static_cast<const uint8_t*>(bits);
  for (int y = 0; y < h; ++y) std::memcpy(out.PixelRow(y), from + static_cast<size_t>(y) * w * 4, static_cast<size_t>(w) * 4);
  return out;
}

TsLabelFXControl::TsLabelFXControl() {
  model_.OnInvalidate = [this] {
    if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
  };
  model_.OnBoundsChange = [this] {
    if (!Handle() || syncing_) return;
    syncing_ = true;
    const TRect& b = model_.BoundsRect();
    SetWindowPos(Handle(), nullptr, b.Left, b.Top, b.Width(), b.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    syncing_ = false;
  };
}

void TsLabelFXControl::OnCreated() {
  const int length = GetWindowTextLengthW(Handle());
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(Handle(), text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  TakeWindowBounds();
  model_.SetCaption(Narrow(text));
}

void TsLabelFXControl::TakeWindowBounds() {
  if (syncing_) return;
  RECT r;
  GetWindowRect(Handle(), &r);
  MapWindowPoints(nullptr, GetParent(Handle()), reinterpret_cast<POINT*>(&r), 2);
  syncing_ = true;
  model_.SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  syncing_ = false;
}

void TsLabelFXControl::PaintContent(HDC dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  if (r.right <= 0 || r.bottom <= 0) return;
  TBitmap canvas = model_.Transparent() ? ParentBackground(Handle()) : TBitmap();
  if (canvas.Empty()) canvas.Allocate(r.right, r.bottom, TPixelFormat::pf32bit, true);
  model_.Paint(canvas);
  DrawBitmap(dc, canvas, 0, 0);
}

LRESULT TsLabelFXControl::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (pointer_.Handle(Handle(), msg, wParam, lParam, &result)) return result;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // PaintContent covers every pixel
    case WM_SETTEXT: {
      result = DefaultProc(msg, wParam, lParam);
      model_.SetCaption(Narrow(lParam ? reinterpret_cast<const wchar_t*>(lParam) : L""));
      return result;
    }
    case WM_WINDOWPOSCHANGED:
      TakeWindowBounds();
      break;
    case WM_ENABLE:
      model_.SetEnabled(wParam != FALSE);
      break;
    case WM_NCHITTEST:
      // Labels take the pointer only where the program listens to it, so
      // that clicks elsewhere reach what lies beneath, as on a bare panel.
      if (!pointer_.OnClick && !pointer_.OnMouseMove && !pointer_.OnMouseLeave && !pointer_.Cursor())
        return HTTRANSPARENT;
      break;
  }
  return TControl::HandleMessage(msg, wParam, lParam);
}

}  // namespace qv::win
