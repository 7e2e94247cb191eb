// Working a program's windows from outside, as a user would: find windows,
// fill and confirm the common file dialogs, read and close message boxes,
// read a status bar of another process. Shared by the in-process window
// tests (which drive their modal dialogs from a second thread) and the
// end-to-end driver of quorvane.exe.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/handles.h"
#include "toolkit/win.h"

namespace qv::testing {

inline std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

inline std::wstring TextOf(HWND window) {
  // WM_GETTEXT is carried across processes by the system.
  const LRESULT n = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return text;
}

inline std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> out;
  EnumWindows(
      [](HWND w, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

inline std::vector<HWND> Descendants(HWND root) {
  std::vector<HWND> out;
  EnumChildWindows(
      root,
      [](HWND w, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

inline HWND FindDescendant(HWND root, const std::function<bool(HWND)>& match) {
  for (HWND w : Descendants(root)) {
    if (match(w)) return w;
  }
  return nullptr;
}

inline HWND ChildWithText(HWND root, const std::wstring& cls, const std::wstring& text) {
  return FindDescendant(root, [&](HWND w) {
    return _wcsicmp(ClassOf(w).c_str(), cls.c_str()) == 0 && TextOf(w) == text;
  });
}

// Checks the condition until it holds or the timeout has passed; true when
// it held. The other process works meanwhile: tests wait for what they
// expect to see rather than for a fixed time.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 15000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// A visible top-level window of the process with that class (any class
// when empty) and title; waits for it up to the timeout.
inline HWND WaitForWindow(DWORD pid, const std::wstring& cls, const std::wstring& title,
                          int timeoutMs = 15000) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : TopLevelWindows()) {
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          if ((pid == 0 || owner == pid) && IsWindowVisible(w) &&
              (cls.empty() || ClassOf(w) == cls) && TextOf(w) == title) {
            found = w;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

inline HWND WaitForDialog(DWORD pid, const std::wstring& title, int timeoutMs = 15000) {
  return WaitForWindow(pid, L"#32770", title, timeoutMs);
}

// A visible window owned by `owner` (a message box over a dialog).
inline HWND WaitForOwned(HWND owner, int timeoutMs = 15000) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : TopLevelWindows()) {
          if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == owner) {
            found = w;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

inline bool WaitUntilGone(HWND window, int timeoutMs = 15000) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

// Types the name into a common file dialog and presses its OK button
// ("Save" or "Open"). The name field is the combo box cmb13 of the
// explorer-style dialog, or the edit edt1.
inline bool FillFileDialog(HWND dialog, const std::wstring& path) {
  HWND field = GetDlgItem(dialog, 0x47C);
  if (!field) field = GetDlgItem(dialog, 0x480);
  if (!field) return false;
  SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  return true;
}

inline void CancelDialog(HWND dialog) { PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }

// The message of a message box: its longest static text.
inline std::wstring MessageBoxText(HWND box) {
  std::wstring best;
  for (HWND w : Descendants(box)) {
    if (_wcsicmp(ClassOf(w).c_str(), L"Static") != 0) continue;
    std::wstring t = TextOf(w);
    if (t.size() > best.size()) best = t;
  }
  return best;
}

inline void PressOk(HWND box) {
  HWND ok = GetDlgItem(box, IDOK);
  if (ok) {
    PostMessageW(ok, BM_CLICK, 0, 0);
  } else {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
}

// The text of a status bar, also of another process: the answer to
// SB_GETTEXT is written into a buffer allocated in the bar's process.
inline std::wstring StatusBarText(HWND bar) {
  DWORD pid = 0;
  GetWindowThreadProcessId(bar, &pid);
  win::KernelHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                        FALSE, pid));
  if (!process.Get()) return L"<no access>";
  const SIZE_T bytes = 4096 * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process.Get(), nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
  std::wstring result;
  // Wine answers for part 0 in simple mode, Windows for SB_SIMPLEID.
  for (WPARAM part : {WPARAM{0}, WPARAM{SB_SIMPLEID}}) {
    std::vector<wchar_t> local(4096, L'\0');
    WriteProcessMemory(process.Get(), remote, local.data(), bytes, nullptr);
    SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process.Get(), remote, local.data(), bytes, nullptr);
    local.back() = L'\0';
    result = local.data();
    if (!result.empty()) break;
  }
  VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
  return result;
}

// Runs an action on another thread: the test's own thread is the one that
// blocks in a modal dialog or message box.
class Helper {
 public:
  explicit Helper(std::function<void()> work) : thread_(std::move(work)) {}
  ~Helper() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

}  // namespace qv::testing
