// The command line natively: render paints what the window paints, effect
// gives what the effects invoked by name give, apply/default/show drive the
// background store against a stand-in for the registry, and every failure
// has its exit status and text and leaves OUT as it was.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/background_store.h"
#include "app/cli/command_arguments.h"
#include "app/cli/command_line.h"
#include "app/cli/tests/readme_examples.h"
#include "app/preview_rendering.h"
#include "effects/effect_image.h"
#include "effects/effect_registry.h"
#include "effects/effect_routines.h"
#include "imaging/bmp.h"
#include "imaging/exceptions.h"
#include "imaging/gradient.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Rendered(PreviewSettings settings, int w, int h) {
  TKelvoGradient gradient;
  return EncodeBmp(RenderPreview(gradient, settings, w, h));
}

class FakeRecord : public TToolbarRecord {
 public:
  void Write(const std::string& path) override {
    if (Refuse) throw EOSError(SetDataFailedText());
    Value = path;
    ++Writes;
  }
  std::optional<std::string> Read() override { return Value; }
  std::optional<std::string> Value;
  bool Refuse = false;
  int Writes = 0;
};

struct Result {
  int Code = -1;
  std::string Out, Err;
};

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("qv-cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string P(const std::string& name) const { return (dir / name).string(); }

  Result Run(std::vector<std::string> args, TToolbarRecord* record = nullptr) {
    for (std::string& a : args)
      if (a.starts_with("@")) a = P(a.substr(1));  // "@x.bmp": a file in the test folder
    std::ostringstream out, err;
    Result r;
    r.Code = RunCommandLine(args, record, out, err);
    r.Out = out.str();
    r.Err = err.str();
    return r;
  }

  fs::path dir;
};

TEST_F(CommandLine, RenderWritesWhatTheWindowRendersForEachSetting) {
  struct Case {
    std::vector<std::string> Options;
    PreviewSettings Settings;
    TPictureSize Size;
  };
  const std::vector<Case> cases = {
      {{}, {}, {885, 147}},
      {{"--kind", "Horizonal"}, {clBlue, clSkyBlue, 1, false}, {885, 147}},
      {{"--kind", "RADIAL", "--reverse"}, {clBlue, clSkyBlue, 1, true}, {885, 147}},
      {{"--reverse", "--first", "clMaroon", "--second", "Money Green"},
       {0x000080, 0xC0DCC0, 0, true}, {885, 147}},
      {{"--first", "#FF8000", "--second", "clBtnFace", "--size", "40x7"},
       {0x0080FF, clBtnFace, 0, false}, {40, 7}},
      {{"--kind", "horizontal", "--dpi", "144"}, {clBlue, clSkyBlue, 1, false}, {1329, 221}},
      {{"--size", "1x1"}, {}, {1, 1}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"render"};
    args.insert(args.end(), c.Options.begin(), c.Options.end());
    args.push_back("@out.bmp");
    const Result r = Run(args);
    SCOPED_TRACE(::testing::PrintToString(c.Options));
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(r.Out, "Wrote " + P("out.bmp") + " (" + std::to_string(c.Size.Width) + " x " +
                         std::to_string(c.Size.Height) + ")\n");
    EXPECT_EQ(FileBytes(dir / "out.bmp"), Rendered(c.Settings, c.Size.Width, c.Size.Height));
  }
}

TEST_F(CommandLine, DefaultRenderIsTheStartUpPicture) {
  ASSERT_EQ(Run({"render", "@out.bmp"}).Code, 0);
  const TBitmap picture = LoadBitmapFromFile(P("out.bmp"));
  ASSERT_EQ(FileBytes(dir / "out.bmp").size(), 390486u);
  // Top row sky blue (second colour, position 0), bottom row blue.
  const uint8_t* top = picture.PixelRow(0);
  const uint8_t* bottom = picture.PixelRow(146);
  EXPECT_EQ((Bytes{top[0], top[1], top[2]}), (Bytes{0xF0, 0xCA, 0xA6}));
  EXPECT_EQ((Bytes{bottom[0], bottom[1], bottom[2]}), (Bytes{0xFF, 0x00, 0x00}));
}

