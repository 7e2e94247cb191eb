#include "app/preview_rendering.h"

namespace qv {

void SetBGColors(TKelvoGradient& gradient, const PreviewSettings& settings) {
  TKelvoGradientColors& colors = gradient.Colors();
  colors.Clear();
  const TColor second = settings.SecondColor;
  const TColor first = settings.FirstColor;
  colors.Add().SetColor(second);
  colors.Items(0).SetPosition(0.0);
  colors.Add().SetColor(first);
  colors.Items(1).SetPosition(1.0);
  if (settings.KindIndex == 0) gradient.SetGradientType(gtLinear);
  if (settings.KindIndex == 1) gradient.SetGradientType(gtRadial);
  gradient.SetReverse(settings.Reverse);
}

TBitmap RenderPreview(TKelvoGradient& gradient, const PreviewSettings& settings, int width,
                      int height) {
  TBitmap surface;
  surface.SetHeight(height);
  surface.SetWidth(width);
  SetBGColors(gradient, settings);
  gradient.PaintGradient(0, 0, surface);
  return surface;
}

}  // namespace qv
