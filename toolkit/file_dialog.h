// The common open and save dialogs as components of a form: configured once,
// each remembers the file name last chosen in it and starts with it.
#pragma once

#include <string>

#include "toolkit/win.h"

#include <commdlg.h>

namespace qv::win {

class TFileDialog {
 public:
  std::wstring Title;
  std::wstring Filter;      // "Description|*.ext" pairs, as form descriptions give them
  std::wstring DefaultExt;  // appended to a name typed without extension
  DWORD Options = 0;        // OFN_* flags beyond OFN_EXPLORER
  std::wstring FileName;    // the last chosen file (empty the first time)

  // Shows the dialog; true with FileName set when the user chose a file.
  virtual bool Execute(HWND owner) = 0;
  virtual ~TFileDialog() = default;

 protected:
  bool Run(HWND owner, bool save);
};

class TSaveDialog : public TFileDialog {
 public:
  bool Execute(HWND owner) override { return Run(owner, true); }
};

class TOpenDialog : public TFileDialog {
 public:
  bool Execute(HWND owner) override { return Run(owner, false); }
};

}  // namespace qv::win
