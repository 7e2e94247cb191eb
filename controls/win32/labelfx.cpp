#include "controls/win32/labelfx.h"

#include "toolkit/bitmap_gdi.h"
#include "toolkit/parent_background.h"
#include "toolkit/text.h"

namespace qv::win {

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

bool TsLabelFXControl::BindEvent(std::string_view event, std::function<void()> handler) {
  return pointer_.Bind(event, std::move(handler));
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
      if (!pointer_.Wanted()) return HTTRANSPARENT;
      break;
  }
  return TControl::HandleMessage(msg, wParam, lParam);
}

}  // namespace qv::win
