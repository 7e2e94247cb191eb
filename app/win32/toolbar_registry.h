// The toolbar background record in the current user's registry.
#pragma once

#include <optional>
#include <string>

namespace qv {

// Opens (creating when missing) the toolbar key under HKEY_CURRENT_USER
// ("Software\Microsoft\Internet Explorer\Toolbar\") and sets
// BackBitmapShell (REG_SZ) to the path in the ANSI code page, followed by
// one zero byte. A path with characters the code page cannot hold is
// recorded by the file's short (8.3) path when that one fits the code page:
// it names the same file for every reader of the value. Raises "Failed to
// set data for 'BackBitmapShell'" when the value cannot be set, and when the
// path has no such form (Explorer would read a different, wrong path).
void WriteToolbarBitmapValue(const std::string& utf8Path);

// The value BackBitmapShell holds (UTF-8), or nothing when the key or the
// value is missing. Only the command line's `show` reads it; the key is
// opened for reading and never created. A value that is not a string raises
// EOSError.
std::optional<std::string> ReadToolbarBitmapValue();

}  // namespace qv
