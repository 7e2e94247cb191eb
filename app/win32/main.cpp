// Start-up: application, title, main window, hidden About window, message
// loop. The main window is an unowned top-level window with its own
// taskbar button; there is no hidden application window.
#include "app/win32/about_box.h"
#include "app/win32/command_line_win32.h"
#include "app/win32/main_form.h"
#include "toolkit/dpi.h"
#include "toolkit/errors.h"
#include "toolkit/gdi_text.h"
#include "toolkit/win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace qv;
  // Started with arguments (a script calling quorvane.exe directly): one
  // command, no window.
  if (win::HasCommandArguments()) return win::RunCommandLineOnConsole(true);

  // 1. The application: DPI awareness (the manifest asks for it too), the
  //    common controls, and the platform's text and system colours for the
  //    drawing code.
  win::EnableDpiAwareness();
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  win::InstallPlatformServices();
  // 2 and 3. The main window carries the taskbar button (WS_EX_APPWINDOW);
  //    the application title is the caption of the error boxes.
  win::SetApplicationTitle(L"Quorvane");

  // 4. The main window; FormCreate runs at the end of its creation.
  TForm1 form;
  Form1 = &form;
  bool built = false;
  win::Dispatch([&] {
    form.Build();
    built = true;
  });
  if (!built) return 1;

  // 5. The About window, hidden until About is clicked.
  TAboutBox about;
  win::Dispatch([&] { about.Create(instance); });
  AboutBox = about.Handle() ? &about : nullptr;

  // 6. Show and run until the main window closes.
  form.Show();
  const int code = win::RunMessageLoop();
  AboutBox = nullptr;
  Form1 = nullptr;
  return code;
}
