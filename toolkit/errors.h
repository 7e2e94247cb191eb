// The default error reporting: whatever escapes an event handler is shown in
// a modal message box and the program goes on.
//
// Every handler the toolkit calls runs through Dispatch, so no C++ exception
// ever crosses a window procedure:
//
//   Dispatch([&] { form.sbtbtn2Click(); });
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace qv::win {

// The application title: caption of the error boxes.
void SetApplicationTitle(std::wstring title);
const std::wstring& ApplicationTitle();

// The message as shown: a full stop is appended when the text is not empty
// and its last byte sorts after "." (so "...'" and "..." stay as they are).
std::string ErrorBoxText(const std::string& message);

// Shows the text (after ErrorBoxText) in a message box with the application
// title, the stop icon and OK, owned by the active window, with the thread's
// other windows disabled while it is open.
void ShowErrorBox(const std::string& message);

// Reports an exception: EAbort is silent, everything else reaches the
// reporter (ShowErrorBox unless a test replaced it).
void ReportException(const std::exception_ptr& error);

// Tests capture reports instead of showing boxes; nullptr restores the box.
using ErrorReporter = std::function<void(const std::string& message)>;
void SetErrorReporter(ErrorReporter reporter);

template <typename F>
void Dispatch(F&& handler) noexcept {
  try {
    handler();
  } catch (...) {
    ReportException(std::current_exception());
  }
}

}  // namespace qv::win
