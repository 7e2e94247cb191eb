// A plain container with a one-pixel raised bevel, in the button-face colour.
#pragma once

#include "toolkit/control.h"

namespace qv::win {

class TPanel : public TControl {
 public:
  void PaintContent(HDC dc) override;
  // Docked children keep the bevel free.
  RECT ChildArea(RECT client) const override;

 protected:
  const wchar_t* ClassName() const override { return L"QvPanel"; }
  // A container: no tab stop of its own, Tab goes on into its children.
  void PrepareCreate(CreateArgs& args) override;
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// Children such as check boxes and group boxes ask their parent for the
// background brush; a panel answers with its own colour.
bool AnswerButtonFaceColor(UINT msg, WPARAM wParam, LRESULT* result);

}  // namespace qv::win
