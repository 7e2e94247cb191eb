#include "effects/effect_image.h"

#include <utility>

#include "effects/effect_routines.h"
#include "imaging/color.h"

namespace qv {

void TProEffectImage::NotifyChange() {
  if (OnChange) OnChange();
}

void TProEffectImage::AssignBitmap(TBitmap bitmap, TBitmapTransparency transparency) {
  bitmap_ = std::move(bitmap);
  graphic_.reset();
  transparency_ = transparency;
  kind_ = TPictureKind::pkBitmap;
  NotifyChange();
}

void TProEffectImage::AssignGraphic(std::unique_ptr<TGraphic> graphic) {
  if (!graphic) {
    ClearPicture();
    return;
  }
  graphic_ = std::move(graphic);
  bitmap_ = TBitmap();
  transparency_ = {};
  kind_ = TPictureKind::pkGraphic;
  NotifyChange();
}

void TProEffectImage::ClearPicture() {
  graphic_.reset();
  bitmap_ = TBitmap();
  transparency_ = {};
  kind_ = TPictureKind::pkEmpty;
  NotifyChange();
}

void TProEffectImage::SetTransparency(const TBitmapTransparency& transparency) {
  if (transparency == transparency_) return;
  transparency_ = transparency;
  if (kind_ == TPictureKind::pkBitmap) NotifyChange();
}

TBitmap& TProEffectImage::Bitmap() {
  if (kind_ != TPictureKind::pkBitmap) {
    // Asking an empty picture, or one holding another graphic, for its
    // bitmap turns it into an empty bitmap: the graphic is gone for good.
    graphic_.reset();
    bitmap_ = TBitmap();
    transparency_ = {};
    kind_ = TPictureKind::pkBitmap;
    NotifyChange();
  }
  return bitmap_;
}

void TProEffectImage::PictureChanged() { NotifyChange(); }

void TProEffectImage::TakeOver(TBitmap&& result) {
  // The transparency settings belong to the picture's bitmap, not to the
  // working surface, so they stay as they were.
  bitmap_ = std::move(result);
  NotifyChange();
}

template <typename Rule>
void TProEffectImage::InPlace(Rule rule) {
  TBitmap& bitmap = Bitmap();
  if (bitmap.PixelFormat() != TPixelFormat::pf24bit) {
    bitmap.SetPixelFormat(TPixelFormat::pf24bit);
    NotifyChange();
  }
  rule(bitmap);
  if (OnRepaintRequest) OnRepaintRequest();
}

template <typename Rule>
void TProEffectImage::WorkingCopy(Rule rule) {
  TBitmap copy = Bitmap();
  copy.SetPixelFormat(TPixelFormat::pf24bit);
  rule(copy);  // may throw: the picture has not been touched yet
  TakeOver(std::move(copy));
}

template <typename Rule>
void TProEffectImage::Direct(Rule rule) {
  // For rules that cannot fail: working on a copy and handing it over would
  // give the very same picture and the same single change, only slower.
  TBitmap& bitmap = Bitmap();
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  rule(bitmap);
  NotifyChange();
}

template <typename Rule>
void TProEffectImage::SourceAndResult(Rule rule) {
  // The rule only reads the source, so a picture that already has 24 bits
  // serves as its own source; a copy would hold the same pixels.
  const TBitmap* source = &Bitmap();
  TBitmap converted;
  if (source->PixelFormat() != TPixelFormat::pf24bit) {
    converted = *source;
    converted.SetPixelFormat(TPixelFormat::pf24bit);
    source = &converted;
  }
  TBitmap result = *source;
  rule(*source, result);  // may throw: the picture has not been touched yet
  TakeOver(std::move(result));
}

void TProEffectImage::Effect_Invert() { InPlace([](TBitmap& b) { InvertPixels(b); }); }

void TProEffectImage::Effect_AddColorNoise(int32_t Amount) {
  Direct([=](TBitmap& b) { AddColorNoisePixels(b, Amount); });
}

void TProEffectImage::Effect_AddMonoNoise(int32_t Amount) {
  Direct([=](TBitmap& b) { AddMonoNoisePixels(b, Amount); });
}

void TProEffectImage::Effect_AntiAlias() {
  InPlace([](TBitmap& b) { AntiAliasRect(b, 0, 0, b.Width(), b.Height()); });
}

void TProEffectImage::Effect_Contrast(int32_t Amount) {
  Direct([=](TBitmap& b) { ContrastPixels(b, Amount); });
}

void TProEffectImage::Effect_FishEye(int32_t Amount) {
  SourceAndResult([=](const TBitmap& s, TBitmap& r) { FishEyePixels(s, r, Amount); });
}

void TProEffectImage::Effect_GrayScale() {
  Direct([](TBitmap& b) { GrayScalePixels(b); });
}

void TProEffectImage::Effect_Lightness(int32_t Amount) {
  Direct([=](TBitmap& b) { LightnessPixels(b, Amount); });
}

void TProEffectImage::Effect_Darkness(int32_t Amount) {
  Direct([=](TBitmap& b) { DarknessPixels(b, Amount); });
}

void TProEffectImage::Effect_Saturation(int32_t Amount) {
  Direct([=](TBitmap& b) { SaturationPixels(b, Amount); });
}

// A pass fails only at its first row, before writing anything, when its
// distance is negative or reaches the height; a pass that cannot fail may
// work on the picture itself.
static bool BlurPassFails(const TBitmap& b, int32_t d) { return d != 0 && (d < 0 || d >= b.Height()); }

void TProEffectImage::Effect_SplitBlur(int32_t Amount) {
  auto rule = [=](TBitmap& b) { SplitBlurPass(b, Amount); };
  if (BlurPassFails(Bitmap(), Amount))
    WorkingCopy(rule);
  else
    Direct(rule);
}

void TProEffectImage::Effect_GaussianBlur(int32_t Amount) {
  auto rule = [=](TBitmap& b) {
    if (Amount < 0) return;
    // A pass is a function of the picture alone: once one changes nothing,
    // neither would any further pass. Large amounts settle long before
    // their count is reached.
    for (int64_t pass = 0; pass <= Amount; ++pass)
      if (!SplitBlurPass(b, 3)) break;
  };
  if (Amount >= 0 && BlurPassFails(Bitmap(), 3))
    WorkingCopy(rule);
  else
    Direct(rule);
}

void TProEffectImage::Effect_Mosaic(int32_t Amount) {
  // Its only failure is the first row of an empty picture.
  if (Bitmap().Height() == 0)
    WorkingCopy([=](TBitmap& b) { MosaicPixels(b, Amount); });
  else
    Direct([=](TBitmap& b) { MosaicPixels(b, Amount); });
}

void TProEffectImage::Effect_Twist(int32_t Amount) {
  SourceAndResult([=](const TBitmap& s, TBitmap& r) { TwistPixels(s, r, Amount); });
}

void TProEffectImage::Effect_Splitlight(int32_t Amount) {
  Direct([=](TBitmap& b) { SplitlightPixels(b, Amount); });
}

void TProEffectImage::Effect_Tile(int32_t Amount) {
  // Tiling cannot fail, and it reads the picture only to make the reduced
  // tile, before it writes anything: the picture can be its own source.
  Direct([=](TBitmap& b) { TilePixels(b, b, Amount); });
}

void TProEffectImage::Effect_SpotLight(int32_t Amount, TRect Spot) {
  Direct([=](TBitmap& b) { SpotLightPixels(b, Amount, Spot); });
}

void TProEffectImage::Effect_Trace(int32_t Amount) {
  Direct([=](TBitmap& b) { TracePixels(b, Amount); });
}

void TProEffectImage::Effect_Emboss() {
  Direct([](TBitmap& b) { EmbossPixels(b); });
}

// Solarize and posterize read each pixel whole before writing it, so the
// source and the result may be one surface.
void TProEffectImage::Effect_Solorize(int32_t Amount) {
  Direct([=](TBitmap& b) { SolorizePixels(b, b, Amount); });
}

void TProEffectImage::Effect_Posterize(int32_t Amount) {
  // Amount 0 fails at the first pixel; find out before anything changes.
  if (Amount == 0 && PictureKind() == TPictureKind::pkBitmap && !bitmap_.Empty())
    PosterizeFailure(BlueOf(bitmap_.GetPixelRgb(0, 0)));
  Direct([=](TBitmap& b) { PosterizePixels(b, b, Amount); });
}

}  // namespace qv
