// What the tests that open windows share: running the message loop for a
// while, and writing a picture for a person to look at.
#pragma once

#include <cstdlib>
#include <string>

#include "imaging/bitmap.h"
#include "imaging/bmp.h"
#include "toolkit/text.h"
#include "toolkit/win.h"

namespace qv::testing {

// Runs the thread's message loop for about `milliseconds`; true when it met
// WM_QUIT (the end of the program's own loop). With `keysToDialogManager`
// keys go through the dialog manager first, as in the program's own loop
// (Tab, Enter, Escape).
inline bool PumpMessages(int milliseconds, bool keysToDialogManager = false) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return true;
      if (keysToDialogManager) {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && IsDialogMessageW(root, &msg)) continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  } while (static_cast<LONG>(end - GetTickCount()) > 0);
  return false;
}

// Writes the picture as the BMP file `name` into the test output folder
// (QV_TEST_OUTPUT, else the temporary folder) and returns its path. The
// output folder is a Unix path under Wine, which reaches it through drive Z:.
inline std::string SaveScreenshot(const TBitmap& picture, const std::string& name) {
  std::string dir;
  if (const char* out = std::getenv("QV_TEST_OUTPUT"); out && *out) {
    dir = out;
    if (dir[0] == '/') dir = "Z:" + dir;
  } else {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    dir = win::Narrow(temp);
  }
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '\\';
  const std::string path = dir + name;
  SaveBitmapToFile(picture, path);
  return path;
}

}  // namespace qv::testing
