// The About window under Wine: its frame and layout, the modal showing that
// Enter ends, the address line and logo under the pointer, the clicks that
// ask the shell for the maker's page, and a screenshot for a person to see.
#include "app/win32/about_box.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/about_logo.h"
#include "imaging/bmp.h"
#include "toolkit/bitmap_gdi.h"
#include "toolkit/dpi.h"
#include "toolkit/gdi_text.h"
#include "toolkit/handles.h"
#include "toolkit/tests/window_testing.h"

namespace qv {
namespace {

using win::Scale;

constexpr char kAddress[] = "https://www.quorvane.example/";

// Steps run one per timer tick inside the About window's modal loop (the
// test's thread is the one that loops). When the steps run out and the
// window is still open, the close box ends it, so a failing test cannot hang.
struct ModalScript {
  std::deque<std::function<void()>> steps;
  HWND window = nullptr;
  int idleTicks = 0;
};
ModalScript* g_script = nullptr;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_script) return;
  if (!g_script->steps.empty()) {
    auto step = std::move(g_script->steps.front());
    g_script->steps.pop_front();
    step();
  } else if (++g_script->idleTicks == 100) {
    PostMessageW(g_script->window, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
}

int RunModal(TAboutBox& about, HWND owner, std::deque<std::function<void()>> steps) {
  ModalScript script{std::move(steps), about.Handle(), 0};
  g_script = &script;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, Tick);
  const int result = about.ShowModal(owner);
  KillTimer(nullptr, timer);
  g_script = nullptr;
  return result;
}

void PressEnter() { PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0x001C0001); }

void Click(HWND window) {
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
}

// What a control paints, as 0x00RRGGBB values row by row.
struct Picture {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;
  uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

Picture Render(win::TControl& control) {
  RECT r;
  GetClientRect(control.Handle(), &r);
  Picture p{r.right, r.bottom, {}};
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), p.Width, -p.Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  win::Bitmap dib(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib) return p;
  {
    win::MemoryDC dc;
    win::Selection use(dc.Get(), dib.Get());
    control.PaintContent(dc.Get());
    GdiFlush();
  }
  const auto* px = static_cast<const uint32_t*>(bits);
  p.Pixels.assign(px, px + static_cast<size_t>(p.Width) * p.Height);
  for (auto& v : p.Pixels) v &= 0xFFFFFF;
  return p;
}

// A system colour as 0x00RRGGBB, the order Render gives.
uint32_t Rgb(int sysColor) {
  const COLORREF c = GetSysColor(sysColor);
  return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

int Count(const Picture& p, uint32_t rgb) {
  int n = 0;
  for (uint32_t v : p.Pixels) n += v == rgb;
  return n;
}

class AboutBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A window closed by an earlier test may have left the thread's quit
    // message, which would end every modal loop at once.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    win::EnableDpiAwareness();
    win::InstallPlatformServices();
    owner = CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                            100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    about.Create(GetModuleHandleW(nullptr));
    about.OpenAddress = [this](HWND o, const std::string& address) {
      opened.push_back({o, address, IsWindowVisible(about.Handle()) != FALSE});
    };
    dpi = about.Dpi();
  }
  void TearDown() override {
    about.Destroy();
    DestroyWindow(owner);
  }

  struct Opened {
    HWND Owner;
    std::string Address;
    bool WindowShown;
  };

  HWND owner = nullptr;
  TAboutBox about;
  std::vector<Opened> opened;
  int dpi = 96;
};

