// Effects that compute each pixel from that pixel alone. Rows are visited
// top to bottom, columns left to right, channels blue, green, red; only the
// noise effects depend on that order, through their random draws.
//
// Where a rule depends on the channel value alone (and the amount), it is
// tabulated once per call from the very same rule, so the table is exact by
// construction.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "effects/effect_routines.h"
#include "effects/extended_math.h"
#include "effects/row_bands.h"
#include "imaging/numeric.h"

namespace qv {

uint32_t RandomSeed = 0;

namespace {

// Channel products and sums with amounts far outside the useful range wrap
// around as 32-bit two's-complement values. They are formed in 64 bits,
// where they cannot overflow, and the wrap is then written out, so that the
// arithmetic has one meaning whichever compiler or optimiser translates it:
// GCC 12's loop vectoriser mistranslated the same product done in 32-bit
// unsigned arithmetic (Contrast at -2^31 turned channels black, not white).
inline int64_t Wrap32(int64_t v) {
  // Both conversions are defined as modulo 2^32: the low 32 bits, read as signed.
  return static_cast<int32_t>(static_cast<uint32_t>(v));
}

inline int64_t Product32(int64_t a, int64_t b) { return Wrap32(a * b); }

inline uint8_t ClampByte64(int64_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

using Table = std::array<uint8_t, 256>;

template <typename F>
Table Tabulate(F f) {
  Table t{};
  for (int v = 0; v < 256; ++v) t[v] = f(v);
  return t;
}

void ApplyTable(TBitmap& B, const Table& t) {
  const size_t n = static_cast<size_t>(B.Width()) * 3;
  // Two bytes per lookup through a table of all byte pairs, built from the
  // byte table; it pays for its 65536 entries on all but tiny pictures.
  std::vector<uint16_t> pairs(65536);
  for (int hi = 0; hi < 256; ++hi)
    for (int lo = 0; lo < 256; ++lo) pairs[(hi << 8) | lo] = static_cast<uint16_t>(t[lo] | (t[hi] << 8));
  const std::vector<uint8_t*> rows = RowsInMemoryOrder(B);
  ForRowBands(B.Width(), B.Height(), [&](int32_t y0, int32_t y1) {
  for (int32_t y = y0; y < y1; ++y) {
    uint8_t* p = rows[y];
    size_t i = 0;
    // Eight bytes per step through one 64-bit word: four independent
    // lookups the processor can overlap, one load and one store.
    for (; i + 8 <= n; i += 8) {
      uint64_t word;
      std::memcpy(&word, p + i, 8);
      const uint64_t out = static_cast<uint64_t>(pairs[word & 0xFFFF]) |
                           static_cast<uint64_t>(pairs[(word >> 16) & 0xFFFF]) << 16 |
                           static_cast<uint64_t>(pairs[(word >> 32) & 0xFFFF]) << 32 |
                           static_cast<uint64_t>(pairs[word >> 48]) << 48;
      std::memcpy(p + i, &out, 8);
    }
    for (; i < n; ++i) p[i] = t[p[i]];
  }
  });
}

}  // namespace

namespace {

void InvertRow(uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(255 - p[i]);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QV_INVERT_AVX2 1
// The same loop, vectorised 32 bytes wide on processors that have AVX2.
// The bytes before the first 32-byte boundary go one by one, so that no
// load or store of the vector loop straddles two cache lines.
__attribute__((target("avx2"))) void InvertRowAvx2(uint8_t* p, size_t n) {
  size_t i = 0;
  for (; i < n && (reinterpret_cast<uintptr_t>(p + i) & 31) != 0; ++i) p[i] = static_cast<uint8_t>(255 - p[i]);
  const __m256i ones = _mm256_set1_epi32(-1);
  for (; i + 64 <= n; i += 64) {
    __m256i* v = reinterpret_cast<__m256i*>(p + i);
    _mm256_store_si256(v, _mm256_xor_si256(_mm256_load_si256(v), ones));
    _mm256_store_si256(v + 1, _mm256_xor_si256(_mm256_load_si256(v + 1), ones));
  }
  for (; i < n; ++i) p[i] = static_cast<uint8_t>(255 - p[i]);
}
#endif

}  // namespace

void InvertPixels(TBitmap& B) {
  auto row = &InvertRow;
#ifdef QV_INVERT_AVX2
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2 && !PlainPathsOnly()) row = &InvertRowAvx2;
#endif
  const size_t n = static_cast<size_t>(B.Width()) * 3;
  const std::vector<uint8_t*> rows = RowsInMemoryOrder(B);
  // Rows without padding lie end to end: a band is then one run of bytes.
  const bool endToEnd = B.RowSize() == n;
  ForRowBands(B.Width(), B.Height(), [&](int32_t y0, int32_t y1) {
    if (endToEnd) return row(rows[y0], n * static_cast<size_t>(y1 - y0));
    for (int32_t y = y0; y < y1; ++y) row(rows[y], n);
  });
}

uint32_t SkipRandom(uint32_t seed, uint64_t draws) {
  // Each draw is the map s -> a s + c; n draws are s -> A s + C, built by
  // squaring the map along the binary digits of n.
  uint32_t a = 134775813u, c = 1u, A = 1u, C = 0u;
  for (; draws != 0; draws >>= 1) {
    if (draws & 1) {
      A *= a;
      C = C * a + c;
    }
    c = c * a + c;
    a *= a;
  }
  return A * seed + C;
}

namespace {

// NextRandom on a band's own copy of the seed.
inline uint32_t DrawFrom(uint32_t& seed, int32_t Range) {
  seed = seed * 134775813u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(static_cast<uint32_t>(Range)) * seed) >> 32);
}

// Runs a noise rule in row bands: each band starts from the seed that the
// draws of the rows above it lead to, and the sequence ends where one
// thread drawing every pixel in order would leave it.
template <typename PixelRule>
void NoiseBands(TBitmap& B, int drawsPerPixel, PixelRule rule) {
  const uint32_t start = RandomSeed;
  const uint64_t perRow = static_cast<uint64_t>(B.Width()) * drawsPerPixel;
  const std::vector<uint8_t*> rows = WritableRows(B);
  ForRowBands(B.Width(), B.Height(), [&](int32_t y0, int32_t y1) {
    uint32_t seed = SkipRandom(start, perRow * y0);
    for (int32_t y = y0; y < y1; ++y) {
      uint8_t* p = rows[y];
      for (int x = 0; x < B.Width(); ++x, p += 3) rule(p, seed);
    }
  });
  RandomSeed = SkipRandom(start, perRow * static_cast<uint64_t>(B.Height()));
}

}  // namespace

