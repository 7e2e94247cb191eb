// quorvane.com: the console companion of quorvane.exe. Shells prefer .com
// to .exe when the user types "quorvane", and wait for a console program,
// show its output in their console and take its exit status
// (%ERRORLEVEL%, $LASTEXITCODE); a window program gets none of that. With
// arguments this runs the command itself; without, it starts the window
// program beside it and returns at once, as typing "quorvane" did before.
#include <string>

#include "app/win32/command_line_win32.h"
#include "toolkit/text.h"
#include "toolkit/win.h"

namespace {

int StartWindowProgram() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return 1;
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const size_t dot = path.find_last_of(L'.');
  if (dot != std::wstring::npos && path.find_first_of(L"\\/", dot) == std::wstring::npos)
    path.resize(dot);
  path += L".exe";
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    const std::string text = "Cannot start \"" + qv::win::Narrow(path) + "\"\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
    return 1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

}  // namespace

int wmain(int, wchar_t**) {
  if (!qv::win::HasCommandArguments()) return StartWindowProgram();
  return qv::win::RunCommandLineOnConsole(false);
}
