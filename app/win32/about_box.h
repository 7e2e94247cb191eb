// The About window: the product name over a soft shadow, the freeware notice,
// a one-line description and the maker's logo; the address line and the logo
// open the maker's web page. Built once, hidden, at start-up and shown
// modally by the main window's About button; the same instance serves every
// showing, so the address line keeps its colour between showings.
#pragma once

#include <functional>
#include <string>

#include "controls/win32/labelfx.h"
#include "toolkit/buttons.h"
#include "toolkit/form.h"
#include "toolkit/image.h"
#include "toolkit/panel.h"
#include "toolkit/pointer_events.h"

namespace qv {

// A panel with a lowered outer and a raised inner bevel, each 2 pixels wide
// at 96 pixels per inch, in the button face.
class TBevelPanel : public win::TPanel {
 public:
  void PaintContent(HDC dc) override;

 protected:
  const wchar_t* ClassName() const override { return L"QvBevelPanel"; }
};

// An image that reports the pointer and shows a cursor of its own.
class TLinkImage : public win::TImage {
 public:
  win::TPointerEvents& Pointer() { return pointer_; }
  const win::TPointerEvents& Pointer() const { return pointer_; }
  // The pointer's events: "click", "mousemove", "mouseleave".
  bool BindEvent(std::string_view event, std::function<void()> handler) override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  win::TPointerEvents pointer_;
};

class TAboutBox : public win::TForm {
 public:
  TAboutBox();
  ~TAboutBox() override;

  // Builds the window hidden. Called once at start-up, after the main window.
  void Create(HINSTANCE instance);
  // Shows the window modally over the owner (which is disabled meanwhile)
  // and returns when OK or the close box hid it again: IDOK for OK, IDCANCEL
  // for the close box.
  int ShowModal(HWND owner);

  // Opens a web address in the user's browser. The shell by default; tests
  // replace it to watch the calls.
  std::function<void(HWND owner, const std::string& address)> OpenAddress;

  // Components, named as in the window's description.
  TBevelPanel Panel1;
  win::TsLabelFXControl Copyright;  // the freeware notice
  win::TsLabelFXControl Comments;   // the address line
  win::TBitBtn sBitBtn1;
  TLinkImage Image1;
  win::TsLabelFXControl sLabelFX1;
  win::TsLabelFXControl sLabel1;

  // Published operations. The sender is the component whose event fired;
  // a click of a sender of another kind than the handler's (a label for
  // CommentsClick, an image for Image1Click) is ignored.
  void CommentsClick(win::TsLabelFXControl* sender);
  void CommentsClick(win::TControl*) {}
  void CommentsMouseLeave();
  void CommentsMouseMove();
  void Image1Click(TLinkImage* sender);
  void Image1Click(win::TControl*) {}
  void Image1MouseMove();
  void Image1MouseLeave();

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void ApplyLabelFonts();

  int modal_result_ = 0;
  bool modal_ = false;
};

}  // namespace qv
