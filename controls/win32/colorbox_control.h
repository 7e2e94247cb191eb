// The colour selection box on Windows: an owner-drawn, fixed-height,
// non-editable drop-down list (a system COMBOBOX) that draws its entries as
// the portable model says, forwards keys to the model's type-ahead search,
// reports the user's changes through the model's events and keeps the
// caption label window beside itself.
//
// How it is used (positions already scaled):
//
//   TColorBoxControl colorselect1;
//   colorselect1.Create({.Parent = panel, ..., .Text = L"Gradient 1st Color:",
//                        .Name = "colorselect1"});  // text: the caption label's
//   colorselect1.BindEvent("change", [this] { colorselect1Change(); });
//   ...
//   colorselect1.Box().SetSelected(0xFF0000);  // fires nothing
//
// A form does the same from its table row.
//
// The parent must reflect WM_DRAWITEM, WM_MEASUREITEM and WM_COMMAND to the
// box (every TControl parent does).
#pragma once

#include <cstdint>

#include "controls/colorbox.h"
#include "controls/win32/colorbox_label.h"
#include "toolkit/control.h"
#include "toolkit/handles.h"

namespace qv::win {

class TColorBoxControl : public TControl, private TsComboWindow {
 public:
  TColorBoxControl();
  ~TColorBoxControl() override;

  // The model: properties, entries and events. Valid before and after the
  // window exists.
  TsColorBox& Box() { return box_; }
  const TsColorBox& Box() const { return box_; }

  // The model's change event.
  bool BindEvent(std::string_view event, std::function<void()> handler) override;

  // Activates the caption label with its text, as a form description does
  // (Active first, then the caption).
  void SetCaptionLabel(const std::string& caption);
  // The label's window, or nullptr while no label exists.
  HWND LabelHandle() const { return label_.Handle(); }

 protected:
  const wchar_t* SystemClass() const override { return L"COMBOBOX"; }
  // The closed box's height in args.Height becomes the window's, list
  // included; the combo box's styles, the box's tab stop, enabled state and
  // font are added. A text becomes the caption label, a name the box's.
  void PrepareCreate(CreateArgs& args) override;
  void OnCreated() override;
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnReflected(MessageArgs& args) override;

 private:
  // TsComboWindow on the native list.
  int Count() const override;
  bool Insert(int index, const std::string& text, TColor data) override;
  void Delete(int index) override;
  void Clear() override;
  std::string Text(int index) const override;
  bool Data(int index, TColor& data) const override;
  void SetData(int index, TColor data) override;
  int ItemIndex() const override;
  void SetItemIndex(int index) override;
  int FindPrefix(const std::string& prefix) const override;
  bool DroppedDown() const override;
  void SetDroppedDown(bool open) override;
  void SetRedraw(bool on) override;
  void SetItemHeight(int height) override;
  void Invalidate() override;
  void ApplyEnabled(bool enabled) override;
  void Recreate() override;

  int ScaledItemHeight() const;
  void DrawEntry(const DRAWITEMSTRUCT& item);
  void SyncBounds();
  void SyncLabel();
  void FitDroppedHeight();

  TsColorBox box_;
  TCaptionLabelWindow label_;  // owned: destroyed with the box
  HWND parent_ = nullptr;      // not owned
  HFONT font_ = nullptr;       // not owned: the form's font, or own_font_
  Font own_font_;              // owned: used when the form gives no font
  CreateArgs args_;            // for re-creation
  std::string pending_caption_;  // shown once the window exists
  bool recreating_ = false;
};

// The platform's standard colour dialog, shared by every box and preset to
// rgb; true on OK with the choice in rgb.
bool RunColorDialog(HWND owner, uint32_t& rgb);

}  // namespace qv::win
