#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "imaging/bmp.h"
#include "imaging/exceptions.h"
#include "imaging/file_io.h"

namespace qv {
namespace {

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint32_t U16At(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }

TBitmap Rendered(int w, int h) {
  TBitmap b;
  b.SetSize(w, h);
  b.SetPixelBits(24);
  return b;
}

TEST(EncodeBmp, PreviewSizedSurfaceGivesThe54ByteHeaderFieldByField) {
  TBitmap b = Rendered(885, 147);
  auto file = EncodeBmp(b);
  ASSERT_EQ(file.size(), 390486u);
  EXPECT_EQ(file[0], 0x42);
  EXPECT_EQ(file[1], 0x4D);
  const struct { size_t at; int size; uint32_t value; } fields[] = {
      {2, 4, 390486}, {6, 2, 0},  {8, 2, 0},  {10, 4, 54}, {14, 4, 40}, {18, 4, 885},
      {22, 4, 147},   {26, 2, 1}, {28, 2, 24}, {30, 4, 0}, {34, 4, 390432}, {38, 4, 0},
      {42, 4, 0},     {46, 4, 0}, {50, 4, 0},
  };
  for (const auto& f : fields)
    EXPECT_EQ(f.size == 4 ? U32At(file, f.at) : U16At(file, f.at), f.value) << "offset " << f.at;
}

TEST(EncodeBmp, RowsAreBottomUpBlueGreenRedWithZeroPadding) {
  // 5 pixels: 15 bytes of colour, one byte of padding per row.
  TBitmap b = Rendered(5, 2);
  b.PixelRow(0)[0] = 0x11;  // top-left blue
  b.PixelRow(0)[14] = 0x22;  // top-right red
  b.PixelRow(1)[1] = 0x33;  // bottom-left green
  b.PixelRow(0)[15] = 0xEE;  // garbage in the padding
  auto file = EncodeBmp(b);
  ASSERT_EQ(file.size(), 54u + 2 * 16);
  EXPECT_EQ(U32At(file, 34), 32u);
  // First stored row is the bottom one.
  const std::vector<uint8_t> bottom = {0xFF, 0x33, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
  const std::vector<uint8_t> top = {0x11, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x22, 0x00};
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 54, file.begin() + 70), bottom);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 70, file.end()), top);
}

TEST(EncodeBmp, EmptyPictureGivesAnEmptyFile) {
  EXPECT_TRUE(EncodeBmp(TBitmap()).empty());
}

TEST(EncodeBmp, DeviceSurfaceIsWrittenAsTwentyFourBits) {
  TBitmap b;
  b.SetSize(2, 1);
  b.SetPixelRgb(1, 0, 0x0000FF);  // red
  auto file = EncodeBmp(b);
  ASSERT_EQ(file.size(), 54u + 8);
  EXPECT_EQ(U16At(file, 28), 24u);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 54, file.end()),
            (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00}));
}

}  // namespace
}  // namespace qv
