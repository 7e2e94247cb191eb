// End to end: starts the real quorvane.exe and works it from outside as a
// user would (colour boxes, the kind, Reverse, the buttons, the real save
// and open dialogs, the error boxes), then checks the written files and the
// registry value the way any other program would read them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/win32/tests/window_driver.h"
#include "imaging/bitmap.h"
#include "imaging/bmp.h"
#include "toolkit/bitmap_gdi.h"
#include "toolkit/text.h"

namespace qv {
namespace {

using namespace qv::testing;

const wchar_t kFolder[] = L"C:\\users\\Public\\qv_e2e";

std::wstring ExePath() {
  const char* exe = std::getenv("QV_EXE");
  std::string path = exe ? exe : "quorvane.exe";
  // ctest names it by its Unix path; Wine sees the root as drive Z:.
  if (!path.empty() && path[0] == '/') {
    std::replace(path.begin(), path.end(), '/', '\\');
    path = "Z:" + path;
  }
  return win::Widen(path);
}

std::vector<uint8_t> FileBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct RegistryValue {
  bool present = false;
  DWORD type = 0;
  std::vector<uint8_t> data;
};

// Read as any other program reads it: the ANSI API, type and raw bytes.
RegistryValue ReadToolbarValue() {
  RegistryValue v;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Toolbar", 0,
                    KEY_READ, &key) != ERROR_SUCCESS) {
    return v;
  }
  DWORD size = 0;
  if (RegQueryValueExA(key, "BackBitmapShell", nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
    v.data.resize(size);
    RegQueryValueExA(key, "BackBitmapShell", nullptr, &v.type, v.data.data(), &size);
    v.present = true;
  }
  RegCloseKey(key);
  return v;
}

std::vector<uint8_t> AnsiZ(const std::string& text) {
  std::vector<uint8_t> out(text.begin(), text.end());
  out.push_back(0);
  return out;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

class Quorvane {
 public:
  Quorvane() {
    STARTUPINFOW si{sizeof(si)};
    std::wstring command = L"\"" + ExePath() + L"\"";
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi_)) {
      return;
    }
    WaitForInputIdle(pi_.hProcess, 20000);
    main = WaitForWindow(pi_.dwProcessId, L"QvForm", L"Quorvane", 30000);
  }
  ~Quorvane() {
    if (pi_.hProcess) {
      if (IsWindow(main)) PostMessageW(main, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 1);
      CloseHandle(pi_.hThread);
      CloseHandle(pi_.hProcess);
    }
  }
  DWORD Pid() const { return pi_.dwProcessId; }
  bool Ended(int ms) const { return WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0; }

  HWND Button(const std::wstring& text) const { return ChildWithText(main, L"Button", text); }
  // The two colour boxes, top one first.
  HWND ColorBox(int i) const {
    std::vector<HWND> boxes;
    for (HWND w : Descendants(main)) {
      if (_wcsicmp(ClassOf(w).c_str(), L"ComboBox") == 0) boxes.push_back(w);
    }
    std::sort(boxes.begin(), boxes.end(), [](HWND a, HWND b) {
      RECT ra, rb;
      GetWindowRect(a, &ra);
      GetWindowRect(b, &rb);
      return ra.top < rb.top;
    });
    return i < static_cast<int>(boxes.size()) ? boxes[static_cast<size_t>(i)] : nullptr;
  }
  std::wstring Status() const {
    HWND bar = FindDescendant(main, [](HWND w) { return ClassOf(w) == STATUSCLASSNAMEW; });
    return bar ? StatusBarText(bar) : L"<no status bar>";
  }
  bool WaitForStatus(const std::wstring& text, int ms = 15000) const {
    return WaitUntil([&] { return Status() == text; }, ms);
  }
  HWND Preview() const {
    return FindDescendant(main, [](HWND w) { return ClassOf(w) == L"QvEffectImage"; });
  }
  // The preview as the screen shows it, once the program has painted it:
  // its thread has come round to its messages, nothing of the preview is
  // left to repaint, and two captures in a row agree.
  TBitmap PreviewOnScreen() const {
    const HWND preview = Preview();
    TBitmap shown;
    WaitUntil(
        [&] {
          DWORD_PTR ignored = 0;
          SendMessageTimeoutW(preview, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
          if (GetUpdateRect(preview, nullptr, FALSE)) return false;
          TBitmap now = win::CaptureWindow(preview, false);
          const bool settled = !shown.Empty() && now.Bits() == shown.Bits();
          shown = std::move(now);
          return settled;
        },
        5000);
    return shown;
  }

  // Clicks a button that opens the file dialog with that title and types
  // the name into it.
  bool ChooseFile(const std::wstring& button, const std::wstring& title, const std::wstring& name) {
    PostMessageW(Button(button), BM_CLICK, 0, 0);
    HWND dialog = WaitForDialog(Pid(), title);
    if (!dialog) return false;
    FillFileDialog(dialog, name);
    return WaitUntilGone(dialog);
  }
  // The error box that a command showed: its text, then OK.
  std::wstring TakeErrorBox() {
    HWND box = WaitForDialog(Pid(), L"Quorvane");
    if (!box) return L"<no message box>";
    std::wstring text = MessageBoxText(box);
    PressOk(box);
    WaitUntilGone(box);
    return text;
  }

  HWND main = nullptr;

 private:
  PROCESS_INFORMATION pi_{};
};

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryW(L"C:\\users\\Public", nullptr);
    CreateDirectoryW(kFolder, nullptr);
  }
  static std::wstring In(const std::wstring& name) { return std::wstring(kFolder) + L"\\" + name; }
};

