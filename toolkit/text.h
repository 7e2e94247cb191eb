// Text in the forms the Win32 API wants: wide strings (the core's Windows
// half converts them), and the ANSI bytes the registry value is written in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "imaging/win32/wide_text.h"

namespace qv::win {

// The text in the system's ANSI code page, or nothing when some character
// has no exact representation there (a best-fit substitute would name a
// different file).
std::optional<std::string> ToAnsi(std::wstring_view wide);

}  // namespace qv::win
