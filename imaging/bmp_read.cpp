// Reading BMP files. The reader recognises the file, parses the headers into
// a plain struct, checks every field against the values it knows, checks
// sizes before anything is allocated, then allocates and decodes. Nothing
// is read outside the bytes given; every size is computed in 64 bits.
#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/bmp.h"
#include "imaging/exceptions.h"
#include "imaging/file_io.h"

namespace qv {

namespace {

constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;
constexpr size_t kMaxColorTable = 256;

// What creating a picture reports when memory runs out, as the platform
// words it for its error code 8.
constexpr int kNotEnoughMemoryCode = 8;
constexpr const char* kNotEnoughMemoryText =
    "Not enough memory resources are available to process this command";

[[noreturn]] void NotValid() { throw EInvalidGraphic(kBitmapNotValidMessage); }
[[noreturn]] void ShortFile() { throw EReadError(kStreamReadErrorMessage); }

// Reads little-endian numbers; running past the end is "Stream read error".
class TByteReader {
 public:
  explicit TByteReader(std::span<const uint8_t> data) : data_(data) {}
  size_t Position() const { return pos_; }
  size_t Left() const { return data_.size() - pos_; }
  void Need(uint64_t n) const {
    if (n > Left()) ShortFile();
  }
  uint16_t U16() {
    Need(2);
    uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  uint32_t U32() {
    uint32_t lo = U16();
    return lo | (static_cast<uint32_t>(U16()) << 16);
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  std::span<const uint8_t> Take(size_t n) {
    Need(n);
    auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

struct TFileHeader {
  uint16_t Type = 0;
  uint32_t DataOffset = 0;
};

struct TInfoHeader {
  uint32_t Size = 0;
  bool Core = false;
  int32_t Width = 0;
  int32_t Height = 0;
  uint16_t Planes = 0;
  uint16_t BitCount = 0;
  uint32_t Compression = 0;
  uint32_t ImageSize = 0;
  int32_t XPelsPerMeter = 0;
  int32_t YPelsPerMeter = 0;
  uint32_t ColorsUsed = 0;
  uint32_t ColorsImportant = 0;
  std::vector<uint8_t> Extra;  // bytes past the first 40
};

TInfoHeader ReadInfoHeader(TByteReader& in) {
  TInfoHeader h;
  h.Size = in.U32();
  if (h.Size == kCoreHeaderSize) {
    // OS/2 1.x: 16-bit unsigned sizes, always bottom-up, no compression.
    h.Core = true;
    h.Width = in.U16();
    h.Height = in.U16();
    h.Planes = in.U16();
    h.BitCount = in.U16();
    return h;
  }
  // Shorter forms hold too little to make a picture from; absurdly long
  // ones are no header anyone writes.
  if (h.Size < kInfoHeaderSize || h.Size > kMaxBmpHeaderSize) NotValid();
  in.Need(h.Size - 4);
  h.Width = in.I32();
  h.Height = in.I32();
  h.Planes = in.U16();
  h.BitCount = in.U16();
  h.Compression = in.U32();
  h.ImageSize = in.U32();
  h.XPelsPerMeter = in.I32();
  h.YPelsPerMeter = in.I32();
  h.ColorsUsed = in.U32();
  h.ColorsImportant = in.U32();
  auto extra = in.Take(h.Size - kInfoHeaderSize);
  h.Extra.assign(extra.begin(), extra.end());
  return h;
}

uint32_t LittleEndian32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

TPixelFormat FormatOf(int bits) {
  switch (bits) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    case 16: return TPixelFormat::pf16bit;
    case 24: return TPixelFormat::pf24bit;
    case 32: return TPixelFormat::pf32bit;
    default: NotValid();
  }
}

// The combinations a picture can be made of; everything else is refused.
void CheckPictureFields(const TInfoHeader& h) {
  FormatOf(h.BitCount);
  if (h.Width <= 0 || h.Width > kMaxBmpDimension) NotValid();
  if (h.Height == 0 || h.Height < -kMaxBmpDimension || h.Height > kMaxBmpDimension) NotValid();
  switch (h.Compression) {
    case kBiRgb: break;
    case kBiBitfields:
      if (h.BitCount != 16 && h.BitCount != 32) NotValid();
      break;
    case kBiRle8:
    case kBiRle4:
      if (h.BitCount != (h.Compression == kBiRle8 ? 8 : 4)) NotValid();
      if (h.Height < 0) NotValid();  // compressed pictures are always bottom-up
      break;
    default: NotValid();  // JPEG, PNG and others are not decoded here
  }
}

// Run-length decoding into a zeroed, bottom-up 4- or 8-bit picture. Pixels
// the data does not reach stay 0; runs past the right edge are clipped;
// the data ends at its end-of-picture mark, at the top row, or where the
// bytes run out.
void DecodeRunLength(std::span<const uint8_t> src, int bits, TBitmap& picture) {
  std::vector<uint8_t>& buffer = picture.MutableBits();
  const int width = picture.Width(), height = picture.Height();
  const size_t rowBytes = picture.RowSize();
  int x = 0, y = 0;  // y counts rows from the bottom, as they lie in memory
  auto put = [&](int at, unsigned value) {
    uint8_t* row = buffer.data() + static_cast<size_t>(y) * rowBytes;
    if (bits == 8) {
      row[at] = static_cast<uint8_t>(value);
    } else {
      uint8_t& b = row[at >> 1];
      b = (at & 1) ? static_cast<uint8_t>((b & 0xF0) | value) : static_cast<uint8_t>((b & 0x0F) | (value << 4));
    }
  };
  size_t i = 0;
  while (y < height && src.size() - i >= 2) {
    const unsigned count = src[i], code = src[i + 1];
    i += 2;
    if (count > 0) {
      // Encoded run: one index (8 bits) or two alternating ones (4 bits).
      const int n = std::min<int>(static_cast<int>(count), width - x);
      for (int k = 0; k < n; ++k)
        put(x + k, bits == 8 ? code : ((k & 1) ? (code & 0x0F) : (code >> 4)));
      x = std::min(x + static_cast<int>(count), width);
      continue;
    }
    switch (code) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of picture
        return;
      case 2:  // move right and up
        if (src.size() - i < 2) return;
        x = std::min(x + src[i], width);
        y += src[i + 1];
        i += 2;
        break;
      default: {  // absolute run of `code` indexes, padded to a 16-bit boundary
        const size_t bytes = bits == 8 ? code : (code + 1) / 2;
        const size_t padded = (bytes + 1) & ~size_t{1};
        const size_t available = std::min(bytes, src.size() - i);
        const size_t pixels = bits == 8 ? available : std::min<size_t>(code, available * 2);
        const int n = std::min<int>(static_cast<int>(pixels), width - x);
        for (int k = 0; k < n; ++k) {
          const uint8_t b = src[i + (bits == 8 ? k : k / 2)];
          put(x + k, bits == 8 ? b : ((k & 1) ? (b & 0x0F) : (b >> 4)));
        }
        x = std::min(x + static_cast<int>(code), width);
        i += std::min(padded, src.size() - i);
        break;
      }
    }
  }
}

}  // namespace

TBitmap DecodeBmp(std::span<const uint8_t> data, uint64_t fileSize) {
  if (fileSize == UINT64_MAX) fileSize = data.size();
  if (fileSize == 0) return TBitmap();

  TByteReader in(data);
  TFileHeader file;
  in.Need(14);
  file.Type = in.U16();
  in.U32();  // file size: not trusted, the real size is known
  in.U32();  // reserved
  file.DataOffset = in.U32();
  if (file.Type != ('B' | ('M' << 8))) NotValid();

  const TInfoHeader h = ReadInfoHeader(in);

  // A compressed file is kept whole: it is written back byte for byte.
  const bool runLength = h.Compression != kBiRgb && h.Compression != kBiBitfields;
  if (runLength && fileSize > data.size()) NotValid();  // far larger than any real picture

  if (h.Planes != 1) NotValid();

  // Bit-field masks: after a 40-byte header, inside the longer headers.
  TColorMasks masks = DefaultMasks(h.BitCount == 16 ? TPixelFormat::pf16bit : TPixelFormat::pf32bit);
  if (h.Compression == kBiBitfields && (h.BitCount == 16 || h.BitCount == 32)) {
    if (h.Size == kInfoHeaderSize) {
      masks.Red = in.U32();
      masks.Green = in.U32();
      masks.Blue = in.U32();
    } else if (h.Extra.size() >= 12) {
      masks = {LittleEndian32(&h.Extra[0]), LittleEndian32(&h.Extra[4]), LittleEndian32(&h.Extra[8])};
    } else {
      NotValid();  // a header too short to hold them, and none follow it
    }
  }

  // Colour table. Without a count, only 1, 4 and 8 bits per pixel imply a
  // full table; any other bit count has none, and is refused further on.
  uint64_t entries = h.ColorsUsed;
  if (entries == 0 && (h.BitCount == 1 || h.BitCount == 4 || h.BitCount == 8)) entries = uint64_t{1} << h.BitCount;
  if (entries > kMaxColorTable) NotValid();
  const size_t entryBytes = h.Core ? 3 : 4;
  auto tableBytes = in.Take(static_cast<size_t>(entries) * entryBytes);
  std::vector<TRGBQuad> table(static_cast<size_t>(entries));
  for (size_t k = 0; k < table.size(); ++k) {
    const uint8_t* e = &tableBytes[k * entryBytes];
    table[k] = TRGBQuad{e[0], e[1], e[2], 0};
  }

  CheckPictureFields(h);
  const int width = h.Width;
  const int height = h.Height < 0 ? -h.Height : h.Height;
  const uint64_t rowBytes = RowBytes(width, h.BitCount);
  const uint64_t fullSize = rowBytes * static_cast<uint64_t>(height);
  if (fullSize > kMaxBmpPixelBytes) NotValid();

  // The pixel data starts where the file header says when that lies past
  // the tables and inside the file; a gap between holds nothing of the
  // picture. An offset pointing elsewhere is a writer's mistake, and the
  // data is taken to follow the tables.
  size_t start = in.Position();
  if (file.DataOffset > start && file.DataOffset <= data.size()) start = file.DataOffset;
  const uint64_t declared = h.Compression == kBiRgb || h.ImageSize == 0 ? fullSize : h.ImageSize;
  const size_t length = static_cast<size_t>(std::min<uint64_t>(declared, data.size() - start));
  const std::span<const uint8_t> pixels = data.subspan(start, length);

  TBitmap picture;
  try {
    picture.Allocate(width, height, FormatOf(h.BitCount), h.Height < 0);
  } catch (const std::bad_alloc&) {
    throw EOSError(FormatSystemError(kNotEnoughMemoryCode, kNotEnoughMemoryText));
  }
  if (h.BitCount <= 8) picture.SetPalette(table);
  if (h.BitCount == 16 || h.BitCount == 32) picture.SetMasks(masks);

  if (runLength) {
    DecodeRunLength(pixels, h.BitCount, picture);
  } else {
    // Rows missing from a short file stay zero.
    std::vector<uint8_t>& bits = picture.MutableBits();
    std::memcpy(bits.data(), pixels.data(), std::min(pixels.size(), bits.size()));
  }

  TBmpFileForm form;
  form.CoreHeader = h.Core;
  form.HeaderSize = h.Size;
  form.Compression = h.Compression;
  form.ImageSize = h.ImageSize;
  form.XPelsPerMeter = h.XPelsPerMeter;
  form.YPelsPerMeter = h.YPelsPerMeter;
  form.ColorsUsed = h.ColorsUsed;
  form.ColorsImportant = h.ColorsImportant;
  form.HeaderExtra = h.Extra;
  if (h.BitCount > 8) form.OptionalTable = std::move(table);
  if (runLength) form.WholeFile = std::make_shared<const std::vector<uint8_t>>(data.begin(), data.end());
  picture.SetFileForm(std::move(form));
  return picture;
}

TBitmap LoadBitmapFromFile(const std::string& path) {
  TFileContents file = ReadFileContents(path, kMaxBmpFileBytes);
  return DecodeBmp(file.Bytes, file.Size);
}

std::string FormatSystemError(int code, const std::string& text) {
  return "System Error.  Code: " + std::to_string(code) + ".\r\n" + text;
}

}  // namespace qv
