#include "controls/colorbox.h"

#include <algorithm>
#include <chrono>

#include "controls/colornames.h"
#include "imaging/exceptions.h"

namespace qv {

namespace {

constexpr TColor kNoEntry = static_cast<TColor>(0xFF000000);  // what Selected reads with no entry
constexpr uint32_t kSearchPauseMs = 500;
constexpr int kStandardCount = 16;
constexpr int kExtendedEnd = 20;

uint32_t SteadyTickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

[[noreturn]] void ThrowIndexError() { throw EStringListError("List index out of bounds"); }

}  // namespace

uint32_t SwatchBorderColor(uint32_t resolved, unsigned state) {
  if (RedOf(resolved) > 192 || GreenOf(resolved) > 192 || BlueOf(resolved) > 192) return 0;
  if (state & odSelected) return 0xFFFFFF;
  return resolved;  // the frame merges with the fill
}

void PaintColorEntryTo(TBitmap& surface, const TColorEntryPaint& p, const TFont& font) {
  FillRect(surface, p.Rect, p.Background);
  if (p.HasEntry) {
    FillRect(surface, p.Swatch, p.SwatchColor);
    FrameRect(surface, p.Swatch, static_cast<TColor>(p.SwatchBorder & 0xFFFFFF));
  }
  if (p.HasText) {
    TextStyle style;
    style.Font = font;
    style.Color = p.TextColor;
    style.Opaque = true;
    style.Background = p.Background;
    style.Flags = tfLeft | tfSingleLine | tfNoPrefix;
    // A line taller than the entry starts above it: the text is set from its
    // origin but only what falls inside the entry's text rectangle is kept,
    // so the rows above the entry stay as they were.
    const TRect& clip = p.TextClip;
    const TRect kept{std::max(p.TextOrigin.X, clip.Left), std::max(p.TextOrigin.Y, clip.Top),
                     clip.Right, clip.Bottom};
    if (kept.Right > kept.Left && kept.Bottom > kept.Top) {
      TBitmap line;
      line.SetSize(kept.Width(), kept.Height());
      line.SetPixelBits(24);
      TRect r{p.TextOrigin.X - kept.Left, p.TextOrigin.Y - kept.Top, clip.Right - kept.Left,
              clip.Bottom - kept.Top};
      CurrentTextRenderer().DrawText(line, p.Text, r, style);
      CopySurface(line, surface, kept.Left, kept.Top);
    }
  }
  if (p.Focus) {
    // The platform's focus marking: every other pixel of the rectangle's
    // inside edge inverted.
    const TRect& r = p.Rect;
    auto dot = [&](int x, int y) {
      if (x < 0 || y < 0 || x >= surface.Width() || y >= surface.Height()) return;
      if ((x + y) % 2 == 0) surface.SetPixelRgb(x, y, ~surface.GetPixelRgb(x, y) & 0xFFFFFF);
    };
    for (int x = r.Left; x < r.Right; ++x) {
      dot(x, r.Top);
      if (r.Bottom - 1 > r.Top) dot(x, r.Bottom - 1);
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
      dot(r.Left, y);
      if (r.Right - 1 > r.Left) dot(r.Right - 1, y);
    }
  }
}

TsCustomColorBox::TsCustomColorBox() {
  control_.Width = 145;
  control_.Height = 22;
  TickCount = SteadyTickCount;
  RebuildColorList();  // no native window yet: only marks the list pending
}

// --- native window --------------------------------------------------------

void TsCustomColorBox::AttachWindow(TsComboWindow* window) {
  window_ = window;
  if (!window_) return;
  if (saved_) {
    auto [entries, index] = std::move(*saved_);
    saved_.reset();
    for (const auto& e : entries) InsertEntry(-1, e.Text, e.Data);
    window_->SetItemIndex(index);
  }
  if (list_pending_) RebuildColorList();
}

void TsCustomColorBox::DetachWindow() {
  if (!window_) return;
  std::vector<SavedEntry> entries;
  const int count = window_->Count();
  entries.reserve(count);
  for (int i = 0; i < count; ++i) {
    TColor data = 0;
    if (!window_->Data(i, data)) ThrowIndexError();
    entries.push_back(SavedEntry{window_->Text(i), data});
  }
  saved_.emplace(std::move(entries), window_->ItemIndex());
  window_ = nullptr;
}

TsComboList& TsCustomColorBox::List() const {
  if (!window_) ThrowIndexError();
  return *window_;
}

// --- properties -----------------------------------------------------------

void TsCustomColorBox::SetStyle(TsColorBoxStyle value) {
  if (value == style_) return;
  style_ = value;
  SetEnabled((value & (cbStandardColors | cbExtendedColors | cbSystemColors | cbCustomColor)) != 0);
  RebuildColorList();
}

TColor TsCustomColorBox::Selected() const {
  if (!window_) return remembered_color_;
  const int index = window_->ItemIndex();
  return index < 0 ? kNoEntry : EntryColor(index);
}

void TsCustomColorBox::SetSelected(TColor value) {
  if (window_) {
    const bool custom = (style_ & cbCustomColor) != 0;
    int i = IndexOfColor(value);
    if (value != 0) {
      if (i == -1 && custom && value != kNoEntry && Count() > 0) {
        window_->SetData(0, value);
        i = 0;
      }
      window_->SetItemIndex(i);
    } else if (!custom) {
      window_->SetItemIndex(i);
    } else {
      if (i == -1 && Count() > 0) {
        window_->SetData(0, 0);
        i = 0;
      }
      window_->SetItemIndex(i);
      if (i == 0) {
        // Black belongs to its named entry rather than to the custom one.
        for (int j = 1; j < Count(); ++j)
          if (EntryColor(j) == 0) {
            window_->SetItemIndex(j);
            break;
          }
      }
    }
  }
  remembered_color_ = value;
}

void TsCustomColorBox::SetShowColorName(bool value) {
  if (value == show_color_name_) return;
  show_color_name_ = value;
  if (window_) window_->Invalidate();
}

void TsCustomColorBox::SetDefaultColorColor(TColor value) {
  if (value == default_color_color_) return;
  default_color_color_ = value;
  if (window_) window_->Invalidate();
}

void TsCustomColorBox::SetNoneColorColor(TColor value) {
  if (value == none_color_color_) return;
  none_color_color_ = value;
  if (window_) window_->Invalidate();
}

void TsCustomColorBox::SetMargin(int value) {
  if (value == margin_) return;
  margin_ = std::min(value, control_.Height / 2);
  if (window_) window_->Invalidate();
}

void TsCustomColorBox::SetItemHeight(int value) {
  if (value <= 0 || value == item_height_) return;
  item_height_ = value;
  if (!window_) return;
  window_->SetItemHeight(value);
  window_->Recreate();
}

void TsCustomColorBox::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  if (window_) window_->Invalidate();
}

