#include "toolkit/statusbar.h"

namespace qv::win {

void TStatusBar::OnCreated() {
  // The form places the bar itself (CCS_NORESIZE in CreateArgs): its height
  // comes from the form's table, scaled like every other size.
  SendMessageW(Handle(), SB_SIMPLE, TRUE, 0);
  SetText(text_);
}

void TStatusBar::SetText(const std::wstring& text) {
  text_ = text;
  if (Handle()) SendMessageW(Handle(), SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text_.c_str()));
}

}  // namespace qv::win
