#include "toolkit/panel.h"

namespace qv::win {

bool AnswerButtonFaceColor(UINT msg, WPARAM wParam, LRESULT* result) {
  if (msg != WM_CTLCOLORSTATIC && msg != WM_CTLCOLORBTN) return false;
  HDC dc = reinterpret_cast<HDC>(wParam);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  *result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  return true;
}

void TPanel::PrepareCreate(CreateArgs& args) {
  args.Style &= ~static_cast<DWORD>(WS_TABSTOP);
  args.Style |= WS_CLIPCHILDREN;
  args.ExStyle |= WS_EX_CONTROLPARENT;
}

RECT TPanel::ChildArea(RECT client) const {
  InflateRect(&client, -1, -1);
  return client;
}

void TPanel::PaintContent(HDC dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  // The bevel stays one device pixel at every DPI, as the system's own are.
  DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
}

LRESULT TPanel::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ERASEBKGND) return 1;  // PaintContent covers everything
  if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
    LRESULT result = 0;
    if (ReflectToChild(Handle(), msg, wParam, lParam, &result)) return result;
    AnswerButtonFaceColor(msg, wParam, &result);
    return result;
  }
  return TControl::HandleMessage(msg, wParam, lParam);
}

}  // namespace qv::win
