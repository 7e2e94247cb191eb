#include "toolkit/text.h"

#include "toolkit/win.h"

namespace qv::win {

std::optional<std::string> ToAnsi(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                              static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return std::nullopt;
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                      out.data(), n, nullptr, &lossy);
  // Round trip as well: some code pages map without the flag ever being set.
  int back = MultiByteToWideChar(CP_ACP, 0, out.data(), n, nullptr, 0);
  std::wstring check(static_cast<size_t>(back), L'\0');
  MultiByteToWideChar(CP_ACP, 0, out.data(), n, check.data(), back);
  if (lossy || check != wide) return std::nullopt;
  return out;
}

}  // namespace qv::win
