// The main window in-process under Wine: start-up state, the default
// picture, what a user's change does, the background commands through the
// real dialogs and message boxes, DPI scaling, and screenshots.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <cwctype>
#include <string>
#include <vector>

#include "app/background_store.h"
#include "app/win32/about_box.h"
#include "app/win32/main_form.h"
#include "app/win32/tests/window_driver.h"
#include "imaging/bmp.h"
#include "imaging/exceptions.h"
#include "imaging/color.h"
#include "toolkit/bitmap_gdi.h"
#include "toolkit/dpi.h"
#include "toolkit/errors.h"
#include "toolkit/gdi_text.h"
#include "toolkit/tests/window_testing.h"
#include "toolkit/text.h"

namespace qv {
namespace {

using namespace qv::testing;

class WindowsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    win::EnableDpiAwareness();
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    win::InstallPlatformServices();
    win::SetApplicationTitle(L"Quorvane");
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new WindowsEnvironment);

using testing::PumpMessages;
using testing::SaveScreenshot;

std::string TempPath(const std::string& name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return win::Narrow(dir) + name;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(win::Widen(path).c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(win::Widen(path).c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Bytes of one pixel of a 24-bit picture, as blue, green, red.
uint32_t Bgr(const TBitmap& picture, int x, int y) {
  const uint8_t* p = picture.PixelRow(y) + x * 3;
  return (p[0] << 16) | (p[1] << 8) | p[2];
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    form.ToolbarWriter = [this](const std::string& path) {
      if (refuseRegistry) throw EOSError(SetDataFailedText());
      registry.push_back(path);
    };
    form.Build();
    form.Show();
    PumpMessages(100);
  }
  void TearDown() override { win::SetErrorReporter(nullptr); }

  int Dpi() const { return win::DpiOf(form.Handle()); }
  int S(int v) const { return win::Scale(v, Dpi()); }
  const TBitmap& Preview() const { return *form.image2.Model().PictureBitmap(); }
  HWND ComboOf(win::TColorBoxControl& box) { return box.Handle(); }

  // Clicks a button the way the user's click reaches it, and works the
  // modal window that opens from a second thread.
  void ClickWithHelper(HWND button, std::function<void()> helper) {
    Helper h(std::move(helper));
    SendMessageW(button, BM_CLICK, 0, 0);
  }
  // Clicks the button, names the file in the dialog with that title and
  // returns the text of the error box that follows, closing it with OK.
  std::wstring ErrorAfterChoosing(HWND button, const std::wstring& dialogTitle,
                                  const std::string& path) {
    std::wstring shown;
    ClickWithHelper(button, [&] {
      HWND dialog = WaitForDialog(GetCurrentProcessId(), dialogTitle);
      ASSERT_NE(dialog, nullptr);
      FillFileDialog(dialog, win::Widen(path));
      HWND box = WaitForDialog(GetCurrentProcessId(), L"Quorvane");
      ASSERT_NE(box, nullptr);
      shown = MessageBoxText(box);
      PressOk(box);
    });
    return shown;
  }

  TForm1 form;
  bool refuseRegistry = false;
  std::vector<std::string> registry;
};

TEST_F(MainWindow, StartsReadyWithTheDefaultSettingsAndOneRendering) {
  EXPECT_EQ(form.StatusText(), "Quorvane is ready");
  EXPECT_EQ(form.RenderCount(), 1);
  EXPECT_EQ(form.colorselect1.Box().Selected(), 0xFF0000);
  EXPECT_EQ(form.colorselect2.Box().Selected(), 0xF0CAA6);
  EXPECT_EQ(form.srdgrp1.ItemIndex(), 0);
  EXPECT_FALSE(form.chk1.Checked());
  EXPECT_EQ(form.PublishedNames(),
            (std::vector<std::string>{"SetBGColors", "FormCreate", "sbtbtn2Click", "sbtbtn3Click",
                                      "ApplyToCanvas", "colorselect1Change", "colorselect2Change",
                                      "srdgrp1Click", "chk1Click", "sbtbtn1Click", "sbtbtn5Click",
                                      "sbtbtn4Click"}));

  EXPECT_EQ(win::Narrow(TextOf(form.Handle())), "Quorvane");
  RECT client;
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client.right, S(887));
  EXPECT_EQ(client.bottom, S(233));
  const LONG_PTR style = GetWindowLongPtrW(form.Handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(GetWindowLongPtrW(form.Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(GetWindow(form.Handle(), GW_OWNER), nullptr);
  RECT frame;
  GetWindowRect(form.Handle(), &frame);
  EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

  LOGFONTW font{};
  GetObjectW(form.FontHandle(), sizeof(font), &font);
  EXPECT_STREQ(font.lfFaceName, L"Tahoma");
  EXPECT_EQ(font.lfHeight, -S(11));

  struct Expect {
    win::TControl* control;
    const wchar_t* text;
    int left, top, width, height;
  } controls[] = {
      {&form.sbtbtn2, L"Apply", 429, 9, 82, 50},   {&form.chk1, L"Reverse", 363, 27, 60, 20},
      {&form.srdgrp1, L"Gradient Type", 217, 9, 140, 50},
      {&form.sbtbtn3, L"Default", 603, 9, 80, 50}, {&form.sbtbtn1, L"Load", 517, 9, 80, 50},
      {&form.sbtbtn4, L"About", 708, 9, 80, 50},   {&form.sbtbtn5, L"Exit", 794, 9, 80, 50},
  };
  for (const Expect& e : controls) {
    RECT r;
    GetWindowRect(e.control->Handle(), &r);
    MapWindowPoints(nullptr, form.spnl1.Handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(TextOf(e.control->Handle()), e.text);
    EXPECT_EQ(r.left, S(e.left)) << win::Narrow(e.text);
    EXPECT_EQ(r.top, S(e.top)) << win::Narrow(e.text);
    EXPECT_EQ(r.right - r.left, S(e.width)) << win::Narrow(e.text);
    EXPECT_EQ(r.bottom - r.top, S(e.height)) << win::Narrow(e.text);
  }
  // Five buttons, the check box, the radio group and its two buttons.
  EXPECT_EQ(SendMessageW(form.Tooltips(), TTM_GETTOOLCOUNT, 0, 0), 9);
  EXPECT_EQ(TextOf(form.srdgrp1.Button(0)), L"Vertical");
  EXPECT_EQ(TextOf(form.srdgrp1.Button(1)), L"Horizonal");
}

TEST_F(MainWindow, DefaultPictureRunsFromSkyBlueAtTheTopToBlueAtTheBottom) {
  RECT area;
  GetClientRect(form.image2.Handle(), &area);
  const TBitmap& picture = Preview();
  ASSERT_EQ(picture.Width(), area.right);
  ASSERT_EQ(picture.Height(), area.bottom);
  if (Dpi() == 96) {
    EXPECT_EQ(picture.Width(), 885);
    EXPECT_EQ(picture.Height(), 147);
  }
  ASSERT_EQ(picture.PixelBits(), 24);
  const int w = picture.Width(), h = picture.Height();
  // Vertical, not reversed: each row one colour; the top row the second
  // box's sky blue, the bottom row the first box's blue.
  for (int y = 0; y < h; ++y) {
    for (int x : {1, w / 2, w - 1}) ASSERT_EQ(Bgr(picture, x, y), Bgr(picture, 0, y)) << y;
  }
  EXPECT_EQ(Bgr(picture, 0, 0), 0xF0CAA6u);
  EXPECT_EQ(Bgr(picture, 0, h - 1), 0xFF0000u);
  // In between, blue rises and red and green fall, row by row.
  for (int y = 1; y < h; ++y) {
    const uint32_t a = Bgr(picture, 0, y - 1), b = Bgr(picture, 0, y);
    EXPECT_GE(b >> 16, a >> 16);
    EXPECT_LE(b & 0xFF, a & 0xFF);
  }
  // And the control shows exactly that picture on the screen.
  HDC dc = GetDC(form.image2.Handle());
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0xA6, 0xCA, 0xF0));
  EXPECT_EQ(GetPixel(dc, w - 1, h - 1), RGB(0, 0, 0xFF));
  ReleaseDC(form.image2.Handle(), dc);
}

TEST_F(MainWindow, EachUserChangeRendersOnceAndLeavesTheStatusAlone) {
  SendMessageW(form.sbtbtn3.Handle(), BM_CLICK, 0, 0);  // Default: a status to keep
  const std::string status = "Last action: default background restored successfully";
  ASSERT_EQ(form.StatusText(), status);

  struct Step {
    const char* what;
    std::function<void()> act;
  } steps[] = {
      {"first colour", [&] { SendMessageW(ComboOf(form.colorselect1), WM_KEYDOWN, VK_DOWN, 0); }},
      {"second colour", [&] { SendMessageW(ComboOf(form.colorselect2), WM_KEYDOWN, VK_UP, 0); }},
      {"reverse", [&] { SendMessageW(form.chk1.Handle(), BM_CLICK, 0, 0); }},
      {"horizonal", [&] { SendMessageW(form.srdgrp1.Button(1), BM_CLICK, 0, 0); }},
      {"horizonal again", [&] { SendMessageW(form.srdgrp1.Button(1), BM_CLICK, 0, 0); }},
  };
  for (const Step& step : steps) {
    const int before = form.RenderCount();
    step.act();
    PumpMessages(20);
    EXPECT_EQ(form.RenderCount(), before + 1) << step.what;
    EXPECT_EQ(form.StatusText(), status) << step.what;
  }
  // clBlue + down = clFuchsia, clSkyBlue - up = clMoneyGreen (the colour table's order).
  EXPECT_EQ(form.colorselect1.Box().Selected(), 0xFF00FF);
  EXPECT_EQ(form.colorselect2.Box().Selected(), 0xC0DCC0);
  // Radial from the top-left pixel, reversed: the first colour there, the
  // second at the far corner.
  const TBitmap& picture = Preview();
  EXPECT_EQ(Bgr(picture, 0, 0), 0xFF00FFu);
  EXPECT_EQ(Bgr(picture, picture.Width() - 1, picture.Height() - 1), 0xC0DCC0u);
  // Reverse off again: the colours change back.
  SendMessageW(form.chk1.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(Bgr(Preview(), 0, 0), 0xC0DCC0u);
}

TEST_F(MainWindow, SettingTheBoxesFromCodeRendersNothing) {
  const int before = form.RenderCount();
  form.colorselect1.Box().SetSelected(0x0000FF);
  form.colorselect2.Box().SetSelected(0x00FF00);
  form.srdgrp1.SetItemIndex(1);
  form.chk1.SetChecked(true);
  PumpMessages(20);
  EXPECT_EQ(form.RenderCount(), before);
  EXPECT_EQ(Bgr(Preview(), 0, 0), 0xF0CAA6u);
}

TEST_F(MainWindow, ApplyWritesTheFileAndRecordsThePath) {
  const std::string path = TempPath("qv_apply_test.bmp");
  DeleteFileW(win::Widen(path).c_str());
  const std::string typed = path.substr(0, path.size() - 4);  // the dialog adds ".bmp"
  ClickWithHelper(form.sbtbtn2.Handle(), [&] {
    HWND dialog = WaitForDialog(GetCurrentProcessId(), L"Save Background");
    ASSERT_NE(dialog, nullptr);
    FillFileDialog(dialog, win::Widen(typed));
  });
  EXPECT_EQ(form.StatusText(), "Last action: background applied successfully");
  ASSERT_EQ(registry.size(), 1u);
  EXPECT_EQ(registry[0], path);
  const std::vector<uint8_t> bytes = FileBytes(path);
  ASSERT_EQ(bytes.size(), static_cast<size_t>(54 + RowBytes(Preview().Width(), 24) * Preview().Height()));
  EXPECT_EQ(bytes, EncodeBmp(Preview()));
  EXPECT_EQ(form.dlg1.FileName, win::Widen(path)) << "the next Save starts with it";
}

TEST_F(MainWindow, ApplyCancelledSaysSo) {
  ClickWithHelper(form.sbtbtn2.Handle(), [&] {
    HWND dialog = WaitForDialog(GetCurrentProcessId(), L"Save Background");
    ASSERT_NE(dialog, nullptr);
    CancelDialog(dialog);
  });
  EXPECT_EQ(form.StatusText(), "Last action: background change was cancel");
  EXPECT_TRUE(registry.empty());
}

TEST_F(MainWindow, RefusedRegistryShowsTheErrorAsIsAndKeepsTheFile) {
  refuseRegistry = true;
  const std::string path = TempPath("qv_refused.bmp");
  DeleteFileW(win::Widen(path).c_str());
  EXPECT_EQ(ErrorAfterChoosing(form.sbtbtn2.Handle(), L"Save Background", path),
            L"Failed to set data for 'BackBitmapShell'");
  EXPECT_EQ(FileBytes(path).size(), static_cast<size_t>(54 + RowBytes(Preview().Width(), 24) * Preview().Height()));
  EXPECT_EQ(form.StatusText(), "Quorvane is ready");
  EXPECT_TRUE(IsWindowEnabled(form.Handle())) << "the window works again after the box";
}

TEST_F(MainWindow, LoadReportsBrokenFilesWithAFullStopAndKeepsThePreview) {
  const std::string path = TempPath("qv_fake.bmp");
  WriteBytes(path, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                    0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0});
  const uint32_t before = Bgr(Preview(), 0, 0);
  EXPECT_EQ(ErrorAfterChoosing(form.sbtbtn1.Handle(), L"Load Background", path),
            L"Bitmap image is not valid.");
  EXPECT_EQ(form.StatusText(), "Quorvane is ready");
  EXPECT_EQ(Bgr(Preview(), 0, 0), before);
}

TEST_F(MainWindow, LoadNeedsThePreviewsRealSizeAndTheNextChangeRendersAgain) {
  struct Case {
    int dw, dh;
    const char* status;
  } cases[] = {{0, 0, "Image loaded, click Apply to use it as background"},
               {1, 0, "Image format is not compatible"},
               {0, -1, "Image format is not compatible"}};
  for (const Case& c : cases) {
    TBitmap picture;
    picture.SetSize(Preview().Width() + c.dw, Preview().Height() + c.dh);
    picture.SetPixelFormat(TPixelFormat::pf24bit);
    picture.SetPixelRgb(0, 0, 0x123456);
    const std::string path = TempPath("qv_load.bmp");
    SaveBitmapToFile(picture, path);
    ClickWithHelper(form.sbtbtn1.Handle(), [&] {
      HWND dialog = WaitForDialog(GetCurrentProcessId(), L"Load Background");
      ASSERT_NE(dialog, nullptr);
      FillFileDialog(dialog, win::Widen(path));
    });
    EXPECT_EQ(form.StatusText(), c.status);
    // The first case's picture stays in place when the others are refused.
    EXPECT_EQ(Preview().GetPixelRgb(0, 0), 0x123456u);
    RECT area;
    GetClientRect(form.image2.Handle(), &area);
    EXPECT_EQ(Preview().Width(), area.right);
  }
  // Away from 96 pixels per inch, a picture of the 96-dpi size does not fit.
  if (Dpi() != 96) {
    TBitmap small;
    small.SetSize(885, 147);
    const std::string path = TempPath("qv_small.bmp");
    SaveBitmapToFile(small, path);
    ClickWithHelper(form.sbtbtn1.Handle(), [&] {
      HWND dialog = WaitForDialog(GetCurrentProcessId(), L"Load Background");
      ASSERT_NE(dialog, nullptr);
      FillFileDialog(dialog, win::Widen(path));
    });
    EXPECT_EQ(form.StatusText(), "Image format is not compatible");
  }
  // A change of setting replaces the loaded picture and keeps the status.
  SendMessageW(form.chk1.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(Bgr(Preview(), 0, 0), 0xFF0000u);
  EXPECT_EQ(form.StatusText(), "Image format is not compatible");
}

TEST_F(MainWindow, AboutOpensTheAboutWindowModallyAndLeavesTheStatus) {
  TAboutBox about;
  about.Create(GetModuleHandleW(nullptr));
  AboutBox = &about;
  bool ownerDisabled = false;
  ClickWithHelper(form.sbtbtn4.Handle(), [&] {
    HWND window = WaitForWindow(GetCurrentProcessId(), L"", L"Quorvane 1.0");
    ASSERT_NE(window, nullptr);
    ownerDisabled = !IsWindowEnabled(form.Handle());
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  AboutBox = nullptr;
  EXPECT_TRUE(ownerDisabled) << "modal";
  EXPECT_TRUE(IsWindowEnabled(form.Handle()));
  EXPECT_FALSE(IsWindowVisible(about.Handle()));
  EXPECT_EQ(form.StatusText(), "Quorvane is ready");
}

TEST_F(MainWindow, MovingToAnotherDpiScalesTheWindowAndRendersAtTheNewSize) {
  const int dpi = Dpi() == 96 ? 144 : 96;
  RECT frame;
  GetWindowRect(form.Handle(), &frame);
  SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
  auto s = [dpi](int v) { return win::Scale(v, dpi); };
  RECT client;
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client.right, s(887));
  EXPECT_EQ(client.bottom, s(233));
  RECT apply;
  GetWindowRect(form.sbtbtn2.Handle(), &apply);
  MapWindowPoints(nullptr, form.spnl1.Handle(), reinterpret_cast<POINT*>(&apply), 2);
  EXPECT_EQ(apply.left, s(429));
  EXPECT_EQ(apply.right - apply.left, s(82));
  RECT area;
  GetClientRect(form.image2.Handle(), &area);
  EXPECT_EQ(Preview().Width(), area.right);
  EXPECT_EQ(Preview().Height(), area.bottom);
  EXPECT_EQ(form.RenderCount(), 2);
  EXPECT_EQ(form.StatusText(), "Quorvane is ready");
}

TEST_F(MainWindow, EnterPressesTheFocusedButton) {
  SetForegroundWindow(form.Handle());
  SetFocus(form.sbtbtn3.Handle());  // Default
  ASSERT_EQ(GetFocus(), form.sbtbtn3.Handle());
  PostMessageW(form.sbtbtn3.Handle(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
  PostMessageW(form.sbtbtn3.Handle(), WM_KEYUP, VK_RETURN, 0xC01C0001);
  PumpMessages(200, true);  // as the program's loop: keys to the dialog manager first
  EXPECT_EQ(registry, std::vector<std::string>{""});
  EXPECT_EQ(form.StatusText(), "Last action: default background restored successfully");
}

// Open with Common Controls 6, as in the program (this test program carries
// the program's manifest), the lists are sized by their visible row count.
TEST_F(MainWindow, ColourListsOpenFourteenRowsTall) {
  // The version 6 library is the one of the side-by-side store.
  wchar_t library[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), library, MAX_PATH);
  std::wstring path = library;
  for (wchar_t& c : path) c = static_cast<wchar_t>(towlower(c));
  ASSERT_NE(path.find(L"\\winsxs\\"), std::wstring::npos) << win::Narrow(library);

  for (win::TColorBoxControl* box : {&form.colorselect1, &form.colorselect2}) {
    SendMessageW(box->Handle(), CB_SHOWDROPDOWN, TRUE, 0);
    PumpMessages(50);
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof(combo);
    ASSERT_TRUE(GetComboBoxInfo(box->Handle(), &combo));
    ASSERT_TRUE(IsWindowVisible(combo.hwndList));
    RECT client;
    GetClientRect(combo.hwndList, &client);
    EXPECT_EQ(SendMessageW(combo.hwndList, LB_GETITEMHEIGHT, 0, 0), S(16));
    EXPECT_EQ(client.bottom, 14 * S(16)) << "min(50 entries, DropDownCount 14) rows";
    SendMessageW(box->Handle(), CB_SHOWDROPDOWN, FALSE, 0);
    PumpMessages(20);
  }
}

TEST_F(MainWindow, ExitClosesTheWindow) {
  SendMessageW(form.sbtbtn5.Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(PumpMessages(500)) << "the message loop ends";
  EXPECT_FALSE(IsWindow(form.Handle()));
}

TEST_F(MainWindow, Screenshot) {
  PumpMessages(300);
  const TBitmap shot = win::CaptureWindow(form.Handle(), true);
  ASSERT_FALSE(shot.Empty());
  SaveScreenshot(shot, "main_window_" + std::to_string(Dpi()) + "dpi.bmp");
}

}  // namespace
}  // namespace qv
