#include "app/cli/command_arguments.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "controls/colornames.h"
#include "imaging/bmp.h"
#include "imaging/exceptions.h"

namespace qv {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  return true;
}

// "clSkyBlue", "SkyBlue", "sky blue" and "Sky Blue" all become "skyblue".
std::string ColorKey(std::string_view name) {
  std::string key;
  for (char c : name)
    if (c != ' ') key.push_back(LowerAscii(c));
  if (key.starts_with("cl")) key.erase(0, 2);
  return key;
}

std::string Quoted(std::string_view text) {
  std::string quoted(1, '\'');
  quoted.append(text).push_back('\'');
  return quoted;
}

bool ParseInt(std::string_view text, int32_t& value) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return !text.empty() && error == std::errc() && stop == end;
}

int32_t ParseInteger(std::string_view text) {
  int32_t value = 0;
  if (!ParseInt(text, value)) throw EConvertError(Quoted(text) + " is not a valid integer value");
  return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + 1;
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = LowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// value x dpi / 96 rounded to nearest, as the window scales its layout.
int Scale(int value96, int dpi) {
  return static_cast<int>((static_cast<int64_t>(value96) * dpi + 48) / 96);
}

}  // namespace

TColor ParseColorArgument(std::string_view text) {
  if (text.size() == 7 && text[0] == '#') {
    uint32_t rgb = 0;
    bool hex = true;
    for (size_t i = 1; i < 7; ++i) {
      const int digit = HexDigit(text[i]);
      hex = hex && digit >= 0;
      rgb = rgb << 4 | static_cast<uint32_t>(digit < 0 ? 0 : digit);
    }
    // #RRGGBB as written on the web; a TColor holds blue in its high byte.
    if (hex) return static_cast<TColor>((rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16));
  } else {
    const std::string key = ColorKey(text);
    for (const TColorName& entry : ColorTable())
      if (!key.empty() && ColorKey(entry.Identifier) == key) return entry.Value;
  }
  throw EConvertError(Quoted(text) + " is not a colour name of the colour box or #RRGGBB");
}

int ParseKindArgument(std::string_view text) {
  const std::string key = ColorKey(text);  // lower case, no blanks
  if (key == "vertical") return 0;
  if (key == "horizonal" || key == "horizontal" || key == "radial") return 1;
  throw EConvertError(Quoted(text) + " is not a gradient kind (Vertical or Horizonal)");
}

TPictureSize ParseSizeArgument(std::string_view text) {
  const size_t x = text.find_first_of("xX");
  int32_t w = 0, h = 0;
  if (x == std::string_view::npos || !ParseInt(text.substr(0, x), w) ||
      !ParseInt(text.substr(x + 1), h) || w < 1 || h < 1 || w > kMaxBmpDimension ||
      h > kMaxBmpDimension)
    throw EConvertError(Quoted(text) + " is not a picture size (WxH, each from 1 to " +
                        std::to_string(kMaxBmpDimension) + ")");
  return {w, h};
}

int ParseDpiArgument(std::string_view text) {
  int32_t dpi = 0;
  if (!ParseInt(text, dpi) || dpi < 1) throw EConvertError(Quoted(text) + " is not a valid DPI");
  return dpi;
}

TPictureSize PreviewSizeAtDpi(int dpi) {
  // The main window's client area is 887 x 233 at 96 dpi; the top panel
  // takes 65 of its height and the status bar 19; the preview fills the
  // lower panel inside its bevel, which stays one pixel at every DPI.
  const TPictureSize size{Scale(887, dpi) - 2,
                          Scale(233, dpi) - Scale(65, dpi) - Scale(19, dpi) - 2};
  if (dpi < 1 || size.Width < 1 || size.Height < 1 || size.Width > kMaxBmpDimension ||
      size.Height > kMaxBmpDimension)
    throw EConvertError(Quoted(std::to_string(dpi)) + " is not a valid DPI");
  return size;
}

TEffectStep ParseEffectStep(std::string_view text) {
  const std::vector<std::string_view> parts = Split(text, ':');
  const std::string_view given = parts[0];
  const std::string name =
      StartsWithIgnoringCase(given, "Effect_") ? std::string(given) : "Effect_" + std::string(given);
  TEffectStep step;
  step.Effect = FindEffect(name);
  if (!step.Effect) throw EConvertError(UnknownEffectText(given));

  const std::string published = step.Effect->Name;
  const std::string shortName = published.substr(7);  // without "Effect_"
  switch (step.Effect->Params) {
    case TEffectParams::epNone:
      if (parts.size() != 1) throw EConvertError(published + " takes no arguments: " + shortName);
      break;
    case TEffectParams::epAmount:
      if (parts.size() != 2)
        throw EConvertError(published + " takes an amount: " + shortName + ":AMOUNT");
      step.Args.Amount = ParseInteger(parts[1]);
      break;
    case TEffectParams::epAmountSpot: {
      const std::vector<std::string_view> spot =
          parts.size() == 3 ? Split(parts[2], ',') : std::vector<std::string_view>{};
      if (spot.size() != 4)
        throw EConvertError(published + " takes an amount and a rectangle: " + shortName +
                            ":AMOUNT:LEFT,TOP,RIGHT,BOTTOM");
      step.Args.Amount = ParseInteger(parts[1]);
      step.Args.Spot = TRect{ParseInteger(spot[0]), ParseInteger(spot[1]), ParseInteger(spot[2]),
                             ParseInteger(spot[3])};
      break;
    }
  }
  return step;
}

}  // namespace qv
