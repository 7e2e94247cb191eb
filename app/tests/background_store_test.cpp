// The three background commands against a fake window and registry, with
// real BMP files in a temporary folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/background_store.h"
#include "imaging/exceptions.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

class FakeHost : public TBackgroundHost {
 public:
  std::optional<std::string> savePath, openPath;
  bool registryRefuses = false;
  std::vector<std::string> registryWrites;
  std::vector<std::string> statuses;
  TBitmap preview;
  int width = 885, height = 147;

  std::optional<std::string> ExecuteSaveDialog() override { return savePath; }
  std::optional<std::string> ExecuteOpenDialog() override { return openPath; }
  void WriteToolbarBitmap(const std::string& path) override {
    if (registryRefuses) throw EOSError(SetDataFailedText());
    registryWrites.push_back(path);
  }
  const TBitmap& PreviewPicture() const override { return preview; }
  void SetPreviewPicture(TBitmap picture) override { preview = std::move(picture); }
  int PreviewWidth() const override { return width; }
  int PreviewHeight() const override { return height; }
  void SetStatusText(const std::string& text) override { statuses.push_back(text); }
};

class BackgroundStore : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("qv_store_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    host.preview.SetSize(885, 147);
    host.preview.SetPixelFormat(TPixelFormat::pf24bit);
    host.preview.SetPixelRgb(0, 0, 0x123456);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string PathOf(const char* name) const { return (dir / name).string(); }
  static std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  fs::path dir;
  FakeHost host;
};

TEST_F(BackgroundStore, ApplyWritesTheFileThenTheRegistryThenTheStatus) {
  host.savePath = PathOf("bg.bmp");
  ApplyBackground(host);
  EXPECT_EQ(Bytes(*host.savePath).size(), 390486u);
  EXPECT_EQ(host.registryWrites, std::vector<std::string>{*host.savePath});
  EXPECT_EQ(host.statuses, std::vector<std::string>{"Last action: background applied successfully"});
}

TEST_F(BackgroundStore, ApplyCancelledWritesNothing) {
  ApplyBackground(host);
  EXPECT_TRUE(host.registryWrites.empty());
  EXPECT_EQ(host.statuses, std::vector<std::string>{"Last action: background change was cancel"});
}

TEST_F(BackgroundStore, RefusedRegistryKeepsTheFileAndTheStatus) {
  host.savePath = PathOf("kept.bmp");
  host.registryRefuses = true;
  try {
    ApplyBackground(host);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Failed to set data for 'BackBitmapShell'");
  }
  EXPECT_EQ(Bytes(*host.savePath).size(), 390486u);
  EXPECT_TRUE(host.statuses.empty());
}

TEST_F(BackgroundStore, FileThatCannotBeCreatedLeavesRegistryAndStatus) {
  host.savePath = PathOf("no/such/folder/bg.bmp");
  EXPECT_THROW(ApplyBackground(host), EFCreateError);
  EXPECT_TRUE(host.registryWrites.empty());
  EXPECT_TRUE(host.statuses.empty());
}

TEST_F(BackgroundStore, DefaultStoresTheEmptyString) {
  DefaultBackground(host);
  DefaultBackground(host);
  EXPECT_EQ(host.registryWrites, (std::vector<std::string>{"", ""}));
  EXPECT_EQ(host.statuses.back(), "Last action: default background restored successfully");
}

TEST_F(BackgroundStore, LoadChecksTheSizeAndKeepsThePreviewOnMismatch) {
  struct Case {
    int w, h;
    bool accepted;
  } cases[] = {{885, 147, true}, {886, 147, false}, {885, 146, false}, {147, 885, false}};
  for (const Case& c : cases) {
    TBitmap picture;
    picture.SetSize(c.w, c.h);
    picture.SetPixelFormat(TPixelFormat::pf24bit);
    picture.SetPixelRgb(1, 1, 0xABCDEF);
    host.openPath = PathOf("in.bmp");
    host.SaveBitmap(picture, *host.openPath);
    host.preview.SetPixelRgb(1, 1, 0);
    host.statuses.clear();
    LoadBackground(host);
    EXPECT_EQ(host.preview.GetPixelRgb(1, 1), c.accepted ? 0xABCDEFu : 0u) << c.w << "x" << c.h;
    EXPECT_EQ(host.statuses, std::vector<std::string>{c.accepted
                                                          ? "Image loaded, click Apply to use it as background"
                                                          : "Image format is not compatible"});
  }
}

TEST_F(BackgroundStore, LoadOfAnEmptyFileIsNotCompatible) {
  host.openPath = PathOf("empty.bmp");
  std::ofstream(*host.openPath).close();
  LoadBackground(host);
  EXPECT_EQ(host.statuses, std::vector<std::string>{"Image format is not compatible"});
  EXPECT_EQ(host.preview.GetPixelRgb(0, 0), 0x123456u);
}

TEST_F(BackgroundStore, LoadCancelledChangesNothing) {
  LoadBackground(host);
  EXPECT_TRUE(host.statuses.empty());
  EXPECT_EQ(host.preview.GetPixelRgb(0, 0), 0x123456u);
}

TEST_F(BackgroundStore, LoadThenApplyWritesAnIdenticalFile) {
  host.savePath = PathOf("first.bmp");
  ApplyBackground(host);
  host.preview = TBitmap();
  host.openPath = host.savePath;
  LoadBackground(host);
  host.savePath = PathOf("second.bmp");
  ApplyBackground(host);
  EXPECT_EQ(Bytes(PathOf("first.bmp")), Bytes(PathOf("second.bmp")));
}

}  // namespace
}  // namespace qv
