// Agreement with the BMP readers and writers people actually use:
// ImageMagick and Pillow (Debian's imagemagick and python3-pil). Native
// builds only (the build leaves this file out of Windows ones); skipped
// where the tools are missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "imaging/bmp.h"
#include "imaging/tests/bmp_test_files.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::BmpFields;
using test::BuildBmp;

const std::string kScript = std::string(QV_SOURCE_DIR) + "/scripts/bmp-interop.py";

bool PeersAvailable() {
  return fs::exists("/usr/bin/convert") &&
         std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0;
}

fs::path OutputDir(const std::string& name) {
  const char* base = std::getenv("QV_TEST_OUTPUT");
  fs::path dir = fs::absolute(fs::path(base ? base : fs::temp_directory_path().string()) / name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::vector<uint8_t> Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Our pixels as raw RGB rows, top row first, as the peers dump them.
std::vector<uint8_t> RawRgb(const TBitmap& b) {
  std::vector<uint8_t> out;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      uint32_t c = b.GetPixelRgb(x, y);
      out.push_back(c & 0xFF);
      out.push_back((c >> 8) & 0xFF);
      out.push_back((c >> 16) & 0xFF);
    }
  return out;
}

// Index of the first differing byte, for a readable failure.
std::string FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i])
      return "pixel " + std::to_string(i / 3) + " channel " + std::to_string(i % 3) + ": " +
             std::to_string(a[i]) + " vs " + std::to_string(b[i]);
  return "none";
}

TEST(BmpInterop, FilesThePeersWriteLoadWithTheirPixels) {
  if (!PeersAvailable()) GTEST_SKIP() << "ImageMagick or Pillow missing";
  const fs::path dir = OutputDir("bmp_interop_peers");
  ASSERT_EQ(std::system(("/usr/bin/python3 " + kScript + " make " + dir.string()).c_str()), 0);
  const char* names[] = {
      "magick-24",        "magick-8-palette", "magick-8-rle",  "magick-os2",
      "magick-v5-24",     "magick-v5-32-bitfields", "pillow-24", "pillow-8-palette",
      "pillow-8-grey",    "pillow-1",         "pillow-32",
  };
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const fs::path bmp = dir / (std::string(name) + ".bmp");
    const TBitmap picture = LoadBitmapFromFile(bmp.string());
    const auto theirs = Slurp(dir / (std::string(name) + ".rgb"));
    const auto ours = RawRgb(picture);
    EXPECT_EQ(ours, theirs) << FirstDifference(ours, theirs);
    // Written back, the file says the same again.
    EXPECT_EQ(RawRgb(DecodeBmp(EncodeBmp(picture))), ours);
  }
}

// Deterministic bytes for pixel data.
std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
  std::vector<uint8_t> out(n);
  for (auto& b : out) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 16);
  }
  return out;
}

std::vector<TRGBQuad> Ramp(int n) {
  std::vector<TRGBQuad> t(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    t[i] = TRGBQuad{static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 3), 0};
  return t;
}

