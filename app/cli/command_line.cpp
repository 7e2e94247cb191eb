#include "app/cli/command_line.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <new>
#include <ostream>
#include <system_error>

#include "app/background_store.h"
#include "app/cli/command_arguments.h"
#include "app/preview_rendering.h"
#include "effects/effect_image.h"
#include "effects/effect_registry.h"
#include "imaging/bmp.h"
#include "imaging/exceptions.h"
#include "imaging/file_io.h"
#include "imaging/gradient.h"

#ifndef QV_VERSION
#define QV_VERSION "1.0.0"
#endif

namespace qv {

namespace {

constexpr const char* kHelpHint = "Try 'quorvane --help'.";

constexpr const char* kExamples = R"(Examples:
  quorvane render --first clNavy --second "Sky Blue" --kind Horizonal sky.bmp
  quorvane render --first "#204080" --second clBtnFace --reverse --dpi 144 big.bmp
  quorvane effect sky.bmp framed.bmp GrayScale Contrast:40 SpotLight:64:10,10,874,136
  quorvane apply --first clMaroon --second clCream toolbar.bmp
  quorvane apply --picture framed.bmp toolbar.bmp
  quorvane show
  quorvane default

Exit status: 0 done, 1 the command failed (its error is shown), 2 wrong usage.
COLOUR is a colour box entry (clSkyBlue), its name (SkyBlue, "Sky Blue") or #RRGGBB.
Effects: Invert, AddColorNoise:N, AddMonoNoise:N, AntiAlias, Contrast:N, FishEye:N,
GrayScale, Lightness:N, Darkness:N, Saturation:N, SplitBlur:N, GaussianBlur:N,
Mosaic:N, Twist:N, Splitlight:N, Tile:N, SpotLight:N:LEFT,TOP,RIGHT,BOTTOM, Trace:N,
Emboss, Solorize:N, Posterize:N (with or without "Effect_", in any case).)";

// The settings of the window's controls, as the command line gives them.
struct TPictureOptions {
  std::string First, Second, Kind, Size, Dpi;
  bool Reverse = false;
};

void AddPictureOptions(CLI::App& command, TPictureOptions& options, bool withSize) {
  command.add_option("--first", options.First, "first colour (default clBlue)")->type_name("COLOUR");
  command.add_option("--second", options.Second, "second colour (default clSkyBlue)")
      ->type_name("COLOUR");
  command.add_option("--kind", options.Kind, "Vertical (default) or Horizonal (also radial)")
      ->type_name("KIND");
  command.add_flag("--reverse", options.Reverse, "swap the two ends of the gradient");
  CLI::Option* dpi = command.add_option("--dpi", options.Dpi,
                                        "the preview's size at this DPI (default 96: 885x147)")
                         ->type_name("N");
  if (withSize)
    command.add_option("--size", options.Size, "picture size in pixels (default 885x147)")
        ->type_name("WxH")
        ->excludes(dpi);
}

bool HasGradientOptions(const TPictureOptions& o) {
  return !o.First.empty() || !o.Second.empty() || !o.Kind.empty() || o.Reverse || !o.Size.empty();
}

TPictureSize PictureSize(const TPictureOptions& o) {
  if (!o.Size.empty()) return ParseSizeArgument(o.Size);
  if (!o.Dpi.empty()) return PreviewSizeAtDpi(ParseDpiArgument(o.Dpi));
  return kPreviewSize96;
}

// Every value is checked before anything is painted or written.
TBitmap RenderFromOptions(const TPictureOptions& o) {
  PreviewSettings settings;  // the window's start-up settings
  if (!o.First.empty()) settings.FirstColor = ParseColorArgument(o.First);
  if (!o.Second.empty()) settings.SecondColor = ParseColorArgument(o.Second);
  if (!o.Kind.empty()) settings.KindIndex = ParseKindArgument(o.Kind);
  settings.Reverse = o.Reverse;
  const TPictureSize size = PictureSize(o);
  // A gradient as the window's klvgrdnt1 starts: no stops, linear, not
  // reversed, angle 0.
  TKelvoGradient gradient;
  return RenderPreview(gradient, settings, size.Width, size.Height);
}

std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// What OUT held before apply replaced it, so that a refused registry write
// leaves the file as it was (the window leaves the new file in place; a
// script wants the command to have done nothing).
class TFileUndo {
 public:
  explicit TFileUndo(std::string path) : path_(std::move(path)) {
    std::error_code error;
    const auto status = std::filesystem::status(FsPath(path_), error);
    existed_ = std::filesystem::exists(status);
    // Devices, pipes and folders are never replaced by the writer; only a
    // file can need its bytes back.
    if (!existed_ || !std::filesystem::is_regular_file(status)) return;
    TFileContents old = ReadFileContents(path_, kMaxBmpFileBytes);
    if (old.Size > old.Bytes.size())
      throw EFCreateError(FileErrorText(kCannotCreateFileMessage, path_,
                                        "The file is too large to be kept while it is replaced"));
    bytes_ = std::move(old.Bytes);
    keep_ = true;
  }