void AddColorNoisePixels(TBitmap& B, int32_t Amount) {
  const int64_t half = static_cast<uint32_t>(Amount) >> 1;
  NoiseBands(B, 3, [=](uint8_t* p, uint32_t& seed) {
    // All three draws come before any channel of the pixel is stored.
    const int64_t nb = Wrap32(DrawFrom(seed, Amount) - half + p[0]);
    const int64_t ng = Wrap32(DrawFrom(seed, Amount) - half + p[1]);
    const int64_t nr = Wrap32(DrawFrom(seed, Amount) - half + p[2]);
    p[0] = ClampByte64(nb);
    p[1] = ClampByte64(ng);
    p[2] = ClampByte64(nr);
  });
}

void AddMonoNoisePixels(TBitmap& B, int32_t Amount) {
  const int64_t half = static_cast<uint32_t>(Amount) >> 1;
  NoiseBands(B, 1, [=](uint8_t* p, uint32_t& seed) {
    const int64_t n = Wrap32(DrawFrom(seed, Amount) - half);
    p[0] = ClampByte64(Wrap32(n + p[0]));
    p[1] = ClampByte64(Wrap32(n + p[1]));
    p[2] = ClampByte64(Wrap32(n + p[2]));
  });
}

void ContrastPixels(TBitmap& B, int32_t Amount) {
  ApplyTable(B, Tabulate([=](int v) {
               const int64_t d = Product32(v > 127 ? v - 127 : 127 - v, Amount) / 255;
               return v > 127 ? ClampByte64(v + d) : ClampByte64(v - d);
             }));
}

void LightnessPixels(TBitmap& B, int32_t Amount) {
  ApplyTable(B, Tabulate([=](int v) { return ClampByte64(v + Product32(Amount, 255 - v) / 255); }));
}

void DarknessPixels(TBitmap& B, int32_t Amount) {
  ApplyTable(B, Tabulate([=](int v) { return ClampByte64(v - Product32(Amount, v) / 255); }));
}

void SaturationPixels(TBitmap& B, int32_t Amount) {
  // The scaled distance from the mean depends only on v - m (-255 .. 255).
  std::array<int64_t, 511> scaled{};
  for (int d = -255; d <= 255; ++d) scaled[d + 255] = Product32(d, Amount) / 255;
  const std::vector<uint8_t*> rows = RowsInMemoryOrder(B);
  ForRowBands(B.Width(), B.Height(), [&](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      uint8_t* p = rows[y];
      for (int x = 0; x < B.Width(); ++x, p += 3) {
        const int32_t m = (p[0] + p[1] + p[2]) / 3;
        const int32_t b = p[0], g = p[1], r = p[2];
        p[0] = ClampByte64(m + scaled[b - m + 255]);
        p[1] = ClampByte64(m + scaled[g - m + 255]);
        p[2] = ClampByte64(m + scaled[r - m + 255]);
      }
    }
  });
}

