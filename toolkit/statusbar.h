// A status bar showing one text across its whole width.
#pragma once

#include <string>

#include "toolkit/control.h"

namespace qv::win {

class TStatusBar : public TControl {
 public:
  void SetText(const std::wstring& text);
  const std::wstring& Text() const { return text_; }

 protected:
  const wchar_t* SystemClass() const override { return STATUSCLASSNAMEW; }
  // Placed by its owner, like every other control; the text of the
  // creation arguments is the status text.
  void PrepareCreate(CreateArgs& args) override;
  void OnCreated() override;

 private:
  std::wstring text_;
};

}  // namespace qv::win
