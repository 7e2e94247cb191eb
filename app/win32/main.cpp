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

  // Before any window exists: windows created earlier would keep the
  // system's scaling (the manifest asks for awareness too), the colour boxes
  // and the status bar need their common-control classes, and the drawing
  // code gets the platform's text and system colours.
  win::EnableDpiAwareness();
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  win::InstallPlatformServices();
  // The caption of every error box. (The main window carries the taskbar
  // button itself, WS_EX_APPWINDOW: there is no hidden application window.)
  win::SetApplicationTitle(L"Quorvane");

  // The main window; FormCreate runs at the end of its creation. A failure
  // there has been reported in a message box, and the program ends.
  TForm1 form;
  Form1 = &form;
  bool built = false;
  win::Dispatch([&] {
    form.Build();
    built = true;
  });
  if (!built) return 1;

  // The About window is made now and stays hidden, so that About shows it
  // at once; without it About does nothing rather than fail.
  TAboutBox about;
  win::Dispatch([&] { about.Create(instance); });
  AboutBox = about.Handle() ? &about : nullptr;

  // Show the main window and run until it closes; the forms are gone from
  // the globals before their objects are.
  form.Show();
  const int code = win::RunMessageLoop();
  AboutBox = nullptr;
  Form1 = nullptr;
  return code;
}
