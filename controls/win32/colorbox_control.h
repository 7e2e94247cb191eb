// The colour selection box on Windows: an owner-drawn, fixed-height,
// non-editable drop-down list (a system COMBOBOX) that draws its entries as
// the portable model says, forwards keys to the model's type-ahead search,
// reports the user's changes through the model's events and keeps the
// caption label window beside itself.
//
// How a form uses it (positions already scaled by the form):
//
//   TColorBoxControl colorselect1;
//   colorselect1.Box().SetName("colorselect1");
//   colorselect1.Create(args);          // this class's Create, not TControl's
//   colorselect1.SetCaptionLabel("Gradient 1st Color:");
//   colorselect1.Box().OnChange = [this](TsCustomColorBox&) { colorselect1Change(); };
//   ...
//   colorselect1.Box().SetSelected(0xFF0000);  // fires nothing
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

  // Creates the native box. args.Height is the closed box's height (the
  // list's is added here); args.Style may add WS_TABSTOP, WS_DISABLED and the
  // like. Hides TControl::Create, which cannot give a combo box its styles:
  // a box created through the base refuses with an error.
  void Create(const CreateArgs& args);

  // Activates the caption label with its text, as a form description does
  // (Active first, then the caption).
  void SetCaptionLabel(const std::string& caption);
  // The label's window, or nullptr while no label exists.
  HWND LabelHandle() const { return label_.Handle(); }

 protected:
  const wchar_t* SystemClass() const override { return L"COMBOBOX"; }
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
  bool recreating_ = false;
};

// The platform's standard colour dialog, shared by every box and preset to
// rgb; true on OK with the choice in rgb.
bool RunColorDialog(HWND owner, uint32_t& rgb);

}  // namespace qv::win
