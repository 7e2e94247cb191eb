#include "controls/win32/colorbox_label.h"

#include "imaging/color.h"
#include "toolkit/parent_background.h"
#include "toolkit/text.h"

namespace qv::win {

namespace {

bool SameFont(const TFont& a, const TFont& b) {
  return a.Name == b.Name && a.Height == b.Height && a.Bold == b.Bold && a.Italic == b.Italic &&
         a.Underline == b.Underline;
}

UINT LabelFlags(const TsEditLabel& label) {
  UINT flags = DT_EXPANDTABS;
  if (label.WordWrap) flags |= DT_WORDBREAK;
  if (label.Alignment == taRightJustify) flags |= DT_RIGHT;
  if (label.Alignment == taCenter) flags |= DT_CENTER;
  if (label.RightToLeft) flags |= DT_RTLREADING;
  return flags;
}

}  // namespace

Font MakeGdiFont(const TFont& font) {
  return Font(CreateFontW(-font.Height, 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL, font.Italic,
                          font.Underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                          Widen(font.Name).c_str()));
}

TPoint MeasureGdiLabelText(const std::string& text, const TFont& font, bool wordWrap, int width) {
  Font gdiFont = MakeGdiFont(font);
  MemoryDC dc;
  Selection use(dc.Get(), gdiFont.Get());
  std::wstring wide = Widen(text);
  RECT r{0, 0, width, 0};
  ::DrawTextW(dc.Get(), wide.c_str(), static_cast<int>(wide.size()), &r,
              DT_CALCRECT | DT_EXPANDTABS | (wordWrap ? DT_WORDBREAK : 0));
  return TPoint{r.right, r.bottom};
}

void TCaptionLabelWindow::CreateOn(HWND parent) {
  Create({.Parent = parent, .Left = 0, .Top = 0, .Width = 0, .Height = 0});
  ShowWindow(Handle(), SW_HIDE);
}

void TCaptionLabelWindow::Update(const TsEditLabel& label) {
  if (!Handle()) return;
  if (!font_ || !SameFont(label.Font, font_spec_)) {
    font_ = MakeGdiFont(label.Font);
    font_spec_ = label.Font;
  }
  shown_ = label;
  SetWindowTextW(Handle(), Widen(label.Caption).c_str());
  SetWindowPos(Handle(), nullptr, label.Left, label.Top, label.Width, label.Height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  EnableWindow(Handle(), label.Enabled);
  ShowWindow(Handle(), label.Visible ? SW_SHOWNA : SW_HIDE);
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TCaptionLabelWindow::PaintContent(HDC dc) {
  // Transparent: whatever the parent paints under the label shows through.
  PaintParentBackground(Handle(), dc);
  RECT r;
  GetClientRect(Handle(), &r);
  Selection use(dc, font_.Get());
  SetBkMode(dc, TRANSPARENT);
  std::wstring text = Widen(shown_.Caption);
  const UINT flags = LabelFlags(shown_);
  if (!shown_.Enabled) {
    // The platform's disabled text: a highlight one pixel down and right,
    // the shadow on top.
    RECT shifted = r;
    OffsetRect(&shifted, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &shifted, flags);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
  } else {
    SetTextColor(dc, ResolveColor(shown_.Font.Color) & 0xFFFFFF);
  }
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
}

LRESULT TCaptionLabelWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // PaintContent covers every pixel
    case WM_NCHITTEST:
      return HTTRANSPARENT;  // clicks go to what lies under the label
    default:
      return TControl::HandleMessage(msg, wParam, lParam);
  }
}

}  // namespace qv::win