TEST(CommandArguments, ColoursByEntryNameDisplayNameOrHex) {
  for (const char* text : {"clSkyBlue", "SkyBlue", "Sky Blue", "sky blue", "CLSKYBLUE", "#A6CAF0",
                           "#a6caf0"})
    EXPECT_EQ(ParseColorArgument(text), 0xF0CAA6) << text;
  EXPECT_EQ(ParseColorArgument("cl3DDkShadow"), SystemColor(0x15));
  EXPECT_EQ(ParseColorArgument("3 D Dk Shadow"), SystemColor(0x15));
  EXPECT_EQ(ParseColorArgument("Btn Face"), clBtnFace);
  EXPECT_EQ(ParseColorArgument("#000000"), 0);
  for (const char* bad : {"", "cl", "Foo", "#12345", "#1234567", "#GG0000", "Sky-Blue"})
    EXPECT_THROW(ParseColorArgument(bad), EConvertError) << bad;
}

TEST(CommandArguments, PreviewSizeFollowsTheWindowsScaling) {
  // 887 x 233 client area, 65 top panel, 19 status bar, 1-pixel bevel each
  // side, every length rounded to nearest at the DPI.
  EXPECT_EQ(PreviewSizeAtDpi(96), (TPictureSize{885, 147}));
  EXPECT_EQ(PreviewSizeAtDpi(120), (TPictureSize{1107, 184}));
  EXPECT_EQ(PreviewSizeAtDpi(144), (TPictureSize{1329, 221}));
  EXPECT_EQ(PreviewSizeAtDpi(192), (TPictureSize{1772, 296}));
  EXPECT_THROW(PreviewSizeAtDpi(5000), EConvertError);
}

TEST(CommandArguments, EffectStepsTakeExactlyTheirArguments) {
  const TEffectStep spot = ParseEffectStep("spotlight:64:10,-10,200,120");
  EXPECT_STREQ(spot.Effect->Name, "Effect_SpotLight");
  EXPECT_EQ(spot.Args.Amount, 64);
  EXPECT_EQ(spot.Args.Spot, (TRect{10, -10, 200, 120}));
  EXPECT_EQ(ParseEffectStep("EFFECT_CONTRAST:-40").Args.Amount, -40);
  EXPECT_STREQ(ParseEffectStep("Effect_invert").Effect->Name, "Effect_Invert");
  for (const char* bad : {"Invert:1", "Contrast", "Contrast:", "Contrast:1:2", "Contrast:2147483648",
                          "SpotLight:64", "SpotLight:64:1,2,3", "SpotLight:64:1,2,3,4,5", "Effect_",
                          "Sparkle", ""})
    EXPECT_THROW(ParseEffectStep(bad), EConvertError) << bad;
}

