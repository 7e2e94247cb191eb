#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "imaging/bmp.h"
#include "imaging/exceptions.h"
#include "imaging/tests/bmp_test_files.h"

namespace qv {
namespace {

using test::BmpFields;
using test::BuildBmp;

TRGBQuad Quad(uint8_t r, uint8_t g, uint8_t b) { return TRGBQuad{b, g, r, 0}; }
uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) { return r | (g << 8) | (b << 16); }

std::vector<uint32_t> AllPixels(const TBitmap& b) {
  std::vector<uint32_t> out;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) out.push_back(b.GetPixelRgb(x, y));
  return out;
}

// Expects decoding to fail with the given error text.
template <class Error>
void ExpectFailure(const std::vector<uint8_t>& file, const char* message, const char* what) {
  try {
    DecodeBmp(file);
    ADD_FAILURE() << what << ": no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(), message) << what;
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": unexpected error " << e.what();
  }
}

TEST(DecodeBmp, EmptyFileIsAnEmptyPicture) {
  TBitmap b = DecodeBmp({});
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 0);
}

TEST(DecodeBmp, PicturesUpToTheLimitsAreAccepted) {
  BmpFields wide;
  wide.Width = kMaxBmpDimension, wide.Height = 1, wide.Bits = 8, wide.ColorsUsed = 1;
  wide.Table = {Quad(1, 2, 3)};
  BmpFields high = wide;
  high.Width = 1, high.Height = -kMaxBmpDimension;
  for (const BmpFields& f : {wide, high}) {
    TBitmap b = DecodeBmp(BuildBmp(f));  // no pixel data: all index 0
    EXPECT_EQ(b.Width(), f.Width);
    EXPECT_EQ(b.Height(), std::abs(f.Height));
    EXPECT_EQ(b.GetPixelRgb(b.Width() - 1, b.Height() - 1), Rgb(1, 2, 3));
  }
}

TEST(DecodeBmp, TruncatedFilesAreStreamReadErrors) {
  BmpFields eight;
  eight.Bits = 8;
  eight.Table.assign(256, Quad(1, 2, 3));
  eight.Pixels = {0, 0, 0, 0};
  const auto full8 = BuildBmp(eight);

  BmpFields masks;
  masks.Bits = 16;
  masks.Compression = 3;
  masks.MasksAfterHeader = {0xF800, 0x07E0, 0x001F};
  masks.Pixels = {0, 0, 0, 0};
  const auto fullMasks = BuildBmp(masks);

  const struct { std::vector<uint8_t> file; const char* what; } cases[] = {
      {{'B', 'M', 0, 0, 0}, "5-byte file"},
      {std::vector<uint8_t>(full8.begin(), full8.begin() + 13), "inside the file header"},
      {std::vector<uint8_t>(full8.begin(), full8.begin() + 14), "no information header"},
      {std::vector<uint8_t>(full8.begin(), full8.begin() + 30), "inside the information header"},
      {std::vector<uint8_t>(full8.begin(), full8.begin() + 54 + 1000), "inside the colour table"},
      {std::vector<uint8_t>(fullMasks.begin(), fullMasks.begin() + 60), "inside the masks"},
  };
  for (const auto& c : cases) ExpectFailure<EReadError>(c.file, "Stream read error", c.what);
}

