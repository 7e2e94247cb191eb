// Conversions between the program's UTF-8 strings and the wide strings of
// the Win32 API: the file layer and the window layer use these alike.
#pragma once

#include <string>
#include <string_view>

namespace qv::win {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace qv::win
