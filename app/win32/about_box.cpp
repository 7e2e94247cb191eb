#include "app/win32/about_box.h"

#include <shellapi.h>

#include <array>

#include "app/about_logo.h"
#include "toolkit/dpi.h"
#include "toolkit/handles.h"
#include "toolkit/text.h"

namespace qv {

namespace {

// The maker's page. Both the address line and the logo carry it as their
// hint; hints are not shown as tooltips in this window.
constexpr wchar_t kAddress[] = L"https://www.quorvane.example/";

constexpr win::ComponentRow kRows[] = {
    {.Name = "Panel1", .Left = 9, .Top = 8, .Width = 281, .Height = 218, .TabOrder = 0},
    {.Name = "sLabelFX1", .Parent = "Panel1", .Left = 3, .Top = 13, .Width = 273, .Height = 32,
     .Text = L"Quorvane"},
    {.Name = "Copyright", .Parent = "Panel1", .Left = 3, .Top = 45, .Width = 273, .Height = 13,
     .Text = L"Freeware: free to use, copy and pass on."},
    {.Name = "sLabel1", .Parent = "Panel1", .Left = 3, .Top = 62, .Width = 273, .Height = 13,
     .Text = L"Create and set your own gradient toolbar background"},
    {.Name = "Comments", .Parent = "Panel1", .Left = 3, .Top = 81, .Width = 273, .Height = 13,
     .Text = L"www.quorvane.example", .Hint = kAddress,
     .Events = {{"click", "CommentsClick"}, {"mousemove", "CommentsMouseMove"},
                {"mouseleave", "CommentsMouseLeave"}}},
    {.Name = "Image1", .Parent = "Panel1", .Left = 71, .Top = 104, .Width = 145, .Height = 105,
     .Hint = kAddress,
     .Events = {{"click", "Image1Click"}, {"mousemove", "Image1MouseMove"},
                {"mouseleave", "Image1MouseLeave"}}},
    {.Name = "sBitBtn1", .Left = 117, .Top = 232, .Width = 75, .Height = 33, .Text = L"OK",
     .TabOrder = 1},
};

void ShellOpen(HWND owner, const std::string& address) {
  // The outcome is not checked: if no browser opens, nothing is reported.
  ShellExecuteA(owner, "Open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void Frame3D(HDC dc, RECT& r, int width, COLORREF topLeft, COLORREF bottomRight) {
  for (int i = 0; i < width && r.right > r.left && r.bottom > r.top; ++i) {
    win::Brush top(CreateSolidBrush(topLeft)), bottom(CreateSolidBrush(bottomRight));
    // The top-right and bottom-left corner pixels belong to the lower edge.
    RECT t{r.left, r.top, r.right - 1, r.top + 1}, l{r.left, r.top, r.left + 1, r.bottom - 1};
    RECT b{r.left, r.bottom - 1, r.right, r.bottom}, rt{r.right - 1, r.top, r.right, r.bottom};
    FillRect(dc, &t, top.Get());
    FillRect(dc, &l, top.Get());
    FillRect(dc, &b, bottom.Get());
    FillRect(dc, &rt, bottom.Get());
    InflateRect(&r, -1, -1);
  }
}

}  // namespace

// --- TBevelPanel ------------------------------------------------------------

void TBevelPanel::PaintContent(HDC dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  const int width = win::ScaleFor(Handle(), 2);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), light = GetSysColor(COLOR_BTNHIGHLIGHT);
  Frame3D(dc, r, width, shadow, light);  // outer bevel, lowered
  Frame3D(dc, r, width, light, shadow);  // inner bevel, raised
}

// --- TLinkImage --------------------------------------------------------------

bool TLinkImage::BindEvent(std::string_view event, std::function<void()> handler) {
  return pointer_.Bind(event, std::move(handler));
}

LRESULT TLinkImage::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (pointer_.Handle(Handle(), msg, wParam, lParam, &result)) return result;
  return TImage::HandleMessage(msg, wParam, lParam);
}

// --- TAboutBox ---------------------------------------------------------------

TAboutBox::TAboutBox() : OpenAddress(ShellOpen) {
  Publish("CommentsClick", [this] { CommentsClick(&Comments); });
  Publish("CommentsMouseLeave", [this] { CommentsMouseLeave(); });
  Publish("CommentsMouseMove", [this] { CommentsMouseMove(); });
  Publish("Image1Click", [this] { Image1Click(&Image1); });
  Publish("Image1MouseMove", [this] { Image1MouseMove(); });
  Publish("Image1MouseLeave", [this] { Image1MouseLeave(); });
  Field("Panel1", Panel1);
  Field("Copyright", Copyright);
  Field("Comments", Comments);
  Field("sBitBtn1", sBitBtn1);
  Field("Image1", Image1);
  Field("sLabelFX1", sLabelFX1);
  Field("sLabel1", sLabel1);

  // What the description stores beyond the table: centred labels of fixed
  // size, a shadow under the title only, word wrap on the address line.
  for (win::TsLabelFXControl* label : {&sLabelFX1, &Copyright, &sLabel1, &Comments}) {
    TsLabelFX& model = label->Model();
    model.SetAutoSize(false);
    model.SetAlignment(taCenter);
    if (label != &sLabelFX1) model.Shadow().SetMode(smNone);
  }
  Comments.Model().SetWordWrap(true);
  sBitBtn1.GlyphPainter = PaintCheckMarkGlyph;
  sBitBtn1.GlyphSize96 = 16;
  Image1.SetPicture(PaintAboutLogo());
}

