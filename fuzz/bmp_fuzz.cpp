// Fuzz target over the BMP reader. Any input must either fail with one of the
// program's errors or give a picture that survives being written and read
// again with the same pixels; anything else (a crash, a sanitizer report, a
// different picture) stops the run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "imaging/bmp.h"
#include "imaging/exceptions.h"

namespace {

bool SamePixels(const qv::TBitmap& a, const qv::TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.GetPixelRgb(x, y) != b.GetPixelRgb(x, y)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::TBitmap picture;
  try {
    picture = qv::DecodeBmp(std::span<const uint8_t>(data, size));
  } catch (const qv::Exception&) {
    return 0;  // refused with a message: fine
  }
  // Pixel-by-pixel comparison is slow; large pictures are checked for size only.
  const bool small = static_cast<int64_t>(picture.Width()) * picture.Height() <= (1 << 16);
  const std::vector<uint8_t> written = qv::EncodeBmp(picture);
  const qv::TBitmap again = qv::DecodeBmp(written);
  if (again.Width() != picture.Width() || again.Height() != picture.Height()) std::abort();
  if (small && !SamePixels(picture, again)) std::abort();
  if (qv::EncodeBmp(again) != written) std::abort();
  if (small) {
    qv::TBitmap display = picture;
    display.SetPixelBits(24);
    if (!SamePixels(display, picture)) std::abort();
  }
  return 0;
}
