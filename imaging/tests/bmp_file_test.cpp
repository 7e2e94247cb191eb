#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif

#include "imaging/bmp.h"
#include "imaging/exceptions.h"
#include "imaging/file_io.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Spit(const fs::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class BmpFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("QV_TEST_OUTPUT");
    dir_ = fs::absolute(fs::path(base ? base : fs::temp_directory_path().string()) /
                        ("bmp_files_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_ / "readonly.bmp", fs::perms::owner_all, ec);
    fs::remove_all(dir_, ec);
  }
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  size_t FilesInDir() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  fs::path dir_;
};

TBitmap Painted(int w, int h) {
  TBitmap b;
  b.SetSize(w, h);
  b.SetPixelBits(24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixelRgb(x, y, static_cast<uint32_t>(x * 7 + y * 131));
  return b;
}

TEST_F(BmpFiles, SaveWritesTheEncodedBytesAndReplacesAnExistingFile) {
  const std::string path = PathOf("out.bmp");
  Spit(path, std::vector<uint8_t>(1000, 0xAB));
  TBitmap b = Painted(885, 147);
  SaveBitmapToFile(b, path);
  EXPECT_EQ(Slurp(path), EncodeBmp(b));
  EXPECT_EQ(Slurp(path).size(), 390486u);
  EXPECT_EQ(FilesInDir(), 1u) << "no temporary file is left beside the target";
}

TEST_F(BmpFiles, TargetsThatCannotBeCreatedFailWithCannotCreateFile) {
  fs::create_directories(dir_ / "folder.bmp");
  Spit(dir_ / "readonly.bmp", {1, 2, 3});
  fs::permissions(dir_ / "readonly.bmp", fs::perms::owner_read);
  std::vector<std::string> cases = {PathOf("missing/out.bmp"), PathOf("folder.bmp"), PathOf("readonly.bmp")};
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(PathOf("pipe.bmp").c_str(), 0666), 0);
  cases.push_back(PathOf("pipe.bmp"));  // a pipe is never replaced by a file
#endif
  for (const std::string& path : cases) {
    try {
      SaveBitmapToFile(Painted(3, 2), path);
      ADD_FAILURE() << path << " was written";
    } catch (const EFCreateError& e) {
      const std::string prefix = "Cannot create file \"" + ExpandFileName(path) + "\". ";
      EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
      EXPECT_GT(std::string(e.what()).size(), prefix.size()) << "the system's reason follows";
      EXPECT_NE(e.Message().back(), '.') << e.what();
    }
  }
  EXPECT_EQ(Slurp(dir_ / "readonly.bmp"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(FilesInDir(), cases.size() - 1) << "nothing left beside the targets";
}

#ifndef _WIN32
// The file written beside the target must not outgrow the longest name.
TEST_F(BmpFiles, LongNamesCanBeWritten) {
  const std::string path = PathOf(std::string(240, 'n') + ".bmp");
  SaveBitmapToFile(Painted(2, 2), path);
  EXPECT_EQ(Slurp(path).size(), 54u + 2 * 8);
}
#endif

TEST_F(BmpFiles, LoadThenSaveOfAnAppliedFileGivesAnIdenticalFile) {
  const std::string first = PathOf("applied.bmp"), second = PathOf("again.bmp");
  SaveBitmapToFile(Painted(885, 147), first);
  TBitmap loaded = LoadBitmapFromFile(first);
  EXPECT_EQ(loaded.Width(), 885);
  EXPECT_EQ(loaded.Height(), 147);
  EXPECT_EQ(loaded.PixelFormat(), TPixelFormat::pf24bit);
  SaveBitmapToFile(loaded, second);
  EXPECT_EQ(Slurp(second), Slurp(first));
}

TEST_F(BmpFiles, EmptyFileLoadsAsAnEmptyPicture) {
  Spit(dir_ / "empty.bmp", {});
  TBitmap b = LoadBitmapFromFile(PathOf("empty.bmp"));
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 0);
}

TEST_F(BmpFiles, MissingFilesFailWithCannotOpenFileAndTheFullPath) {
  for (const std::string& path : {PathOf("missing.bmp"), PathOf("")}) {
    try {
      LoadBitmapFromFile(path);
      ADD_FAILURE() << path << " opened";
    } catch (const EFOpenError& e) {
      const std::string prefix = "Cannot open file \"" + ExpandFileName(path) + "\". ";
      EXPECT_EQ(e.Message().rfind(prefix, 0), 0u) << e.what();
      EXPECT_GT(e.Message().size(), prefix.size()) << e.what();
      EXPECT_NE(e.Message().back(), '.') << e.what();
    }
  }
#ifndef _WIN32
  // The platform's own words, without the full stop Windows would add.
  const std::string relative = "qv-surely-missing-file.bmp";
  try {
    LoadBitmapFromFile(relative);
    ADD_FAILURE();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + fs::current_path().string() + "/" + relative +
                               "\". No such file or directory");
  }
#endif
}

#ifndef _WIN32
// A write that fails part-way (here: the file size limit of the process)
// reports "Stream write error" and leaves the old file as it was.
TEST_F(BmpFiles, FailedWriteLeavesTheOldFileInPlace) {
  const std::string path = PathOf("kept.bmp");
  const std::vector<uint8_t> old(2000, 0x5A);
  Spit(path, old);
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 100000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool threw = false;
  try {
    SaveBitmapToFile(Painted(885, 147), path);
  } catch (const EWriteError& e) {
    threw = true;
    EXPECT_STREQ(e.what(), "Stream write error");
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_TRUE(threw);
  EXPECT_EQ(Slurp(path), old);
  EXPECT_EQ(FilesInDir(), 1u) << "the unfinished file is removed";
}
#endif

TEST(FileErrors, SystemMessagesLoseTrailingSpacesControlsAndFullStops) {
  EXPECT_EQ(TrimSystemMessage("The system cannot find the file specified. \r\n"),
            "The system cannot find the file specified");
  EXPECT_EQ(TrimSystemMessage("No such file or directory"), "No such file or directory");
  EXPECT_EQ(TrimSystemMessage("Access is denied..\t"), "Access is denied");
  EXPECT_EQ(TrimSystemMessage(" . "), "");
  EXPECT_EQ(FileErrorText(kCannotOpenFileMessage, "C:\\a.b.bmp", "Access is denied.\r\n"),
            "Cannot open file \"C:\\a.b.bmp\". Access is denied");
}

}  // namespace
}  // namespace qv