TEST(BmpInterop, FilesWeWriteOpenInThePeersWithOurPixels) {
  if (!PeersAvailable()) GTEST_SKIP() << "ImageMagick or Pillow missing";
  const fs::path dir = OutputDir("bmp_interop_ours");

  struct Case {
    std::string name;
    TBitmap picture;
    std::vector<uint8_t> source;  // the file a loaded picture came from
  };
  std::vector<Case> cases;
  {
    TBitmap painted;
    painted.SetSize(885, 147);
    painted.SetPixelBits(24);
    for (int y = 0; y < 147; ++y)
      for (int x = 0; x < 885; ++x)
        painted.SetPixelRgb(x, y, static_cast<uint32_t>((x * 255 / 884) | ((y * 255 / 146) << 8) | (((x + y) & 0xFF) << 16)));
    cases.push_back({"painted-24", painted, {}});
  }
  auto loaded = [&](const std::string& name, BmpFields f) {
    const int w = f.Width, h = std::abs(f.Height);
    const size_t rowBytes = ((static_cast<size_t>(w) * f.Bits + 31) / 32) * 4;
    if (f.Pixels.empty()) f.Pixels = Noise(rowBytes * h, static_cast<uint32_t>(cases.size() + 1));
    const auto file = BuildBmp(f);
    cases.push_back({name, DecodeBmp(file), file});
  };
  BmpFields f;
  f.Width = 13, f.Height = 7;
  for (int bits : {1, 4, 8}) {
    BmpFields p = f;
    p.Bits = static_cast<uint16_t>(bits);
    p.Table = Ramp(1 << bits);
    loaded("palette-" + std::to_string(bits), p);
  }
  {
    BmpFields p = f;
    p.Bits = 8, p.ColorsUsed = 100, p.Table = Ramp(100);
    p.Pixels = Noise(16 * 7, 99);
    for (auto& b : p.Pixels) b %= 100;
    loaded("palette-8-100-colours", p);
  }
  {
    BmpFields p = f;
    p.Bits = 16;
    loaded("rgb-555", p);
    p.Compression = 3, p.MasksAfterHeader = {0xF800, 0x07E0, 0x001F};
    loaded("bitfields-565", p);
  }
  {
    BmpFields p = f;
    p.Bits = 32, p.Compression = 3, p.MasksAfterHeader = {0x00FF0000, 0x0000FF00, 0x000000FF};
    loaded("bitfields-32", p);
    p.Compression = 0, p.MasksAfterHeader.clear();
    loaded("rgb-32", p);
  }
  {
    BmpFields p = f;
    p.Height = -7;
    loaded("top-down-24", p);
  }
  {
    BmpFields p = f;
    p.HeaderSize = 12, p.Bits = 8, p.Table = Ramp(256);
    loaded("os2-8", p);
  }
  {
    BmpFields p = f;
    p.HeaderSize = 108, p.Bits = 32, p.Compression = 3;
    p.HeaderExtra = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
    loaded("v4-bitfields-32", p);
  }
  {
    BmpFields p;
    // Kept to what both peers decode: Pillow 9.4 misreads moves (it skips
    // two bytes too many) and odd-length absolute runs of 4-bit files. The
    // reader's own tests cover those.
    p.Width = 4, p.Height = 2, p.Bits = 8, p.Compression = 1, p.Table = Ramp(256);
    p.Pixels = {1, 5, 0, 3, 1, 2, 3, 0, 0, 0, 4, 6, 0, 0, 0, 1};
    loaded("rle-8", p);
    p.Width = 8, p.Height = 1, p.Bits = 4, p.Compression = 2, p.Table = Ramp(16);
    p.Pixels = {4, 0x12, 0, 4, 0x34, 0x56, 0, 1};
    loaded("rle-4", p);
  }

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path bmp = dir / (c.name + ".bmp");
    SaveBitmapToFile(c.picture, bmp.string());
    const fs::path source = dir / (c.name + ".source.bmp");
    if (!c.source.empty()) {
      std::ofstream(source, std::ios::binary)
          .write(reinterpret_cast<const char*>(c.source.data()), static_cast<std::streamsize>(c.source.size()));
    }
    const auto ours = RawRgb(c.picture);
    for (const std::string tool : {"magick", "pillow"}) {
      SCOPED_TRACE(tool);
      // Pillow widens 5- and 6-bit fields by truncating division, unlike
      // Windows and ImageMagick, which repeat the bits.
      if (tool == "pillow" && (c.name == "rgb-555" || c.name == "bitfields-565")) continue;
      // What we wrote, and (for a loaded picture) the file we read, look the
      // same to the peer as to us.
      for (const fs::path& file : {bmp, source}) {
        if (file == source && c.source.empty()) continue;
        SCOPED_TRACE(file.filename().string());
        const fs::path raw = dir / (file.filename().string() + "." + tool + ".rgb");
        ASSERT_EQ(std::system(("/usr/bin/python3 " + kScript + " dump " + tool + " " + file.string() +
                               " " + raw.string() + " 2>/dev/null")
                                  .c_str()),
                  0);
        const auto theirs = Slurp(raw);
        EXPECT_EQ(theirs, ours) << FirstDifference(theirs, ours);
      }
    }
  }
}

}  // namespace
}  // namespace qv
