// The About window: product name over a soft shadow, the freeware notice, a
// one-line description and the maker's logo, whose address line and logo open
// the maker's web page. Built once, hidden, at start-up and shown modally by
// the main window's About button; the same instance serves every showing.
#pragma once

#include <windows.h>

namespace qv {

class TAboutBox {
 public:
  TAboutBox();
  ~TAboutBox();
  TAboutBox(const TAboutBox&) = delete;
  TAboutBox& operator=(const TAboutBox&) = delete;

  // Builds the window hidden. Called once at start-up, after the main window.
  void Create(HINSTANCE instance);
  // Shows the window modally over the owner and returns when OK or the close
  // box hid it again; the result is IDOK for OK and IDCANCEL for the close box.
  int ShowModal(HWND owner);
  HWND Handle() const { return handle_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HWND handle_ = nullptr;  // owned: destroyed by the destructor
  HWND ok_ = nullptr;      // child of handle_, destroyed with it
  int modal_result_ = 0;
};

}  // namespace qv
