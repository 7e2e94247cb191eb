// Forms built from a table: placement at the window's DPI, docking, event
// binding by name, tooltips, the radio group's rule and its click events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/exceptions.h"
#include "toolkit/buttons.h"
#include "toolkit/dpi.h"
#include "toolkit/errors.h"
#include "toolkit/form.h"
#include "toolkit/image.h"
#include "toolkit/panel.h"
#include "toolkit/radio_layout.h"
#include "toolkit/statusbar.h"

namespace qv::win {
namespace {

TEST(RadioButtonRect, FollowsTheGroupRule) {
  // The main window's group: 140 x 50, two items in two columns, a font
  // whose "W" is 13 pixels high: caption 15, one button per column 65 wide.
  EXPECT_EQ(RadioButtonRect(0, 2, 2, 140, 50, 13), (TRect{8, 17, 73, 47}));
  EXPECT_EQ(RadioButtonRect(1, 2, 2, 140, 50, 13), (TRect{73, 17, 138, 47}));
  // Five items in two columns: three per column.
  EXPECT_EQ(RadioButtonRect(4, 5, 2, 110, 100, 2), (TRect{58, 37, 108, 66}));
  // A tiny font still leaves a caption of 4 + 2.
  EXPECT_EQ(RadioButtonRect(0, 1, 1, 50, 30, 1).Top, 8);
}

TEST(CentredOnWorkArea, CentresButKeepsTheCornerOnTheWorkArea) {
  const struct {
    SIZE window;
    RECT work;
    POINT expected;
  } cases[] = {
      // The main window at 144 dpi (1331 x 350 client area) on a 1280 x 1024
      // desktop: centred it would start 28 pixels left of the screen.
      {{1337, 382}, {0, 0, 1280, 1024}, {0, 321}},
      // It fits: centred on the work area, not on the screen below a taskbar.
      {{893, 262}, {0, 0, 1280, 984}, {193, 361}},
      // A second monitor right of the first, with a bar along its top.
      {{1337, 382}, {1280, 40, 3200, 1200}, {1571, 429}},
      // Taller than the work area: the top stays on it, the width is centred.
      {{400, 1100}, {0, 0, 1280, 1024}, {440, 0}},
  };
  for (const auto& c : cases) {
    const POINT at = CentredOnWorkArea(c.window, c.work);
    EXPECT_EQ(at.x, c.expected.x) << c.window.cx << "x" << c.window.cy;
    EXPECT_EQ(at.y, c.expected.y) << c.window.cx << "x" << c.window.cy;
  }
}

class TestForm : public TForm {
 public:
  TPanel top, bottom;
  TBitBtn go;
  TCheckBox flag;
  TRadioGroup kind;
  TImage picture;
  TStatusBar status;
  std::vector<std::string> calls;

