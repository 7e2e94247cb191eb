// The toolbar background record in the registry of the test's own Wine
// prefix: the path as the ANSI value holds it, or the report when it cannot.
#include "app/win32/toolbar_registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/background_store.h"
#include "imaging/exceptions.h"
#include "toolkit/text.h"
#include "toolkit/win.h"

namespace qv {
namespace {

std::wstring TempFolder() {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return dir;
}

// The value as a reader of the ANSI registry gets it.
std::string RecordedValue() {
  char data[1024] = {};
  DWORD size = sizeof(data);
  const LONG read = RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                                 kToolbarValueName, RRF_RT_REG_SZ, nullptr, data, &size);
  return read == ERROR_SUCCESS ? std::string(data) : "(unreadable)";
}

std::wstring LongPathOf(const std::string& ansi) {
  wchar_t wide[MAX_PATH] = {}, full[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, MAX_PATH);
  return GetLongPathNameW(wide, full, MAX_PATH) ? full : L"";
}

TEST(ToolbarRegistry, APathOutsideTheCodePageIsRecordedByItsShortPath) {
  const std::wstring folder = TempFolder() + L"\u80cc\u666f";  // 背景
  if (win::ToAnsi(folder)) GTEST_SKIP() << "the ANSI code page holds the name";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring file = folder + L"\\toolbar background.bmp";
  { std::ofstream(file.c_str(), std::ios::binary) << "BM"; }

  ASSERT_NO_THROW(WriteToolbarBitmapValue(win::Narrow(file)));
  const std::string recorded = RecordedValue();
  EXPECT_NE(recorded.find('~'), std::string::npos) << recorded;  // a short name
  EXPECT_EQ(LongPathOf(recorded), file) << "names the same file";

  // A plain path is recorded as it is.
  const std::wstring plain = TempFolder() + L"qv toolbar.bmp";
  ASSERT_NO_THROW(WriteToolbarBitmapValue(win::Narrow(plain)));
  EXPECT_EQ(RecordedValue(), win::Narrow(plain));
}

TEST(ToolbarRegistry, APathWithoutAShortFormIsReportedAndNothingIsRecorded) {
  ASSERT_NO_THROW(WriteToolbarBitmapValue(""));
  // No such file, so the file system has no short path for it.
  const std::wstring missing = TempFolder() + L"\u80cc\u666f\u2603\\none.bmp";
  if (win::ToAnsi(missing)) GTEST_SKIP() << "the ANSI code page holds the name";
  try {
    WriteToolbarBitmapValue(win::Narrow(missing));
    FAIL() << "no report";
  } catch (const EOSError& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'BackBitmapShell'");
  }
  EXPECT_EQ(RecordedValue(), "");
}

}  // namespace
}  // namespace qv