void TsCustomColorBox::SetFont(const TFont& value) {
  control_.Font = value;
  bound_label_.ControlFontChanged();
  if (window_) window_->Invalidate();
}

void TsCustomColorBox::SetBounds(int left, int top, int width, int height) {
  if (left == control_.Left && top == control_.Top && width == control_.Width &&
      height == control_.Height)
    return;
  control_.Left = left;
  control_.Top = top;
  control_.Width = width;
  control_.Height = height;
  bound_label_.ControlBoundsChanged();
}

void TsCustomColorBox::SetVisible(bool value) {
  if (value == control_.Visible) return;
  control_.Visible = value;
  bound_label_.ControlVisibleChanged();
}

void TsCustomColorBox::SetEnabled(bool value) {
  if (value == control_.Enabled) return;
  control_.Enabled = value;
  if (window_) window_->ApplyEnabled(value);
  bound_label_.ControlEnabledChanged();
}

void TsCustomColorBox::SetRightToLeft(bool value) {
  if (value == control_.RightToLeft) return;
  control_.RightToLeft = value;
  bound_label_.ControlBiDiModeChanged();
}

// --- entries --------------------------------------------------------------

TColor TsCustomColorBox::EntryColor(int index) const {
  if (index < 0) return clNone;
  TColor data = 0;
  if (!window_ || !window_->Data(index, data)) ThrowIndexError();
  return data;
}