// The window and its children go first, while every component object still
// exists, so that no message of the teardown reaches a destroyed component.
TAboutBox::~TAboutBox() { Destroy(); }

// The toolkit registers its window classes with the exe's own instance.
void TAboutBox::Create(HINSTANCE) {
  if (Handle()) return;
  CreateForm({.Caption = L"Quorvane 1.0", .ClientWidth = 298, .ClientHeight = 274,
              .FontName = L"MS Sans Serif", .FontHeight = 11, .Style = win::kDialogStyle,
              .ExStyle = win::kDialogExStyle, .Visible = false},
             kRows);
  ApplyLabelFonts();  // at the window's DPI, before the first paint
  // OK closes the window with the result OK: its modal result, not an event.
  sBitBtn1.OnClick = [this] { modal_result_ = IDOK; };
  // This window shows no hints as tooltips: the addresses serve the clicks.
  if (Tooltips()) SendMessageW(Tooltips(), TTM_ACTIVATE, FALSE, 0);
}

void TAboutBox::ApplyLabelFonts() {
  // Character heights at 96 pixels per inch, scaled to the window's.
  auto font = [this](int height96, bool bold, TColor color) {
    TFont f;
    f.Name = "MS Sans Serif";
    f.Height = win::Scale(height96, Dpi());
    f.Bold = bold;
    f.Color = color;
    return f;
  };
  // The title's stored colour is black; its kind draws it in white.
  sLabelFX1.Model().SetFont(font(19, true, clBlack));
  Copyright.Model().SetFont(font(11, false, clWindowText));
  sLabel1.Model().SetFont(font(11, false, clBlack));
  // The address line starts in the window-text colour and then keeps the
  // colour the pointer gave it.
  Comments.Model().SetFont(font(11, false, Comments.Model().Font().Color));
}

void TAboutBox::CommentsClick(win::TsLabelFXControl* sender) {
  if (!sender || !OpenAddress) return;
  OpenAddress(Handle(), win::Narrow(sender->Hint));
}

void TAboutBox::CommentsMouseMove() {
  Comments.Pointer().SetCursor(Comments.Handle(), LoadCursorW(nullptr, IDC_HAND));
  TFont font = Comments.Model().Font();
  font.Color = clBlue;
  Comments.Model().SetFont(font);
}

void TAboutBox::CommentsMouseLeave() {
  Comments.Pointer().SetCursor(Comments.Handle(), nullptr);
  TFont font = Comments.Model().Font();
  font.Color = clBlack;
  Comments.Model().SetFont(font);
}

void TAboutBox::Image1Click(TLinkImage* sender) {
  if (!sender || !OpenAddress) return;
  OpenAddress(Handle(), win::Narrow(sender->Hint));
}

void TAboutBox::Image1MouseMove() {
  Image1.Pointer().SetCursor(Image1.Handle(), LoadCursorW(nullptr, IDC_HAND));
}

void TAboutBox::Image1MouseLeave() { Image1.Pointer().SetCursor(Image1.Handle(), nullptr); }

int TAboutBox::ShowModal(HWND owner) {
  if (!Handle() || modal_) return 0;
  // Owned by the window that opened it: it stays above that window and has
  // no taskbar button of its own.
  SetWindowLongPtrW(Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  modal_result_ = 0;
  modal_ = true;
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
  SetFocus(sBitBtn1.Handle());
  MSG msg{};
  bool quit = false;
  while (modal_result_ == 0) {
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      quit = true;
      break;
    }
    if (IsDialogMessageW(Handle(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // The owner is enabled again before this window hides, so that activation
  // returns to it rather than to another program.
  if (owner) EnableWindow(owner, TRUE);
  ShowWindow(Handle(), SW_HIDE);
  if (owner) SetActiveWindow(owner);
  modal_ = false;
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
  return modal_result_;
}

LRESULT TAboutBox::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case DM_GETDEFID:
      // Enter presses OK wherever the focus is.
      return MAKELRESULT(sBitBtn1.Id(), DC_HASDEFID);
    case WM_COMMAND:
      // Escape: the dialog manager asks for Cancel, which this window offers
      // as its close box.
      if (LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == BN_CLICKED && !lParam) {
        SendMessageW(Handle(), WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_CLOSE:
      // The close box hides the window; it lives as long as the program.
      if (modal_) modal_result_ = IDCANCEL;
      else ShowWindow(Handle(), SW_HIDE);
      return 0;
    case WM_DPICHANGED: {
      const LRESULT result = win::TForm::HandleMessage(msg, wParam, lParam);
      ApplyLabelFonts();
      return result;
    }
  }
  return win::TForm::HandleMessage(msg, wParam, lParam);
}

}  // namespace qv