TEST_F(AboutBoxTest, IsAHiddenCentredDialogOfTheDescribedLayout) {
  ASSERT_NE(about.Handle(), nullptr);
  EXPECT_FALSE(IsWindowVisible(about.Handle()));
  wchar_t caption[64] = {};
  GetWindowTextW(about.Handle(), caption, 64);
  EXPECT_STREQ(caption, L"Quorvane 1.0");

  RECT client;
  GetClientRect(about.Handle(), &client);
  EXPECT_EQ(client.right, Scale(298, dpi));
  EXPECT_EQ(client.bottom, Scale(274, dpi));
  const LONG_PTR style = GetWindowLongPtrW(about.Handle(), GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrW(about.Handle(), GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
  EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
  RECT frame;
  GetWindowRect(about.Handle(), &frame);
  EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

  struct Place {
    win::TControl* control;
    int left, top, width, height;  // at 96 pixels per inch, in the parent
  };
  for (const Place& p : {Place{&about.Panel1, 9, 8, 281, 218},
                         Place{&about.sLabelFX1, 3, 13, 273, 32},
                         Place{&about.Copyright, 3, 45, 273, 13},
                         Place{&about.sLabel1, 3, 62, 273, 13},
                         Place{&about.Comments, 3, 81, 273, 13},
                         Place{&about.Image1, 71, 104, 145, 105},
                         Place{&about.sBitBtn1, 117, 232, 75, 33}}) {
    RECT r;
    GetWindowRect(p.control->Handle(), &r);
    MapWindowPoints(nullptr, GetParent(p.control->Handle()), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, Scale(p.left, dpi)) << p.left << "," << p.top;
    EXPECT_EQ(r.top, Scale(p.top, dpi)) << p.left << "," << p.top;
    EXPECT_EQ(r.right - r.left, Scale(p.width, dpi)) << p.left << "," << p.top;
    EXPECT_EQ(r.bottom - r.top, Scale(p.height, dpi)) << p.left << "," << p.top;
  }

  EXPECT_EQ(about.PublishedNames(),
            (std::vector<std::string>{"CommentsClick", "CommentsMouseLeave", "CommentsMouseMove",
                                      "Image1Click", "Image1MouseMove", "Image1MouseLeave"}));
  const TsLabelFX& title = about.sLabelFX1.Model();
  EXPECT_EQ(title.Caption(), "Quorvane");
  EXPECT_EQ(title.Font().Name, "MS Sans Serif");
  EXPECT_TRUE(title.Font().Bold);
  EXPECT_EQ(title.Font().Height, Scale(19, dpi));
  EXPECT_EQ(title.Alignment(), taCenter);
  EXPECT_EQ(title.Shadow().Mode(), smSkin1);
  EXPECT_EQ(about.sLabel1.Model().Caption(),
            "Create and set your own gradient toolbar background");
  EXPECT_EQ(about.Image1.Picture().Width(), 147);
  EXPECT_EQ(about.Image1.Picture().Height(), 110);
  EXPECT_EQ(about.Image1.Picture().PixelBits(), 24);
}

TEST_F(AboutBoxTest, EnterClosesTheModalWindowWithOkAndTheCloseBoxOnlyHidesIt) {
  bool shown = false, ownerEnabled = true;
  const int result = RunModal(about, owner, {[&] {
                                shown = IsWindowVisible(about.Handle()) != FALSE;
                                ownerEnabled = IsWindowEnabled(owner) != FALSE;
                                PressEnter();
                              }});
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(shown);
  EXPECT_FALSE(ownerEnabled);  // the main window does not respond meanwhile
  EXPECT_FALSE(IsWindowVisible(about.Handle()));
  EXPECT_TRUE(IsWindowEnabled(owner));

  const HWND same = about.Handle();
  EXPECT_EQ(RunModal(about, owner,
                     {[&] { PostMessageW(about.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }}),
            IDCANCEL);
  EXPECT_TRUE(IsWindow(same));
  EXPECT_EQ(about.Handle(), same);
  EXPECT_FALSE(IsWindowVisible(same));
}

TEST_F(AboutBoxTest, EscapeClosesTheModalWindowLikeTheCloseBox) {
  bool openAfterEscape = false;
  const int result = RunModal(about, owner, {[] {
                                PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                              },
                              [&] { openAfterEscape = IsWindowVisible(about.Handle()) != FALSE; }});
  EXPECT_FALSE(openAfterEscape);
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_FALSE(IsWindowVisible(about.Handle()));
  EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(AboutBoxTest, AddressLineTurnsBlueWithAHandUnderThePointerAndBlackAfter) {
  HWND line = about.Comments.Handle();
  HCURSOR hand = LoadCursorW(nullptr, IDC_HAND), arrow = LoadCursorW(nullptr, IDC_ARROW);
  EXPECT_EQ(about.Comments.Model().Font().Color, clWindowText);
  EXPECT_EQ(Count(Render(about.Comments), 0x0000FF), 0);

  SendMessageW(line, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
  EXPECT_EQ(about.Comments.Model().Font().Color, clBlue);
  EXPECT_EQ(about.Comments.Pointer().Cursor(), hand);
  SendMessageW(line, WM_SETCURSOR, reinterpret_cast<WPARAM>(line), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), hand);
  EXPECT_GT(Count(Render(about.Comments), 0x0000FF), 20);  // the text is drawn in blue

  SendMessageW(line, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(about.Comments.Model().Font().Color, clBlack);
  EXPECT_EQ(about.Comments.Pointer().Cursor(), nullptr);
  SendMessageW(line, WM_SETCURSOR, reinterpret_cast<WPARAM>(line), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), arrow);
  const Picture after = Render(about.Comments);
  EXPECT_EQ(Count(after, 0x0000FF), 0);
  EXPECT_GT(Count(after, 0x000000), 20);
}

TEST_F(AboutBoxTest, LogoShowsAHandUnderThePointerAndKeepsItsLook) {
  HWND logo = about.Image1.Handle();
  const std::vector<uint8_t> before = about.Image1.Picture().Bits();
  SendMessageW(logo, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(about.Image1.Pointer().Cursor(), LoadCursorW(nullptr, IDC_HAND));
  SendMessageW(logo, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(about.Image1.Pointer().Cursor(), nullptr);
  EXPECT_EQ(about.Image1.Picture().Bits(), before);
  // Drawn at its own size from the corner, cut at the image's edges.
  const Picture shown = Render(about.Image1);
  const TBitmap& logoPicture = about.Image1.Picture();
  for (auto [x, y] : {std::pair{0, 0}, std::pair{70, 60}, std::pair{shown.Width - 1, shown.Height - 1}}) {
    if (x >= logoPicture.Width() || y >= logoPicture.Height()) continue;
    const uint32_t bgr = logoPicture.GetPixelRgb(x, y);
    EXPECT_EQ(shown.At(x, y), ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | (bgr >> 16)) << x << "," << y;
  }
}

TEST_F(AboutBoxTest, EachClickOnTheLineOrTheLogoOpensThePageOnceAndTheWindowStays) {
  const int result = RunModal(about, owner,
                              {[&] { Click(about.Comments.Handle()); },
                               [&] { Click(about.Image1.Handle()); },
                               [&] {
                                 // Released outside: no click.
                                 PostMessageW(about.Comments.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
                                 PostMessageW(about.Comments.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(4, 900));
                               },
                               [&] { PressEnter(); }});
  EXPECT_EQ(result, IDOK);
  ASSERT_EQ(opened.size(), 2u);
  for (const Opened& o : opened) {
    EXPECT_EQ(o.Address, kAddress);
    EXPECT_EQ(o.Owner, about.Handle());
    EXPECT_TRUE(o.WindowShown);
  }
  // A sender of another kind is ignored.
  about.CommentsClick(&about.Image1);
  about.Image1Click(&about.Comments);
  EXPECT_EQ(opened.size(), 2u);
}

TEST_F(AboutBoxTest, ShowingAgainKeepsTheAddressLinesColour) {
  const HWND first = about.Handle();
  RunModal(about, owner, {[&] {
                            SendMessageW(about.Comments.Handle(), WM_MOUSELEAVE, 0, 0);
                            PressEnter();
                          }});
  TColor seen = clNone;
  RunModal(about, owner, {[&] {
                            seen = about.Comments.Model().Font().Color;
                            about.CommentsMouseMove();
                            PressEnter();
                          }});
  EXPECT_EQ(seen, clBlack);  // not the window-text colour it started with
  RunModal(about, owner, {[&] {
                            seen = about.Comments.Model().Font().Color;
                            PressEnter();
                          }});
  EXPECT_EQ(seen, clBlue);
  EXPECT_EQ(about.Handle(), first);
}

TEST_F(AboutBoxTest, PanelIsBevelledTitleIsShadowedAndAScreenshotIsWritten) {
  ShowWindow(about.Handle(), SW_SHOW);
  UpdateWindow(about.Handle());
  testing::PumpMessages(200);

  // The panel: lowered outer and raised inner bevel, each 2 pixels at 96 dpi.
  const Picture panel = Render(about.Panel1);
  const int b = Scale(2, dpi), w = panel.Width, h = panel.Height;
  const uint32_t dark = Rgb(COLOR_BTNSHADOW), light = Rgb(COLOR_BTNHIGHLIGHT),
                 face = Rgb(COLOR_BTNFACE);
  EXPECT_EQ(panel.At(0, 0), dark);
  EXPECT_EQ(panel.At(b - 1, h / 2), dark);
  EXPECT_EQ(panel.At(w - 1, h / 2), light);
  EXPECT_EQ(panel.At(w / 2, h - 1), light);
  EXPECT_EQ(panel.At(b, b), light);
  EXPECT_EQ(panel.At(w - 1 - b, h / 2), dark);
  EXPECT_EQ(panel.At(2 * b, 2 * b), face);

  // The title: white text; where no shadow falls the face is darkened by
  // the blend's (c x 255) >> 8; the shadow holds darker pixels.
  const Picture title = Render(about.sLabelFX1);
  EXPECT_GT(Count(title, 0xFFFFFF), 100);
  auto blendedFace = [&](int shift) { return (((face >> shift) & 0xFF) * 255 >> 8) << shift; };
  // (Its left columns lie over the panel's inner bevel.)
  EXPECT_EQ(title.At(title.Width - 1, 0), blendedFace(0) | blendedFace(8) | blendedFace(16));
  int shaded = 0;
  for (uint32_t v : title.Pixels) shaded += v != 0xFFFFFF && (v & 0xFF) < ((face & 0xFF) * 3 / 4);
  EXPECT_GT(shaded, 50);

  const TBitmap shot = win::CaptureWindow(about.Handle(), true);
  ASSERT_FALSE(shot.Empty());
  testing::SaveScreenshot(shot, "about_box_" + std::to_string(dpi) + "dpi.bmp");
  ShowWindow(about.Handle(), SW_HIDE);
}

}  // namespace
}  // namespace qv