  void Restore() noexcept {
    try {
      if (keep_) {
        WriteFileReplacing(path_, bytes_);
      } else if (!existed_) {
        std::error_code ignored;
        std::filesystem::remove(FsPath(path_), ignored);
      }
    } catch (...) {
      // The original failure is the one to report.
    }
  }

 private:
  std::string path_;
  bool existed_ = false;
  bool keep_ = false;
  std::vector<uint8_t> bytes_;
};

// What the background store asks of the window, answered from the command
// line: the "dialogs" return the named files, the preview is a picture held
// here, the status is remembered for the one line printed at the end.
class TCommandLineHost : public TBackgroundHost {
 public:
  TCommandLineHost(TToolbarRecord& record, TPictureSize preview)
      : record_(record), preview_(preview) {}

  std::string OpenPath, SavePath;  // full paths, as the dialogs give them
  std::string Status;
  TFileUndo* Undo = nullptr;

  std::optional<std::string> ExecuteSaveDialog() override { return SavePath; }
  std::optional<std::string> ExecuteOpenDialog() override { return OpenPath; }
  void WriteToolbarBitmap(const std::string& path) override {
    try {
      record_.Write(path);
    } catch (...) {
      if (Undo) Undo->Restore();
      throw;
    }
  }
  const TBitmap& PreviewPicture() const override { return picture_; }
  void SetPreviewPicture(TBitmap picture) override { picture_ = std::move(picture); }
  int PreviewWidth() const override { return preview_.Width; }
  int PreviewHeight() const override { return preview_.Height; }
  void SetStatusText(const std::string& text) override { Status = text; }

