// TProEffectImage: the picture the preview image control shows, and the 21
// effects it publishes. This is the portable model; the Win32 control
// (effects/win32/) owns the window, subscribes to OnChange and
// OnRepaintRequest and paints the picture.
//
// Every effect leaves the picture's bitmap a 24-bit surface. An effect that
// fails (a scan-line range error, a floating-point error) leaves the picture
// as it was: the working surfaces become the picture only after the pixel
// rule has completed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "imaging/bitmap.h"
#include "imaging/color.h"
#include "imaging/geometry.h"

namespace qv {

// A picture content that is not a bitmap (an icon, a metafile...). The model
// only needs to know that it is there; the Win32 side may subclass it.
class TGraphic {
 public:
  virtual ~TGraphic() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
};

enum class TPictureKind { pkEmpty, pkBitmap, pkGraphic };

// How a bitmap is drawn over what lies beneath it. The effects keep these
// settings; only the painter reads them. clDefault as the colour means "the
// colour of the bottom-left pixel".
struct TBitmapTransparency {
  bool Transparent = false;
  TColor TransparentColor = clDefault;
  friend bool operator==(const TBitmapTransparency&, const TBitmapTransparency&) = default;
};

class TProEffectImage {
 public:
  TProEffectImage() = default;
  TProEffectImage(const TProEffectImage&) = delete;
  TProEffectImage& operator=(const TProEffectImage&) = delete;

  // --- The picture -------------------------------------------------------

  TPictureKind PictureKind() const { return kind_; }
  // The bitmap shown, or nullptr when the picture is empty or holds another
  // kind of graphic.
  const TBitmap* PictureBitmap() const { return kind_ == TPictureKind::pkBitmap ? &bitmap_ : nullptr; }
  const TGraphic* PictureGraphic() const { return graphic_.get(); }
  const TBitmapTransparency& Transparency() const { return transparency_; }

  // Hands a surface over to the picture (a change: OnChange fires).
  void AssignBitmap(TBitmap bitmap, TBitmapTransparency transparency = {});
  void AssignGraphic(std::unique_ptr<TGraphic> graphic);
  void ClearPicture();
  void SetTransparency(const TBitmapTransparency& transparency);

  // The picture's bitmap for editing. A picture that holds no bitmap first
  // becomes an empty 0 x 0 bitmap (its graphic is discarded; OnChange
  // fires). Call PictureChanged() after editing pixels through it.
  TBitmap& Bitmap();
  void PictureChanged();

  // Fired after every change of the picture; the control repaints.
  std::function<void()> OnChange;
  // Fired when pixels were changed in place and the control must repaint.
  std::function<void()> OnRepaintRequest;

  // --- The published effects, in the order the control publishes them ----

  void Effect_Invert();
  void Effect_AddColorNoise(int32_t Amount);
  void Effect_AddMonoNoise(int32_t Amount);
  void Effect_AntiAlias();
  void Effect_Contrast(int32_t Amount);
  void Effect_FishEye(int32_t Amount);
  void Effect_GrayScale();
  void Effect_Lightness(int32_t Amount);
  void Effect_Darkness(int32_t Amount);
  void Effect_Saturation(int32_t Amount);
  void Effect_SplitBlur(int32_t Amount);
  void Effect_GaussianBlur(int32_t Amount);
  void Effect_Mosaic(int32_t Amount);
  void Effect_Twist(int32_t Amount);
  void Effect_Splitlight(int32_t Amount);
  void Effect_Tile(int32_t Amount);
  void Effect_SpotLight(int32_t Amount, TRect Spot);
  void Effect_Trace(int32_t Amount);
  void Effect_Emboss();
  void Effect_Solorize(int32_t Amount);
  void Effect_Posterize(int32_t Amount);

 private:
  template <typename Rule>
  void InPlace(Rule rule);
  template <typename Rule>
  void WorkingCopy(Rule rule);
  template <typename Rule>
  void SourceAndResult(Rule rule);
  template <typename Rule>
  void Direct(Rule rule);
  void TakeOver(TBitmap&& result);
  void NotifyChange();

  TPictureKind kind_ = TPictureKind::pkEmpty;
  TBitmap bitmap_;
  std::unique_ptr<TGraphic> graphic_;
  TBitmapTransparency transparency_;
};

}  // namespace qv
