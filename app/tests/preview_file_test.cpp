// The default preview written as the file Apply produces.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "app/preview_rendering.h"
#include "imaging/bmp.h"

namespace qv {
namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

TEST(PreviewFile, TheDefaultPreviewIsA390486ByteBmpWithTheFixedHeader) {
  TKelvoGradient g;
  TBitmap picture = RenderPreview(g, PreviewSettings{}, 885, 147);
  const char* outDir = std::getenv("QV_TEST_OUTPUT");
  std::string path = (outDir ? std::string(outDir) + "/" : ::testing::TempDir()) + "default-preview.bmp";
  SaveBitmapToFile(picture, path);  // left there for a person to open

  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(file.size(), 390486u);
  const struct { size_t at; int size; uint32_t value; } header[] = {
      {2, 4, 390486}, {6, 2, 0},  {8, 2, 0},  {10, 4, 54},     {14, 4, 40}, {18, 4, 885},
      {22, 4, 147},   {26, 2, 1}, {28, 2, 24}, {30, 4, 0},     {34, 4, 390432},
      {38, 4, 0},     {42, 4, 0}, {46, 4, 0}, {50, 4, 0},
  };
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  for (const auto& f : header)
    EXPECT_EQ(f.size == 4 ? U32(file, f.at) : U16(file, f.at), f.value) << "offset " << f.at;
  // Bottom row first: blue (255, 0, 0 as blue, green, red), padding zero.
  const size_t rowBytes = 2656;
  EXPECT_EQ(file[54], 255);
  EXPECT_EQ(file[55], 0);
  EXPECT_EQ(file[56], 0);
  EXPECT_EQ(file[54 + 2655], 0);  // the one padding byte
  // Top row last: sky blue (240, 202, 166).
  const size_t top = 54 + 146 * rowBytes;
  EXPECT_EQ(file[top], 240);
  EXPECT_EQ(file[top + 1], 202);
  EXPECT_EQ(file[top + 2], 166);
  EXPECT_EQ(file[top + 3 * 884 + 2], 166);
}

}  // namespace
}  // namespace qv