TEST_F(EndToEnd, AUserAppliesRestoresAndLoadsBackgrounds) {
  DeleteFileW(In(L"background.bmp").c_str());
  DeleteFileW(In(L"again.bmp").c_str());
  Quorvane app;
  ASSERT_NE(app.main, nullptr) << "quorvane.exe did not show its window";
  EXPECT_EQ(app.Status(), L"Quorvane is ready");

  // Colours by keyboard in the boxes, then the kind and Reverse.
  PostMessageW(app.ColorBox(0), WM_KEYDOWN, VK_UP, 0);    // clBlue -> clYellow
  PostMessageW(app.ColorBox(1), WM_KEYDOWN, VK_DOWN, 0);  // clSkyBlue -> clCream
  WaitUntil([&] {
    return TextOf(app.ColorBox(0)) == L"clYellow" && TextOf(app.ColorBox(1)) == L"clCream";
  });
  EXPECT_EQ(TextOf(app.ColorBox(0)), L"clYellow");
  EXPECT_EQ(TextOf(app.ColorBox(1)), L"clCream");
  SendMessageW(ChildWithText(app.main, L"Button", L"Horizonal"), BM_CLICK, 0, 0);
  SendMessageW(app.Button(L"Reverse"), BM_CLICK, 0, 0);
  EXPECT_EQ(app.Status(), L"Quorvane is ready") << "rendering leaves the status alone";

  // Apply: a name without extension gets ".bmp".
  ASSERT_TRUE(app.ChooseFile(L"Apply", L"Save Background", In(L"background")));
  ASSERT_TRUE(app.WaitForStatus(L"Last action: background applied successfully")) << win::Narrow(app.Status());
  const std::wstring file = In(L"background.bmp");
  const std::vector<uint8_t> bytes = FileBytes(file);
  RECT area;
  GetClientRect(app.Preview(), &area);
  const int w = area.right, h = area.bottom;
  const size_t rowBytes = ((24 * static_cast<size_t>(w) + 31) / 32) * 4;
  ASSERT_EQ(bytes.size(), 54 + rowBytes * h);
  if (w == 885 && h == 147) {
    EXPECT_EQ(bytes.size(), 390486u);
  }
  // The header, field by field.
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_EQ(Le32(bytes, 2), bytes.size());
  EXPECT_EQ(Le32(bytes, 6), 0u);
  EXPECT_EQ(Le32(bytes, 10), 54u);
  EXPECT_EQ(Le32(bytes, 14), 40u);
  EXPECT_EQ(Le32(bytes, 18), static_cast<uint32_t>(w));
  EXPECT_EQ(Le32(bytes, 22), static_cast<uint32_t>(h));
  EXPECT_EQ(bytes[26] | (bytes[27] << 8), 1);
  EXPECT_EQ(bytes[28] | (bytes[29] << 8), 24);
  EXPECT_EQ(Le32(bytes, 30), 0u);
  EXPECT_EQ(Le32(bytes, 34), rowBytes * h);
  for (size_t at : {38u, 42u, 46u, 50u}) EXPECT_EQ(Le32(bytes, at), 0u);
  // Horizonal, reversed: the first colour (yellow) at the top-left pixel,
  // the second (cream, 0xF0FBFF) at the bottom-right. Rows are bottom-up.
  const size_t topLeft = 54 + rowBytes * (h - 1);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + topLeft, bytes.begin() + topLeft + 3),
            (std::vector<uint8_t>{0x00, 0xFF, 0xFF}));
  const size_t bottomRight = 54 + (w - 1) * 3;
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + bottomRight, bytes.begin() + bottomRight + 3),
            (std::vector<uint8_t>{0xF0, 0xFB, 0xFF}));

  RegistryValue value = ReadToolbarValue();
  ASSERT_TRUE(value.present);
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(value.data, AnsiZ(win::Narrow(file)));

  // Applying over that file asks first; "No" returns to the dialog, and
  // cancelling the dialog then says so.
  PostMessageW(app.Button(L"Apply"), BM_CLICK, 0, 0);
  HWND save = WaitForDialog(app.Pid(), L"Save Background");
  ASSERT_NE(save, nullptr);
  FillFileDialog(save, file);
  HWND confirm = WaitForOwned(save);
  ASSERT_NE(confirm, nullptr) << "no question before replacing the file";
  PostMessageW(GetDlgItem(confirm, IDNO), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntilGone(confirm));
  EXPECT_TRUE(IsWindowVisible(save)) << "back in the dialog";
  CancelDialog(save);
  EXPECT_TRUE(app.WaitForStatus(L"Last action: background change was cancel"));
  EXPECT_EQ(FileBytes(file), bytes);
  EXPECT_EQ(ReadToolbarValue().data, AnsiZ(win::Narrow(file)));

  // Default: the empty string, one zero byte.
  SendMessageW(app.Button(L"Default"), BM_CLICK, 0, 0);
  EXPECT_TRUE(app.WaitForStatus(L"Last action: default background restored successfully"));
  value = ReadToolbarValue();
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(value.data, std::vector<uint8_t>{0});

  // Load of a picture one pixel too wide: refused, preview kept.
  const TBitmap before = app.PreviewOnScreen();
  TBitmap wide;
  wide.SetSize(w + 1, h);
  wide.SetPixelFormat(TPixelFormat::pf24bit);
  SaveBitmapToFile(wide, win::Narrow(In(L"wide.bmp")));
  ASSERT_TRUE(app.ChooseFile(L"Load", L"Load Background", In(L"wide.bmp")));
  EXPECT_TRUE(app.WaitForStatus(L"Image format is not compatible"));
  EXPECT_EQ(app.PreviewOnScreen().Bits(), before.Bits());

  // A PNG named .bmp: the error box, with the full stop added.
  {
    std::ofstream png(In(L"picture.bmp").c_str(), std::ios::binary);
    const char signature[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\1\0\0\0\1\x08\x02\0\0\0";
    png.write(signature, sizeof(signature) - 1);
  }
  PostMessageW(app.Button(L"Load"), BM_CLICK, 0, 0);
  HWND open = WaitForDialog(app.Pid(), L"Load Background");
  ASSERT_NE(open, nullptr);
  FillFileDialog(open, In(L"picture.bmp"));
  EXPECT_EQ(app.TakeErrorBox(), L"Bitmap image is not valid.");
  EXPECT_EQ(app.Status(), L"Image format is not compatible");
  EXPECT_EQ(app.PreviewOnScreen().Bits(), before.Bits());

  // Load of the applied file, then Apply writes an identical file.
  SendMessageW(app.Button(L"Reverse"), BM_CLICK, 0, 0);  // the preview changes first
  ASSERT_TRUE(app.ChooseFile(L"Load", L"Load Background", file));
  EXPECT_TRUE(app.WaitForStatus(L"Image loaded, click Apply to use it as background"));
  EXPECT_EQ(app.PreviewOnScreen().Bits(), before.Bits()) << "the loaded picture is shown";
  ASSERT_TRUE(app.ChooseFile(L"Apply", L"Save Background", In(L"again.bmp")));
  EXPECT_TRUE(app.WaitForStatus(L"Last action: background applied successfully"));
  EXPECT_EQ(FileBytes(In(L"again.bmp")), bytes);

  // Exit ends the program.
  PostMessageW(app.Button(L"Exit"), BM_CLICK, 0, 0);
  EXPECT_TRUE(app.Ended(10000));
}

