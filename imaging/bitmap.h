// The pixel surface. Rows are bottom-up in memory (as in a BMP file) unless
// the picture came from a top-down file; code reaches a row only through
// PixelRow(r), r = 0 being the top row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "imaging/halftone.h"

namespace qv {

enum class TPixelFormat {
  pfDevice,  // what a new surface has: 32 bits, blue, green, red, unused
  pf1bit,
  pf4bit,
  pf8bit,    // palette indexes; the halftone palette unless a file gave one
  pf16bit,   // colour masks (5-5-5 unless a file gave others)
  pf24bit,   // blue, green, red
  pf32bit,   // blue, green, red, fourth byte (masks 8-8-8 unless a file gave others)
};

int BitsPerPixel(TPixelFormat format);

// Bytes in one row of a picture of the given width and bit depth, padded to
// a multiple of four: ((width * bits + 31) div 32) * 4.
size_t RowBytes(int width, int bitsPerPixel);

// Channel masks of a 16- or 32-bit picture.
struct TColorMasks {
  uint32_t Red = 0;
  uint32_t Green = 0;
  uint32_t Blue = 0;
  friend bool operator==(const TColorMasks&, const TColorMasks&) = default;
};

TColorMasks DefaultMasks(TPixelFormat format);

// How a picture read from a BMP file was stored in it, so that saving it
// writes the same form back (imaging/bmp.h). A surface that was painted
// rather than read has none.
struct TBmpFileForm {
  bool CoreHeader = false;  // the 12-byte OS/2 header, with 3-byte colour table entries
  uint32_t HeaderSize = 40;
  uint32_t Compression = 0;  // 0 none, 1 run-length 8 bits, 2 run-length 4 bits, 3 bit fields
  uint32_t ImageSize = 0;
  int32_t XPelsPerMeter = 0;
  int32_t YPelsPerMeter = 0;
  uint32_t ColorsUsed = 0;
  uint32_t ColorsImportant = 0;
  // Header bytes past the first 40 (108- and 124-byte headers), as read.
  std::vector<uint8_t> HeaderExtra;
  // The colour table a 16-, 24- or 32-bit file may carry.
  std::vector<TRGBQuad> OptionalTable;
  // The whole file of a run-length compressed picture. It is written back
  // byte for byte, and dropped as soon as the pixels may change.
  std::shared_ptr<const std::vector<uint8_t>> WholeFile;
};

class TBitmap {
 public:
  TBitmap() = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetWidth(int width);
  void SetHeight(int height);
  void SetSize(int width, int height);
  bool Empty() const { return width_ == 0 || height_ == 0; }

  TPixelFormat PixelFormat() const { return format_; }
  int PixelBits() const { return BitsPerPixel(format_); }
  // Converting keeps the size; to 24 or 32 bits every colour stays exact, to
  // 8 bits every pixel becomes the nearest halftone entry. Setting the format
  // the surface already has does nothing.
  void SetPixelFormat(TPixelFormat format);
  void SetPixelBits(int bits);  // 8, 24 or 32

  // Throws EInvalidGraphicOperation "Scan line index out of range" for a row
  // outside 0..Height-1. The writable row counts as a change of the picture.
  uint8_t* PixelRow(int row);
  const uint8_t* PixelRow(int row) const;
  size_t RowSize() const { return RowBytes(width_, PixelBits()); }

  // Palette of a 1-, 4- or 8-bit picture (empty for others).
  const std::vector<TRGBQuad>& Palette() const { return palette_; }
  void SetPalette(std::vector<TRGBQuad> palette);
  const TColorMasks& Masks() const { return masks_; }
  void SetMasks(const TColorMasks& masks);

  bool TopDown() const { return top_down_; }
  // Changes only how rows lie in memory; the picture stays as it is.
  void SetTopDown(bool topDown);

  // Creates a picture of a given format with unspecified (zero) pixels, for
  // readers that fill every row themselves.
  void Allocate(int width, int height, TPixelFormat format, bool topDown);

  // The whole pixel buffer as it would lie in a file (row padding included).
  const std::vector<uint8_t>& Bits() const;
  // The same buffer for readers that fill it in file order; a change of the picture.
  std::vector<uint8_t>& MutableBits();

  // The form of the BMP file the picture was read from, if it was. Changing
  // the size or format forgets it; changing pixels, palette or masks drops
  // the kept copy of a compressed file, which would no longer match.
  const std::optional<TBmpFileForm>& FileForm() const { return file_form_; }
  void SetFileForm(std::optional<TBmpFileForm> form) { file_form_ = std::move(form); }

  // One pixel as 0x00BBGGRR, whatever the format (slow path for drawing).
  uint32_t GetPixelRgb(int x, int y) const;
  void SetPixelRgb(int x, int y, uint32_t rgb);

 private:
  void Materialize() const;
  uint8_t* RowAddress(int row) const;
  void PixelsChanged();
  void Resize(int width, int height);
  void DecodeRowTo24(int row, uint8_t* out) const;

  int width_ = 0;
  int height_ = 0;
  TPixelFormat format_ = TPixelFormat::pfDevice;
  bool top_down_ = false;
  std::vector<TRGBQuad> palette_;
  TColorMasks masks_;
  // A sized surface is white until someone looks at its bytes; filling them
  // is deferred so that painting over a fresh surface costs one pass, not two.
  mutable bool pending_white_ = false;
  mutable std::vector<uint8_t> bits_;
  std::optional<TBmpFileForm> file_form_;
};

}  // namespace qv
