// An image control: draws its picture opaque at the picture's own size from
// its top-left corner, cut at its edges; the rest shows the button face.
#pragma once

#include "imaging/bitmap.h"
#include "toolkit/control.h"

namespace qv::win {

class TImage : public TControl {
 public:
  const TBitmap& Picture() const { return picture_; }
  // The control takes the surface over and repaints.
  void SetPicture(TBitmap picture);
  void PaintContent(HDC dc) override;

 protected:
  const wchar_t* ClassName() const override { return L"QvImage"; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  TBitmap picture_;
};

// Paints a picture the way the image control does (shared with other image
// controls): the picture at (0, 0), the uncovered rest in the button face.
void PaintPictureOpaque(HWND window, HDC dc, const TBitmap* picture);

}  // namespace qv::win
