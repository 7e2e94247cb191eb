// The program's error hierarchy. Every error carries the text the user sees;
// the message loop shows it (see the toolkit's error reporting).
#pragma once

#include <stdexcept>
#include <string>

namespace qv {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }
  // Class name as the user-visible error messages spell it ("Cannot assign a %s ...").
  virtual const char* ClassName() const noexcept { return "Exception"; }

 private:
  std::string message_;
};

#define QV_DECLARE_ERROR(Name, Base)                                   \
  class Name : public Base {                                          \
   public:                                                            \
    using Base::Base;                                                 \
    const char* ClassName() const noexcept override { return #Name; } \
  };

QV_DECLARE_ERROR(EAbort, Exception)
QV_DECLARE_ERROR(EConvertError, Exception)
QV_DECLARE_ERROR(EStringListError, Exception)
QV_DECLARE_ERROR(EOutOfResources, Exception)
QV_DECLARE_ERROR(EInvalidGraphic, Exception)
QV_DECLARE_ERROR(EInvalidGraphicOperation, Exception)
QV_DECLARE_ERROR(EOSError, Exception)

// Files and streams.
QV_DECLARE_ERROR(EStreamError, Exception)
QV_DECLARE_ERROR(EFOpenError, EStreamError)
QV_DECLARE_ERROR(EFCreateError, EStreamError)
QV_DECLARE_ERROR(EReadError, EStreamError)
QV_DECLARE_ERROR(EWriteError, EStreamError)

// Floating point.
QV_DECLARE_ERROR(EMathError, Exception)
QV_DECLARE_ERROR(EInvalidOp, EMathError)
QV_DECLARE_ERROR(EZeroDivide, EMathError)
QV_DECLARE_ERROR(EOverflow, EMathError)

#undef QV_DECLARE_ERROR

// An error's text as the program shows it, in its message box or on a
// console: a full stop is appended when the text is not empty and its last
// byte sorts after "." (so "...'" and "..." stay as they are).
inline std::string ShownErrorText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

}  // namespace qv
