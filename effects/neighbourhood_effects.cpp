// Effects whose pixel rule reads other pixels. All of them work in place, and
// several read neighbours they have already rewritten, so the visiting order
// of each rule is part of its result.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "effects/effect_routines.h"
#include "effects/halftone_lookup.h"
#include "effects/row_bands.h"

namespace qv {

void AntiAliasRect(TBitmap& B, int32_t XOrigin, int32_t YOrigin, int32_t XFinal, int32_t YFinal) {
  if (XFinal < XOrigin) std::swap(XOrigin, XFinal);
  if (YOrigin > YFinal) std::swap(YOrigin, YFinal);
  XOrigin = std::max(1, XOrigin);
  YOrigin = std::max(1, YOrigin);
  XFinal = std::min(B.Width() - 2, XFinal);
  YFinal = std::min(B.Height() - 2, YFinal);
  B.SetPixelFormat(TPixelFormat::pf24bit);
  for (int32_t y = YOrigin; y <= YFinal; ++y) {
    // The row above already holds its new values; the row below does not.
    const uint8_t* up = B.PixelRow(y - 1);
    uint8_t* row = B.PixelRow(y);
    const uint8_t* down = B.PixelRow(y + 1);
    for (int32_t x = XOrigin; x <= XFinal; ++x) {
      const int i = 3 * x;
      for (int c = 0; c < 3; ++c)
        row[i + c] = static_cast<uint8_t>(
            (up[i + c] + down[i + c] + row[i - 3 + c] + row[i + 3 + c]) >> 2);
    }
  }
}

namespace {

// The columns d .. W-d-1 of a row whose upper and lower rows are other rows:
// every read comes from those two, so the channels form one stencil over
// bytes (the left and right columns lie 3d bytes away), which the compiler
// turns into vector code.
[[gnu::always_inline]] inline uint8_t BlurMiddleBytes(uint8_t* __restrict row, const uint8_t* __restrict upper,
                                                      const uint8_t* __restrict lower, size_t begin, size_t end,
                                                      size_t offset) {
  uint8_t changed = 0;
  for (size_t i = begin; i < end; ++i) {
    const uint8_t v =
        static_cast<uint8_t>((upper[i - offset] + lower[i - offset] + upper[i + offset] + lower[i + offset]) >> 2);
    changed |= static_cast<uint8_t>(row[i] ^ v);
    row[i] = v;
  }
  return changed;
}

using BlurMiddleFn = uint8_t (*)(uint8_t*, const uint8_t*, const uint8_t*, size_t, size_t, size_t);

uint8_t BlurMiddlePlain(uint8_t* __restrict row, const uint8_t* __restrict upper, const uint8_t* __restrict lower,
                        size_t begin, size_t end, size_t offset) {
  return BlurMiddleBytes(row, upper, lower, begin, end, offset);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same integer loop, vectorised 32 and 64 bytes wide where the
// processor has AVX2 or AVX-512: the blur passes over the whole picture
// several times, and the 16-byte form was as slow as its analogue.
__attribute__((target("avx2"))) uint8_t BlurMiddleAvx2(uint8_t* __restrict row, const uint8_t* __restrict upper,
                                                       const uint8_t* __restrict lower, size_t begin, size_t end,
                                                       size_t offset) {
  return BlurMiddleBytes(row, upper, lower, begin, end, offset);
}

__attribute__((target("avx512f,avx512bw"))) uint8_t BlurMiddleAvx512(uint8_t* __restrict row,
                                                                    const uint8_t* __restrict upper,
                                                                    const uint8_t* __restrict lower, size_t begin,
                                                                    size_t end, size_t offset) {
  return BlurMiddleBytes(row, upper, lower, begin, end, offset);
}
#endif

BlurMiddleFn ChooseBlurMiddle() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  static const bool avx2 = __builtin_cpu_supports("avx2");
  static const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  if (!PlainPathsOnly()) {
    if (avx512) return &BlurMiddleAvx512;
    if (avx2) return &BlurMiddleAvx2;
  }
#endif
  return &BlurMiddlePlain;
}

}  // namespace

bool SplitBlurPass(TBitmap& B, int32_t d) {
  if (d == 0) return false;
  uint8_t changed = 0;
  const int32_t W = B.Width(), H = B.Height();
  const int64_t dd = d;
  const BlurMiddleFn BlurMiddle = ChooseBlurMiddle();
  for (int32_t y = 0; y < H; ++y) {
    // Falling back to the row itself above, but to H - y (counted from the
    // far edge) below. Row 0 therefore fetches row H whenever d >= H, and
    // a negative distance fetches row d: both are the range error, raised
    // before anything of the pass is written.
    const int32_t upperRow = (y - dd >= 0) ? static_cast<int32_t>(y - dd) : y;
    const int32_t lowerRow = (y + dd < H) ? static_cast<int32_t>(y + dd) : H - y;
    uint8_t* row = B.PixelRow(y);
    const uint8_t* upper = B.PixelRow(upperRow);
    const uint8_t* lower = B.PixelRow(lowerRow);
    auto pixel = [&](int32_t x) {
      const int32_t left = (x - dd >= 0) ? static_cast<int32_t>(x - dd) : x;
      int32_t right = (x + dd < W) ? static_cast<int32_t>(x + dd) : W - x;
      // Column 0 of a picture no wider than the distance names column W,
      // past the end of the row; its last pixel stands in for it.
      if (right >= W) right = W - 1;
      const uint8_t* ul = upper + 3 * left;
      const uint8_t* ll = lower + 3 * left;
      const uint8_t* ur = upper + 3 * right;
      const uint8_t* lr = lower + 3 * right;
      // Read all twelve values before writing: the rows may be this row.
      const uint8_t nb = static_cast<uint8_t>((ul[0] + ll[0] + ur[0] + lr[0]) >> 2);
      const uint8_t ng = static_cast<uint8_t>((ul[1] + ll[1] + ur[1] + lr[1]) >> 2);
      const uint8_t nr = static_cast<uint8_t>((ul[2] + ll[2] + ur[2] + lr[2]) >> 2);
      changed |= (row[3 * x] ^ nb) | (row[3 * x + 1] ^ ng) | (row[3 * x + 2] ^ nr);
      row[3 * x] = nb;
      row[3 * x + 1] = ng;
      row[3 * x + 2] = nr;
    };
    if (upperRow != y && lowerRow != y && dd > 0 && W > 2 * dd) {
      // Reads only other rows, so the order of the columns cannot matter.
      const int32_t middleEnd = static_cast<int32_t>(W - dd);
      for (int32_t x = 0; x < d; ++x) pixel(x);
      changed |= BlurMiddle(row, upper, lower, static_cast<size_t>(3 * dd), static_cast<size_t>(3) * middleEnd,
                            static_cast<size_t>(3 * dd));
      for (int32_t x = middleEnd; x < W; ++x) pixel(x);
    } else {
      for (int32_t x = 0; x < W; ++x) pixel(x);
    }
  }
  return changed != 0;
}

void MosaicPixels(TBitmap& B, int32_t Amount) {
  // The first row is fetched before the size is looked at: an empty picture
  // fails with the range error.
  B.PixelRow(0);
  if (Amount <= 1) return;  // every pixel would be rewritten with itself
  const int64_t s = Amount;
  const int32_t W = B.Width(), H = B.Height();
  for (int64_t y0 = 0; y0 < H; y0 += s) {
    const uint8_t* origin = B.PixelRow(static_cast<int32_t>(y0));
    const int64_t yEnd = std::min<int64_t>(y0 + s, H);
    for (int64_t y = y0; y < yEnd; ++y) {
      uint8_t* row = B.PixelRow(static_cast<int32_t>(y));
      for (int64_t x0 = 0; x0 < W; x0 += s) {
        const uint8_t* o = origin + 3 * x0;
        const uint8_t b = o[0], g = o[1], r = o[2];
        const int64_t xEnd = std::min<int64_t>(x0 + s, W);
        for (int64_t x = x0; x < xEnd; ++x) {
          row[3 * x] = b;
          row[3 * x + 1] = g;
          row[3 * x + 2] = r;
        }
      }
    }
  }
}

void EmbossPixels(TBitmap& B) {
  const int32_t W = B.Width(), H = B.Height();
  if (W < 4 || H < 2) return;
  const size_t n = static_cast<size_t>(W - 3) * 3;
  for (int32_t y = 0; y <= H - 2; ++y) {
    uint8_t* row = B.PixelRow(y);
    const uint8_t* below = B.PixelRow(y + 1) + 9;  // column x + 3 of the next row
    for (size_t i = 0; i < n; ++i)
      row[i] = static_cast<uint8_t>((row[i] + 255 - below[i]) >> 1);
  }
}

namespace {

// The picture's halftone indexes, one byte per pixel, as setting a copy of
// it to 8 bits per pixel would give them.
class IndexCopy {
 public:
  explicit IndexCopy(const TBitmap& B) : width_(B.Width()), index_(static_cast<size_t>(B.Width()) * B.Height()) {
    std::vector<const uint8_t*> rows(static_cast<size_t>(B.Height()));
    for (int32_t y = 0; y < B.Height(); ++y) rows[y] = B.PixelRow(y);
    const THalftoneLookup& halftone = THalftoneLookup::Instance();
    ForRowBands(B.Width(), B.Height(), [&](int32_t y0, int32_t y1) {
      for (int32_t y = y0; y < y1; ++y) {
        const uint8_t* p = rows[y];
        uint8_t* out = &index_[static_cast<size_t>(y) * width_];
        // Neighbouring pixels often share a colour: look each run up once.
        uint32_t last = 0xFFFFFFFF;
        uint8_t lastIndex = 0;
        for (int32_t x = 0; x < width_; ++x, p += 3) {
          const uint32_t c = p[0] | (p[1] << 8) | (p[2] << 16);
          if (c != last) {
            lastIndex = halftone.Nearest(p[2], p[1], p[0]);
            last = c;
          }
          out[x] = lastIndex;
        }
      }
    });
  }
  const uint8_t* Row(int32_t y) const { return &index_[static_cast<size_t>(y) * width_]; }

