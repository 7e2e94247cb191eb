#include "toolkit/errors.h"

#include <new>
#include <vector>

#include "imaging/exceptions.h"
#include "toolkit/text.h"
#include "toolkit/win.h"

namespace qv::win {

namespace {

std::wstring& Title() {
  static std::wstring title;
  return title;
}

ErrorReporter& Reporter() {
  static ErrorReporter reporter;
  return reporter;
}

BOOL CALLBACK DisableOne(HWND window, LPARAM list) {
  if (IsWindowVisible(window) && IsWindowEnabled(window)) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    EnableWindow(window, FALSE);
  }
  return TRUE;
}

}  // namespace

void SetApplicationTitle(std::wstring title) { Title() = std::move(title); }
const std::wstring& ApplicationTitle() { return Title(); }

std::string ErrorBoxText(const std::string& message) { return ShownErrorText(message); }

void ShowErrorBox(const std::string& message) {
  HWND owner = GetActiveWindow();
  // The box is modal for its owner only; the program's other windows are
  // disabled by hand so that no second command can start behind it.
  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled));
  MessageBoxW(owner, Widen(ErrorBoxText(message)).c_str(), Title().c_str(),
              MB_OK | MB_ICONERROR);
  for (HWND window : disabled) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
  if (owner && IsWindow(owner)) SetActiveWindow(owner);
}

void ReportException(const std::exception_ptr& error) {
  std::string message;
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
    return;
  } catch (const Exception& e) {
    message = e.Message();
  } catch (const std::bad_alloc&) {
    message = "Out of memory";
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown error";
  }
  try {
    if (Reporter()) {
      Reporter()(message);
    } else {
      ShowErrorBox(message);
    }
  } catch (...) {
    // Reporting must never throw back into a window procedure.
  }
}

void SetErrorReporter(ErrorReporter reporter) { Reporter() = std::move(reporter); }

}  // namespace qv::win
