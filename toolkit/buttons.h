// Push button with a glyph, check box and captioned radio group. Each fires
// OnClick (std::function, called only when set) when the user chooses it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "toolkit/control.h"
#include "toolkit/handles.h"

namespace qv::win {

// A push button showing a square glyph left of its caption, both centred
// together with a gap between them. The glyph is painted by GlyphPainter at
// the size the button needs (so it stays crisp at every DPI) as a 32-bit
// surface whose fourth byte is the coverage (0 transparent, 255 opaque).
class TBitBtn : public TControl {
 public:
  std::function<void()> OnClick;
  std::function<TBitmap(int size)> GlyphPainter;
  int GlyphSize96 = 32;
  int Spacing96 = 4;

  void PaintContent(HDC dc) override;
  void PaintContent(HDC dc, bool pushed, bool focused, bool hot);
  bool BindEvent(std::string_view event, std::function<void()> handler) override;

 protected:
  const wchar_t* SystemClass() const override { return L"BUTTON"; }
  void PrepareCreate(CreateArgs& args) override;
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnReflected(MessageArgs& args) override;

 private:
  void DrawGlyph(HDC dc, int x, int y, int size);
  TBitmap glyph_;  // cached at glyphSize_
  int glyphSize_ = 0;
  bool hot_ = false;
};

class TCheckBox : public TControl {
 public:
  std::function<void()> OnClick;
  bool Checked() const;
  // From code: no click event.
  void SetChecked(bool checked);
  bool BindEvent(std::string_view event, std::function<void()> handler) override;

 protected:
  const wchar_t* SystemClass() const override { return L"BUTTON"; }
  void PrepareCreate(CreateArgs& args) override;
  void OnReflected(MessageArgs& args) override;
};

// A group box titled with the control's text whose items become radio
// buttons laid out by RadioButtonRect. Choosing an item (the selected one
// included) sets ItemIndex and fires OnClick.
class TRadioGroup : public TControl {
 public:
  std::function<void()> OnClick;
  std::vector<std::wstring> Items;  // set before Create
  int Columns = 1;

  int ItemIndex() const { return itemIndex_; }
  // From code: no click event. -1 selects nothing. Before Create it sets
  // the item chosen when the buttons are made.
  void SetItemIndex(int index);
  HWND Button(int i) const { return buttons_.at(static_cast<size_t>(i)); }
  bool BindEvent(std::string_view event, std::function<void()> handler) override;
  // The group and each of its buttons.
  std::vector<HWND> HintWindows() const override;

 protected:
  const wchar_t* ClassName() const override { return L"QvRadioGroup"; }
  void PrepareCreate(CreateArgs& args) override;
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnCreated() override;

 private:
  // The layout rule, again after every size or font change.
  void ArrangeButtons();

  HWND group_ = nullptr;          // child window, destroyed with this one
  std::vector<HWND> buttons_;     // child windows, destroyed with this one
  int itemIndex_ = -1;
};

}  // namespace qv::win
