// Owners of GDI and kernel handles. Each owner is move-only: a copy would
// free the handle twice. Plain HWND/HDC/HFONT values elsewhere are
// non-owning views; a field that owns a handle uses one of these types
// (kernel handles: KernelHandle, shared with the core's file layer).
#pragma once

#include <utility>

#include "imaging/win32/kernel_handle.h"
#include "toolkit/win.h"

namespace qv::win {

// A GDI object (HFONT, HBITMAP, HBRUSH) deleted with DeleteObject.
template <typename H>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(H handle) : handle_(handle) {}
  GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  ~GdiObject() { Reset(); }

  H Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(H handle = nullptr) {
    if (handle_) DeleteObject(handle_);
    handle_ = handle;
  }
  H Release() { return std::exchange(handle_, nullptr); }

 private:
  H handle_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Bitmap = GdiObject<HBITMAP>;
using Brush = GdiObject<HBRUSH>;

// A memory device context from CreateCompatibleDC, freed with DeleteDC.
class MemoryDC {
 public:
  explicit MemoryDC(HDC compatibleWith = nullptr) : dc_(CreateCompatibleDC(compatibleWith)) {}
  MemoryDC(MemoryDC&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
  MemoryDC& operator=(MemoryDC&&) = delete;
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  ~MemoryDC() {
    if (dc_) DeleteDC(dc_);
  }
  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HDC dc_ = nullptr;
};

// A window's (or the screen's) device context from GetDC, given back with ReleaseDC.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  ~WindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a DC and puts the previous one back: a DC must not
// be deleted, nor an object freed, while the object is still selected.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A registry key, closed with RegCloseKey.
class RegKey {
 public:
  RegKey() = default;
  explicit RegKey(HKEY key) : key_(key) {}
  RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  RegKey& operator=(RegKey&&) = delete;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY Get() const { return key_; }
  HKEY* Put() { return &key_; }  // for functions that return a key through a pointer
  HKEY Release() { return std::exchange(key_, nullptr); }

 private:
  HKEY key_ = nullptr;
};

}  // namespace qv::win
