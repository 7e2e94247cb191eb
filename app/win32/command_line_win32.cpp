#include "app/win32/command_line_win32.h"

#include <sstream>
#include <string>
#include <vector>

#include "app/cli/command_line.h"
#include "app/win32/toolbar_registry.h"
#include "toolkit/gdi_text.h"
#include "toolkit/text.h"
#include "toolkit/win.h"

#include <shellapi.h>  // after <windows.h>, which it needs

namespace qv::win {

namespace {

class TRegistryToolbarRecord : public TToolbarRecord {
 public:
  void Write(const std::string& path) override { WriteToolbarBitmapValue(path); }
  std::optional<std::string> Read() override { return ReadToolbarBitmapValue(); }
};

std::vector<std::string> CommandArguments() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; argv && i < count; ++i) args.push_back(Narrow(argv[i]));
  if (argv) LocalFree(argv);
  return args;
}

bool Usable(HANDLE handle) { return handle && handle != INVALID_HANDLE_VALUE; }

// A window program starts without standard handles unless the one that
// started it redirected them (a script writing to a file or a pipe). The
// console of a shell that started it is borrowed for what is not
// redirected; the shell does not wait for a window program, so the line
// appears after its prompt (quorvane.com is the program for shells).
void AttachParentConsole() {
  const bool out = Usable(GetStdHandle(STD_OUTPUT_HANDLE));
  const bool err = Usable(GetStdHandle(STD_ERROR_HANDLE));
  if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  auto open = [] {
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
  };
  if (!out) SetStdHandle(STD_OUTPUT_HANDLE, open());
  if (!err) SetStdHandle(STD_ERROR_HANDLE, open());
}

// A console gets the text as UTF-16, so that every path shows as it is; a
// file or pipe gets UTF-8 with Windows line ends.
void WriteText(DWORD which, const std::string& text) {
  HANDLE handle = GetStdHandle(which);
  if (text.empty() || !Usable(handle)) return;
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(handle, &mode)) {
    const std::wstring wide = Widen(text);
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::string bytes;
  for (char c : text) {
    if (c == '\n') bytes.push_back('\r');
    bytes.push_back(c);
  }
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

bool HasCommandArguments() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv) LocalFree(argv);
  return count > 1;
}

int RunCommandLineOnConsole(bool attachParentConsole) {
  if (attachParentConsole) AttachParentConsole();
  // The system colours (clBtnFace and the others) come from the system, as
  // in the window.
  InstallPlatformServices();
  TRegistryToolbarRecord record;
  std::ostringstream out, err;
  const int code = RunCommandLine(CommandArguments(), &record, out, err);
  WriteText(STD_OUTPUT_HANDLE, out.str());
  if (attachParentConsole && !Usable(GetStdHandle(STD_ERROR_HANDLE))) {
    // Started from Explorer (a file dropped on the program, a shortcut with
    // arguments) there is no console to tell: a failure is shown in the
    // program's error box instead of vanishing without a word.
    std::string text = err.str();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (code != 0 && !text.empty())
      MessageBoxW(nullptr, Widen(text).c_str(), L"Quorvane", MB_OK | MB_ICONERROR);
  } else {
    WriteText(STD_ERROR_HANDLE, err.str());
  }
  return code;
}

}  // namespace qv::win
