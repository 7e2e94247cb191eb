// The command line as a script sees it on Windows: the real quorvane.com
// run by cmd.exe (and quorvane.exe started directly), the registry read
// back by reg.exe, exit statuses as the shell passes them on.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/background_store.h"
#include "app/cli/tests/readme_examples.h"
#include "app/preview_rendering.h"
#include "imaging/bmp.h"
#include "imaging/gradient.h"
#include "toolkit/text.h"
#include "toolkit/win.h"

namespace qv {
namespace {

using Bytes = std::vector<uint8_t>;

// The build folder of quorvane.com, a Unix path, reached through drive Z:.
std::wstring ProgramFolder() {
  std::wstring dir = win::Widen(std::string("Z:") + QV_CLI_DIR);
  for (wchar_t& c : dir)
    if (c == L'/') c = L'\\';
  return dir;
}

Bytes FileBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string FileText(const std::wstring& path) {
  const Bytes bytes = FileBytes(path);
  return {bytes.begin(), bytes.end()};
}

void WriteBytes(const std::wstring& path, const Bytes& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct Result {
  DWORD Code = 0xFFFFFFFF;
  std::string Out, Err;
};

class WineCommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir = std::wstring(temp) + L"qv-cli-" +
          win::Widen(::testing::UnitTest::GetInstance()->current_test_info()->name());
    CreateDirectoryW(dir.c_str(), nullptr);
    // The programs find quorvane.com the way a user's shell does, on PATH.
    static const bool pathSet = [] {
      wchar_t path[32767];
      GetEnvironmentVariableW(L"PATH", path, 32767);
      return SetEnvironmentVariableW(L"PATH", (ProgramFolder() + L";" + path).c_str());
    }();
    ASSERT_TRUE(pathSet);
    Run(L"cmd /c quorvane default");
  }

  std::wstring F(const std::wstring& name) const { return dir + L"\\" + name; }

  // Starts a program in the test folder with its output in two files, and
  // waits for it.
  Result Run(const std::wstring& commandLine) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    auto open = [&](const std::wstring& name) {
      return CreateFileW(F(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherit, CREATE_ALWAYS, 0, nullptr);
    };
    HANDLE out = open(L"stdout.txt"), err = open(L"stderr.txt");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    Result r;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, dir.c_str(),
                       &startup, &process)) {
      WaitForSingleObject(process.hProcess, 120000);
      GetExitCodeProcess(process.hProcess, &r.Code);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    r.Out = FileText(F(L"stdout.txt"));
    r.Err = FileText(F(L"stderr.txt"));
    return r;
  }

  // BackBitmapShell as another program reads it.
  std::string RegQuery() {
    const Result r =
        Run(L"reg query \"HKCU\\Software\\Microsoft\\Internet Explorer\\Toolbar\" /v BackBitmapShell");
    EXPECT_EQ(r.Code, 0u) << r.Out << r.Err;
    const size_t at = r.Out.find("REG_SZ");
    if (at == std::string::npos) return "(no REG_SZ value)";
    std::string value = r.Out.substr(at + 6);
    value.erase(0, value.find_first_not_of(' '));
    return value.substr(0, value.find_first_of("\r\n"));
  }

  std::wstring dir;
};

TEST_F(WineCommandLine, ApplyWritesTheWindowsPictureAndRecordsItsFullPath) {
  const Result r = Run(L"cmd /c quorvane apply --kind radial --reverse out.bmp");
  ASSERT_EQ(r.Code, 0u) << r.Err;
  const std::string full = win::Narrow(F(L"out.bmp"));
  EXPECT_EQ(r.Out, std::string(kStatusApplied) + ": " + full + "\r\n");
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(RegQuery(), full);
  TKelvoGradient gradient;
  EXPECT_EQ(FileBytes(F(L"out.bmp")),
            EncodeBmp(RenderPreview(gradient, {clBlue, clSkyBlue, 1, true}, 885, 147)));
  EXPECT_EQ(Run(L"cmd /c quorvane show").Out, full + "\r\n");

  const Result d = Run(L"cmd /c quorvane default");
  EXPECT_EQ(d.Code, 0u);
  EXPECT_EQ(d.Out, std::string(kStatusDefaultRestored) + "\r\n");
  EXPECT_EQ(RegQuery(), "");
  EXPECT_EQ(Run(L"cmd /c quorvane show").Out, "No toolbar background is set\r\n");
  EXPECT_FALSE(FileBytes(F(L"out.bmp")).empty()) << "Default deletes no file";
}

