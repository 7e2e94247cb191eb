// Conversions between the program's UTF-8 strings and the wide strings of
// the Win32 API.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv::win {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The text in the system's ANSI code page, or nothing when some character
// has no exact representation there (a best-fit substitute would name a
// different file).
std::optional<std::string> ToAnsi(std::wstring_view wide);

}  // namespace qv::win