 private:
  TToolbarRecord& record_;
  TPictureSize preview_;
  TBitmap picture_;
};

// A failure of the command with the window's own text, shown as is.
struct TCommandFailure {
  std::string Text;
};

std::string SizeText(const TBitmap& picture) {
  return std::to_string(picture.Width()) + " x " + std::to_string(picture.Height());
}

void RunRender(const TPictureOptions& options, const std::string& outPath, std::ostream& out) {
  const TBitmap picture = RenderFromOptions(options);
  SaveBitmapToFile(picture, outPath);
  out << "Wrote " << ExpandFileName(outPath) << " (" << SizeText(picture) << ")\n";
}

void RunApply(const TPictureOptions& options, const std::string& picturePath,
              const std::string& outPath, TToolbarRecord& record, std::ostream& out) {
  if (!picturePath.empty() && HasGradientOptions(options))
    throw CLI::ExcludesError("--picture", "the gradient options");
  const TPictureSize preview =
      options.Dpi.empty() ? kPreviewSize96 : PreviewSizeAtDpi(ParseDpiArgument(options.Dpi));
  TCommandLineHost host(record, preview);
  if (picturePath.empty()) {
    host.SetPreviewPicture(RenderFromOptions(options));
  } else {
    host.OpenPath = ExpandFileName(picturePath);
    LoadBackground(host);
    if (host.Status != kStatusLoaded) throw TCommandFailure{host.Status};
  }
  host.SavePath = ExpandFileName(outPath);
  TFileUndo undo(host.SavePath);
  host.Undo = &undo;
  ApplyBackground(host);
  out << host.Status << ": " << host.SavePath << "\n";
}

void RunEffects(const std::string& inPath, const std::string& outPath,
                const std::vector<std::string>& steps, std::ostream& out) {
  std::vector<TEffectStep> chain;
  for (const std::string& step : steps) chain.push_back(ParseEffectStep(step));
  TProEffectImage image;
  image.AssignBitmap(LoadBitmapFromFile(inPath));
  for (const TEffectStep& step : chain) InvokeEffect(image, step.Effect->Name, step.Args);
  const TBitmap* result = image.PictureBitmap();
  const TBitmap empty;
  SaveBitmapToFile(result ? *result : empty, outPath);
  out << "Wrote " << ExpandFileName(outPath) << " (" << SizeText(result ? *result : empty) << ")\n";
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

int UsageError(std::ostream& err, const std::string& what) {
  err << "quorvane: " << OneLine(what) << ". " << kHelpHint << "\n";
  return kExitUsage;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, TToolbarRecord* record, std::ostream& out,
                   std::ostream& err) {
  CLI::App app("Quorvane sets the background picture of the Windows Explorer toolbar: a "
               "two-colour gradient, or a BMP file of the preview's size.",
               "quorvane");
  app.ignore_case();
  app.option_defaults()->ignore_case();
  app.set_version_flag("--version", std::string("Quorvane ") + QV_VERSION);
  app.require_subcommand(1);
  app.footer(kExamples);

  TPictureOptions options;
  std::string outPath, inPath, picturePath;
  std::vector<std::string> steps;

  CLI::App* render = app.add_subcommand("render", "write the picture the window renders");
  AddPictureOptions(*render, options, true);
  render->add_option("OUT", outPath, "the BMP file to write")->required()->type_name("OUT.bmp");

  CLI::App* apply = app.add_subcommand(
      "apply", "what Apply does: write the picture and record it as the toolbar background");
  AddPictureOptions(*apply, options, true);
  apply->add_option("--picture", picturePath,
                    "apply this BMP instead of a gradient (the preview's size at --dpi)")
      ->type_name("IN.bmp");
  apply->add_option("OUT", outPath, "the BMP file to write and record")
      ->required()
      ->type_name("OUT.bmp");

  CLI::App* restore = app.add_subcommand("default", "what Default does: the default toolbar look");
  CLI::App* show = app.add_subcommand("show", "print the recorded toolbar background");

  CLI::App* effect = app.add_subcommand(
      "effect", "read IN, apply the named effects in order, write OUT");
  effect->add_option("IN", inPath, "the BMP file to read (any size)")->required()->type_name("IN.bmp");
  effect->add_option("OUT", outPath, "the BMP file to write")->required()->type_name("OUT.bmp");
  effect->add_option("EFFECT", steps, "NAME, NAME:AMOUNT or SpotLight:AMOUNT:L,T,R,B")
      ->required()
      ->type_name("NAME[:ARGS]");

  // "/?" is how Windows programs are asked for their help.
  if (args.size() == 1 && args[0] == "/?") {
    out << app.help("", CLI::AppFormatMode::All);
    return kExitSucceeded;
  }
  if (!args.empty() && !args[0].empty() && args[0][0] != '-') {
    bool known = false;
    for (const CLI::App* command : app.get_subcommands({}))
      known = known || command->check_name(args[0]);
    if (!known) return UsageError(err, "unknown command '" + args[0] + "'");
  }

  std::vector<const char*> argv{"quorvane"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::CallForHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return kExitSucceeded;
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return kExitSucceeded;
  } catch (const CLI::CallForVersion&) {
    out << "Quorvane " << QV_VERSION << "\n";
    return kExitSucceeded;
  } catch (const CLI::ParseError& e) {
    return UsageError(err, e.what());
  }

  const bool needsRecord = apply->parsed() || restore->parsed() || show->parsed();
  if (needsRecord && !record) {
    const std::string name = app.get_subcommands().at(0)->get_name();
    err << "quorvane: '" << name
        << "' needs Windows: the toolbar background is recorded in the Windows registry\n";
    return kExitUsage;
  }

  try {
    if (render->parsed()) {
      RunRender(options, outPath, out);
    } else if (apply->parsed()) {
      RunApply(options, picturePath, outPath, *record, out);
    } else if (restore->parsed()) {
      TCommandLineHost host(*record, kPreviewSize96);
      DefaultBackground(host);
      out << host.Status << "\n";
    } else if (show->parsed()) {
      const std::optional<std::string> value = record->Read();
      if (value && !value->empty())
        out << *value << "\n";
      else
        out << "No toolbar background is set\n";
    } else if (effect->parsed()) {
      RunEffects(inPath, outPath, steps, out);
    }
  } catch (const CLI::ParseError& e) {
    return UsageError(err, e.what());
  } catch (const TCommandFailure& failure) {
    err << failure.Text << "\n";
    return kExitFailed;
  } catch (const Exception& e) {
    err << ShownErrorText(e.Message()) << "\n";
    return kExitFailed;
  } catch (const std::bad_alloc&) {
    err << ShownErrorText("Out of memory") << "\n";
    return kExitFailed;
  }
  return kExitSucceeded;
}

}  // namespace qv
