// BMP files: the pictures Apply writes and Load reads.
//
// Writing: a painted picture becomes a 24-bit file (14-byte file header,
// 40-byte information header, bottom-up rows); a picture read from a file is
// written back in the form it was read in (see TBmpFileForm).
//
// Reading accepts the OS/2 12-byte header and information headers of 40
// bytes or more; 1, 4, 8, 16, 24 and 32 bits per pixel; bit-field masks;
// run-length compressed 8- and 4-bit files. Anything else, or anything that
// does not add up, is "Bitmap image is not valid"; a file that ends inside
// its headers, masks or colour table is "Stream read error".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/bitmap.h"

namespace qv {

inline constexpr const char* kBitmapNotValidMessage = "Bitmap image is not valid";

// Limits of what a toolbar background could ever need, far above the
// 885 x 147 preview at any DPI (4425 x 735 at 480 dpi). A header asking for
// more is refused before anything is allocated.
inline constexpr int kMaxBmpDimension = 16384;                  // width and height each
inline constexpr uint64_t kMaxBmpPixelBytes = 64ull << 20;      // uncompressed pixel data
inline constexpr uint64_t kMaxBmpFileBytes = 256ull << 20;      // whole file
inline constexpr uint32_t kMaxBmpHeaderSize = 4096;             // longest known form is 124

// The file image of a picture. An empty picture gives an empty file (which
// reads back as an empty picture).
std::vector<uint8_t> EncodeBmp(const TBitmap& bitmap);

// Writes EncodeBmp's bytes to the file, creating or replacing it; the errors
// are those of WriteFileReplacing (imaging/file_io.h).
void SaveBitmapToFile(const TBitmap& bitmap, const std::string& path);

// Reads a picture from a BMP file image. `fileSize` is the size of the whole
// file when `data` holds only its beginning (a file larger than
// kMaxBmpFileBytes); by default `data` is the whole file.
TBitmap DecodeBmp(std::span<const uint8_t> data, uint64_t fileSize = UINT64_MAX);

// "System Error.  Code: %d.\r\n%s": how a failure of the platform to create
// a picture reads (out of memory, for the reader here).
std::string FormatSystemError(int code, const std::string& text);

// Reads a picture from a BMP file: "Cannot open file" when it cannot be
// opened, then the errors of DecodeBmp.
TBitmap LoadBitmapFromFile(const std::string& path);

}  // namespace qv
