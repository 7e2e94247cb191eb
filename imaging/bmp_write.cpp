// Writing pictures as BMP files.
#include <algorithm>
#include <cstring>

#include "imaging/bmp.h"
#include "imaging/exceptions.h"
#include "imaging/file_io.h"

namespace qv {

namespace {

class TByteWriter {
 public:
  explicit TByteWriter(size_t reserve) { out_.reserve(reserve); }
  void U16(uint32_t v) {
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  uint8_t* Grow(size_t n) {
    size_t at = out_.size();
    out_.resize(at + n);
    return out_.data() + at;
  }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

// What goes into the headers, worked out once before anything is written.
struct TLayout {
  bool core = false;
  int bits = 24;
  bool topDown = false;
  uint32_t compression = 0;
  uint32_t imageSize = 0;
  int32_t xPels = 0, yPels = 0;
  uint32_t colorsUsed = 0, colorsImportant = 0;
  std::vector<TRGBQuad> table;
};

TLayout LayoutFor(const TBitmap& bitmap) {
  TLayout l;
  const auto& form = bitmap.FileForm();
  // A device-format surface is a painted one: it is written as 24 bits.
  l.bits = bitmap.PixelFormat() == TPixelFormat::pfDevice ? 24 : bitmap.PixelBits();
  l.topDown = bitmap.TopDown();
  const size_t rowBytes = RowBytes(bitmap.Width(), l.bits);
  const uint64_t pixelBytes = static_cast<uint64_t>(rowBytes) * bitmap.Height();
  const size_t fullTable = size_t{1} << std::min(l.bits, 8);

  // Masks other than the format's plain ones must travel with the file.
  const bool ownMasks = (l.bits == 16 || l.bits == 32) &&
                        !(bitmap.Masks() == DefaultMasks(bitmap.PixelFormat()));
  if (form) {
    l.compression = (form->Compression == 3 || ownMasks) && (l.bits == 16 || l.bits == 32) ? 3 : 0;
    // The OS/2 header has 16-bit sizes, no masks and no top-down form.
    l.core = form->CoreHeader && l.compression == 0 && bitmap.Width() <= 0xFFFF &&
             bitmap.Height() <= 0xFFFF;
    if (l.core) l.topDown = false;
    // A run-length picture whose pixels changed is written uncompressed.
    l.imageSize = form->Compression == 1 || form->Compression == 2
                      ? static_cast<uint32_t>(pixelBytes)
                      : form->ImageSize;
    l.xPels = form->XPelsPerMeter;
    l.yPels = form->YPelsPerMeter;
    l.colorsUsed = form->ColorsUsed;
    l.colorsImportant = form->ColorsImportant;
    if (l.bits <= 8) {
      // The table as read, unless a new palette of another size came since.
      const auto& palette = bitmap.Palette();
      const size_t readCount = l.colorsUsed ? l.colorsUsed : fullTable;
      if (!palette.empty() && palette.size() != readCount)
        l.colorsUsed = palette.size() == fullTable ? 0 : static_cast<uint32_t>(std::min<size_t>(palette.size(), 256));
      if (l.core) l.colorsUsed = 0;  // no such field: the table is always full
      l.table.assign(l.colorsUsed ? l.colorsUsed : fullTable, TRGBQuad{});
      std::copy_n(palette.begin(), std::min(palette.size(), l.table.size()), l.table.begin());
    } else if (!l.core) {
      l.table = form->OptionalTable;
      l.colorsUsed = static_cast<uint32_t>(l.table.size());
    } else {
      l.colorsUsed = 0;
    }
  } else {
    l.imageSize = static_cast<uint32_t>(pixelBytes);
    if (ownMasks) l.compression = 3;
    if (l.bits <= 8) {
      l.table = bitmap.Palette();
      if (l.table.size() > fullTable) l.table.resize(fullTable);
      if (l.table.empty()) l.table.assign(fullTable, TRGBQuad{});
      if (l.table.size() != fullTable) l.colorsUsed = static_cast<uint32_t>(l.table.size());
    }
  }
  return l;
}

}  // namespace

std::vector<uint8_t> EncodeBmp(const TBitmap& bitmap) {
  if (bitmap.Empty()) return {};
  const auto& form = bitmap.FileForm();
  if (form && form->WholeFile) return *form->WholeFile;

  const TLayout l = LayoutFor(bitmap);
  const int width = bitmap.Width(), height = bitmap.Height();
  const size_t rowBytes = RowBytes(width, l.bits);
  const uint32_t headerSize = l.core ? 12 : 40;
  const uint32_t maskBytes = l.compression == 3 ? 12 : 0;
  const uint32_t entryBytes = l.core ? 3 : 4;
  const uint64_t offset = 14 + headerSize + maskBytes + uint64_t{entryBytes} * l.table.size();
  const uint64_t fileSize = offset + uint64_t{rowBytes} * static_cast<uint64_t>(height);
  if (fileSize > UINT32_MAX) throw EInvalidGraphicOperation("Picture is too large for a BMP file");

  TByteWriter w(static_cast<size_t>(fileSize));
  w.U16('B' | ('M' << 8));
  w.U32(static_cast<uint32_t>(fileSize));
  w.U16(0);
  w.U16(0);
  w.U32(static_cast<uint32_t>(offset));
  if (l.core) {
    w.U32(12);
    w.U16(static_cast<uint32_t>(width));
    w.U16(static_cast<uint32_t>(height));
    w.U16(1);
    w.U16(static_cast<uint32_t>(l.bits));
  } else {
    w.U32(40);
    w.I32(width);
    w.I32(l.topDown ? -height : height);
    w.U16(1);
    w.U16(static_cast<uint32_t>(l.bits));
    w.U32(l.compression);
    w.U32(l.imageSize);
    w.I32(l.xPels);
    w.I32(l.yPels);
    w.U32(l.colorsUsed);
    w.U32(l.colorsImportant);
  }
  if (maskBytes) {
    w.U32(bitmap.Masks().Red);
    w.U32(bitmap.Masks().Green);
    w.U32(bitmap.Masks().Blue);
  }
  for (const TRGBQuad& q : l.table) {
    uint8_t* e = w.Grow(entryBytes);
    e[0] = q.Blue;
    e[1] = q.Green;
    e[2] = q.Red;
    if (entryBytes == 4) e[3] = 0;
  }

  // Rows in file order; the padding of every row is zero whatever the
  // surface holds there.
  const bool device = bitmap.PixelFormat() == TPixelFormat::pfDevice;
  const size_t used = (static_cast<size_t>(width) * l.bits + 7) / 8;
  uint8_t* out = w.Grow(rowBytes * static_cast<size_t>(height));  // zero-filled
  for (int i = 0; i < height; ++i, out += rowBytes) {
    const uint8_t* row = bitmap.PixelRow(l.topDown ? i : height - 1 - i);
    if (device) {
      for (int x = 0; x < width; ++x) std::memcpy(out + 3 * x, row + 4 * x, 3);
    } else {
      std::memcpy(out, row, used);
    }
  }
  return w.Take();
}

void SaveBitmapToFile(const TBitmap& bitmap, const std::string& path) {
  const std::vector<uint8_t> bytes = EncodeBmp(bitmap);
  WriteFileReplacing(path, bytes);
}

}  // namespace qv
