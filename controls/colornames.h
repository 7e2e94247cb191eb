// The named colours a colour box offers, in the order it lists them.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "imaging/color.h"

namespace qv {

struct TColorName {
  std::string_view Identifier;  // "clBlack"
  TColor Value;
};

inline constexpr int kColorTableRows = 52;

// Rows 0-15 are the standard colours, 16-19 the extended ones and 20-51 the
// system colours (with clDefault and clNone among them, at rows 29 and 45).
const std::array<TColorName, kColorTableRows>& ColorTable();

// The identifier made readable: a leading "cl" dropped and a blank before
// every capital after the first character ("clMoneyGreen" -> "Money Green",
// "cl3DDkShadow" -> "3 D Dk Shadow").
std::string PrettyColorName(std::string_view identifier);

}  // namespace qv
