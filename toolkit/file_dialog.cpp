#include "toolkit/file_dialog.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace qv::win {

bool TFileDialog::Run(HWND owner, bool save) {
  // "A|B|C|D" becomes "A\0B\0C\0D\0\0".
  std::wstring filter = Filter;
  for (wchar_t& c : filter) {
    if (c == L'|') c = L'\0';
  }
  filter.push_back(L'\0');
  filter.push_back(L'\0');

  // Long paths: the buffer is far larger than MAX_PATH.
  std::vector<wchar_t> name(32768, L'\0');
  FileName.copy(name.data(), std::min(FileName.size(), name.size() - 1));

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
  ofn.Flags = Options | OFN_EXPLORER;
  const BOOL chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!chosen) return false;
  FileName = name.data();
  return true;
}

}  // namespace qv::win
