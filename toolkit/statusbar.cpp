#include "toolkit/statusbar.h"

namespace qv::win {

void TStatusBar::PrepareCreate(CreateArgs& args) {
  // The form places the bar itself: its height comes from the form's table,
  // scaled like every other size.
  args.Style |= CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER;
  if (!args.Text.empty()) text_ = std::move(args.Text);
  args.Text.clear();
}

void TStatusBar::OnCreated() {
  SendMessageW(Handle(), SB_SIMPLE, TRUE, 0);
  SetText(text_);
}

void TStatusBar::SetText(const std::wstring& text) {
  text_ = text;
  if (Handle()) SendMessageW(Handle(), SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text_.c_str()));
}

}  // namespace qv::win
