// The window of a caption label. It owns the HWND, keeps the portable model
// (controls/labelfx.h) in step with the window's text and bounds, and shows
// what the model paints over the parent's background. With the model's
// shadow mode at smNone it is the program's plain label as well.
#pragma once

#include <functional>
#include <string>

#include "controls/labelfx.h"
#include "toolkit/control.h"
#include "toolkit/pointer_events.h"

namespace qv::win {

class TsLabelFXControl : public TControl {
 public:
  TsLabelFXControl();

  TsLabelFX& Model() { return model_; }
  const TsLabelFX& Model() const { return model_; }
  TPointerEvents& Pointer() { return pointer_; }
  const TPointerEvents& Pointer() const { return pointer_; }
  // Paints the label over the parent's background, as the window shows it.
  void PaintContent(HDC dc) override;
  // The pointer's events: "click", "mousemove", "mouseleave".
  bool BindEvent(std::string_view event, std::function<void()> handler) override;

 protected:
  const wchar_t* ClassName() const override { return L"QvLabelFX"; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnCreated() override;

 private:
  void TakeWindowBounds();

  TsLabelFX model_;
  TPointerEvents pointer_;
  bool syncing_ = false;  // the window is being moved to the model's bounds, or the reverse
};

}  // namespace qv::win