int GrayLevel(int blue, int green, int red) {
  // The weights are the extended values nearest to 0.11, 0.59 and 0.3; the
  // sum is formed blue + green first, then red, without intermediate
  // rounding to double.
  const long double sum = (static_cast<long double>(blue) * 0.11L +
                           static_cast<long double>(green) * 0.59L) +
                          static_cast<long double>(red) * 0.3L;
  return static_cast<int>(Round(sum));
}

namespace {

// Grey levels by the integer key k = 11b + 59g + 30r, i.e. 100 times the
// exact weighted sum. The extended-precision sum differs from k / 100 by a
// few units in its 64th bit (well under 1e-15), so whenever k / 100 is not
// exactly halfway between two integers it rounds the same way as k / 100;
// only the halfway keys (k mod 100 = 50) depend on the rounding error of
// the extended sum, and those are computed by GrayLevel itself.
// GrayLevel for the halfway keys, inline and without a call into the shared
// rounding routine: the same extended sum, rounded by frndint in the
// default nearest-even mode; the result lies in 0 .. 255.
inline uint8_t HalfwayGrayLevel(int blue, int green, int red) {
  const long double sum = (static_cast<long double>(blue) * 0.11L +
                           static_cast<long double>(green) * 0.59L) +
                          static_cast<long double>(red) * 0.3L;
  return static_cast<uint8_t>(xmath::StoreIntegral(xmath::RoundToIntegral(sum)));
}

struct GrayKeyTable {
  std::array<uint8_t, 25501> level{};
  GrayKeyTable() {
    for (int k = 0; k <= 25500; ++k) level[k] = static_cast<uint8_t>((k + 50) / 100);
  }
};

}  // namespace

namespace {

const GrayKeyTable& GrayTable() {
  static const GrayKeyTable table;
  return table;
}

// The halfway keys' levels, settled in advance by the extended-precision
// sum itself, for large pictures. A key is halfway only when b and g agree
// modulo 10 (11b + 59g + 30r = 50 modulo 10), and then only for the red
// values of one residue r0 modulo 10 (3r is fixed modulo 10, and 3 is
// invertible there): r = r0 + 10 j, j <= 25. For each b the g that can
// be halfway differ by multiples of 10, so g div 10 tells them apart: bit j
// of the word for 26 b + g div 10 says whether that pixel's level is
// k div 100 + 1 rather than k div 100. 167 836 sums, once per process, and
// 26 KB, which stays in the processor's first-level cache.
class HalfwayLevels {
 public:
  HalfwayLevels() : up_(26 * 256, 0) {
    for (int b = 0; b < 256; ++b)
      for (int g = b % 10; g < 256; g += 10) {
        // 30 r = 50 - 11 b - 59 g (mod 100), i.e. 3 r = t (mod 10); 7 is the inverse of 3.
        const int t = (((50 - 11 * b - 59 * g) % 100) + 100) % 100 / 10;
        for (int r = 7 * t % 10; r < 256; r += 10) {
          const int k = 11 * b + 59 * g + 30 * r;
          if (HalfwayGrayLevel(b, g, r) != k / 100) up_[26 * b + g / 10] |= 1u << (r / 10);
        }
      }
  }
  // The level of a halfway pixel (b, g, r).
  uint8_t Level(int b, int g, int r) const {
    const int k = 11 * b + 59 * g + 30 * r;
    return static_cast<uint8_t>(k / 100 + ((up_[26 * b + g / 10] >> (r / 10)) & 1));
  }
  uint8_t Level(const uint8_t* p) const { return Level(p[0], p[1], p[2]); }
  // The words, 26 b + g div 10 for each, for lanes that look them up.
  const uint32_t* Words() const { return up_.data(); }