std::string TsCustomColorBox::EntryText(int index) const {
  if (!window_ || index < 0 || index >= window_->Count()) ThrowIndexError();
  return window_->Text(index);
}

void TsCustomColorBox::InsertEntry(int index, const std::string& text, TColor data) {
  if (!List().Insert(index, text, data)) throw EOutOfResources("Unable to insert a line");
}

int TsCustomColorBox::IndexOfColor(TColor value) const {
  const int count = Count();
  for (int i = 0; i < count; ++i)
    if (EntryColor(i) == value) return i;
  return -1;
}

void TsCustomColorBox::RebuildColorList() {
  if (!window_) {
    list_pending_ = true;
    return;
  }
  TsComboWindow* window = window_;
  window->SetRedraw(false);
  struct Finish {
    TsCustomColorBox& box;
    TsComboWindow* window;
    ~Finish() {
      window->SetRedraw(true);
      box.list_pending_ = false;
    }
  } finish{*this, window};

  const TColor customColor = (style_ & cbCustomColor) && Count() > 0 ? EntryColor(0) : 0;
  const TColor remembered = remembered_color_;

  window->Clear();
  const bool pretty = (style_ & cbPrettyNames) != 0;
  for (const TColorName& row : ColorTable())
    InsertEntry(-1, pretty ? PrettyColorName(row.Identifier) : std::string(row.Identifier),
                row.Value);
  if (!(style_ & cbIncludeNone))
    if (int i = IndexOfColor(clNone); i >= 0) window->Delete(i);
  if (!(style_ & cbIncludeDefault))
    if (int i = IndexOfColor(clDefault); i >= 0) window->Delete(i);
  // Positions from here on count after the deletions above, so clNone and
  // clDefault go with the system colours whatever their own flags say.
  if (!(style_ & cbSystemColors))
    for (int i = window->Count() - 1; i >= kExtendedEnd; --i) window->Delete(i);
  if (!(style_ & cbExtendedColors))
    for (int i = std::min(window->Count(), kExtendedEnd) - 1; i >= kStandardCount; --i)
      window->Delete(i);
  if (!(style_ & cbStandardColors))
    for (int i = std::min(window->Count(), kStandardCount) - 1; i >= 0; --i) window->Delete(i);
  if (style_ & cbCustomColor) InsertEntry(0, "Custom...", customColor);
  if ((style_ & cbCustomColors) && OnGetColors) OnGetColors(*this, *window);
  SetSelected(remembered);
}

int TsCustomColorBox::DropDownHeight() const {
  const int rows = std::max(1, std::min(Count(), drop_down_count_));
  return rows * item_height_;
}

// --- user input -----------------------------------------------------------

void TsCustomColorBox::Change() {
  if (!loading_ && OnChange) OnChange(*this);
}

void TsCustomColorBox::Select() {
  if (loading_) return;
  if (OnSelect)
    OnSelect(*this);
  else
    Change();
}

void TsCustomColorBox::UserChangedSelection() {
  if (loading_) return;
  if (OnClick) OnClick(*this);
  if (picked_from_list_) {
    picked_from_list_ = false;
    if ((style_ & cbCustomColor) && ItemIndex() == 0 && !ChooseCustomColor()) return;
  }
  Select();
}

void TsCustomColorBox::KeyDown() { picked_from_list_ = false; }

