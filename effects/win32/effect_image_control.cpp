#include "effects/win32/effect_image_control.h"

#include "toolkit/image.h"

namespace qv::win {

TEffectImageControl::TEffectImageControl() {
  model_.OnChange = [this] { Repaint(); };
  model_.OnRepaintRequest = [this] { Repaint(); };
}

void TEffectImageControl::Repaint() {
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

void TEffectImageControl::PaintContent(HDC dc) {
  PaintPictureOpaque(Handle(), dc, model_.PictureBitmap());
}

LRESULT TEffectImageControl::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ERASEBKGND) return 1;
  return TControl::HandleMessage(msg, wParam, lParam);
}

}  // namespace qv::win
