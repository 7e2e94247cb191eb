#include "controls/win32/colorbox_control.h"

#include <commdlg.h>

#include <algorithm>
#include <utility>

#include "toolkit/dpi.h"
#include "toolkit/text.h"

namespace qv::win {

namespace {

COLORREF Ref(TColor color) { return static_cast<COLORREF>(ResolveColor(color) & 0xFFFFFF); }

void FillWith(HDC dc, const RECT& r, COLORREF colour) {
  Brush brush(CreateSolidBrush(colour));
  FillRect(dc, &r, brush.Get());
}

RECT ToRect(const TRect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }

TFont FontOf(HFONT font, TColor colour) {
  TFont f;
  f.Color = colour;
  LOGFONTW lf{};
  if (!font || !GetObjectW(font, sizeof(lf), &lf)) return f;
  f.Name = Narrow(lf.lfFaceName);
  f.Height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
  f.Bold = lf.lfWeight >= FW_BOLD;
  f.Italic = lf.lfItalic != 0;
  f.Underline = lf.lfUnderline != 0;
  return f;
}

}  // namespace

bool RunColorDialog(HWND owner, uint32_t& rgb) {
  // One chooser for every box: the user's custom colours stay for the run.
  static COLORREF customColours[16] = {
      0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
      0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof(cc);
  cc.hwndOwner = owner;
  cc.rgbResult = rgb & 0xFFFFFF;
  cc.lpCustColors = customColours;
  cc.Flags = CC_RGBINIT | CC_ANYCOLOR;
  if (!ChooseColorW(&cc)) return false;
  rgb = cc.rgbResult & 0xFFFFFF;
  return true;
}

TColorBoxControl::TColorBoxControl() {
  box_.BoundLabel().Measurer = MeasureGdiLabelText;
  box_.BoundLabel().OnLabelChanged = [this] { SyncLabel(); };
  box_.ColorChooser = [this](uint32_t& rgb) { return RunColorDialog(Handle(), rgb); };
  box_.TickCount = [] { return static_cast<uint32_t>(GetTickCount()); };
}

TColorBoxControl::~TColorBoxControl() {
  // Destroyed here, while the model and the label still exist, rather than
  // in the base destructor.
  Destroy();
}

void TColorBoxControl::PrepareCreate(CreateArgs& a) {
  // From a form: the component's name, and the text, which is the caption
  // label's (the box itself shows no text).
  if (!a.Name.empty()) box_.SetName(a.Name);
  if (!a.Text.empty()) {
    pending_caption_ = Narrow(a.Text);
    a.Text.clear();
  }
  args_ = a;
  parent_ = a.Parent;
  // Unsorted, so the entries keep the table's order; strings kept by the
  // list so that the platform's own character search works.
  a.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | CBS_AUTOHSCROLL | WS_VSCROLL;
  if (box_.TabStop()) a.Style |= WS_TABSTOP;
  if (!box_.Enabled()) a.Style |= WS_DISABLED;
  if (a.Font) {
    box_.SetFont(FontOf(a.Font, box_.Font().Color));
  } else {
    own_font_ = MakeGdiFont(box_.Font());
    a.Font = own_font_.Get();
  }
  font_ = a.Font;
  // A combo box's window height includes its list; the closed height comes
  // from the item height it asks for.
  a.Height += 2 + ScaledItemHeight() * std::max(1, box_.DropDownCount());
}

bool TColorBoxControl::BindEvent(std::string_view event, std::function<void()> handler) {
  if (event != "change") return false;
  box_.OnChange = [handler = std::move(handler)](TsCustomColorBox&) { handler(); };
  return true;
}

void TColorBoxControl::OnCreated() {
  if (!parent_) parent_ = GetParent(Handle());
  // Setting the font makes the platform size the selection field to the
  // font again (Wine does, with a real Tahoma); entries and field are
  // ItemHeight high whatever the font.
  SetItemHeight(box_.ItemHeight());
  SyncBounds();
  box_.AttachWindow(this);
  if (!box_.Visible()) ShowWindow(Handle(), SW_HIDE);
  SyncLabel();
  if (!pending_caption_.empty()) SetCaptionLabel(std::exchange(pending_caption_, {}));
}

void TColorBoxControl::SetCaptionLabel(const std::string& caption) {
  box_.BoundLabel().SetActive(true);
  box_.BoundLabel().SetCaption(caption);
}

int TColorBoxControl::ScaledItemHeight() const {
  return Scale(box_.ItemHeight(), DpiOf(parent_));
}

void TColorBoxControl::SyncBounds() {
  RECT r;
  GetWindowRect(Handle(), &r);  // the closed box: the open list is a window of its own
  MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&r), 2);
  box_.SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  box_.SetVisible((GetWindowLongPtrW(Handle(), GWL_STYLE) & WS_VISIBLE) != 0);
}

