// TKelvoGradient: paints any number of colour stops onto a surface as a
// linear, radial, angular or handler-supplied gradient.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/color.h"
#include "imaging/geometry.h"

namespace qv {

class TKelvoGradientColors;

enum TKelvoGradientType : int { gtLinear = 0, gtRadial = 1, gtAngle = 2, gtCustom = 3 };

// Handler for gtCustom: ColorPosition is 0 on entry and the pixel's colour
// position on return.
using TColorPixelEvent = std::function<void(TPoint Pixel, double& ColorPosition)>;

// Something a stop can be assigned from; only another stop is accepted.
class TPersistent {
 public:
  virtual ~TPersistent() = default;
  virtual const char* ClassName() const = 0;
};

class TKelvoGradientColor : public TPersistent {
 public:
  const char* ClassName() const override { return "TKelvoGradientColor"; }

  TColor Color() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  uint8_t Alpha() const { return alpha_; }
  void SetAlpha(uint8_t alpha) { alpha_ = alpha; }
  double Position() const { return position_; }
  // Accepts 0 <= value <= 1; anything else raises an error and keeps the old value.
  void SetPosition(double value);
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }
  std::string DisplayName() const { return name_; }

  // Copies colour, alpha, position (unchecked) and visibility from another
  // stop; anything else (or nullptr) is an EConvertError.
  void Assign(const TPersistent* source);

 private:
  friend class TKelvoGradientColors;
  TKelvoGradientColor() = default;

  TColor color_ = 0xFFFFFF;
  uint8_t alpha_ = 255;
  double position_ = 0.0;
  std::string name_ = "Kelvo Gradient Color";
  bool visible_ = true;
};

class TKelvoGradientColors {
 public:
  TKelvoGradientColor& Add();  // appended with the starting values
  TKelvoGradientColor& Items(int index);
  const TKelvoGradientColor& Items(int index) const;
  int Count() const { return static_cast<int>(items_.size()); }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TKelvoGradientColor>> items_;
};

class TKelvoGradient {
 public:
  TKelvoGradient() = default;
  TKelvoGradient(const TKelvoGradient&) = delete;
  TKelvoGradient& operator=(const TKelvoGradient&) = delete;

  TKelvoGradientColors& Colors() { return colors_; }
  const TKelvoGradientColors& Colors() const { return colors_; }
  double Angle() const { return angle_; }
  // Reduced into [0, 360) by whole turns.
  void SetAngle(double value);
  TKelvoGradientType GradientType() const { return type_; }
  void SetGradientType(TKelvoGradientType type) { type_ = type; }
  bool Reverse() const { return reverse_; }
  void SetReverse(bool reverse) { reverse_ = reverse; }
  const TColorPixelEvent& OnColorPixel() const { return on_color_pixel_; }
  void SetOnColorPixel(TColorPixelEvent handler) { on_color_pixel_ = std::move(handler); }
  std::string HomePage() const;
  void SetHomePage(const std::string&) {}  // read-only in effect

  // Paints every pixel of the surface; the centre is in the surface's pixel
  // coordinates and may lie outside it. On return the surface has 24 bits
  // per pixel and its old size.
  void PaintGradient(int32_t CenterX, int32_t CenterY, TBitmap& Bitmap);

  // The working steps, public so that their rules can be checked one by one.
  void SortColors();
  const std::vector<int32_t>& SortedIndex() const { return sorted_index_; }
  void PrepareLinear(int32_t CenterX, int32_t CenterY);
  void PrepareRadial(int32_t CenterX, int32_t CenterY);
  double GetColorPosition(int32_t X, int32_t Y, int32_t CenterX, int32_t CenterY);
  // Alpha in the lowest byte, then red, green, and blue in the highest.
  uint32_t GetPixelColor(int32_t X, int32_t Y, int32_t CenterX, int32_t CenterY);
  static uint8_t BlendChannel(uint8_t Old, uint8_t New, uint8_t Alpha);

  double MaxDistance() const { return max_distance_; }
  double Slope() const { return slope_; }
  double Offset() const { return offset_; }
  double Norm() const { return norm_; }

 private:
  uint32_t ColorAtPosition(double p) const;
  void PaintRadialBands(int32_t CenterX, int32_t CenterY, TBitmap& bitmap);
  void PaintPerPixel(int32_t CenterX, int32_t CenterY, TBitmap& bitmap);

  TKelvoGradientColors colors_;
  double angle_ = 0.0;
  TKelvoGradientType type_ = gtLinear;
  bool reverse_ = false;
  TColorPixelEvent on_color_pixel_;

  // Working state of one PaintGradient call.
  std::vector<int32_t> sorted_index_;
  int32_t visible_count_ = 0;
  double slope_ = 0.0;
  double offset_ = 0.0;
  double norm_ = 1.0;
  double max_distance_ = 1.0;
  int32_t surface_width_ = 0;
  int32_t surface_height_ = 0;
};

}  // namespace qv
