// The owner of a kernel handle (file, process, event), closed with
// CloseHandle. The core's file layer and the window layer share it, so it
// lives with the core's Windows half (the core never includes the toolkit).
#pragma once

#include <utility>

#include "imaging/win32/windows_header.h"

namespace qv::win {

// Move-only: a copy would close the handle twice. Functions report failure
// with either nullptr (OpenProcess) or INVALID_HANDLE_VALUE (CreateFileW);
// neither is closed.
class KernelHandle {
 public:
  KernelHandle() = default;
  explicit KernelHandle(HANDLE handle) : handle_(handle) {}
  KernelHandle(KernelHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  KernelHandle& operator=(KernelHandle&&) = delete;
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;
  ~KernelHandle() { Close(); }

  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }
  // Closes now; false when closing failed (a file's last write may only
  // fail here).
  bool Close() {
    bool ok = true;
    if (Valid()) ok = CloseHandle(handle_) != 0;
    handle_ = nullptr;
    return ok;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace qv::win