void TColorBoxControl::SyncLabel() {
  const TsEditLabel* label = box_.BoundLabel().Label();
  if (!label) {
    label_.Destroy();
    return;
  }
  if (!parent_ || (!Handle() && !recreating_)) return;  // made when the box is created
  if (!label_.Handle()) label_.CreateOn(parent_);
  label_.Update(*label);
}

void TColorBoxControl::FitDroppedHeight() {
  const TBoundControl& b = box_.Bounds();
  const int rows = std::max(1, std::min(Count(), box_.DropDownCount()));
  // Common Controls 6 sizes the open list by its minimum number of visible
  // rows (30 unless told) and ignores the window's height; the classic box
  // does the opposite. Both are told, so the list is as tall either way.
  SendMessageW(Handle(), CB_SETMINVISIBLE, static_cast<WPARAM>(rows), 0);
  SetWindowPos(Handle(), nullptr, 0, 0, b.Width, rows * ScaledItemHeight() + b.Height + 2,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT TColorBoxControl::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_DESTROY:
      // The entries and the current index outlive the window (re-creation).
      box_.DetachWindow();
      break;
    case WM_KEYDOWN:
      box_.KeyDown();
      break;
    case WM_CHAR:
      // The type-ahead search works on the list's ASCII names; anything
      // else is the platform list's own business.
      if (wParam < 0x80 && box_.KeyPress(static_cast<char>(wParam))) return 0;
      break;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(Handle(), &r);
      FillWith(reinterpret_cast<HDC>(wParam), r, Ref(box_.Color()));
      return 1;
    }
    case WM_WINDOWPOSCHANGED: {
      LRESULT result = DefaultProc(msg, wParam, lParam);
      if (!recreating_) SyncBounds();
      return result;
    }
    case WM_ENABLE: {
      LRESULT result = DefaultProc(msg, wParam, lParam);
      box_.SetEnabled(wParam != 0);
      return result;
    }
    case WM_STYLECHANGED: {
      LRESULT result = DefaultProc(msg, wParam, lParam);
      if (wParam == static_cast<WPARAM>(GWL_EXSTYLE)) {
        const LONG_PTR ex = GetWindowLongPtrW(Handle(), GWL_EXSTYLE);
        box_.SetRightToLeft((ex & (WS_EX_RTLREADING | WS_EX_LAYOUTRTL)) != 0);
      }
      return result;
    }
    default:
      break;
  }
  return TControl::HandleMessage(msg, wParam, lParam);
}

void TColorBoxControl::OnReflected(MessageArgs& args) {
  switch (args.Msg) {
    case WM_MEASUREITEM: {
      // Entries and the selection field alike.
      reinterpret_cast<MEASUREITEMSTRUCT*>(args.LParam)->itemHeight = ScaledItemHeight();
      args.Result = TRUE;
      args.Handled = true;
      return;
    }
    case WM_DRAWITEM:
      DrawEntry(*reinterpret_cast<const DRAWITEMSTRUCT*>(args.LParam));
      args.Result = TRUE;
      args.Handled = true;
      return;
    case WM_COMMAND:
      switch (HIWORD(args.WParam)) {
        case CBN_SELCHANGE:
          box_.UserChangedSelection();
          break;
        case CBN_DROPDOWN:
          FitDroppedHeight();
          box_.DroppedDownByUser();
          break;
        case CBN_CLOSEUP:
          box_.ClosedUpByUser();
          break;
        default:
          return;
      }
      args.Result = 0;
      args.Handled = true;
      return;
    default:
      return;
  }
}

void TColorBoxControl::DrawEntry(const DRAWITEMSTRUCT& item) {
  const int index = static_cast<int>(item.itemID);  // (UINT)-1: no current entry
  unsigned state = 0;
  if (item.itemState & ODS_SELECTED) state |= odSelected;
  if (item.itemState & ODS_FOCUS) state |= odFocused;
  if (item.itemState & ODS_COMBOBOXEDIT) state |= odComboBoxEdit;
  HDC dc = item.hDC;
  Selection useFont(dc, font_);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  const TColorBoxMetrics metrics{static_cast<int>(tm.tmHeight), GetSystemMetrics(SM_CXVSCROLL)};
  const TRect rect{item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
  const TColorEntryPaint p = box_.DrawItem(index < 0 ? -1 : index, rect, state, metrics);

  FillWith(dc, item.rcItem, Ref(p.Background));
  if (p.HasEntry) {
    const RECT swatch = ToRect(p.Swatch);
    FillWith(dc, swatch, Ref(p.SwatchColor));
    Brush border(CreateSolidBrush(p.SwatchBorder & 0xFFFFFF));
    FrameRect(dc, &swatch, border.Get());
  }
  if (p.HasText) {
    const std::wstring text = Widen(p.Text);
    const RECT clip = ToRect(p.TextClip);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, Ref(p.Background));
    SetTextColor(dc, Ref(p.TextColor));
    ExtTextOutW(dc, p.TextOrigin.X, p.TextOrigin.Y, ETO_CLIPPED, &clip, text.c_str(),
                static_cast<UINT>(text.size()), nullptr);
  }
  if (p.Focus) {
    // The dotted marking inverts what is there; it needs the plain colours.
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    DrawFocusRect(dc, &item.rcItem);
  }
}