 private:
  std::vector<uint32_t> up_;
};

const HalfwayLevels& HalfwayTable() {
  static const HalfwayLevels table;
  return table;
}

inline uint8_t GrayOfPixel(const uint8_t* p) {
  const int k = 11 * p[0] + 59 * p[1] + 30 * p[2];
  return (k % 100 == 50) ? HalfwayGrayLevel(p[0], p[1], p[2]) : GrayTable().level[k];
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QV_GRAY_AVX2 1

// Byte shuffles that spread 16 grey levels over three 16-byte parts, the
// same in both halves of a 32-byte vector.
struct GrayShuffles {
  alignas(32) uint8_t spread[3][32];  // [part][byte]
  constexpr GrayShuffles() : spread{} {
    for (int part = 0; part < 3; ++part)
      for (int j = 0; j < 32; ++j) spread[part][j] = static_cast<uint8_t>((16 * part + j % 16) / 3);
  }
};
constexpr GrayShuffles kGrayShuffles;

// Thirty-two pixels at a time: pixels 0-15 in the low half of each 32-byte
// vector, pixels 16-31 in the high half, every step working within its
// half. Each group of four pixels is laid out as (b, g, r, 0) bytes and
// multiplied by (11, 59, 30, 0) with pairwise sums (pmaddubsw), and the
// pairs summed (phaddw): k = 11b + 59g + 30r in 16-bit lanes (at most
// 25500, no saturation). Then (k + 50) div 100 is a high multiply by 5243
// and a shift by 3, which equals the division for every key up to 25550.
// Halfway keys are settled one by one by the extended-precision sum,
// before anything is stored.
// 16 bytes at low in the low half, 16 at high in the high half.
__attribute__((target("avx2"))) inline __m256i LoadHalves(const uint8_t* low, const uint8_t* high) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

// A group of 32 pixels from x on that has halfway pixels (bit i: pixel x + i).
struct HalfwayGroup {
  int32_t x;
  uint32_t mask;
};

// Writes the levels of every pixel but the halfway ones, which keep their
// bytes, and lists the groups of 32 pixels that have any, in order, in
// groups (room for width / 32 + 1); returns how many pixels it covered and
// sets groupCount.
__attribute__((target("avx2"))) int GrayRowAvx2(uint8_t* p, int width, HalfwayGroup* groups, int& groupCount) {
  const __m256i fifty = _mm256_set1_epi16(50), hundred = _mm256_set1_epi16(100);
  const __m256i magic = _mm256_set1_epi16(5243);
  const __m256i weights = _mm256_setr_epi8(11, 59, 30, 0, 11, 59, 30, 0, 11, 59, 30, 0, 11, 59, 30, 0,
                                           11, 59, 30, 0, 11, 59, 30, 0, 11, 59, 30, 0, 11, 59, 30, 0);
  const __m256i quad = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,
                                        0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  int x = 0, count = 0;
  for (; x + 32 <= width; x += 32, p += 96) {
    const __m256i part0 = LoadHalves(p, p + 48);
    const __m256i part1 = LoadHalves(p + 16, p + 64);
    const __m256i part2 = LoadHalves(p + 32, p + 80);
    // Within each half, pixels 0-3, 4-7, 8-11 and 12-15 begin at bytes 0, 12, 24 and 36.
    const __m256i q0 = _mm256_shuffle_epi8(part0, quad);
    const __m256i q1 = _mm256_shuffle_epi8(_mm256_alignr_epi8(part1, part0, 12), quad);
    const __m256i q2 = _mm256_shuffle_epi8(_mm256_alignr_epi8(part2, part1, 8), quad);
    const __m256i q3 = _mm256_shuffle_epi8(_mm256_srli_si256(part2, 4), quad);
    const __m256i k50lo = _mm256_add_epi16(
        _mm256_hadd_epi16(_mm256_maddubs_epi16(q0, weights), _mm256_maddubs_epi16(q1, weights)), fifty);
    const __m256i k50hi = _mm256_add_epi16(
        _mm256_hadd_epi16(_mm256_maddubs_epi16(q2, weights), _mm256_maddubs_epi16(q3, weights)), fifty);
    const __m256i qlo = _mm256_srli_epi16(_mm256_mulhi_epu16(k50lo, magic), 3);
    const __m256i qhi = _mm256_srli_epi16(_mm256_mulhi_epu16(k50hi, magic), 3);
    const __m256i grey = _mm256_packus_epi16(qlo, qhi);  // byte i of each half: pixel i of that half
    const __m256i onHalf = _mm256_packs_epi16(_mm256_cmpeq_epi16(_mm256_mullo_epi16(qlo, hundred), k50lo),
                                               _mm256_cmpeq_epi16(_mm256_mullo_epi16(qhi, hundred), k50hi));
    // Halfway pixels keep their bytes, and the group is listed without a
    // branch: whether a group has one (about one in four does) is too
    // random to predict, and a mispredicted branch per group would cost
    // more than the group's arithmetic.
    const __m256i parts[3] = {part0, part1, part2};
    for (int part = 0; part < 3; ++part) {
      const __m256i spread = _mm256_load_si256(reinterpret_cast<const __m256i*>(kGrayShuffles.spread[part]));
      const __m256i out =
          _mm256_blendv_epi8(_mm256_shuffle_epi8(grey, spread), parts[part], _mm256_shuffle_epi8(onHalf, spread));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * part), _mm256_castsi256_si128(out));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 48 + 16 * part), _mm256_extracti128_si256(out, 1));
    }
    const uint32_t mask = static_cast<uint32_t>(_mm256_movemask_epi8(onHalf));
    groups[count] = {x, mask};
    count += mask != 0;
  }
  groupCount = count;
  return x;
}

