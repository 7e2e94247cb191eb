#include "imaging/bitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "imaging/exceptions.h"

namespace qv {

namespace {

constexpr const char* kScanLineMessage = "Scan line index out of range";

std::vector<TRGBQuad> DefaultPalette(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit:
      return {TRGBQuad{0, 0, 0, 0}, TRGBQuad{255, 255, 255, 0}};
    case TPixelFormat::pf4bit: {
      // The sixteen colours of the VGA palette.
      static const uint8_t rgb[16][3] = {
          {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
          {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
          {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
          {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
      std::vector<TRGBQuad> p(16);
      for (int i = 0; i < 16; ++i) p[i] = TRGBQuad{rgb[i][2], rgb[i][1], rgb[i][0], 0};
      return p;
    }
    case TPixelFormat::pf8bit: {
      const auto& h = HalftonePalette();
      return std::vector<TRGBQuad>(h.begin(), h.end());
    }
    default:
      return {};
  }
}

bool IsHalftone(const std::vector<TRGBQuad>& palette) {
  const auto& h = HalftonePalette();
  return palette.size() == h.size() && std::equal(palette.begin(), palette.end(), h.begin());
}

// Expands a masked field to 8 bits as the Windows display engine does: a
// wider field keeps its top 8 bits, a narrower one repeats its bits (5 bits
// abcde become abcdeabc), so that 0 stays 0 and the maximum becomes 255.
uint8_t ExtractChannel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  uint32_t field = mask >> shift;
  uint32_t v = (pixel & mask) >> shift;
  int width = std::bit_width(field);
  if (width >= 8) return static_cast<uint8_t>(v >> (width - 8));
  uint32_t repeated = 0;
  int bits = 0;
  for (; bits < 8; bits += width) repeated = (repeated << width) | v;
  return static_cast<uint8_t>(repeated >> (bits - 8));
}

uint32_t PackChannel(uint8_t value, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  uint32_t field = mask >> shift;
  int width = std::bit_width(field);
  uint32_t v = width >= 8 ? static_cast<uint32_t>(value) << (width - 8)
                          : (static_cast<uint32_t>(value) * field + 127) / 255;
  return (v << shift) & mask;
}

}  // namespace

int BitsPerPixel(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit: return 1;
    case TPixelFormat::pf4bit: return 4;
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf16bit: return 16;
    case TPixelFormat::pf24bit: return 24;
    case TPixelFormat::pfDevice:
    case TPixelFormat::pf32bit: return 32;
  }
  return 32;
}

size_t RowBytes(int width, int bitsPerPixel) {
  return ((static_cast<size_t>(width) * bitsPerPixel + 31) / 32) * 4;
}

TColorMasks DefaultMasks(TPixelFormat format) {
  if (format == TPixelFormat::pf16bit) return {0x7C00, 0x03E0, 0x001F};
  if (format == TPixelFormat::pf32bit || format == TPixelFormat::pfDevice)
    return {0x00FF0000, 0x0000FF00, 0x000000FF};
  return {};
}

void TBitmap::SetWidth(int width) { Resize(width, height_); }
void TBitmap::SetHeight(int height) { Resize(width_, height); }
void TBitmap::SetSize(int width, int height) { Resize(width, height); }

void TBitmap::Resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  file_form_.reset();
  if (palette_.empty()) palette_ = DefaultPalette(format_);
  if (masks_ == TColorMasks{}) masks_ = DefaultMasks(format_);
  if (bits_.empty() || width_ == 0 || height_ == 0) {
    // Nothing drawn yet: the new picture is white throughout.
    width_ = width;
    height_ = height;
    bits_.clear();
    pending_white_ = width_ > 0 && height_ > 0;
    return;
  }
  // Keep what overlaps at the top-left; the new area is white.
  TBitmap grown;
  grown.format_ = format_;
  grown.palette_ = palette_;
  grown.masks_ = masks_;
  grown.top_down_ = top_down_;
  grown.width_ = width;
  grown.height_ = height;
  grown.pending_white_ = width > 0 && height > 0;
  if (grown.pending_white_) {
    grown.Materialize();
    size_t keep = RowBytes(std::min(width, width_), PixelBits());
    int keepRows = std::min(height, height_);
    int bits = PixelBits();
    for (int r = 0; r < keepRows; ++r) {
      const uint8_t* src = PixelRow(r);
      uint8_t* dst = grown.PixelRow(r);
      if (bits >= 8) {
        std::memcpy(dst, src, static_cast<size_t>(std::min(width, width_)) * (bits / 8));
      } else {
        std::memcpy(dst, src, keep);  // sub-byte formats: whole bytes, rest stays
      }
    }
  }
  *this = std::move(grown);
}

void TBitmap::Materialize() const {
  if (!pending_white_) return;
  pending_white_ = false;
  size_t size = RowSize() * static_cast<size_t>(height_);
  switch (format_) {
    case TPixelFormat::pf1bit:
    case TPixelFormat::pf4bit:
    case TPixelFormat::pf8bit: {
      uint8_t white = NearestPaletteIndex(palette_, 255, 255, 255);
      int bits = PixelBits();
      uint8_t fill = white;
      if (bits == 4) fill = static_cast<uint8_t>((white << 4) | white);
      if (bits == 1) fill = white ? 0xFF : 0x00;
      bits_.assign(size, fill);
      break;
    }
    case TPixelFormat::pf16bit: {
      bits_.assign(size, 0);
      uint32_t w = PackChannel(255, masks_.Red) | PackChannel(255, masks_.Green) |
                   PackChannel(255, masks_.Blue);
      for (int r = 0; r < height_; ++r) {
        uint8_t* row = bits_.data() + RowSize() * r;
        for (int x = 0; x < width_; ++x) {
          row[2 * x] = w & 0xFF;
          row[2 * x + 1] = (w >> 8) & 0xFF;
        }
      }
      break;
    }
    default:
      bits_.assign(size, 0xFF);
  }
}

uint8_t* TBitmap::RowAddress(int row) const {
  if (row < 0 || row >= height_) throw EInvalidGraphicOperation(kScanLineMessage);
  Materialize();
  size_t index = top_down_ ? static_cast<size_t>(row) : static_cast<size_t>(height_ - 1 - row);
  return bits_.data() + index * RowSize();
}

void TBitmap::PixelsChanged() {
  if (file_form_) file_form_->WholeFile.reset();
}

uint8_t* TBitmap::PixelRow(int row) {
  uint8_t* p = RowAddress(row);
  PixelsChanged();
  return p;
}

const uint8_t* TBitmap::PixelRow(int row) const { return RowAddress(row); }

const std::vector<uint8_t>& TBitmap::Bits() const {
  Materialize();
  return bits_;
}

std::vector<uint8_t>& TBitmap::MutableBits() {
  Materialize();
  PixelsChanged();
  return bits_;
}

void TBitmap::SetPalette(std::vector<TRGBQuad> palette) {
  palette_ = std::move(palette);
  PixelsChanged();
}

void TBitmap::SetMasks(const TColorMasks& masks) {
  masks_ = masks;
  PixelsChanged();
}

void TBitmap::SetTopDown(bool topDown) {
  if (topDown == top_down_) return;
  if (!pending_white_ && !bits_.empty()) {
    size_t rs = RowSize();
    for (int a = 0, b = height_ - 1; a < b; ++a, --b)
      std::swap_ranges(bits_.begin() + a * rs, bits_.begin() + (a + 1) * rs, bits_.begin() + b * rs);
  }
  top_down_ = topDown;
}

void TBitmap::Allocate(int width, int height, TPixelFormat format, bool topDown) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  format_ = format;
  top_down_ = topDown;
  palette_ = DefaultPalette(format);
  masks_ = DefaultMasks(format);
  pending_white_ = false;
  file_form_.reset();
  bits_.assign(RowSize() * static_cast<size_t>(height_), 0);
}

void TBitmap::DecodeRowTo24(int row, uint8_t* out) const {
  const uint8_t* src = PixelRow(row);
  auto putIndex = [&](int x, unsigned index) {
    TRGBQuad q = index < palette_.size() ? palette_[index] : TRGBQuad{};
    out[3 * x] = q.Blue;
    out[3 * x + 1] = q.Green;
    out[3 * x + 2] = q.Red;
  };
  switch (format_) {
    case TPixelFormat::pf1bit:
      for (int x = 0; x < width_; ++x) putIndex(x, (src[x >> 3] >> (7 - (x & 7))) & 1);
      break;
    case TPixelFormat::pf4bit:
      for (int x = 0; x < width_; ++x) putIndex(x, (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4));
      break;
    case TPixelFormat::pf8bit:
      for (int x = 0; x < width_; ++x) putIndex(x, src[x]);
      break;
    case TPixelFormat::pf16bit:
      for (int x = 0; x < width_; ++x) {
        uint32_t p = src[2 * x] | (src[2 * x + 1] << 8);
        out[3 * x] = ExtractChannel(p, masks_.Blue);
        out[3 * x + 1] = ExtractChannel(p, masks_.Green);
        out[3 * x + 2] = ExtractChannel(p, masks_.Red);
      }
      break;
    case TPixelFormat::pf24bit:
      std::memcpy(out, src, static_cast<size_t>(width_) * 3);
      break;
    case TPixelFormat::pfDevice:
    case TPixelFormat::pf32bit:
      if (format_ == TPixelFormat::pfDevice || masks_ == DefaultMasks(TPixelFormat::pf32bit)) {
        for (int x = 0; x < width_; ++x) {
          out[3 * x] = src[4 * x];
          out[3 * x + 1] = src[4 * x + 1];
          out[3 * x + 2] = src[4 * x + 2];
        }
      } else {
        for (int x = 0; x < width_; ++x) {
          uint32_t p = src[4 * x] | (src[4 * x + 1] << 8) | (src[4 * x + 2] << 16) |
                       (static_cast<uint32_t>(src[4 * x + 3]) << 24);
          out[3 * x] = ExtractChannel(p, masks_.Blue);
          out[3 * x + 1] = ExtractChannel(p, masks_.Green);
          out[3 * x + 2] = ExtractChannel(p, masks_.Red);
        }
      }
      break;
  }
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  TBitmap converted;
  converted.width_ = width_;
  converted.height_ = height_;
  converted.format_ = format;
  converted.top_down_ = false;
  converted.palette_ = DefaultPalette(format);
  converted.masks_ = DefaultMasks(format);
  if (Empty()) {
    *this = std::move(converted);
    return;
  }
  if (pending_white_) {
    // Still untouched: white in any format.
    converted.pending_white_ = true;
    *this = std::move(converted);
    return;
  }
  converted.bits_.assign(converted.RowSize() * static_cast<size_t>(height_), 0);
  std::vector<uint8_t> rgb(static_cast<size_t>(width_) * 3);
  for (int r = 0; r < height_; ++r) {
    DecodeRowTo24(r, rgb.data());
    uint8_t* dst = converted.PixelRow(r);
    switch (format) {
      case TPixelFormat::pf24bit:
        std::memcpy(dst, rgb.data(), rgb.size());
        break;
      case TPixelFormat::pfDevice:
      case TPixelFormat::pf32bit:
        for (int x = 0; x < width_; ++x) {
          dst[4 * x] = rgb[3 * x];
          dst[4 * x + 1] = rgb[3 * x + 1];
          dst[4 * x + 2] = rgb[3 * x + 2];
          dst[4 * x + 3] = 0;
        }
        break;
      case TPixelFormat::pf8bit: {
        // Neighbouring pixels usually share a colour; skip the search for them.
        uint32_t last = 0xFFFFFFFF;
        uint8_t lastIndex = 0;
        for (int x = 0; x < width_; ++x) {
          uint32_t c = rgb[3 * x] | (rgb[3 * x + 1] << 8) | (rgb[3 * x + 2] << 16);
          if (c != last) {
            lastIndex = NearestHalftoneIndex(rgb[3 * x + 2], rgb[3 * x + 1], rgb[3 * x]);
            last = c;
          }
          dst[x] = lastIndex;
        }
        break;
      }
      case TPixelFormat::pf1bit:
      case TPixelFormat::pf4bit:
        for (int x = 0; x < width_; ++x) {
          uint8_t i = NearestPaletteIndex(converted.palette_, rgb[3 * x + 2], rgb[3 * x + 1], rgb[3 * x]);
          if (format == TPixelFormat::pf1bit) {
            if (i) dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
          } else {
            dst[x >> 1] |= static_cast<uint8_t>((x & 1) ? i : (i << 4));
          }
        }
        break;
      case TPixelFormat::pf16bit:
        for (int x = 0; x < width_; ++x) {
          uint32_t p = PackChannel(rgb[3 * x + 2], converted.masks_.Red) |
                       PackChannel(rgb[3 * x + 1], converted.masks_.Green) |
                       PackChannel(rgb[3 * x], converted.masks_.Blue);
          dst[2 * x] = p & 0xFF;
          dst[2 * x + 1] = (p >> 8) & 0xFF;
        }
        break;
    }
  }
  *this = std::move(converted);
}

void TBitmap::SetPixelBits(int bits) {
  switch (bits) {
    case 1: SetPixelFormat(TPixelFormat::pf1bit); break;
    case 4: SetPixelFormat(TPixelFormat::pf4bit); break;
    case 8: SetPixelFormat(TPixelFormat::pf8bit); break;
    case 16: SetPixelFormat(TPixelFormat::pf16bit); break;
    case 24: SetPixelFormat(TPixelFormat::pf24bit); break;
    case 32: SetPixelFormat(TPixelFormat::pf32bit); break;
    default: throw EInvalidGraphicOperation("Invalid pixel format");
  }
}

uint32_t TBitmap::GetPixelRgb(int x, int y) const {
  if (x < 0 || x >= width_) return 0;
  const uint8_t* row = PixelRow(y);
  auto fromQuad = [&](unsigned index) -> uint32_t {
    if (index >= palette_.size()) return 0;
    const TRGBQuad& q = palette_[index];
    return q.Red | (q.Green << 8) | (q.Blue << 16);
  };
  auto fromMasks = [&](uint32_t p) -> uint32_t {
    return ExtractChannel(p, masks_.Red) | (ExtractChannel(p, masks_.Green) << 8) |
           (ExtractChannel(p, masks_.Blue) << 16);
  };
  switch (format_) {
    case TPixelFormat::pf1bit: return fromQuad((row[x >> 3] >> (7 - (x & 7))) & 1);
    case TPixelFormat::pf4bit: return fromQuad((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
    case TPixelFormat::pf8bit: return fromQuad(row[x]);
    case TPixelFormat::pf16bit: return fromMasks(row[2 * x] | (row[2 * x + 1] << 8));
    case TPixelFormat::pf24bit: {
      const uint8_t* p = row + 3 * x;
      return p[2] | (p[1] << 8) | (p[0] << 16);
    }
    case TPixelFormat::pfDevice:
    case TPixelFormat::pf32bit: {
      const uint8_t* p = row + 4 * x;
      if (format_ == TPixelFormat::pfDevice || masks_ == DefaultMasks(TPixelFormat::pf32bit))
        return p[2] | (p[1] << 8) | (p[0] << 16);
      return fromMasks(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
    }
  }
  return 0;
}

void TBitmap::SetPixelRgb(int x, int y, uint32_t rgb) {
  if (x < 0 || x >= width_ || y < 0 || y >= height_) return;
  uint8_t r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
  uint8_t* row = PixelRow(y);
  switch (format_) {
    case TPixelFormat::pf24bit:
      row[3 * x] = b; row[3 * x + 1] = g; row[3 * x + 2] = r;
      break;
    case TPixelFormat::pfDevice:
    case TPixelFormat::pf32bit:
      if (format_ == TPixelFormat::pfDevice || masks_ == DefaultMasks(TPixelFormat::pf32bit)) {
        row[4 * x] = b; row[4 * x + 1] = g; row[4 * x + 2] = r;
      } else {
        uint32_t p = PackChannel(r, masks_.Red) | PackChannel(g, masks_.Green) | PackChannel(b, masks_.Blue);
        std::memcpy(row + 4 * x, &p, 4);
      }
      break;
    case TPixelFormat::pf16bit: {
      uint32_t p = PackChannel(r, masks_.Red) | PackChannel(g, masks_.Green) | PackChannel(b, masks_.Blue);
      row[2 * x] = p & 0xFF;
      row[2 * x + 1] = (p >> 8) & 0xFF;
      break;
    }
    case TPixelFormat::pf8bit:
      row[x] = IsHalftone(palette_) ? NearestHalftoneIndex(r, g, b) : NearestPaletteIndex(palette_, r, g, b);
      break;
    case TPixelFormat::pf4bit: {
      uint8_t i = NearestPaletteIndex(palette_, r, g, b) & 0x0F;
      uint8_t& byte = row[x >> 1];
      byte = (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | i) : static_cast<uint8_t>((byte & 0x0F) | (i << 4));
      break;
    }
    case TPixelFormat::pf1bit: {
      uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      if (NearestPaletteIndex(palette_, r, g, b) & 1) row[x >> 3] |= bit; else row[x >> 3] &= ~bit;
      break;
    }
  }
}

}  // namespace qv