TEST_F(CommandLine, EffectGivesWhatTheEffectsByNameGive) {
  // An odd size and a system colour: any picture is taken, not only the preview's.
  ASSERT_EQ(Run({"render", "--size", "97x31", "--kind", "radial", "@in.bmp"}).Code, 0);
  const std::vector<std::pair<std::string, TEffectArgs>> chain = {
      {"Effect_GrayScale", {}},
      {"Effect_Contrast", {40, {}}},
      {"Effect_SpotLight", {64, {10, 5, 80, 25}}},
      {"Effect_AddMonoNoise", {30, {}}},
      {"Effect_Tile", {2, {}}},
      {"Effect_Invert", {}},
  };
  RandomSeed = 0;
  TProEffectImage image;
  image.AssignBitmap(LoadBitmapFromFile(P("in.bmp")));
  for (const auto& [name, args] : chain) InvokeEffect(image, name, args);
  const Bytes expected = EncodeBmp(*image.PictureBitmap());

  RandomSeed = 0;
  const Result r = Run({"effect", "@in.bmp", "@out.bmp", "GrayScale", "contrast:40",
                        "Effect_SpotLight:64:10,5,80,25", "AddMonoNoise:30", "TILE:2", "Invert"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "Wrote " + P("out.bmp") + " (97 x 31)\n");
  EXPECT_EQ(FileBytes(dir / "out.bmp"), expected);

  // The real program starts with the noise seed at 0, as the window does.
  const std::string command = std::string(QV_CLI_EXE) + " effect " + P("in.bmp") + " " +
                              P("exe.bmp") + " GrayScale Contrast:40 SpotLight:64:10,5,80,25 " +
                              "AddMonoNoise:30 Tile:2 Invert >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(FileBytes(dir / "exe.bmp"), expected);
}

TEST_F(CommandLine, EffectOnALoadedPictureKeepsItsFileForm) {
  // An 8-bit picture is read as Load reads it; the effects make it 24 bits.
  TBitmap grey;
  grey.SetPixelFormat(TPixelFormat::pf24bit);
  grey.SetSize(5, 3);
  grey.SetPixelFormat(TPixelFormat::pf8bit);
  WriteBytes(dir / "in.bmp", EncodeBmp(grey));
  ASSERT_EQ(Run({"effect", "@in.bmp", "@out.bmp", "Invert"}).Code, 0);
  TProEffectImage image;
  image.AssignBitmap(LoadBitmapFromFile(P("in.bmp")));
  image.Effect_Invert();
  EXPECT_EQ(FileBytes(dir / "out.bmp"), EncodeBmp(*image.PictureBitmap()));
  EXPECT_EQ(LoadBitmapFromFile(P("out.bmp")).PixelBits(), 24);
}

TEST_F(CommandLine, FailuresExitWithTheirTextAndLeaveOutAsItWas) {
  ASSERT_EQ(Run({"render", "@in.bmp"}).Code, 0);
  WriteBytes(dir / "png.bmp", Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'});
  WriteBytes(dir / "short.bmp", Bytes{'B', 'M', 0, 0, 0});
  const Bytes old{'o', 'l', 'd'};
  struct Case {
    std::vector<std::string> Args;
    std::string Err;
  };
  const std::vector<Case> cases = {
      {{"effect", "@in.bmp", "@out.bmp", "Invert", "Sparkle"}, "Unknown effect 'Sparkle'\n"},
      {{"effect", "@in.bmp", "@out.bmp", "Contrast"},
       "Effect_Contrast takes an amount: Contrast:AMOUNT.\n"},
      {{"effect", "@in.bmp", "@out.bmp", "Contrast:4x"}, "'4x' is not a valid integer value.\n"},
      {{"effect", "@in.bmp", "@out.bmp", "Invert:3"}, "Effect_Invert takes no arguments: Invert.\n"},
      {{"effect", "@in.bmp", "@out.bmp", "SpotLight:64:1,2,3"},
       "Effect_SpotLight takes an amount and a rectangle: "
       "SpotLight:AMOUNT:LEFT,TOP,RIGHT,BOTTOM.\n"},
      // The first pixel's blue is 0xF0: v / 0 with v > 0.
      {{"effect", "@in.bmp", "@out.bmp", "Invert", "Posterize:0"},
       "Floating point division by zero.\n"},
      {{"effect", "@missing.bmp", "@out.bmp", "Invert"},
       "Cannot open file \"" + P("missing.bmp") + "\". No such file or directory.\n"},
      {{"effect", "@png.bmp", "@out.bmp", "Invert"}, "Bitmap image is not valid.\n"},
      {{"effect", "@short.bmp", "@out.bmp", "Invert"}, "Stream read error.\n"},
      {{"render", "--first", "Foo", "@out.bmp"},
       "'Foo' is not a colour name of the colour box or #RRGGBB.\n"},
      {{"render", "--kind", "diagonal", "@out.bmp"},
       "'diagonal' is not a gradient kind (Vertical or Horizonal)\n"},
      {{"render", "--size", "0x5", "@out.bmp"},
       "'0x5' is not a picture size (WxH, each from 1 to 16384)\n"},
      {{"render", "--dpi", "abc", "@out.bmp"}, "'abc' is not a valid DPI.\n"},
      {{"render", "--dpi", "5000", "@out.bmp"}, "'5000' is not a valid DPI.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Args));
    WriteBytes(dir / "out.bmp", old);
    const Result r = Run(c.Args);
    EXPECT_EQ(r.Code, kExitFailed);
    EXPECT_EQ(r.Err, c.Err);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(FileBytes(dir / "out.bmp"), old);
  }
  // A missing folder: the file cannot be created, nothing appears.
  const Result r = Run({"render", "@no/such/out.bmp"});
  EXPECT_EQ(r.Code, kExitFailed);
  EXPECT_EQ(r.Err, "Cannot create file \"" + P("no/such/out.bmp") + "\". No such file or directory.\n");
  EXPECT_FALSE(fs::exists(dir / "no"));
  EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(dir), {}).size(), 4u)
      << "in, out, png, short: no temporary file left";
}

TEST_F(CommandLine, UsageErrorsGiveOneLineOfHintAndExitTwo) {
  FakeRecord record;
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frob"},
      {"render"},
      {"render", "--bogus", "@out.bmp"},
      {"render", "--size", "10x10", "--dpi", "96", "@out.bmp"},
      {"render", "@out.bmp", "@extra.bmp"},
      {"effect", "@in.bmp", "@out.bmp"},
      {"apply", "--picture", "@in.bmp", "--first", "clRed", "@out.bmp"},
      {"apply", "--picture", "@in.bmp", "--size", "885x147", "@out.bmp"},
      {"show", "extra"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const Result r = Run(args, &record);
    EXPECT_EQ(r.Code, kExitUsage);
    EXPECT_EQ(r.Out, "");
    ASSERT_FALSE(r.Err.empty());
    EXPECT_TRUE(r.Err.starts_with("quorvane: ")) << r.Err;
    EXPECT_TRUE(r.Err.ends_with(". Try 'quorvane --help'.\n")) << r.Err;
    EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << r.Err;
  }
  EXPECT_EQ(Run({"frob"}).Err, "quorvane: unknown command 'frob'. Try 'quorvane --help'.\n");
  EXPECT_FALSE(fs::exists(dir / "out.bmp"));
  EXPECT_EQ(record.Writes, 0);
}

TEST_F(CommandLine, HelpListsEveryCommandAndOptionAndVersionPrintsIt) {
  const Result help = Run({"--help"});
  EXPECT_EQ(help.Code, 0);
  for (const char* word : {"render", "apply", "default", "show", "effect", "--first", "--second",
                           "--kind", "--reverse", "--size", "--dpi", "--picture", "--version",
                           "Examples:", "SpotLight:N:LEFT,TOP,RIGHT,BOTTOM"})
    EXPECT_NE(help.Out.find(word), std::string::npos) << word;
  for (const TEffectInfo& e : PublishedEffects())
    EXPECT_NE(help.Out.find(std::string(e.Name).substr(7)), std::string::npos) << e.Name;
  EXPECT_EQ(Run({"/?"}).Out, help.Out);
  const Result version = Run({"--version"});
  EXPECT_EQ(version.Code, 0);
  EXPECT_EQ(version.Out, "Quorvane 1.0.0\n");
}

TEST_F(CommandLine, WithoutARegistryApplyDefaultAndShowSayTheyNeedWindows) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"apply", "@out.bmp"}, {"apply", "--picture", "@in.bmp", "@out.bmp"}, {"default"}, {"show"}}) {
    const Result r = Run(args);
    EXPECT_EQ(r.Code, kExitUsage);
    EXPECT_EQ(r.Err, "quorvane: '" + args[0] +
                         "' needs Windows: the toolbar background is recorded in the Windows registry\n");
  }
  EXPECT_FALSE(fs::exists(dir / "out.bmp"));
}