TEST_F(WineCommandLine, APathTheAnsiCodePageCannotHoldIsRecordedByItsShortPath) {
  const std::wstring name = L"\u03A9mega.bmp";  // Greek capital omega: not in the ANSI code page
  const Result r = Run(L"cmd /c quorvane apply " + name);
  ASSERT_EQ(r.Code, 0u) << r.Err;
  const std::string recorded = RegQuery();
  EXPECT_EQ(Run(L"cmd /c quorvane show").Out, recorded + "\r\n");
  wchar_t longPath[MAX_PATH] = {};
  ASSERT_GT(GetLongPathNameW(win::Widen(recorded).c_str(), longPath, MAX_PATH), 0u) << recorded;
  EXPECT_EQ(std::wstring(longPath), F(name)) << "the recorded path names the written file";
}

TEST_F(WineCommandLine, ApplyPictureTakesOnlyThePreviewsSize) {
  ASSERT_EQ(Run(L"cmd /c quorvane render --first clTeal right.bmp").Code, 0u);
  ASSERT_EQ(Run(L"cmd /c quorvane render --size 886x147 wide.bmp").Code, 0u);
  const Result ok = Run(L"cmd /c quorvane apply --picture right.bmp out.bmp");
  ASSERT_EQ(ok.Code, 0u) << ok.Err;
  EXPECT_EQ(RegQuery(), win::Narrow(F(L"out.bmp")));
  EXPECT_EQ(FileBytes(F(L"out.bmp")), FileBytes(F(L"right.bmp")));

  const Bytes before = FileBytes(F(L"out.bmp"));
  const Result wrong = Run(L"cmd /c quorvane apply --picture wide.bmp out.bmp");
  EXPECT_EQ(wrong.Code, 1u);
  EXPECT_EQ(wrong.Err, std::string(kStatusNotCompatible) + "\r\n");
  EXPECT_EQ(wrong.Out, "");
  EXPECT_EQ(FileBytes(F(L"out.bmp")), before);
  EXPECT_EQ(RegQuery(), win::Narrow(F(L"out.bmp")));
}