 private:
  int32_t width_;
  std::vector<uint8_t> index_;
};

class TraceSweeps {
 public:
  TraceSweeps(TBitmap& B, const IndexCopy& index) : B_(B), I_(index), rows_(B.Height()) {
    for (int32_t y = 0; y < B.Height(); ++y) rows_[y] = B.PixelRow(y);
  }

  void Forward() {
    const int32_t W = B_.Width(), H = B_.Height();
    const int32_t xLast = W >= 3 ? W - 3 : 0;
    for (int32_t y = 0; y <= H - 2; ++y) {
      const uint8_t* row = I_.Row(y);
      const uint8_t* next = I_.Row(y + 1);
      for (int32_t x = 0; x <= xLast; ++x) {
        if (W >= 2) Test(row[x], row[x + 1], x, y, x + 1, y);
        Test(row[x], next[x], x, y, x, y + 1);
      }
    }
  }

  void Backward() {
    const int32_t W = B_.Width(), H = B_.Height();
    const int32_t xFirst = W >= 3 ? 2 : W - 1;
    for (int32_t y = H - 1; y >= 1; --y) {
      const uint8_t* row = I_.Row(y);
      const uint8_t* prev = I_.Row(y - 1);
      for (int32_t x = W - 1; x >= xFirst; --x) {
        if (W >= 2) Test(row[x], row[x - 1], x, y, x - 1, y);
        Test(row[x], prev[x], x, y, x, y - 1);
      }
    }
  }