// Sixty-four pixels a step with AVX-512 (byte permutes, mask registers).
// The three 64-byte parts are loaded whole; byte permutes over two parts
// gather each half's (blue, green) and (red, any) byte pairs, which
// pmaddubsw weighs by (11, 59) and (30, 0) into 11b + 59g and 30r: k in
// 16-bit lanes, in pixel order, and the level (k + 50) div 100 as in the
// AVX2 steps. Halfway pixels keep their bytes through a bitwise select,
// and each group of 64 leaves its halfway mask in its own place: an
// address that depended on the pixels (a list advanced past groups that
// have halfway pixels) would keep the next group's loads waiting for the
// pixels of this one, and the loads from memory are what the steps wait on.

struct GrayPermutes {
  alignas(64) uint8_t blueGreen[2][64];  // [half][byte]: pairs of pixels 32 h + i from two parts
  alignas(64) uint8_t red[2][64];
  alignas(64) uint8_t lowBytes[64];      // byte i: the low byte of 16-bit lane i of two vectors
  alignas(64) uint8_t spread[3][64];     // [part][byte]: the level of pixel (64 part + byte) / 3
  alignas(64) uint16_t column[32];
  constexpr GrayPermutes() : blueGreen{}, red{}, lowBytes{}, spread{}, column{} {
    for (int h = 0; h < 2; ++h)
      for (int i = 0; i < 32; ++i) {
        // Half 0 reads parts 0 and 1 (bytes 0 .. 127), half 1 parts 1 and 2
        // (bytes 64 .. 191); pixel 32 h + i begins at byte 96 h + 3 i.
        const int at = 96 * h + 3 * i - 64 * h;
        blueGreen[h][2 * i] = static_cast<uint8_t>(at);
        blueGreen[h][2 * i + 1] = static_cast<uint8_t>(at + 1);
        red[h][2 * i] = static_cast<uint8_t>(at + 2);
        red[h][2 * i + 1] = static_cast<uint8_t>(at + 2);  // weighed by 0
      }
    for (int i = 0; i < 64; ++i) lowBytes[i] = static_cast<uint8_t>(i < 32 ? 2 * i : 64 + 2 * (i - 32));
    for (int part = 0; part < 3; ++part)
      for (int j = 0; j < 64; ++j) spread[part][j] = static_cast<uint8_t>((64 * part + j) / 3);
    for (int i = 0; i < 32; ++i) column[i] = static_cast<uint16_t>(i);
  }
};
constexpr GrayPermutes kGrayPermutes;

#define QV_GRAY_TARGET_AVX512 "avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,popcnt"

// Writes the levels of the first width div 64 * 64 pixels of the row at p
// but the halfway ones, which keep their bytes, and the halfway mask of
// group g (pixels 64 g .. 64 g + 63) into masks[g]; returns how many
// pixels it covered.
__attribute__((target(QV_GRAY_TARGET_AVX512))) int GrayRowAvx512(uint8_t* p, int width, uint64_t* masks) {
  const __m512i fifty = _mm512_set1_epi16(50), hundred = _mm512_set1_epi16(100);
  const __m512i magic = _mm512_set1_epi16(5243);
  const __m512i weighBlueGreen = _mm512_set1_epi16(static_cast<int16_t>(11 | (59 << 8)));
  const __m512i weighRed = _mm512_set1_epi16(30);  // bytes 30, 0
  const __m512i* const t = reinterpret_cast<const __m512i*>(&kGrayPermutes);
  const __m512i bg0 = _mm512_load_si512(t + 0), bg1 = _mm512_load_si512(t + 1);
  const __m512i red0 = _mm512_load_si512(t + 2), red1 = _mm512_load_si512(t + 3);
  const __m512i lowBytes = _mm512_load_si512(t + 4);
  const __m512i spread0 = _mm512_load_si512(t + 5), spread1 = _mm512_load_si512(t + 6),
                spread2 = _mm512_load_si512(t + 7);
  const __mmask64 all = ~__mmask64{0};
  int x = 0;
  for (; x + 64 <= width; x += 64, p += 192) {
    const __m512i a0 = _mm512_loadu_si512(p), a1 = _mm512_loadu_si512(p + 64), a2 = _mm512_loadu_si512(p + 128);
    const __m512i bgLo = _mm512_permutex2var_epi8(a0, bg0, a1);
    const __m512i bgHi = _mm512_permutex2var_epi8(a1, bg1, a2);
    const __m512i rLo = _mm512_permutex2var_epi8(a0, red0, a1);  // red in the low byte of each lane
    const __m512i rHi = _mm512_permutex2var_epi8(a1, red1, a2);
    // At most 11 * 255 + 59 * 255 = 17 850 per pair: pmaddubsw does not saturate.
    const __m512i kLo = _mm512_add_epi16(
        _mm512_add_epi16(_mm512_maddubs_epi16(bgLo, weighBlueGreen), _mm512_maddubs_epi16(rLo, weighRed)), fifty);
    const __m512i kHi = _mm512_add_epi16(
        _mm512_add_epi16(_mm512_maddubs_epi16(bgHi, weighBlueGreen), _mm512_maddubs_epi16(rHi, weighRed)), fifty);
    const __m512i qLo = _mm512_srli_epi16(_mm512_mulhi_epu16(kLo, magic), 3);
    const __m512i qHi = _mm512_srli_epi16(_mm512_mulhi_epu16(kHi, magic), 3);
    const __mmask64 half = _mm512_kunpackd(_mm512_cmpeq_epi16_mask(_mm512_mullo_epi16(qHi, hundred), kHi),
                                           _mm512_cmpeq_epi16_mask(_mm512_mullo_epi16(qLo, hundred), kLo));
    const __m512i grey = _mm512_permutex2var_epi8(qLo, lowBytes, qHi);  // byte i: pixel i's level
    const __m512i keep = _mm512_movm_epi8(half);                         // byte i: 0xFF if pixel i is halfway
    // Each part's byte takes its pixel's level, or keeps its own byte
    // (select: keep ? own : level). The mask-all forms of the permutes:
    // GCC 12's plain form warns of an undefined operand.
    _mm512_storeu_si512(p, _mm512_ternarylogic_epi32(_mm512_maskz_permutexvar_epi8(all, spread0, keep), a0,
                                                     _mm512_maskz_permutexvar_epi8(all, spread0, grey), 0xCA));
    _mm512_storeu_si512(p + 64, _mm512_ternarylogic_epi32(_mm512_maskz_permutexvar_epi8(all, spread1, keep), a1,
                                                          _mm512_maskz_permutexvar_epi8(all, spread1, grey), 0xCA));
    _mm512_storeu_si512(p + 128, _mm512_ternarylogic_epi32(_mm512_maskz_permutexvar_epi8(all, spread2, keep), a2,
                                                           _mm512_maskz_permutexvar_epi8(all, spread2, grey), 0xCA));
    masks[x / 64] = half;
  }
  return x;
}

