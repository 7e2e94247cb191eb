// The preview image control: a window showing the picture of a
// TProEffectImage model opaque, at its own size, from the top-left corner.
// The model owns the picture and the 21 effects; this control repaints
// whenever the model says its picture changed.
#pragma once

#include "effects/effect_image.h"
#include "toolkit/control.h"

namespace qv::win {

class TEffectImageControl : public TControl {
 public:
  TEffectImageControl();
  TProEffectImage& Model() { return model_; }
  const TProEffectImage& Model() const { return model_; }
  void PaintContent(HDC dc) override;

 protected:
  const wchar_t* ClassName() const override { return L"QvEffectImage"; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void Repaint();
  TProEffectImage model_;
};

}  // namespace qv::win
