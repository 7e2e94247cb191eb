#include "toolkit/image.h"

#include "toolkit/bitmap_gdi.h"

namespace qv::win {

void PaintPictureOpaque(HWND window, HDC dc, const TBitmap* picture) {
  RECT r;
  GetClientRect(window, &r);
  const int w = picture ? picture->Width() : 0, h = picture ? picture->Height() : 0;
  HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  // Only what the picture leaves uncovered is filled: no flicker under it.
  RECT right{w, 0, r.right, r.bottom}, below{0, h, w < r.right ? w : r.right, r.bottom};
  if (right.left < right.right) FillRect(dc, &right, face);
  if (below.top < below.bottom) FillRect(dc, &below, face);
  if (picture) DrawBitmap(dc, *picture, 0, 0);
}

void TImage::SetPicture(TBitmap picture) {
  picture_ = std::move(picture);
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

void TImage::PaintContent(HDC dc) { PaintPictureOpaque(Handle(), dc, &picture_); }

LRESULT TImage::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ERASEBKGND) return 1;
  return TControl::HandleMessage(msg, wParam, lParam);
}

}  // namespace qv::win