// The columns of the halfway pixels of groups 0 .. count-1, in order, into
// column (room for 64 more than there are), using halves (room for 2 count
// numbers); returns how many. Compressing takes long on some processors,
// so only the 32-pixel halves that have halfway pixels (about one in four)
// are compressed; they are listed first without a branch.
__attribute__((target(QV_GRAY_TARGET_AVX512))) int HalfwayColumns(const uint64_t* masks, int count,
                                                                    uint16_t* column, int32_t* halves) {
  int listed = 0;
  for (int h = 0; h < 2 * count; ++h) {
    halves[listed] = h;
    listed += static_cast<uint32_t>(masks[h / 2] >> (32 * (h % 2))) != 0;
  }
  const __m512i first = _mm512_load_si512(kGrayPermutes.column);
  int n = 0;
  for (int i = 0; i < listed; ++i) {
    const int h = halves[i];
    const __mmask32 mask = static_cast<__mmask32>(masks[h / 2] >> (32 * (h % 2)));
    const __m512i at = _mm512_add_epi16(first, _mm512_set1_epi16(static_cast<int16_t>(32 * h)));
    _mm512_storeu_si512(column + n, _mm512_maskz_compress_epi16(mask, at));
    n += __builtin_popcount(mask);
  }
  return n;
}

