#include "toolkit/buttons.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>
#include <cstring>

#include "toolkit/dpi.h"
#include "toolkit/panel.h"
#include "toolkit/radio_layout.h"

namespace qv::win {

// --- TBitBtn ---------------------------------------------------------------

namespace {

// A button's kind is the low four bits of its style.
void SetButtonKind(CreateArgs& args, DWORD kind) { args.Style = (args.Style & ~0xFUL) | kind; }

bool BindClick(std::string_view event, std::function<void()> handler, std::function<void()>& onClick) {
  if (event != "click") return false;
  onClick = std::move(handler);
  return true;
}

}  // namespace

void TBitBtn::PrepareCreate(CreateArgs& args) { SetButtonKind(args, BS_OWNERDRAW); }

bool TBitBtn::BindEvent(std::string_view event, std::function<void()> handler) {
  return BindClick(event, std::move(handler), OnClick);
}

LRESULT TBitBtn::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_LBUTTONDBLCLK:
      // An owner-drawn button reports a quick second click as a double
      // click, not as a click; users expect two presses to act twice.
      return DefaultProc(WM_LBUTTONDOWN, wParam, lParam);
    case WM_MOUSEMOVE:
      if (!hot_) {
        hot_ = true;
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, Handle(), 0};
        TrackMouseEvent(&tme);
        InvalidateRect(Handle(), nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      hot_ = false;
      InvalidateRect(Handle(), nullptr, FALSE);
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_GETDLGCODE:
      // An owner-drawn button is no push button to the dialog manager, so
      // Enter would pass it by. The focused one says it is the default:
      // Enter presses it, as in any Windows window.
      return DLGC_BUTTON | (GetFocus() == Handle() ? DLGC_DEFPUSHBUTTON : 0);
    case BM_SETSTYLE:
      // The dialog manager moves the default marking between the buttons
      // that call themselves default by setting their kind; this one stays
      // owner-drawn.
      return DefaultProc(msg, (wParam & ~0xFULL) | BS_OWNERDRAW, lParam);
    case WM_DPICHANGED_AFTERPARENT:
      glyphSize_ = 0;
      break;
  }
  return DefaultProc(msg, wParam, lParam);
}

void TBitBtn::OnReflected(MessageArgs& args) {
  if (args.Msg == WM_DRAWITEM) {
    auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(args.LParam);
    // Drawn off screen and copied in one go: no flicker when the pointer
    // moves over the button.
    const RECT& r = dis->rcItem;
    MemoryDC buffer(dis->hDC);
    Bitmap canvas(CreateCompatibleBitmap(dis->hDC, r.right - r.left, r.bottom - r.top));
    if (buffer && canvas) {
      Selection use(buffer.Get(), canvas.Get());
      SetWindowOrgEx(buffer.Get(), r.left, r.top, nullptr);
      PaintContent(buffer.Get(), dis->itemState & ODS_SELECTED, dis->itemState & ODS_FOCUS, hot_);
      SetWindowOrgEx(buffer.Get(), 0, 0, nullptr);
      BitBlt(dis->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, buffer.Get(), 0, 0, SRCCOPY);
    } else {
      PaintContent(dis->hDC, dis->itemState & ODS_SELECTED, dis->itemState & ODS_FOCUS, hot_);
    }
    args.Result = TRUE;
    args.Handled = true;
  } else if (args.Msg == WM_COMMAND && HIWORD(args.WParam) == BN_CLICKED) {
    args.Handled = true;
    if (OnClick) OnClick();
  }
}

void TBitBtn::PaintContent(HDC dc) { PaintContent(dc, false, false, false); }