TEST(DecodeBmp, FilesThatMakeNoPictureAreNotValid) {
  auto with = [](auto change) {
    BmpFields f;
    f.Width = 2;
    f.Height = 2;
    f.Pixels.assign(16, 0);
    change(f);
    return BuildBmp(f);
  };
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  png.resize(64, 0);
  auto notBm = with([](BmpFields&) {});
  notBm[1] = 'A';

  const struct { std::vector<uint8_t> file; const char* what; } cases[] = {
      {png, "a PNG file"},
      {notBm, "signature BA"},
      {with([](BmpFields& f) { f.HeaderSize = 20; }), "20-byte header"},
      {with([](BmpFields& f) { f.HeaderSize = 64 * 1024; }), "64 KB header"},
      {with([](BmpFields& f) { f.Planes = 2; }), "two planes"},
      {with([](BmpFields& f) { f.Bits = 2; }), "2 bits per pixel"},
      {with([](BmpFields& f) { f.Bits = 0; }), "0 bits per pixel"},
      {with([](BmpFields& f) { f.Compression = 4; }), "JPEG compression"},
      {with([](BmpFields& f) { f.Compression = 5; }), "PNG compression"},
      {with([](BmpFields& f) { f.Compression = 3; }), "bit fields on 24 bits"},
      {with([](BmpFields& f) { f.Compression = 1; f.Bits = 4; f.Table.resize(16); }), "RLE8 on 4 bits"},
      {with([](BmpFields& f) { f.Compression = 2; f.Bits = 8; f.Table.resize(256); }), "RLE4 on 8 bits"},
      {with([](BmpFields& f) { f.Compression = 1; f.Bits = 8; f.Height = -2; f.Table.resize(256); }),
       "top-down RLE8"},
      {with([](BmpFields& f) { f.HeaderSize = 44; f.Compression = 3; f.Bits = 32; }),
       "bit fields with a header too short for masks"},
      {with([](BmpFields& f) { f.Bits = 8; f.ColorsUsed = 257; f.Table.resize(257); }), "257 colours"},
      {with([](BmpFields& f) { f.Width = 0; }), "width 0"},
      {with([](BmpFields& f) { f.Width = -2; }), "negative width"},
      {with([](BmpFields& f) { f.Height = 0; }), "height 0"},
      {with([](BmpFields& f) { f.Height = INT_MIN; }), "height INT_MIN"},
      {with([](BmpFields& f) { f.Width = kMaxBmpDimension + 1; }), "too wide"},
      {with([](BmpFields& f) { f.Height = -kMaxBmpDimension - 1; }), "too high"},
      {with([](BmpFields& f) { f.Width = kMaxBmpDimension; f.Height = kMaxBmpDimension; }),
       "more pixel data than any background needs"},
  };
  for (const auto& c : cases)
    ExpectFailure<EInvalidGraphic>(c.file, "Bitmap image is not valid", c.what);
}

// Only 1, 4 and 8 bits per pixel imply a colour table when colours-used is
// 0; a file of another bit count carries none, and being too short for the
// table it never had is no read error: its bit count is what is wrong.
TEST(DecodeBmp, OtherBitCountsImplyNoColourTable) {
  for (uint16_t bits : {0, 2, 3, 5, 6, 7}) {
    BmpFields f;
    f.Bits = bits;
    // No bytes follow the header: fewer than the 2^bits table entries.
    ExpectFailure<EInvalidGraphic>(BuildBmp(f), "Bitmap image is not valid",
                                   ("bit count " + std::to_string(bits)).c_str());
  }
}

