// The colour selection box: a non-editable drop-down list of named colours,
// each entry a small colour square and the colour's name. This is the
// portable model; it holds every rule of the box and talks to the platform's
// list through TsComboList. The Windows front end (controls/win32) owns the
// native window, implements TsComboList on it and paints what the model says.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controls/bound_label.h"
#include "imaging/color.h"
#include "imaging/drawing.h"
#include "imaging/geometry.h"

namespace qv {

// Which colours the list offers: a set held in one byte.
enum TsColorBoxStyles : uint8_t {
  cbStandardColors = 0x01,  // table rows 0-15
  cbExtendedColors = 0x02,  // table rows 16-19
  cbSystemColors = 0x04,    // table rows 20-51
  cbIncludeNone = 0x08,     // keep clNone
  cbIncludeDefault = 0x10,  // keep clDefault
  cbCustomColor = 0x20,     // entry 0 is "Custom..." holding a user-chosen colour
  cbPrettyNames = 0x40,     // "Money Green" rather than "clMoneyGreen"
  cbCustomColors = 0x80,    // OnGetColors adds entries after the list is built
};
using TsColorBoxStyle = uint8_t;
inline constexpr TsColorBoxStyle kDefaultColorBoxStyle =
    cbStandardColors | cbExtendedColors | cbSystemColors;

enum TsDisabledKind { dkBlended, dkGrayed };

// Flags the platform passes when it asks for an entry to be drawn.
enum TOwnerDrawState : unsigned {
  odSelected = 1u << 0,
  odFocused = 1u << 1,
  odComboBoxEdit = 1u << 2,  // the selection field of the closed box
};

// The platform's list of a drop-down box: entries of text plus 32-bit data.
class TsComboList {
 public:
  virtual ~TsComboList() = default;
  virtual int Count() const = 0;
  // Appends (index -1) or inserts an entry; false when the list refuses.
  virtual bool Insert(int index, const std::string& text, TColor data) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual std::string Text(int index) const = 0;
  // False when the list cannot answer for that index.
  virtual bool Data(int index, TColor& data) const = 0;
  virtual void SetData(int index, TColor data) = 0;
  virtual int ItemIndex() const = 0;  // -1: no entry is current
  // Makes an entry current; the platform reports nothing for this.
  virtual void SetItemIndex(int index) = 0;
  // First entry whose text starts with prefix, ignoring case; -1 if none.
  virtual int FindPrefix(const std::string& prefix) const = 0;
};

// The native window of the box as the model sees it.
class TsComboWindow : public TsComboList {
 public:
  virtual bool DroppedDown() const = 0;
  virtual void SetDroppedDown(bool open) = 0;
  virtual void SetRedraw(bool on) = 0;
  virtual void SetItemHeight(int height) = 0;
  virtual void Invalidate() = 0;
  virtual void ApplyEnabled(bool enabled) = 0;
  // Destroys and creates the native window again; the window calls
  // DetachWindow before and AttachWindow after.
  virtual void Recreate() = 0;
};

// What drawing one entry comes to, in the order it is painted: the
// rectangle filled with the background, the colour square with its frame,
// the name (unless only a colour bar is shown) and the focus rectangle.
struct TColorEntryPaint {
  TRect Rect;
  TColor Background = 0;
  bool HasEntry = false;  // false: the field shows only the background
  TRect Swatch;           // the square, frame included
  TColor SwatchColor = 0;
  uint32_t SwatchBorder = 0;  // resolved
  bool HasText = false;
  std::string Text;
  TRect TextClip;
  TPoint TextOrigin;
  TColor TextColor = 0;
  bool Focus = false;
};

// Platform figures the drawing depends on.
struct TColorBoxMetrics {
  int TextHeight = 13;      // a line of the box's font
  int ScrollBarWidth = 17;  // a vertical scroll bar
};

// Frame of a colour square: black around a bright colour (any channel above
// 192), white around a dark one in a selected entry, else the colour itself.
uint32_t SwatchBorderColor(uint32_t resolved, unsigned state);

// Paints a planned entry onto a surface with the portable drawing services
// (the focus rectangle as a dotted line).
void PaintColorEntryTo(TBitmap& surface, const TColorEntryPaint& paint, const TFont& font);

class TsCustomColorBox {
 public:
  using TNotifyEvent = std::function<void(TsCustomColorBox& sender)>;
  using TGetColorsEvent = std::function<void(TsCustomColorBox& sender, TsComboList& items)>;

  TsCustomColorBox();
  virtual ~TsCustomColorBox() = default;
  TsCustomColorBox(const TsCustomColorBox&) = delete;
  TsCustomColorBox& operator=(const TsCustomColorBox&) = delete;

  // --- native window --------------------------------------------------
  bool HandleAllocated() const { return window_ != nullptr; }
  // The native window exists: entries saved at the last DetachWindow come
  // back with their current index, and a pending list is built.
  void AttachWindow(TsComboWindow* window);
  // The native window is about to go: its entries and current index are kept
  // for the next AttachWindow.
  void DetachWindow();

