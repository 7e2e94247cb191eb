// Builds BMP file images field by field for the reader's tests, independent
// of the program's own writer.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/halftone.h"

namespace qv::test {

struct BmpFields {
  uint32_t HeaderSize = 40;  // 12 writes the OS/2 header
  int32_t Width = 1;
  int32_t Height = 1;
  uint16_t Planes = 1;
  uint16_t Bits = 24;
  uint32_t Compression = 0;
  std::optional<uint32_t> ImageSize;  // the pixel data's size when not given
  int32_t XPels = 0, YPels = 0;
  uint32_t ColorsUsed = 0, ColorsImportant = 0;
  std::vector<uint8_t> HeaderExtra;     // header bytes past 40, zero-filled to HeaderSize
  std::vector<uint32_t> MasksAfterHeader;
  std::vector<TRGBQuad> Table;
  std::vector<uint8_t> Gap;             // bytes between the table and the pixels
  std::optional<uint32_t> DataOffset;   // the header's field, when not the true one
  std::vector<uint8_t> Pixels;
};

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

inline std::vector<uint8_t> BuildBmp(const BmpFields& f) {
  const bool core = f.HeaderSize == 12;
  const size_t entry = core ? 3 : 4;
  const uint32_t offset = static_cast<uint32_t>(14 + f.HeaderSize + 4 * f.MasksAfterHeader.size() +
                                                entry * f.Table.size() + f.Gap.size());
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<uint32_t>(offset + f.Pixels.size()));
  Put32(out, 0);
  Put32(out, f.DataOffset.value_or(offset));
  Put32(out, f.HeaderSize);
  if (core) {
    Put16(out, static_cast<uint32_t>(f.Width));
    Put16(out, static_cast<uint32_t>(f.Height));
    Put16(out, f.Planes);
    Put16(out, f.Bits);
  } else {
    Put32(out, static_cast<uint32_t>(f.Width));
    Put32(out, static_cast<uint32_t>(f.Height));
    Put16(out, f.Planes);
    Put16(out, f.Bits);
    Put32(out, f.Compression);
    Put32(out, f.ImageSize.value_or(static_cast<uint32_t>(f.Pixels.size())));
    Put32(out, static_cast<uint32_t>(f.XPels));
    Put32(out, static_cast<uint32_t>(f.YPels));
    Put32(out, f.ColorsUsed);
    Put32(out, f.ColorsImportant);
    std::vector<uint8_t> extra = f.HeaderExtra;
    extra.resize(f.HeaderSize > 40 ? f.HeaderSize - 40 : 0, 0);
    out.insert(out.end(), extra.begin(), extra.end());
  }
  for (uint32_t m : f.MasksAfterHeader) Put32(out, m);
  for (const TRGBQuad& q : f.Table) {
    out.push_back(q.Blue);
    out.push_back(q.Green);
    out.push_back(q.Red);
    if (!core) out.push_back(0);
  }
  out.insert(out.end(), f.Gap.begin(), f.Gap.end());
  out.insert(out.end(), f.Pixels.begin(), f.Pixels.end());
  return out;
}

}  // namespace qv::test