// The levels of halfway pixels at the columns column[0 .. count-1] of the
// row (at least 64 pixels wide, their bytes as they were), into
// level[0 .. count-1], sixteen at a time in lanes: the same integer steps
// as HalfwayLevels::Level, with g div 10 and r div 10 as (v * 205) >> 11
// and k div 100 as ((k + 50) * 5243) >> 19 less one, which equal the
// divisions for every channel value and every halfway key.
__attribute__((target(QV_GRAY_TARGET_AVX512))) void HalfwayLevelsAvx512(const uint8_t* row, const uint16_t* column,
                                                                          int count, const HalfwayLevels& table,
                                                                          uint8_t* level) {
  const __m512i byte = _mm512_set1_epi32(0xFF), one = _mm512_set1_epi32(1);
  // The mask-all forms of shifts and conversions: GCC 12's plain forms warn
  // of an undefined operand.
  const __mmask16 every = 0xFFFF;
  for (int i = 0; i < count; i += 16) {
    const __mmask16 lanes = count - i >= 16 ? __mmask16(0xFFFF) : static_cast<__mmask16>((1u << (count - i)) - 1);
    const __m512i col = _mm512_maskz_cvtepu16_epi32(lanes, _mm256_maskz_loadu_epi16(lanes, column + i));
    // Four bytes from the byte before the pixel (from the pixel itself in
    // column 0), so that no read passes the row's last byte.
    const __mmask16 notFirst = _mm512_test_epi32_mask(col, col);
    const __m512i at = _mm512_mask_sub_epi32(_mm512_mullo_epi32(col, _mm512_set1_epi32(3)), notFirst,
                                             _mm512_mullo_epi32(col, _mm512_set1_epi32(3)), one);
    const __m512i raw = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, at, row, 1);
    const __m512i bgr = _mm512_mask_srli_epi32(raw, notFirst, raw, 8);
    const __m512i b = _mm512_and_si512(bgr, byte);
    const __m512i g = _mm512_and_si512(_mm512_maskz_srli_epi32(every, bgr, 8), byte);
    const __m512i r = _mm512_and_si512(_mm512_maskz_srli_epi32(every, bgr, 16), byte);
    const __m512i k = _mm512_add_epi32(
        _mm512_add_epi32(_mm512_mullo_epi32(b, _mm512_set1_epi32(11)), _mm512_mullo_epi32(g, _mm512_set1_epi32(59))),
        _mm512_mullo_epi32(r, _mm512_set1_epi32(30)));
    const __m512i k50 = _mm512_add_epi32(k, _mm512_set1_epi32(50));
    const __m512i down =
        _mm512_sub_epi32(_mm512_maskz_srli_epi32(every, _mm512_mullo_epi32(k50, _mm512_set1_epi32(5243)), 19), one);
    const __m512i g10 = _mm512_maskz_srli_epi32(every, _mm512_mullo_epi32(g, _mm512_set1_epi32(205)), 11);
    const __m512i word = _mm512_add_epi32(_mm512_mullo_epi32(b, _mm512_set1_epi32(26)), g10);
    const __m512i up = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, word, table.Words(), 4);
    const __m512i shift = _mm512_maskz_srli_epi32(every, _mm512_mullo_epi32(r, _mm512_set1_epi32(205)), 11);
    const __m512i result = _mm512_add_epi32(down, _mm512_and_si512(_mm512_maskz_srlv_epi32(every, up, shift), one));
    _mm_mask_storeu_epi8(level + i, lanes, _mm512_maskz_cvtepi32_epi8(lanes, result));
  }
}
#endif

bool grayAvx512Allowed = true;

}  // namespace

void SetGrayAvx512(bool allowed) { grayAvx512Allowed = allowed; }

bool GrayAvx512() {
#ifdef QV_GRAY_AVX2
  static const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
                             __builtin_cpu_supports("popcnt");
  return avx512 && grayAvx512Allowed && !PlainPathsOnly();
#else
  return false;
#endif
}

void GrayScalePixels(TBitmap& B) {
#ifdef QV_GRAY_AVX2
  static const bool avx2 = __builtin_cpu_supports("avx2");
  const bool avx512 = GrayAvx512() && B.Width() <= 65536;  // columns fit 16-bit words
#endif
  GrayTable();  // built once, before any band reads it
  // On a large picture the halfway keys (about one pixel in a hundred) would
  // cost more, settled one by one by the extended sum, than all the others
  // together.
  const HalfwayLevels* table =
      static_cast<int64_t>(B.Width()) * B.Height() >= kBandedPixels ? &HalfwayTable() : nullptr;
  const std::vector<uint8_t*> rows = RowsInMemoryOrder(B);
  ForRowBands(B.Width(), B.Height(), [&](int32_t y0, int32_t y1) {
#ifdef QV_GRAY_AVX2
    std::vector<HalfwayGroup> groups(avx512 ? 0 : static_cast<size_t>(B.Width()) / 32 + 1);
    std::vector<uint64_t> masks(avx512 ? static_cast<size_t>(B.Width()) / 64 + 1 : 0);
    std::vector<uint16_t> columns(avx512 ? static_cast<size_t>(B.Width()) + 64 : 0);
    std::vector<uint8_t> levels(avx512 ? static_cast<size_t>(B.Width()) : 0);
    std::vector<int32_t> halves(avx512 ? static_cast<size_t>(B.Width()) / 32 + 2 : 0);
#endif
    for (int32_t y = y0; y < y1; ++y) {
      uint8_t* const row = rows[y];
      int x = 0;
#ifdef QV_GRAY_AVX2
      if (avx512) {
        x = GrayRowAvx512(row, B.Width(), masks.data());
        // The row's halfway pixels, in a list, then their levels: in lanes
        // from the table on large pictures (a pixel at a time they cost
        // about as much as all the other pixels' steps), or one by one by
        // the extended sum on small ones.
        const int count = HalfwayColumns(masks.data(), x / 64, columns.data(), halves.data());
        if (table) {
          HalfwayLevelsAvx512(row, columns.data(), count, *table, levels.data());
          for (int i = 0; i < count; ++i) {
            uint8_t* h = row + 3 * columns[i];
            h[0] = h[1] = h[2] = levels[i];
          }
        } else {
          for (int i = 0; i < count; ++i) {
            uint8_t* h = row + 3 * columns[i];
            h[0] = h[1] = h[2] = HalfwayGrayLevel(h[0], h[1], h[2]);
          }
        }
      } else if (avx2 && !PlainPathsOnly()) {
        int count = 0;
        x = GrayRowAvx2(row, B.Width(), groups.data(), count);
        for (int g = 0; g < count; ++g)
          for (uint32_t m = groups[g].mask; m != 0; m &= m - 1) {
            uint8_t* h = row + 3 * (groups[g].x + __builtin_ctz(m));
            h[0] = h[1] = h[2] = table ? table->Level(h) : HalfwayGrayLevel(h[0], h[1], h[2]);
          }
      }
#endif
      uint8_t* p = row + 3 * x;
      for (; x < B.Width(); ++x, p += 3) p[0] = p[1] = p[2] = GrayOfPixel(p);
    }
  });
}