 private:
  void Test(uint8_t c, uint8_t a, int32_t x, int32_t y, int32_t ax, int32_t ay) {
    if (!edgeSeen_) [[unlikely]] {
      if (a == c) return;
      firstEdgeIndex_ = a;
      edgeSeen_ = true;
      Mark(rows_[y] + 3 * x);
      return;
    }
    // Once the first edge is known every test is a choice between three
    // targets; on a busy picture its outcome is unpredictable, so it is
    // made by selection rather than by branches. Equal indexes mark a
    // scratch pixel that is not part of the picture.
    uint8_t* target = c == firstEdgeIndex_ ? rows_[ay] + 3 * ax : rows_[y] + 3 * x;
    target = a == c ? scratch_ : target;
    Mark(target);
  }

  static void Mark(uint8_t* p) { p[0] = p[1] = p[2] = 0; }

  TBitmap& B_;
  const IndexCopy& I_;
  std::vector<uint8_t*> rows_;
  bool edgeSeen_ = false;
  uint8_t firstEdgeIndex_ = 0;
  uint8_t scratch_[3] = {};
};

}  // namespace

void TracePixels(TBitmap& B, int32_t Amount) {
  B.SetPixelFormat(TPixelFormat::pf24bit);
  if (Amount <= 0 || B.Width() == 0 || B.Height() == 0) return;
  const IndexCopy indexCopy(B);
  // Passes p = 1 .. Amount each make a forward sweep, and from the second
  // on a backward sweep as well. The index copy never changes and the first
  // edge's index, once found, stays: a forward sweep that meets any edge
  // meets the first one in the first pass, so every later forward sweep
  // repeats the first one's marks, and every later backward sweep the
  // first backward sweep's. Marking is only ever blackening, so one
  // forward and (for two passes or more) one backward sweep give the same
  // picture as all of them.
  TraceSweeps sweeps(B, indexCopy);
  sweeps.Forward();
  if (Amount >= 2) sweeps.Backward();
}

}  // namespace qv
