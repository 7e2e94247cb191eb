#include "controls/colornames.h"

namespace qv {

namespace {

constexpr std::array<TColorName, kColorTableRows> kTable = {{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clActiveBorder", SystemColor(0x0A)},
    {"clActiveCaption", SystemColor(0x02)},
    {"clAppWorkSpace", SystemColor(0x0C)},
    {"clBackground", SystemColor(0x01)},
    {"clBtnFace", SystemColor(0x0F)},
    {"clBtnHighlight", SystemColor(0x14)},
    {"clBtnShadow", SystemColor(0x10)},
    {"clBtnText", SystemColor(0x12)},
    {"clCaptionText", SystemColor(0x09)},
    {"clDefault", clDefault},
    {"clGradientActiveCaption", SystemColor(0x1B)},
    {"clGradientInactiveCaption", SystemColor(0x1C)},
    {"clGrayText", SystemColor(0x11)},
    {"clHighlight", SystemColor(0x0D)},
    {"clHighlightText", SystemColor(0x0E)},
    {"clHotLight", SystemColor(0x1A)},
    {"clInactiveBorder", SystemColor(0x0B)},
    {"clInactiveCaption", SystemColor(0x03)},
    {"clInactiveCaptionText", SystemColor(0x13)},
    {"clInfoBk", SystemColor(0x18)},
    {"clInfoText", SystemColor(0x17)},
    {"clMenu", SystemColor(0x04)},
    {"clMenuBar", SystemColor(0x1E)},
    {"clMenuHighlight", SystemColor(0x1D)},
    {"clMenuText", SystemColor(0x07)},
    {"clNone", clNone},
    {"clScrollBar", SystemColor(0x00)},
    {"cl3DDkShadow", SystemColor(0x15)},
    {"cl3DLight", SystemColor(0x16)},
    {"clWindow", SystemColor(0x05)},
    {"clWindowFrame", SystemColor(0x06)},
    {"clWindowText", SystemColor(0x08)},
}};

}  // namespace

const std::array<TColorName, kColorTableRows>& ColorTable() { return kTable; }

std::string PrettyColorName(std::string_view identifier) {
  if (identifier.substr(0, 2) == "cl") identifier.remove_prefix(2);
  std::string name;
  for (char ch : identifier) {
    if (ch >= 'A' && ch <= 'Z' && !name.empty()) name.push_back(' ');
    name.push_back(ch);
  }
  return name;
}

}  // namespace qv