TEST_F(CommandLine, ApplyWritesAndRecordsTheFullPath) {
  FakeRecord record;
  const Result r = Run({"apply", "--first", "clMaroon", "--second", "clCream", "@out.bmp"}, &record);
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, std::string(kStatusApplied) + ": " + P("out.bmp") + "\n");
  EXPECT_EQ(record.Value, P("out.bmp"));
  EXPECT_EQ(FileBytes(dir / "out.bmp"), Rendered({0x000080, 0xF0FBFF, 0, false}, 885, 147));

  EXPECT_EQ(Run({"show"}, &record).Out, P("out.bmp") + "\n");
  const Result d = Run({"default"}, &record);
  EXPECT_EQ(d.Code, 0);
  EXPECT_EQ(d.Out, std::string(kStatusDefaultRestored) + "\n");
  EXPECT_EQ(record.Value, "");
  EXPECT_TRUE(fs::exists(dir / "out.bmp")) << "Default deletes no file";
  EXPECT_EQ(Run({"show"}, &record).Out, "No toolbar background is set\n");
  record.Value.reset();
  EXPECT_EQ(Run({"show"}, &record).Out, "No toolbar background is set\n");
}

TEST_F(CommandLine, ApplyPictureChecksTheSizeAsLoadDoes) {
  FakeRecord record;
  ASSERT_EQ(Run({"render", "--kind", "radial", "@right.bmp"}).Code, 0);
  ASSERT_EQ(Run({"render", "--size", "886x147", "@wide.bmp"}).Code, 0);
  ASSERT_EQ(Run({"render", "--size", "885x146", "@low.bmp"}).Code, 0);
  ASSERT_EQ(Run({"render", "--dpi", "144", "@big.bmp"}).Code, 0);

  const Result ok = Run({"apply", "--picture", "@right.bmp", "@out.bmp"}, &record);
  ASSERT_EQ(ok.Code, 0) << ok.Err;
  EXPECT_EQ(FileBytes(dir / "out.bmp"), FileBytes(dir / "right.bmp")) << "written back as read";
  EXPECT_EQ(record.Value, P("out.bmp"));

  const Bytes old = FileBytes(dir / "out.bmp");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"apply", "--picture", "@wide.bmp", "@out.bmp"},
           {"apply", "--picture", "@low.bmp", "@out.bmp"},
           {"apply", "--picture", "@right.bmp", "--dpi", "144", "@out.bmp"}}) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const Result r = Run(args, &record);
    EXPECT_EQ(r.Code, kExitFailed);
    EXPECT_EQ(r.Err, std::string(kStatusNotCompatible) + "\n");
    EXPECT_EQ(FileBytes(dir / "out.bmp"), old);
  }
  EXPECT_EQ(record.Writes, 1);
  const Result big = Run({"apply", "--picture", "@big.bmp", "--dpi", "144", "@big-out.bmp"}, &record);
  EXPECT_EQ(big.Code, 0) << big.Err;
  EXPECT_EQ(record.Value, P("big-out.bmp"));
}