  // --- properties -----------------------------------------------------
  TsColorBoxStyle Style() const { return style_; }
  void SetStyle(TsColorBoxStyle value);
  TColor Selected() const;
  void SetSelected(TColor value);
  bool ShowColorName() const { return show_color_name_; }
  void SetShowColorName(bool value);
  TColor DefaultColorColor() const { return default_color_color_; }
  void SetDefaultColorColor(TColor value);
  TColor NoneColorColor() const { return none_color_color_; }
  void SetNoneColorColor(TColor value);
  int Margin() const { return margin_; }
  void SetMargin(int value);
  int DropDownCount() const { return drop_down_count_; }
  void SetDropDownCount(int value) { drop_down_count_ = value; }
  int ItemHeight() const { return item_height_; }
  void SetItemHeight(int value);
  bool AutoComplete() const { return auto_complete_; }
  void SetAutoComplete(bool value) { auto_complete_ = value; }
  bool AutoDropDown() const { return auto_drop_down_; }
  void SetAutoDropDown(bool value) { auto_drop_down_ = value; }
  TsDisabledKind DisabledKind() const { return disabled_kind_; }
  void SetDisabledKind(TsDisabledKind value) { disabled_kind_ = value; }
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  const TFont& Font() const { return control_.Font; }
  void SetFont(const TFont& value);
  bool TabStop() const { return tab_stop_; }
  void SetTabStop(bool value) { tab_stop_ = value; }
  const std::string& SkinSection() const { return skin_section_; }  // kept, changes nothing
  void SetSkinSection(const std::string& value) { skin_section_ = value; }

  // The control's own name, place and state; the label follows them.
  const std::string& Name() const { return control_.Name; }
  void SetName(const std::string& value) { control_.Name = value; }
  const TBoundControl& Bounds() const { return control_; }
  void SetBounds(int left, int top, int width, int height);
  bool Visible() const { return control_.Visible; }
  void SetVisible(bool value);
  bool Enabled() const { return control_.Enabled; }
  void SetEnabled(bool value);
  void SetRightToLeft(bool value);

  TsBoundLabel& BoundLabel() { return bound_label_; }
  const TsBoundLabel& BoundLabel() const { return bound_label_; }

  // Form loading: nothing is reported while it lasts.
  bool Loading() const { return loading_; }
  void SetLoading(bool value) { loading_ = value; }

  // --- entries --------------------------------------------------------
  // Colour of entry i; clNone for i below 0. EStringListError "List index
  // out of bounds" when the list cannot tell.
  TColor EntryColor(int index) const;
  int Count() const { return window_ ? window_->Count() : 0; }
  int ItemIndex() const { return window_ ? window_->ItemIndex() : -1; }
  std::string EntryText(int index) const;
  void RebuildColorList();

  // --- state the tests and the front end read ---------------------------
  TColor RememberedColor() const { return remembered_color_; }
  bool ListPending() const { return list_pending_; }
  bool PickedFromList() const { return picked_from_list_; }
  const std::string& SearchText() const { return search_text_; }

  // Height of the open list and of the box with its list open.
  int DropDownHeight() const;
  int DroppedHeight() const { return DropDownHeight() + control_.Height + 2; }

  // --- user input, reported by the front end ----------------------------
  // A key went down (before its character): ends a pick from the open list.
  void KeyDown();
  // A typed character; returns true when the box consumed it, false when it
  // goes on to the platform list.
  bool KeyPress(char key);
  // The user made another entry current (click, arrow keys, the platform's
  // own character search).
  void UserChangedSelection();
  void DroppedDownByUser();
  void ClosedUpByUser();

  // --- drawing ----------------------------------------------------------
  // The whole drawing of entry i (-1: the field with no current entry).
  TColorEntryPaint DrawItem(int index, const TRect& rect, unsigned state,
                            const TColorBoxMetrics& metrics) const;

  // Runs the shared colour chooser for the custom entry; true on OK.
  virtual bool ChooseCustomColor();

  // --- events -----------------------------------------------------------
  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnClick;
  TNotifyEvent OnCloseUp;
  TNotifyEvent OnDropDown;
  TGetColorsEvent OnGetColors;

  // The platform's colour chooser, preset to an RGB value; true on OK with
  // the choice in rgb. Unset: the custom entry cannot be changed.
  std::function<bool(uint32_t& rgb)> ColorChooser;
  // Milliseconds since an arbitrary start (the platform's tick count).
  std::function<uint32_t()> TickCount;

 protected:
  // Plain drawing of one entry into paint (background, square, name).
  virtual void PaintColorEntry(int index, unsigned state, const TColorBoxMetrics& metrics,
                               TColorEntryPaint& paint) const;

 private:
  struct SavedEntry {
    std::string Text;
    TColor Data;
  };

  void Change();
  void Select();
  TsComboList& List() const;
  void InsertEntry(int index, const std::string& text, TColor data);
  int IndexOfColor(TColor value) const;

  TsComboWindow* window_ = nullptr;  // not owned: the front end's window
  TBoundControl control_;
  TsBoundLabel bound_label_{control_};

  TsColorBoxStyle style_ = kDefaultColorBoxStyle;
  bool show_color_name_ = true;
  TColor default_color_color_ = 0;
  TColor none_color_color_ = 0;
  int margin_ = 0;
  int drop_down_count_ = 14;
  int item_height_ = 16;
  bool auto_complete_ = true;
  bool auto_drop_down_ = false;
  TsDisabledKind disabled_kind_ = dkBlended;
  TColor color_ = clWindow;
  bool tab_stop_ = true;
  std::string skin_section_ = "COMBOBOX";
  bool loading_ = false;

  TColor remembered_color_ = 0;
  bool list_pending_ = false;
  bool picked_from_list_ = false;
  std::string search_text_;
  uint32_t last_key_time_ = 0;
  std::optional<std::pair<std::vector<SavedEntry>, int>> saved_;
};

// The published class: the forms create this one.
class TsColorBox : public TsCustomColorBox {};

}  // namespace qv
