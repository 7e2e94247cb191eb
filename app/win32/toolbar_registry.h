// The toolbar background record in the current user's registry.
#pragma once

#include <string>

namespace qv {

// Opens (creating when missing) the toolbar key under HKEY_CURRENT_USER
// ("Software\Microsoft\Internet Explorer\Toolbar\") and sets
// BackBitmapShell (REG_SZ) to the path in the ANSI code page, followed by one zero byte. Raises "Failed to set
// data for 'BackBitmapShell'" when the value cannot be set, and also when
// the path has characters the ANSI code page cannot hold: Explorer would
// read a different, wrong path.
void WriteToolbarBitmapValue(const std::string& utf8Path);

}  // namespace qv
