#include "app/win32/toolbar_registry.h"

#include <algorithm>
#include <optional>

#include "app/background_store.h"
#include "imaging/exceptions.h"
#include "toolkit/handles.h"
#include "toolkit/text.h"
#include "toolkit/win.h"

namespace qv {

namespace {

// The path as the ANSI value can hold it: as it is, else the file's short
// path when the file system keeps one in characters of the code page.
std::optional<std::string> AnsiPathOf(const std::wstring& path) {
  if (std::optional<std::string> ansi = win::ToAnsi(path)) return ansi;
  const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::wstring shortPath(needed, L'\0');
  const DWORD length = GetShortPathNameW(path.c_str(), shortPath.data(), needed);
  if (length == 0 || length >= needed) return std::nullopt;
  shortPath.resize(length);
  return win::ToAnsi(shortPath);
}

}  // namespace

void WriteToolbarBitmapValue(const std::string& utf8Path) {
  const std::optional<std::string> ansi = AnsiPathOf(win::Widen(utf8Path));
  if (!ansi) throw EOSError(SetDataFailedText());

  // The key path is absolute from the root: the leading separator goes, the
  // trailing one stays. Whether opening worked is not checked here: setting
  // the value fails too when it did not, and that is the failure reported.
  const std::string keyPath = std::string(kToolbarKeyPath).substr(1);
  win::RegKey key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
    key.Release();
  }
  const LONG set = key.Get()
      ? RegSetValueExA(key.Get(), kToolbarValueName, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(ansi->c_str()),
                       static_cast<DWORD>(ansi->size() + 1))
      : ERROR_INVALID_HANDLE;
  if (set != ERROR_SUCCESS) throw EOSError(SetDataFailedText());
}

std::optional<std::string> ReadToolbarBitmapValue() {
  const std::string keyPath = std::string(kToolbarKeyPath).substr(1);
  win::RegKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.Put()) !=
      ERROR_SUCCESS) {
    key.Release();
    return std::nullopt;
  }
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key.Get(), kToolbarValueName, nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    throw EOSError(std::string(kToolbarValueName) + " does not hold a path");
  std::string ansi(size, '\0');
  if (RegQueryValueExA(key.Get(), kToolbarValueName, nullptr, &type,
                       reinterpret_cast<BYTE*>(ansi.data()), &size) != ERROR_SUCCESS)
    return std::nullopt;
  // Stored with its zero byte, or by another program perhaps without one.
  ansi.resize(std::min<size_t>(size, ansi.size()));
  if (const size_t end = ansi.find('\0'); end != std::string::npos) ansi.resize(end);
  const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), length);
  return win::Narrow(wide);
}

}  // namespace qv