TEST_F(CommandLine, ARefusedRegistryWriteLeavesNoFileBehind) {
  FakeRecord record;
  record.Refuse = true;
  record.Value = "before";
  const Result fresh = Run({"apply", "@new.bmp"}, &record);
  EXPECT_EQ(fresh.Code, kExitFailed);
  EXPECT_EQ(fresh.Err, "Failed to set data for 'BackBitmapShell'\n");
  EXPECT_FALSE(fs::exists(dir / "new.bmp"));

  const Bytes old{'o', 'l', 'd'};
  WriteBytes(dir / "old.bmp", old);
  ASSERT_EQ(Run({"render", "@in.bmp"}).Code, 0);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"apply", "@old.bmp"}, {"apply", "--picture", "@in.bmp", "@old.bmp"}}) {
    const Result r = Run(args, &record);
    EXPECT_EQ(r.Code, kExitFailed);
    EXPECT_EQ(FileBytes(dir / "old.bmp"), old);
  }
  EXPECT_EQ(Run({"default"}, &record).Code, kExitFailed);
  EXPECT_EQ(record.Value, "before");
  EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(dir), {}).size(), 2u);
}

TEST_F(CommandLine, ReadmeExamplesRunAsWritten) {
  const std::vector<std::string> lines = test::ReadmeCommandLines(std::string(QV_SOURCE_DIR) + "/README.md");
  ASSERT_GE(lines.size(), 5u);
  const std::string bin = fs::path(QV_CLI_EXE).parent_path().string();
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    const std::string command = "cd '" + dir.string() + "' && PATH='" + bin + "':\"$PATH\" " + line +
                                " >/dev/null 2>err.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    const Bytes errBytes = FileBytes(dir / "err.txt");
    const std::string err(errBytes.begin(), errBytes.end());
    EXPECT_EQ(WEXITSTATUS(status), test::NeedsWindows(line) ? kExitUsage : kExitSucceeded) << err;
  }
  EXPECT_TRUE(fs::exists(dir / "framed.bmp"));
  EXPECT_TRUE(fs::exists(dir / "big.bmp"));
}

}  // namespace
}  // namespace qv