TEST_F(EndToEnd, DefaultCreatesTheKeyAndAPathOutsideTheCodePageIsRecordedByItsShortPath) {
  if (GetACP() == CP_UTF8) GTEST_SKIP() << "every path fits a UTF-8 code page";
  const std::wstring file = In(L"\x0444\x043E\x043D.bmp");  // Cyrillic: not in the ANSI code page
  DeleteFileW(file.c_str());
  // Default creates the key when it is missing.
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Toolbar");
  ASSERT_FALSE(ReadToolbarValue().present);
  Quorvane app;
  ASSERT_NE(app.main, nullptr);
  SendMessageW(app.Button(L"Default"), BM_CLICK, 0, 0);
  ASSERT_TRUE(app.WaitForStatus(L"Last action: default background restored successfully"));
  EXPECT_EQ(ReadToolbarValue().data, std::vector<uint8_t>{0});

  PostMessageW(app.Button(L"Apply"), BM_CLICK, 0, 0);
  HWND save = WaitForDialog(app.Pid(), L"Save Background");
  ASSERT_NE(save, nullptr);
  FillFileDialog(save, file);
  ASSERT_TRUE(app.WaitForStatus(L"Last action: background applied successfully")) << win::Narrow(app.Status());
  EXPECT_GT(FileBytes(file).size(), 54u);
  // The value holds the file's short path, which any ANSI reader can open.
  const std::vector<uint8_t> data = ReadToolbarValue().data;
  ASSERT_FALSE(data.empty());
  const std::string recorded(data.begin(), data.end() - 1);
  wchar_t wide[MAX_PATH] = {}, full[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, recorded.c_str(), -1, wide, MAX_PATH);
  ASSERT_NE(GetLongPathNameW(wide, full, MAX_PATH), 0u) << recorded;
  EXPECT_EQ(lstrcmpiW(full, file.c_str()), 0) << recorded << " names " << win::Narrow(full);
}

}  // namespace
}  // namespace qv
