#include "app/win32/about_box.h"

namespace qv {

namespace {

const wchar_t kClassName[] = L"QuorvaneAboutBox";

}  // namespace

TAboutBox::TAboutBox() = default;

TAboutBox::~TAboutBox() {
  if (handle_) DestroyWindow(handle_);
}

void TAboutBox::Create(HINSTANCE instance) {
  if (handle_) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &TAboutBox::WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // a second registration fails harmlessly

  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME;
  RECT frame{0, 0, 298, 274};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  CreateWindowExW(exStyle, kClassName, L"Quorvane 1.0", style, x, y, width, height, nullptr,
                  nullptr, instance, this);
  ok_ = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                        117, 232, 75, 33, handle_, reinterpret_cast<HMENU>(IDOK), instance,
                        nullptr);
}

int TAboutBox::ShowModal(HWND owner) {
  if (!handle_) return 0;
  modal_result_ = 0;
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(handle_, SW_SHOW);
  SetFocus(ok_);
  MSG msg;
  bool quit = false;
  while (modal_result_ == 0) {
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      quit = true;
      break;
    }
    if (IsDialogMessageW(handle_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // The owner is enabled again before this window hides, so that activation
  // returns to it rather than to some other program.
  if (owner) EnableWindow(owner, TRUE);
  ShowWindow(handle_, SW_HIDE);
  if (owner) SetActiveWindow(owner);
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
  return modal_result_;
}

LRESULT CALLBACK TAboutBox::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  TAboutBox* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<TAboutBox*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->handle_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<TAboutBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->handle_ = nullptr;
    self->ok_ = nullptr;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT TAboutBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) modal_result_ = IDOK;
      return 0;
    case WM_CLOSE:
      modal_result_ = IDCANCEL;
      return 0;  // hidden by ShowModal, never destroyed here
  }
  return DefWindowProcW(handle_, message, wParam, lParam);
}

}  // namespace qv