// Files of every uncompressed form: the pixels they hold, and the same bytes
// when written again.
TEST(DecodeBmp, EveryUncompressedFormReadsItsPixelsAndWritesBackIdentically) {
  const TRGBQuad a = Quad(10, 20, 30), b = Quad(200, 100, 50), c = Quad(7, 8, 9);
  std::vector<TRGBQuad> ramp(256);
  for (int i = 0; i < 256; ++i) ramp[i] = Quad(static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2));

  struct Case {
    const char* what;
    BmpFields f;
    std::vector<uint32_t> pixels;  // top row first
  };
  std::vector<Case> cases;
  {
    Case k{"1 bit", {}, {}};
    k.f.Width = 3, k.f.Height = 2, k.f.Bits = 1, k.f.Table = {a, b};
    k.f.Pixels = {0xA0, 0, 0, 0, /*top*/ 0x40, 0, 0, 0};
    k.pixels = {Rgb(10, 20, 30), Rgb(200, 100, 50), Rgb(10, 20, 30),
                Rgb(200, 100, 50), Rgb(10, 20, 30), Rgb(200, 100, 50)};
    cases.push_back(k);
  }
  {
    Case k{"4 bits, three colours used", {}, {}};
    k.f.Width = 3, k.f.Height = 1, k.f.Bits = 4, k.f.ColorsUsed = 3, k.f.ColorsImportant = 2;
    k.f.Table = {a, b, c};
    k.f.XPels = 3780, k.f.YPels = 2835;
    k.f.Pixels = {0x12, 0x00, 0, 0};
    k.pixels = {Rgb(200, 100, 50), Rgb(7, 8, 9), Rgb(10, 20, 30)};
    cases.push_back(k);
  }
  {
    Case k{"8 bits", {}, {}};
    k.f.Width = 2, k.f.Height = 2, k.f.Bits = 8, k.f.Table = ramp;
    k.f.Pixels = {0, 255, 0, 0, /*top*/ 128, 1, 0, 0};
    k.pixels = {Rgb(128, 127, 64), Rgb(1, 254, 0), Rgb(0, 255, 0), Rgb(255, 0, 127)};
    cases.push_back(k);
  }
  {
    Case k{"16 bits 5-5-5", {}, {}};
    k.f.Width = 2, k.f.Height = 1, k.f.Bits = 16;
    // Full red; blue 28 of 31 widens by repeating its bits: 11100 -> 11100111.
    k.f.Pixels = {0x00, 0x7C, 0x1C, 0x00};
    k.pixels = {Rgb(255, 0, 0), Rgb(0, 0, 231)};
    cases.push_back(k);
  }
  {
    Case k{"16 bits 5-6-5 bit fields", {}, {}};
    k.f.Width = 2, k.f.Height = 1, k.f.Bits = 16, k.f.Compression = 3;
    k.f.MasksAfterHeader = {0xF800, 0x07E0, 0x001F};
    // Full green; green 52 of 63: 110100 -> 11010011.
    k.f.Pixels = {0xE0, 0x07, 0x80, 0x06};
    k.pixels = {Rgb(0, 255, 0), Rgb(0, 211, 0)};
    cases.push_back(k);
  }
  {
    Case k{"24 bits top-down", {}, {}};
    k.f.Width = 1, k.f.Height = -2;
    k.f.Pixels = {1, 2, 3, 0, /*bottom*/ 4, 5, 6, 0};
    k.pixels = {Rgb(3, 2, 1), Rgb(6, 5, 4)};
    cases.push_back(k);
  }
  {
    Case k{"32 bits", {}, {}};
    k.f.Width = 2, k.f.Height = 1, k.f.Bits = 32;
    k.f.Pixels = {1, 2, 3, 0, 4, 5, 6, 0};
    k.pixels = {Rgb(3, 2, 1), Rgb(6, 5, 4)};
    cases.push_back(k);
  }
  {
    Case k{"32 bits, red in the low byte", {}, {}};
    k.f.Width = 1, k.f.Height = 1, k.f.Bits = 32, k.f.Compression = 3;
    k.f.MasksAfterHeader = {0x000000FF, 0x0000FF00, 0x00FF0000};
    k.f.Pixels = {0x11, 0x22, 0x33, 0x44};
    k.pixels = {Rgb(0x11, 0x22, 0x33)};
    cases.push_back(k);
  }
  {
    Case k{"OS/2 8 bits", {}, {}};
    k.f.HeaderSize = 12, k.f.Width = 2, k.f.Height = 1, k.f.Bits = 8, k.f.Table = ramp;
    k.f.Pixels = {3, 250, 0, 0};
    k.pixels = {Rgb(3, 252, 1), Rgb(250, 5, 125)};
    cases.push_back(k);
  }
  {
    Case k{"OS/2 24 bits", {}, {}};
    k.f.HeaderSize = 12, k.f.Width = 1, k.f.Height = 2;
    k.f.Pixels = {1, 2, 3, 0, /*top*/ 4, 5, 6, 0};
    k.pixels = {Rgb(6, 5, 4), Rgb(3, 2, 1)};
    cases.push_back(k);
  }
  {
    Case k{"24 bits with a colour table", {}, {}};
    k.f.Width = 1, k.f.Height = 1, k.f.ColorsUsed = 2, k.f.Table = {a, b};
    k.f.Pixels = {9, 8, 7, 0};
    k.pixels = {Rgb(7, 8, 9)};
    cases.push_back(k);
  }

  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const auto file = BuildBmp(k.f);
    TBitmap picture = DecodeBmp(file);
    EXPECT_EQ(picture.Width(), k.f.Width);
    EXPECT_EQ(picture.Height(), std::abs(k.f.Height));
    EXPECT_EQ(picture.TopDown(), k.f.Height < 0);
    EXPECT_EQ(AllPixels(picture), k.pixels);
    EXPECT_EQ(EncodeBmp(picture), file);
    // The 24-bit form every effect works on holds the same colours.
    picture.SetPixelBits(24);
    EXPECT_EQ(AllPixels(picture), k.pixels);
  }
}