  TestForm() {
    Publish("goClick", [this] { calls.push_back("go"); });
    Publish("flagClick", [this] { calls.push_back("flag"); });
    Publish("kindClick", [this] { calls.push_back("kind"); });
    Publish("FormCreate", [this] { calls.push_back("create"); });
    Field("top", top);
    Field("bottom", bottom);
    Field("go", go);
    Field("flag", flag);
    Field("kind", kind);
    Field("picture", picture);
    Field("status", status);
    kind.Items = {L"Vertical", L"Horizonal"};
    kind.Columns = 2;
  }
};

const ComponentRow kRows[] = {
    {.Name = "top", .Height = 65, .TabOrder = 0, .Align = TAlign::alTop},
    {.Name = "go", .Parent = "top", .Left = 429, .Top = 9, .Width = 82,
     .Height = 50, .Text = L"Apply", .Hint = L"Apply it", .TabOrder = 1,
     .Events = {{"click", "goClick"}}},
    {.Name = "flag", .Parent = "top", .Left = 363, .Top = 27, .Width = 60,
     .Height = 20, .Text = L"Reverse", .Hint = L"Reverse it", .TabOrder = 0,
     .Events = {{"click", "flagClick"}}},
    {.Name = "kind", .Parent = "top", .Left = 217, .Top = 9, .Width = 140,
     .Height = 50, .Text = L"Gradient Type", .Hint = L"Pick", .TabOrder = 2,
     .Events = {{"click", "kindClick"}}},
    {.Name = "bottom", .TabOrder = 1, .Align = TAlign::alClient},
    {.Name = "picture", .Parent = "bottom", .Align = TAlign::alClient},
    {.Name = "status", .Height = 19, .Text = L"Ready",
     .Align = TAlign::alBottom},
};

RECT ClientRectIn(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST(TForm, BuildsPlacesAndBindsFromTheTable) {
  TestForm form;
  form.CreateForm({.Caption = L"Test", .ClientWidth = 887, .ClientHeight = 233,
                   .OnCreate = "FormCreate"},
                  kRows);
  const int dpi = form.Dpi();
  auto s = [dpi](int v) { return Scale(v, dpi); };
  EXPECT_EQ(form.calls, std::vector<std::string>{"create"});

  RECT client;
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client.right, s(887));
  EXPECT_EQ(client.bottom, s(233));

  RECT go = ClientRectIn(form.go.Handle());
  EXPECT_EQ(go.left, s(429));
  EXPECT_EQ(go.top, s(9));
  EXPECT_EQ(go.right - go.left, s(82));
  RECT status = ClientRectIn(form.status.Handle());
  EXPECT_EQ(status.bottom, s(233));
  EXPECT_EQ(status.top, s(233) - s(19));
  // The client panel takes what the docked rows leave; the image fills it
  // less the one-pixel bevel.
  RECT bottom = ClientRectIn(form.bottom.Handle());
  EXPECT_EQ(bottom.top, s(65));
  EXPECT_EQ(bottom.bottom, status.top);
  RECT picture = ClientRectIn(form.picture.Handle());
  EXPECT_EQ(picture.left, 1);
  EXPECT_EQ(picture.top, 1);
  EXPECT_EQ(picture.right, client.right - 1);
  EXPECT_EQ(picture.bottom, bottom.bottom - bottom.top - 1);
  if (dpi == 96) {
    EXPECT_EQ(picture.right - picture.left, 885);
    EXPECT_EQ(picture.bottom - picture.top, 147);
  }
  EXPECT_EQ(form.status.Text(), L"Ready");

  // Tab order inside the top panel: flag (0), go (1), kind (2).
  EXPECT_EQ(GetWindow(form.top.Handle(), GW_CHILD), form.flag.Handle());
  EXPECT_EQ(GetWindow(form.flag.Handle(), GW_HWNDNEXT), form.go.Handle());

  // Focus enters at the first stop and Tab follows the table's order.
  SetForegroundWindow(form.Handle());
  SetFocus(form.Handle());
  EXPECT_EQ(GetFocus(), form.flag.Handle());
  MSG tab{form.flag.Handle(), WM_KEYDOWN, VK_TAB, 0};
  EXPECT_TRUE(IsDialogMessageW(form.Handle(), &tab));
  EXPECT_EQ(GetFocus(), form.go.Handle());

  // Tooltips for every hinted control, radio buttons included.
  EXPECT_EQ(SendMessageW(form.Tooltips(), TTM_GETTOOLCOUNT, 0, 0), 2 + 1 + 2);

  SendMessageW(form.go.Handle(), BM_CLICK, 0, 0);
  SendMessageW(form.flag.Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(form.flag.Checked());
  SendMessageW(form.kind.Button(1), BM_CLICK, 0, 0);
  EXPECT_EQ(form.kind.ItemIndex(), 1);
  SendMessageW(form.kind.Button(1), BM_CLICK, 0, 0);  // the chosen item again
  EXPECT_EQ(form.calls, (std::vector<std::string>{"create", "go", "flag", "kind", "kind"}));
  EXPECT_EQ(SendMessageW(form.kind.Button(1), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(form.kind.Button(0), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  // Setting from code fires nothing.
  form.kind.SetItemIndex(0);
  form.flag.SetChecked(false);
  EXPECT_EQ(form.calls.size(), 5u);
}

TEST(TForm, UnknownHandlerNamesAreRefused) {
  TestForm form;
  const ComponentRow rows[] = {{.Name = "go", .Width = 10, .Height = 10,
                                .Events = {{"click", "noSuchHandler"}}}};
  EXPECT_THROW(form.CreateForm({.Caption = L"T", .ClientWidth = 50, .ClientHeight = 50,
                                .Visible = false},
                               rows),
               Exception);
}

TEST(TImage, DrawsThePictureOpaqueFromTheTopLeftCorner) {
  TestForm form;
  form.CreateForm({.Caption = L"Img", .ClientWidth = 887, .ClientHeight = 233}, kRows);
  TBitmap picture;
  picture.SetSize(4, 3);
  picture.SetPixelFormat(TPixelFormat::pf24bit);
  picture.SetPixelRgb(0, 0, 0x0000FF);
  picture.SetPixelRgb(3, 2, 0x00FF00);
  form.picture.SetPicture(std::move(picture));
  UpdateWindow(form.Handle());
  HDC dc = GetDC(form.picture.Handle());
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 3, 2), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 10, 10), GetSysColor(COLOR_BTNFACE));
  ReleaseDC(form.picture.Handle(), dc);
}

}  // namespace
}  // namespace qv::win

namespace qv::win {
namespace {

// To the dialog manager the focused glyph button is the default one (Enter
// presses it); its attempts to set another button kind leave it owner-drawn.
TEST(TBitBtn, IsTheDefaultButtonWhileFocusedAndStaysOwnerDrawn) {
  TestForm form;
  const ComponentRow rows[] = {
      {.Name = "go", .Width = 80, .Height = 30, .Text = L"Go", .TabOrder = 0,
       .Events = {{"click", "goClick"}}},
      {.Name = "flag", .Top = 40, .Width = 80, .Height = 20, .Text = L"Flag", .TabOrder = 1}};
  form.CreateForm({.Caption = L"Keys", .ClientWidth = 200, .ClientHeight = 80}, rows);
  SetForegroundWindow(form.Handle());
  SetFocus(form.flag.Handle());
  EXPECT_FALSE(SendMessageW(form.go.Handle(), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);
  SetFocus(form.go.Handle());
  ASSERT_EQ(GetFocus(), form.go.Handle());
  EXPECT_TRUE(SendMessageW(form.go.Handle(), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);

  SendMessageW(form.go.Handle(), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  EXPECT_EQ(GetWindowLongPtrW(form.go.Handle(), GWL_STYLE) & 0xF, BS_OWNERDRAW);
  MSG enter{form.go.Handle(), WM_KEYDOWN, VK_RETURN, 0x001C0001};
  EXPECT_TRUE(IsDialogMessageW(form.Handle(), &enter));
  EXPECT_EQ(form.calls, std::vector<std::string>{"go"});
}

// The glyph and the caption are centred together, the gap between them
// 4 pixels (at 96 pixels per inch).
TEST(TBitBtn, CentresGlyphAndCaptionTogether) {
  TestForm form;
  const ComponentRow rows[] = {{.Name = "go", .Left = 0, .Top = 0, .Width = 120,
                                .Height = 50, .Text = L"Apply"}};
  form.go.GlyphPainter = [](int size) {
    TBitmap glyph;
    glyph.Allocate(size, size, TPixelFormat::pf32bit, true);
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        uint8_t* p = glyph.PixelRow(y) + x * 4;
        p[0] = 0, p[1] = 0, p[2] = 255, p[3] = 255;  // opaque red
      }
    }
    return glyph;
  };
  form.CreateForm({.Caption = L"Btn", .ClientWidth = 200, .ClientHeight = 80}, rows);
  if (form.Dpi() != 96) GTEST_SKIP() << "measured at 96 pixels per inch";

  MemoryDC dc(nullptr);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 120, -50, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  Bitmap canvas(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  {
    Selection use(dc.Get(), canvas.Get());
    form.go.PaintContent(dc.Get());
    GdiFlush();
  }
  const auto* px = static_cast<const uint32_t*>(bits);
  int redLeft = 120, redRight = -1, redTop = 50, redBottom = -1, textLeft = 120, textRight = -1;
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 120; ++x) {
      const uint32_t v = px[y * 120 + x] & 0xFFFFFF;
      if (v == 0xFF0000) {  // red, as 0x00RRGGBB in a DIB
        redLeft = std::min(redLeft, x), redRight = std::max(redRight, x);
        redTop = std::min(redTop, y), redBottom = std::max(redBottom, y);
      } else if (x > redRight && redRight >= 0 && x < 116 && y > 3 && y < 46 &&
                 (v & 0xFF) < 0x60 && ((v >> 8) & 0xFF) < 0x60) {  // inside the frame
        textLeft = std::min(textLeft, x), textRight = std::max(textRight, x);  // dark text
      }
    }
  }
  EXPECT_EQ(redRight - redLeft + 1, 32);
  EXPECT_EQ(redBottom - redTop + 1, 32);
  EXPECT_EQ(redTop, (50 - 32) / 2);
  EXPECT_NEAR(textLeft - redRight - 1, 4, 1) << "4 pixels between glyph and caption";
  EXPECT_NEAR(redLeft, 120 - 1 - textRight, 3) << "centred together";
}

}  // namespace
}  // namespace qv::win