TEST_F(WineCommandLine, AFailingApplyLeavesTheRegistryAndAnExistingFile) {
  const Bytes old{'o', 'l', 'd'};
  WriteBytes(F(L"kept.bmp"), old);
  ASSERT_EQ(Run(L"cmd /c quorvane apply first.bmp").Code, 0u);
  const std::string recorded = win::Narrow(F(L"first.bmp"));
  struct Case {
    const wchar_t* Line;
    DWORD Code;
    std::string Err;
  };
  const std::vector<Case> cases = {
      {L"cmd /c quorvane apply --first Foo kept.bmp", 1,
       "'Foo' is not a colour name of the colour box or #RRGGBB.\r\n"},
      {L"cmd /c quorvane apply --picture missing.bmp kept.bmp", 1,
       "Cannot open file \"" + win::Narrow(F(L"missing.bmp")) + "\". "},
      {L"cmd /c quorvane apply --picture kept.bmp kept.bmp", 1, "Stream read error.\r\n"},
      {L"cmd /c quorvane apply no\\such\\folder\\x.bmp", 1,
       "Cannot create file \"" + win::Narrow(F(L"no\\such\\folder\\x.bmp")) + "\". "},
      {L"cmd /c quorvane apply --bogus kept.bmp", 2, "quorvane: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(win::Narrow(c.Line));
    const Result r = Run(c.Line);
    EXPECT_EQ(r.Code, c.Code);
    EXPECT_TRUE(r.Err.starts_with(c.Err)) << r.Err;
    EXPECT_TRUE(r.Err.ends_with("\r\n")) << r.Err;
    EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << "one line: " << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(FileBytes(F(L"kept.bmp")), old);
    EXPECT_EQ(RegQuery(), recorded);
  }
}

TEST_F(WineCommandLine, ABatchFileSeesTheExitStatusInErrorlevel) {
  WriteBytes(F(L"script.cmd"), [] {
    const std::string text =
        "@echo off\r\n"
        "quorvane effect missing.bmp x.bmp Invert 2>nul\r\n"
        "echo effect %ERRORLEVEL%\r\n"
        "quorvane frob 2>nul\r\n"
        "echo frob %ERRORLEVEL%\r\n"
        "quorvane render --size 3x2 small.bmp >nul\r\n"
        "echo render %ERRORLEVEL%\r\n";
    return Bytes(text.begin(), text.end());
  }());
  const Result r = Run(L"cmd /c script.cmd");
  EXPECT_EQ(r.Out, "effect 1\r\nfrob 2\r\nrender 0\r\n");
  EXPECT_EQ(FileBytes(F(L"small.bmp")).size(), 54u + 2 * 12u);
}

TEST_F(WineCommandLine, TheWindowProgramWithArgumentsRunsTheCommandWithoutAWindow) {
  const std::wstring exe = L"\"" + ProgramFolder() + L"\\quorvane.exe\"";
  const Result ok = Run(exe + L" render --kind Horizonal out.bmp");
  EXPECT_EQ(ok.Code, 0u) << ok.Err;
  EXPECT_EQ(ok.Out, "Wrote " + win::Narrow(F(L"out.bmp")) + " (885 x 147)\r\n");
  TKelvoGradient gradient;
  EXPECT_EQ(FileBytes(F(L"out.bmp")),
            EncodeBmp(RenderPreview(gradient, {clBlue, clSkyBlue, 1, false}, 885, 147)));
  const Result bad = Run(exe + L" effect out.bmp x.bmp Sparkle");
  EXPECT_EQ(bad.Code, 1u);
  EXPECT_EQ(bad.Err, "Unknown effect 'Sparkle'\r\n");
  EXPECT_EQ(Run(exe + L" --version").Out, "Quorvane 1.0.0\r\n");
}

// A file dropped on quorvane.exe in Explorer: no console, no redirected
// output. The failure is shown in the program's error box, and no other
// window opens.
TEST_F(WineCommandLine, TheWindowProgramWithoutAConsoleShowsAFailureInTheErrorBox) {
  std::wstring line = L"\"" + ProgramFolder() + L"\\quorvane.exe\" \"" + F(L"dropped.bmp") + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                             nullptr, dir.c_str(), &startup, &process));
  HWND box = nullptr;
  for (int i = 0; i < 400 && !box; ++i) {
    Sleep(50);
    HWND candidate = FindWindowW(L"#32770", L"Quorvane");
    DWORD pid = 0;
    if (candidate) GetWindowThreadProcessId(candidate, &pid);
    if (pid == process.dwProcessId) box = candidate;
  }
  ASSERT_NE(box, nullptr) << "an error box of the started program";
  // The message is one of the box's static controls (Windows and Wine
  // give it different identifiers).
  std::wstring text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM all) -> BOOL {
        wchar_t buffer[512] = {};
        GetWindowTextW(child, buffer, 512);
        *reinterpret_cast<std::wstring*>(all) += buffer;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  EXPECT_NE(text.find(L"unknown command"), std::wstring::npos) << win::Narrow(text);
  EXPECT_NE(text.find(L"Try 'quorvane --help'."), std::wstring::npos) << win::Narrow(text);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 2u);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

TEST_F(WineCommandLine, TypingQuorvaneAloneOpensTheWindowAndReturns) {
  ASSERT_EQ(FindWindowW(nullptr, L"Quorvane"), nullptr);
  const Result r = Run(L"cmd /c quorvane");
  EXPECT_EQ(r.Code, 0u) << r.Err;
  EXPECT_EQ(r.Out, "");
  HWND window = nullptr;
  for (int i = 0; i < 200 && !window; ++i) {
    Sleep(50);
    window = FindWindowW(nullptr, L"Quorvane");
  }
  ASSERT_NE(window, nullptr) << "quorvane.com started quorvane.exe";
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
  CloseHandle(process);
}

TEST_F(WineCommandLine, ReadmeExamplesRunAsWritten) {
  const std::vector<std::string> lines =
      test::ReadmeCommandLines(std::string(QV_SOURCE_DIR) + "/README.md");
  ASSERT_GE(lines.size(), 5u);
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    const Result r = Run(L"cmd /c " + win::Widen(line));
    EXPECT_EQ(r.Code, 0u) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(r.Out.find('\n'), r.Out.size() - 1) << "one line: " << r.Out;
  }
  EXPECT_EQ(RegQuery(), "") << "the examples end with default";
}

}  // namespace
}  // namespace qv