bool TsCustomColorBox::KeyPress(char key) {
  if (key == '\r' && (style_ & cbCustomColor) && window_ && ItemIndex() == 0) {
    // A colour chosen here changes Selected as much as a pick from the list
    // does, so it is reported the same way.
    if (ChooseCustomColor()) Select();
    return true;
  }
  if (!auto_complete_) return false;
  const uint32_t now = TickCount ? TickCount() : SteadyTickCount();
  if (now - last_key_time_ >= kSearchPauseMs) search_text_.clear();
  last_key_time_ = now;
  switch (key) {
    case '\x1b':
      return false;
    case '\t':
      if (auto_drop_down_ && window_ && window_->DroppedDown()) window_->SetDroppedDown(false);
      return false;
    case '\b':
      if (!search_text_.empty()) search_text_.pop_back();
      Change();
      return true;
    default:
      break;
  }
  if (!window_) return false;
  if (auto_drop_down_ && !window_->DroppedDown()) window_->SetDroppedDown(true);
  const std::string wanted = search_text_ + key;
  // No entry's name holds a NUL (Ctrl+@), and the list's prefix search
  // would stop at it and match what came before.
  const int found = key == '\0' ? -1 : window_->FindPrefix(wanted);
  if (found < 0) return false;  // the platform list does its own search
  const int old = window_->ItemIndex();
  window_->SetItemIndex(found);
  search_text_ = wanted;
  if (found != old) UserChangedSelection();
  return true;
}

void TsCustomColorBox::DroppedDownByUser() {
  if (OnDropDown) OnDropDown(*this);
}

void TsCustomColorBox::ClosedUpByUser() {
  if (window_) window_->Invalidate();
  if (OnCloseUp) OnCloseUp(*this);
  picked_from_list_ = true;
}

// --- drawing --------------------------------------------------------------

TColorEntryPaint TsCustomColorBox::DrawItem(int index, const TRect& rect, unsigned state,
                                            const TColorBoxMetrics& metrics) const {
  TColorEntryPaint paint;
  paint.Rect = rect;
  const bool highlighted = index >= 0 && (state & odSelected);
  paint.Background = highlighted ? clHighlight : color_;
  paint.TextColor = highlighted ? clHighlightText : control_.Font.Color;
  if (index >= 0) PaintColorEntry(index, state, metrics, paint);
  paint.Focus = (state & odFocused) != 0;
  return paint;
}

void TsCustomColorBox::PaintColorEntry(int index, unsigned state, const TColorBoxMetrics& metrics,
                                       TColorEntryPaint& paint) const {
  const TRect& r = paint.Rect;
  const bool colourBarOnly = !show_color_name_ && (state & odComboBoxEdit);
  TRect s = r;
  s.Right = colourBarOnly ? r.Right - (metrics.ScrollBarWidth + 1) : r.Left + (r.Bottom - r.Top);
  s = TRect{s.Left + 1, s.Top + 1, s.Right - 1, s.Bottom - 1};

  TColor colour = EntryColor(index);
  if (colour == clDefault)
    colour = default_color_color_;
  else if (colour == clNone)
    colour = none_color_color_;
  paint.HasEntry = true;
  paint.Swatch = s;
  paint.SwatchColor = colour;
  paint.SwatchBorder = SwatchBorderColor(ResolveColor(colour), state);
  if (colourBarOnly) return;

  paint.HasText = true;
  paint.Text = EntryText(index);
  paint.TextClip = TRect{s.Right + 5, r.Top, r.Right, r.Bottom};
  paint.TextOrigin = TPoint{paint.TextClip.Left, r.Top + (r.Height() - metrics.TextHeight) / 2};
}

bool TsCustomColorBox::ChooseCustomColor() {
  if (!ColorChooser || Count() == 0) return false;
  uint32_t rgb = ResolveColor(EntryColor(0)) & 0xFFFFFF;
  if (!ColorChooser(rgb)) return false;
  window_->SetData(0, static_cast<TColor>(rgb & 0xFFFFFF));
  window_->Invalidate();
  return true;
}

}  // namespace qv