// --- the native list ------------------------------------------------------

int TColorBoxControl::Count() const {
  return Handle() ? static_cast<int>(SendMessageW(Handle(), CB_GETCOUNT, 0, 0)) : 0;
}

bool TColorBoxControl::Insert(int index, const std::string& text, TColor data) {
  const std::wstring wide = Widen(text);
  const LRESULT at = SendMessageW(Handle(), CB_INSERTSTRING, static_cast<WPARAM>(index),
                                  reinterpret_cast<LPARAM>(wide.c_str()));
  if (at < 0) return false;  // CB_ERR or CB_ERRSPACE
  // Zero-extended, so that no colour reads back as CB_ERR (-1).
  SendMessageW(Handle(), CB_SETITEMDATA, static_cast<WPARAM>(at),
               static_cast<LPARAM>(static_cast<uint32_t>(data)));
  return true;
}

void TColorBoxControl::Delete(int index) {
  SendMessageW(Handle(), CB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void TColorBoxControl::Clear() { SendMessageW(Handle(), CB_RESETCONTENT, 0, 0); }

std::string TColorBoxControl::Text(int index) const {
  const LRESULT length = SendMessageW(Handle(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(Handle(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                                      reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied < 0 ? 0 : static_cast<size_t>(copied));
  return Narrow(text);
}

bool TColorBoxControl::Data(int index, TColor& data) const {
  if (!Handle() || index < 0 || index >= Count()) return false;
  const LRESULT value = SendMessageW(Handle(), CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
  if (value == CB_ERR) return false;
  data = static_cast<TColor>(static_cast<uint32_t>(value));
  return true;
}

void TColorBoxControl::SetData(int index, TColor data) {
  SendMessageW(Handle(), CB_SETITEMDATA, static_cast<WPARAM>(index),
               static_cast<LPARAM>(static_cast<uint32_t>(data)));
  InvalidateRect(Handle(), nullptr, FALSE);
}

int TColorBoxControl::ItemIndex() const {
  if (!Handle()) return -1;
  const LRESULT index = SendMessageW(Handle(), CB_GETCURSEL, 0, 0);
  return index < 0 ? -1 : static_cast<int>(index);
}

void TColorBoxControl::SetItemIndex(int index) {
  SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int TColorBoxControl::FindPrefix(const std::string& prefix) const {
  const std::wstring wide = Widen(prefix);
  const LRESULT found = SendMessageW(Handle(), CB_FINDSTRING, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(wide.c_str()));
  return found < 0 ? -1 : static_cast<int>(found);
}

bool TColorBoxControl::DroppedDown() const {
  return Handle() && SendMessageW(Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0;
}

void TColorBoxControl::SetDroppedDown(bool open) {
  SendMessageW(Handle(), CB_SHOWDROPDOWN, open ? TRUE : FALSE, 0);
}

void TColorBoxControl::SetRedraw(bool on) {
  SendMessageW(Handle(), WM_SETREDRAW, on ? TRUE : FALSE, 0);
  if (on) InvalidateRect(Handle(), nullptr, TRUE);
}

void TColorBoxControl::SetItemHeight(int) {
  const int height = ScaledItemHeight();
  SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height);
  SendMessageW(Handle(), CB_SETITEMHEIGHT, 0, height);
}

void TColorBoxControl::Invalidate() { InvalidateRect(Handle(), nullptr, TRUE); }

void TColorBoxControl::ApplyEnabled(bool enabled) { EnableWindow(Handle(), enabled); }

void TColorBoxControl::Recreate() {
  // Owner-drawn item heights are asked for only when the window is made.
  CreateArgs a = args_;
  const TBoundControl& b = box_.Bounds();
  a.Left = b.Left;
  a.Top = b.Top;
  a.Width = b.Width;
  a.Height = b.Height;
  HWND previous = GetWindow(Handle(), GW_HWNDPREV);
  const bool focused = GetFocus() == Handle();
  recreating_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{recreating_};
  Destroy();  // WM_DESTROY keeps the entries in the model
  Create(a);  // and OnCreated brings them back
  SetWindowPos(Handle(), previous ? previous : HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (focused) SetFocus(Handle());
}

}  // namespace qv::win