int SplitlightCurve(int v) {
  const long double angle = static_cast<long double>(v) / 255.0L * kPi / 2.0L;
  const double product = ToDouble(255.0L * Sin(angle));
  return static_cast<int>(Round(product));
}

void SplitlightPixels(TBitmap& B, int32_t Amount) {
  if (Amount <= 0) return;
  // Composing the curve with itself Amount times gives the same values as
  // Amount passes over the picture; the composition stops changing at the
  // curve's fixed points long before large amounts are reached.
  Table curve = Tabulate([](int v) { return static_cast<uint8_t>(SplitlightCurve(v)); });
  Table t = curve;
  for (int32_t pass = 1; pass < Amount; ++pass) {
    Table next = Tabulate([&](int v) { return curve[t[v]]; });
    if (next == t) break;
    t = next;
  }
  ApplyTable(B, t);
}

void SolorizePixels(const TBitmap& S, TBitmap& R, int32_t Amount) {
  std::vector<const uint8_t*> sources(static_cast<size_t>(S.Height()));
  for (int y = 0; y < S.Height(); ++y) sources[y] = S.PixelRow(y);
  std::vector<uint8_t*> results = WritableRows(R);
  // Rows in the result's memory order (see RowsInMemoryOrder), each with its source row.
  if (!R.TopDown()) {
    std::reverse(results.begin(), results.end());
    std::reverse(sources.begin(), sources.end());
  }
  ForRowBands(S.Width(), S.Height(), [&](int32_t y0, int32_t y1) {
  for (int32_t y = y0; y < y1; ++y) {
    const uint8_t* s = sources[y];
    uint8_t* r = results[y];
    for (int x = 0; x < S.Width(); ++x, s += 3, r += 3) {
      const int32_t m = (s[0] + s[1] + s[2]) / 3;
      if (m > Amount) {
        r[0] = static_cast<uint8_t>(255 - s[0]);
        r[1] = static_cast<uint8_t>(255 - s[1]);
        r[2] = static_cast<uint8_t>(255 - s[2]);
      } else {
        r[0] = s[0];
        r[1] = s[1];
        r[2] = s[2];
      }
    }
  }
  });
}

namespace {

// round(v / A) * A, limited to a byte. Without the limit a channel near 255
// would keep only the low byte of, say, 256 and turn black.
uint8_t PosterizeLevel(int v, int32_t Amount) {
  const int64_t q = Round(Divide(static_cast<long double>(v), static_cast<long double>(Amount)));
  const int64_t product = q * Amount;
  return static_cast<uint8_t>(product < 0 ? 0 : (product > 255 ? 255 : product));
}

}  // namespace

void PosterizeFailure(int v) {
  PosterizeLevel(v, 0);
  ThrowInvalidOp();  // not reached: v / 0 always fails
}

void PosterizePixels(const TBitmap& S, TBitmap& R, int32_t Amount) {
  if (S.Width() == 0 || S.Height() == 0) return;
  // Amount 0 fails at the first channel visited, with the error its value
  // gives (0 / 0 or v / 0); the table below would otherwise raise the error
  // of whichever value it computed first.
  if (Amount == 0) PosterizeFailure(S.PixelRow(0)[0]);
  const Table t = Tabulate([=](int v) { return PosterizeLevel(v, Amount); });
  if (&S == &R) {
    ApplyTable(R, t);
    return;
  }
  const size_t n = static_cast<size_t>(S.Width()) * 3;
  for (int y = 0; y < S.Height(); ++y) {
    const uint8_t* s = S.PixelRow(y);
    uint8_t* r = R.PixelRow(y);
    for (size_t i = 0; i < n; ++i) r[i] = t[s[i]];
  }
}

}  // namespace qv