void TBitBtn::PaintContent(HDC dc, bool pushed, bool focused, bool hot) {
  RECT r;
  GetClientRect(Handle(), &r);
  const int dpi = DpiOf(Handle());
  const bool enabled = IsWindowEnabled(Handle());

  HTHEME theme = OpenThemeData(Handle(), L"BUTTON");
  if (theme) {
    int state = !enabled ? PBS_DISABLED : pushed ? PBS_PRESSED : hot ? PBS_HOT
                : focused ? PBS_DEFAULTED : PBS_NORMAL;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawThemeBackground(theme, dc, BP_PUSHBUTTON, state, &r, nullptr);
    CloseThemeData(theme);
  } else {
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  }

  wchar_t text[128] = {};
  GetWindowTextW(Handle(), text, 128);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(Handle(), WM_GETFONT, 0, 0));
  Selection useFont(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
  RECT textRect{0, 0, 0, 0};
  DrawTextW(dc, text, -1, &textRect, DT_CALCRECT | DT_SINGLELINE);

  const int glyph = Scale(GlyphSize96, dpi);
  const int gap = Scale(Spacing96, dpi);
  const int textWidth = textRect.right - textRect.left;
  const int textHeight = textRect.bottom - textRect.top;
  const int total = glyph + gap + textWidth;
  const int shift = pushed ? 1 : 0;
  const int x = r.left + (r.right - r.left - total) / 2 + shift;
  const int glyphY = r.top + (r.bottom - r.top - glyph) / 2 + shift;
  DrawGlyph(dc, x, glyphY, glyph);

  RECT caption{x + glyph + gap, r.top + (r.bottom - r.top - textHeight) / 2 + shift, 0, 0};
  caption.right = caption.left + textWidth;
  caption.bottom = caption.top + textHeight;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  DrawTextW(dc, text, -1, &caption, DT_SINGLELINE);

  if (focused && !(SendMessageW(Handle(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
    RECT f = r;
    const int inset = Scale(4, dpi);
    InflateRect(&f, -inset, -inset);
    DrawFocusRect(dc, &f);
  }
}

void TBitBtn::DrawGlyph(HDC dc, int x, int y, int size) {
  if (!GlyphPainter || size <= 0) return;
  if (glyphSize_ != size) {
    glyph_ = GlyphPainter(size);
    glyphSize_ = size;
  }
  if (glyph_.Empty() || glyph_.PixelBits() != 32) return;
  // AlphaBlend takes premultiplied colour.
  const int w = glyph_.Width(), h = glyph_.Height();
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  Bitmap dib(CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib) return;
  auto* out = static_cast<uint8_t*>(bits);
  for (int row = 0; row < h; ++row) {
    const uint8_t* in = glyph_.PixelRow(row);
    for (int col = 0; col < w; ++col) {
      const uint8_t* p = in + col * 4;
      uint8_t* q = out + (static_cast<size_t>(row) * w + col) * 4;
      const unsigned a = p[3];
      q[0] = static_cast<uint8_t>((p[0] * a + 127) / 255);
      q[1] = static_cast<uint8_t>((p[1] * a + 127) / 255);
      q[2] = static_cast<uint8_t>((p[2] * a + 127) / 255);
      q[3] = static_cast<uint8_t>(a);
    }
  }
  MemoryDC mem(dc);
  Selection use(mem.Get(), dib.Get());
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, x, y, w, h, mem.Get(), 0, 0, w, h, blend);
}

// --- TCheckBox ---------------------------------------------------------------

void TCheckBox::PrepareCreate(CreateArgs& args) { SetButtonKind(args, BS_AUTOCHECKBOX); }

bool TCheckBox::BindEvent(std::string_view event, std::function<void()> handler) {
  return BindClick(event, std::move(handler), OnClick);
}

bool TCheckBox::Checked() const {
  return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked) {
  SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::OnReflected(MessageArgs& args) {
  if (args.Msg == WM_COMMAND && HIWORD(args.WParam) == BN_CLICKED) {
    args.Handled = true;
    if (OnClick) OnClick();
  } else {
    args.Handled = AnswerButtonFaceColor(args.Msg, args.WParam, &args.Result);
  }
}

// --- TRadioGroup -------------------------------------------------------------

void TRadioGroup::PrepareCreate(CreateArgs& args) {
  args.Style &= ~static_cast<DWORD>(WS_TABSTOP);  // its buttons are the stops
  args.ExStyle |= WS_EX_CONTROLPARENT;
}

bool TRadioGroup::BindEvent(std::string_view event, std::function<void()> handler) {
  return BindClick(event, std::move(handler), OnClick);
}

std::vector<HWND> TRadioGroup::HintWindows() const {
  std::vector<HWND> windows{Handle()};
  windows.insert(windows.end(), buttons_.begin(), buttons_.end());
  return windows;
}

void TRadioGroup::OnCreated() {
  HWND self = Handle();
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(self, WM_GETFONT, 0, 0));
  wchar_t title[128] = {};
  GetWindowTextW(self, title, 128);
  group_ = CreateWindowExW(0, L"BUTTON", title, WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 0, 0, 0,
                           self, nullptr, GetModuleHandleW(nullptr), nullptr);
  for (size_t i = 0; i < Items.size(); ++i) {
    // Radio buttons that the group checks itself: an automatic one would
    // not report a click on the item that is already chosen.
    DWORD style = WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
    buttons_.push_back(CreateWindowExW(0, L"BUTTON", Items[i].c_str(), style, 0, 0, 0, 0, self,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + i)),
                                       GetModuleHandleW(nullptr), nullptr));
  }
  if (font) {
    SendMessageW(group_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (HWND b : buttons_) SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  ArrangeButtons();
  SetItemIndex(itemIndex_);
}

void TRadioGroup::ArrangeButtons() {
  if (!group_) return;  // sized before its buttons exist
  RECT r;
  GetClientRect(Handle(), &r);
  MoveWindow(group_, 0, 0, r.right, r.bottom, TRUE);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(Handle(), WM_GETFONT, 0, 0));
  int textHeight = 0;
  {
    HDC dc = GetDC(Handle());
    Selection useFont(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    SIZE s{};
    GetTextExtentPoint32W(dc, L"W", 1, &s);
    textHeight = s.cy;
    ReleaseDC(Handle(), dc);
  }
  const int n = static_cast<int>(buttons_.size());
  for (int i = 0; i < n; ++i) {
    TRect b = RadioButtonRect(i, n, Columns, r.right, r.bottom, textHeight);
    MoveWindow(buttons_[i], b.Left, b.Top, b.Width(), b.Height(), TRUE);
  }
}

void TRadioGroup::SetItemIndex(int index) {
  if (index < -1 || index >= static_cast<int>(Items.size())) index = -1;
  itemIndex_ = index;
  for (size_t i = 0; i < buttons_.size(); ++i) {
    SendMessageW(buttons_[i], BM_SETCHECK,
                 static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED, 0);
    // Keyboard focus enters the group at the chosen item.
    LONG_PTR style = GetWindowLongPtrW(buttons_[i], GWL_STYLE);
    const bool stop = static_cast<int>(i) == (index < 0 ? 0 : index);
    SetWindowLongPtrW(buttons_[i], GWL_STYLE, stop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
  }
}

LRESULT TRadioGroup::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND: {
      const int i = LOWORD(wParam) - 100;
      const int code = HIWORD(wParam);
      if (lParam && i >= 0 && i < static_cast<int>(buttons_.size()) &&
          (code == BN_CLICKED || code == BN_DOUBLECLICKED)) {
        SetItemIndex(i);
        if (OnClick) OnClick();
        return 0;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      LRESULT result = 0;
      AnswerButtonFaceColor(msg, wParam, &result);
      return result;
    }
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(Handle(), &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_SETFONT: {
      if (group_) SendMessageW(group_, WM_SETFONT, wParam, lParam);
      for (HWND b : buttons_) SendMessageW(b, WM_SETFONT, wParam, lParam);
      const LRESULT result = TControl::HandleMessage(msg, wParam, lParam);
      ArrangeButtons();  // the caption's height follows the font
      return result;
    }
    case WM_SIZE:
      ArrangeButtons();
      break;
  }
  return TControl::HandleMessage(msg, wParam, lParam);
}

}  // namespace qv::win
