#include "toolkit/dpi.h"

namespace qv::win {

namespace {

// GetDpiForWindow and SetProcessDpiAwarenessContext came with Windows 10;
// looked up at run time so that the program still starts on older systems.
template <typename F>
F UserProc(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

int DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = UserProc<GetDpiForWindowFn>("GetDpiForWindow");
  if (window && getDpiForWindow) {
    if (UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

int Scale(int value96, int dpi) { return MulDiv(value96, dpi, 96); }

void EnableDpiAwareness() {
  using SetContextFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
  if (auto setContext = UserProc<SetContextFn>("SetProcessDpiAwarenessContext")) {
    if (setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) return;
    if (setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE)) return;
  }
  SetProcessDPIAware();
}

}  // namespace qv::win