TEST(DecodeBmp, LongHeadersKeepTheirExtrasAndWriteBackAsFortyBytes) {
  // 108-byte header with bit-field masks inside it (red in the low byte,
  // alpha in the high byte) and a 124-byte one without compression.
  BmpFields v4;
  v4.HeaderSize = 108;
  v4.Width = 2, v4.Height = 1, v4.Bits = 32, v4.Compression = 3;
  v4.HeaderExtra = {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 'B', 'G', 'R', 's'};
  v4.Pixels = {1, 2, 3, 4, 5, 6, 7, 8};
  BmpFields v5;
  v5.HeaderSize = 124;
  v5.Width = 1, v5.Height = 1, v5.Bits = 24;
  v5.HeaderExtra.assign(84, 0x5A);
  v5.Pixels = {1, 2, 3, 0};

  const struct { BmpFields f; std::vector<uint32_t> pixels; } cases[] = {
      {v4, {Rgb(1, 2, 3), Rgb(5, 6, 7)}},
      {v5, {Rgb(3, 2, 1)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.f.HeaderSize);
    TBitmap picture = DecodeBmp(BuildBmp(c.f));
    EXPECT_EQ(AllPixels(picture), c.pixels);
    ASSERT_TRUE(picture.FileForm());
    EXPECT_EQ(picture.FileForm()->HeaderSize, c.f.HeaderSize);
    std::vector<uint8_t> extra = c.f.HeaderExtra;
    extra.resize(c.f.HeaderSize - 40);
    EXPECT_EQ(picture.FileForm()->HeaderExtra, extra);

    const auto written = EncodeBmp(picture);
    EXPECT_EQ(written[14], 40);
    TBitmap again = DecodeBmp(written);
    EXPECT_EQ(AllPixels(again), c.pixels);
    EXPECT_EQ(EncodeBmp(again), written);
  }
}

TEST(DecodeBmp, MissingRowsOfAShortFileAreZero) {
  BmpFields f;
  f.Width = 2, f.Height = 3;
  f.Pixels = {1, 2, 3, 4, 5, 6, 0, 0, /*middle, cut*/ 7, 8};
  TBitmap picture = DecodeBmp(BuildBmp(f));
  // Bottom row complete, the middle row's first pixel has blue and green,
  // nothing of the top row is there.
  const std::vector<uint32_t> expected = {0, 0, Rgb(0, 8, 7), 0, Rgb(3, 2, 1), Rgb(6, 5, 4)};
  EXPECT_EQ(AllPixels(picture), expected);
}

TEST(DecodeBmp, PixelDataStartsAtTheDataOffsetWhenItLeavesAGap) {
  BmpFields f;
  f.Width = 2, f.Height = 1, f.Bits = 8, f.ColorsUsed = 2;
  f.Table = {Quad(1, 1, 1), Quad(2, 2, 2)};
  f.Gap = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  f.Pixels = {1, 0, 0, 0};
  EXPECT_EQ(AllPixels(DecodeBmp(BuildBmp(f))), (std::vector<uint32_t>{Rgb(2, 2, 2), Rgb(1, 1, 1)}));

  // An offset that points into the tables or past the end is a writer's
  // mistake: the data follows the table.
  for (uint32_t offset : {54u, 100000u}) {
    f.Gap.clear();
    f.DataOffset = offset;
    EXPECT_EQ(AllPixels(DecodeBmp(BuildBmp(f))), (std::vector<uint32_t>{Rgb(2, 2, 2), Rgb(1, 1, 1)}))
        << offset;
  }
}

std::vector<TRGBQuad> Tenfold(int n) {
  std::vector<TRGBQuad> t;
  for (int i = 0; i < n; ++i) t.push_back(Quad(static_cast<uint8_t>(10 * i), static_cast<uint8_t>(20 * i), static_cast<uint8_t>(30 * i)));
  return t;
}

std::vector<uint8_t> Indexes(const TBitmap& b) {
  std::vector<uint8_t> out;
  const auto& t = b.Palette();
  for (uint32_t rgb : AllPixels(b))
    for (size_t i = 0; i < t.size(); ++i)
      if (Rgb(t[i].Red, t[i].Green, t[i].Blue) == rgb) {
        out.push_back(static_cast<uint8_t>(i));
        break;
      }
  return out;
}

TEST(DecodeBmp, RunLengthEightBits) {
  BmpFields f;
  f.Width = 6, f.Height = 3, f.Bits = 8, f.Compression = 1, f.ColorsUsed = 8;
  f.Table = Tenfold(8);
  f.Pixels = {
      3, 5,                 // bottom row: three 5s
      0, 3, 1, 2, 3, 0,     // then 1 2 3, padded to an even length
      0, 0,                 // end of line
      0, 2, 2, 1,           // two right, one up: skips the middle row
      2, 7,                 // two 7s at x = 2, 3 of the top row
      0, 1,                 // end of picture
  };
  const auto file = BuildBmp(f);
  TBitmap picture = DecodeBmp(file);
  EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(Indexes(picture), (std::vector<uint8_t>{0, 0, 7, 7, 0, 0, /**/ 0, 0, 0, 0, 0, 0, /**/ 5, 5, 5, 1, 2, 3}));
  EXPECT_EQ(EncodeBmp(picture), file) << "a compressed file is written back byte for byte";

  // Once the pixels change, the kept file is stale: the picture is written
  // uncompressed with its own colour table.
  const TBitmap& constant = picture;
  constant.PixelRow(0);
  EXPECT_EQ(EncodeBmp(picture), file) << "reading a row changes nothing";
  picture.PixelRow(0)[0] = 4;
  const auto rewritten = EncodeBmp(picture);
  EXPECT_EQ(rewritten[30], 0) << "compression";
  TBitmap again = DecodeBmp(rewritten);
  EXPECT_EQ(Indexes(again), (std::vector<uint8_t>{4, 0, 7, 7, 0, 0, /**/ 0, 0, 0, 0, 0, 0, /**/ 5, 5, 5, 1, 2, 3}));
  EXPECT_EQ(again.Palette(), f.Table);
}

TEST(DecodeBmp, RunLengthFourBits) {
  BmpFields f;
  f.Width = 8, f.Height = 1, f.Bits = 4, f.Compression = 2;
  f.Table = Tenfold(16);
  f.Pixels = {5, 0x12, /*absolute*/ 0, 3, 0x34, 0x50, 0, 1};
  const auto file = BuildBmp(f);
  TBitmap picture = DecodeBmp(file);
  EXPECT_EQ(Indexes(picture), (std::vector<uint8_t>{1, 2, 1, 2, 1, 3, 4, 5}));
  EXPECT_EQ(EncodeBmp(picture), file);
}

TEST(DecodeBmp, RunLengthDataThatOverrunsThePictureIsClipped) {
  BmpFields f;
  f.Width = 3, f.Height = 2, f.Bits = 8, f.Compression = 1, f.ColorsUsed = 8;
  f.Table = Tenfold(8);
  f.Pixels = {
      200, 1,          // a run far past the right edge
      0, 5, 2, 2, 2, 2, 2, 0,  // an absolute run past it as well
      0, 0,            // next row
      0, 2, 255, 255,  // a move far beyond the top
      9, 3,            // ignored
      0, 9, 6,         // absolute run cut short by the end of the data
  };
  TBitmap picture = DecodeBmp(BuildBmp(f));
  EXPECT_EQ(Indexes(picture), (std::vector<uint8_t>{0, 0, 0, 1, 1, 1}));

  // Image size beyond the file: only what is there is read.
  f.ImageSize = 0x7FFFFFFF;
  f.Pixels = {0, 0, 0, 3, 6};
  EXPECT_EQ(Indexes(DecodeBmp(BuildBmp(f))), (std::vector<uint8_t>{6, 0, 0, 0, 0, 0}));
}

// Changes made to a loaded picture reach the file written from it.
TEST(DecodeBmp, ChangedMasksAndPalettesAreWrittenWithThePicture) {
  BmpFields rgb32;
  rgb32.Width = 1, rgb32.Height = 1, rgb32.Bits = 32;
  rgb32.Pixels = {0x11, 0x22, 0x33, 0};
  BmpFields os2;
  os2.HeaderSize = 12, os2.Width = 2, os2.Height = 1, os2.Bits = 4, os2.Table = Tenfold(16);
  os2.Pixels = {0x12, 0, 0, 0};
  BmpFields used3 = os2;
  used3.HeaderSize = 40, used3.ColorsUsed = 3, used3.Table = Tenfold(3);

  TBitmap masked = DecodeBmp(BuildBmp(rgb32));
  masked.SetMasks({0x000000FF, 0x0000FF00, 0x00FF0000});
  TBitmap shortPalette = DecodeBmp(BuildBmp(os2));
  shortPalette.SetPalette(Tenfold(4));
  TBitmap longPalette = DecodeBmp(BuildBmp(used3));
  longPalette.SetPalette(Tenfold(16));
  for (const TBitmap* b : {&masked, &shortPalette, &longPalette}) {
    TBitmap again = DecodeBmp(EncodeBmp(*b));
    EXPECT_EQ(AllPixels(again), AllPixels(*b));
  }
  EXPECT_EQ(AllPixels(masked), (std::vector<uint32_t>{Rgb(0x11, 0x22, 0x33)}));
}

// A file larger than the reader takes in is read from its beginning when
// uncompressed; a compressed one, which would have to be kept whole, is
// refused.
TEST(DecodeBmp, OnlyTheBeginningOfAnOversizedFileIsNeeded) {
  BmpFields plain;
  plain.Width = 1, plain.Height = 1;
  plain.Pixels = {1, 2, 3, 0};
  EXPECT_EQ(DecodeBmp(BuildBmp(plain), kMaxBmpFileBytes + 1).GetPixelRgb(0, 0), Rgb(3, 2, 1));

  BmpFields rle = plain;
  rle.Bits = 8, rle.Compression = 1, rle.Table = Tenfold(256), rle.Pixels = {1, 9, 0, 1};
  const auto file = BuildBmp(rle);
  EXPECT_EQ(DecodeBmp(file, file.size()).GetPixelRgb(0, 0), Rgb(90, 180, 14)) << "whole: read";
  EXPECT_THROW(DecodeBmp(file, kMaxBmpFileBytes + 1), EInvalidGraphic);
}

TEST(DecodeBmp, PlatformFailuresReadAsSystemErrors) {
  EXPECT_EQ(FormatSystemError(8, "Not enough memory resources are available to process this command"),
            "System Error.  Code: 8.\r\nNot enough memory resources are available to process this command");
}

TEST(TBitmapFileForm, ChangingSizeOrFormatForgetsTheForm) {
  BmpFields f;
  f.Width = 2, f.Height = 1, f.Bits = 8, f.Compression = 1;
  f.Table = Tenfold(256);
  f.Pixels = {2, 3, 0, 1};
  TBitmap picture = DecodeBmp(BuildBmp(f));
  TBitmap converted = picture;
  converted.SetPixelBits(24);
  EXPECT_FALSE(converted.FileForm());
  TBitmap resized = picture;
  resized.SetWidth(3);
  EXPECT_FALSE(resized.FileForm());
  TBitmap repainted = picture;
  repainted.SetPalette(Tenfold(4));
  EXPECT_FALSE(repainted.FileForm()->WholeFile);
  EXPECT_TRUE(picture.FileForm()->WholeFile) << "copies are independent";
}

}  // namespace
}  // namespace qv
