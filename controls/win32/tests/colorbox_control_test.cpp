// The colour box under Wine: the two boxes of the main window on a panel of
// its size, driven by keyboard and mouse messages as a user would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/win32/colorbox_control.h"
#include "imaging/exceptions.h"
#include "toolkit/bitmap_gdi.h"
#include "toolkit/gdi_text.h"
#include "toolkit/handles.h"
#include "toolkit/panel.h"
#include "toolkit/tests/window_testing.h"

namespace qv::win {
namespace {

class Host : public TControl {
 protected:
  const wchar_t* ClassName() const override { return L"QvColorBoxTestHost"; }
  LRESULT HandleMessage(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_ERASEBKGND) {
      RECT r;
      GetClientRect(Handle(), &r);
      FillRect(reinterpret_cast<HDC>(w), &r, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    return TControl::HandleMessage(msg, w, l);
  }
};

using testing::PumpMessages;

RECT RectIn(HWND window, HWND parent) {
  RECT r;
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The main window's top panel with its two colour boxes, as the form builds
// them: name, create, caption label, change handler, then the start-up
// colours from code.
struct MainWindowBoxes : ::testing::Test {
  Host form;
  TPanel panel;
  TColorBoxControl first, second;
  Font font{CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, L"Tahoma")};
  std::vector<std::string> events;

  void SetUp() override {
    InstallPlatformServices();
    form.Create({.Left = 0, .Top = 0, .Width = 887, .Height = 320,
                 .Style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN});
    panel.Create({.Parent = form.Handle(), .Left = 0, .Top = 0, .Width = 887, .Height = 65,
                  .Style = WS_CLIPCHILDREN});
    const struct {
      TColorBoxControl& box;
      const char* name;
      int top;
      const char* caption;
    } rows[] = {{first, "colorselect1", 9, "Gradient 1st Color:"},
                {second, "colorselect2", 37, "Gradient 2nd Color:"}};
    int id = 100;
    for (const auto& r : rows) {
      r.box.Box().SetName(r.name);
      r.box.Create({.Parent = panel.Handle(), .Left = 112, .Top = r.top, .Width = 89, .Height = 22,
                    .Id = ++id, .Font = font.Get()});
      r.box.SetCaptionLabel(r.caption);
      std::string tag = r.name;
      r.box.Box().OnChange = [this, tag](TsCustomColorBox&) { events.push_back(tag); };
    }
    first.Box().SetSelected(0xFF0000);
    second.Box().SetSelected(0xF0CAA6);
    SetForegroundWindow(form.Handle());
    UpdateWindow(form.Handle());
    PumpMessages(50);
  }
  void TearDown() override {
    SetTextRenderer(nullptr);
    SetSysColorLookup(nullptr);
  }

  int CurSel(const TColorBoxControl& b) const {
    return static_cast<int>(SendMessageW(b.Handle(), CB_GETCURSEL, 0, 0));
  }
};

TEST_F(MainWindowBoxes, StartUpShowsBlueAndSkyBlueWithoutAnyChangeEvent) {
  EXPECT_EQ(SendMessageW(first.Handle(), CB_GETCOUNT, 0, 0), 50);
  EXPECT_EQ(CurSel(first), 12);
  EXPECT_EQ(CurSel(second), 17);
  EXPECT_EQ(first.Box().Selected(), 0xFF0000);
  EXPECT_EQ(second.Box().Selected(), 0xF0CAA6);
  EXPECT_TRUE(events.empty());

  wchar_t text[64] = {};
  SendMessageW(first.Handle(), CB_GETLBTEXT, 17, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"clSkyBlue");
  // Entries and the selection field are ItemHeight high, so the closed box
  // is 22 high with its frame, whatever the font. (The field's own height is
  // not read back: Wine answers it with two pixels of padding added.)
  EXPECT_EQ(SendMessageW(first.Handle(), CB_GETITEMHEIGHT, 0, 0), 16);
  const RECT r = RectIn(first.Handle(), panel.Handle());
  EXPECT_EQ(r.left, 112);
  EXPECT_EQ(r.top, 9);
  EXPECT_EQ(r.right - r.left, 89);
  EXPECT_EQ(r.bottom - r.top, 22);
}

TEST_F(MainWindowBoxes, CaptionLabelsSitLeftOfTheBoxes) {
  for (const auto* b : {&first, &second}) {
    HWND label = b->LabelHandle();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(GetParent(label), panel.Handle());
    EXPECT_TRUE(IsWindowVisible(label));
    const RECT r = RectIn(label, panel.Handle());
    const RECT box = RectIn(b->Handle(), panel.Handle());
    const int height = r.bottom - r.top;
    EXPECT_EQ(r.right, 108);
    EXPECT_EQ(r.top, box.top + (box.bottom - box.top - height) / 2 - 1);
  }
  // A 13-pixel label beside a 22-pixel box (Windows) and a 12-pixel one
  // beside a 20-pixel box (Wine's Tahoma and frame) both land here.
  EXPECT_EQ(RectIn(first.LabelHandle(), panel.Handle()).top, 12);
  EXPECT_EQ(RectIn(second.LabelHandle(), panel.Handle()).top, 40);
  wchar_t text[64] = {};
  GetWindowTextW(first.LabelHandle(), text, 64);
  EXPECT_STREQ(text, L"Gradient 1st Color:");

  // The label follows the box.
  SetWindowPos(first.Handle(), nullptr, 150, 20, 89, 22, SWP_NOZORDER | SWP_NOSIZE);
  EXPECT_EQ(RectIn(first.LabelHandle(), panel.Handle()).right, 146);
  ShowWindow(first.Handle(), SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(first.LabelHandle()));
  EnableWindow(second.Handle(), FALSE);
  EXPECT_FALSE(IsWindowEnabled(second.LabelHandle()));
}

TEST_F(MainWindowBoxes, SelectedFromCodeFiresNothing) {
  first.Box().SetSelected(0x0000FF);
  second.Box().SetSelected(static_cast<TColor>(0xFF00000F));
  PumpMessages(50);
  EXPECT_EQ(CurSel(first), 9);
  EXPECT_EQ(second.Box().Selected(), static_cast<TColor>(0xFF00000F));
  EXPECT_TRUE(events.empty());
}

TEST_F(MainWindowBoxes, ArrowKeyFiresChangeOnce) {
  SendMessageW(first.Handle(), WM_KEYDOWN, VK_DOWN, 0);
  SendMessageW(first.Handle(), WM_KEYUP, VK_DOWN, 0);
  PumpMessages(50);
  EXPECT_EQ(events, std::vector<std::string>{"colorselect1"});
  EXPECT_EQ(first.Box().Selected(), 0xFF00FF);  // clFuchsia follows clBlue

  // In the open list: one step down and Enter, which closes it.
  events.clear();
  SendMessageW(first.Handle(), CB_SHOWDROPDOWN, TRUE, 0);
  PumpMessages(50);
  SendMessageW(first.Handle(), WM_KEYDOWN, VK_DOWN, 0);
  SendMessageW(first.Handle(), WM_KEYDOWN, VK_RETURN, 0);
  SendMessageW(first.Handle(), WM_CHAR, VK_RETURN, 0);
  PumpMessages(50);
  EXPECT_FALSE(SendMessageW(first.Handle(), CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(events, std::vector<std::string>{"colorselect1"});
  EXPECT_EQ(first.Box().Selected(), 0xFFFF00);  // clAqua
}

TEST_F(MainWindowBoxes, TypeAheadAndBackspace) {
  for (wchar_t c : std::wstring(L"clr")) SendMessageW(second.Handle(), WM_CHAR, c, 0);
  EXPECT_EQ(second.Box().Selected(), 0x0000FF);  // clRed
  // "c" moved to clBlack, "r" to clRed: two changes.
  EXPECT_EQ(events, (std::vector<std::string>{"colorselect2", "colorselect2"}));
  SendMessageW(second.Handle(), WM_CHAR, VK_BACK, 0);
  EXPECT_EQ(events.size(), 3u);
  EXPECT_EQ(second.Box().Selected(), 0x0000FF);
}

TEST_F(MainWindowBoxes, NulCharacterDoesNotHoldTheTypeAheadOnItsMatch) {
  // Ctrl+@ types a NUL: no name holds it, so it is not matched as the
  // search so far, and the letters after it go on searching.
  for (wchar_t c : {L'c', L'l', L'b', L'\0', L'l', L'u'}) SendMessageW(second.Handle(), WM_CHAR, c, 0);
  EXPECT_EQ(second.Box().Selected(), 0xFF0000);  // clBlue, not clBlack
}

// Clicks entry i of the box's open list as the mouse would.
void ClickListEntry(const TColorBoxControl& box, int i) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetComboBoxInfo(box.Handle(), &info));
  ASSERT_TRUE(IsWindowVisible(info.hwndList));
  SendMessageW(info.hwndList, LB_SETTOPINDEX, i, 0);
  RECT item;
  SendMessageW(info.hwndList, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));
  POINT at{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  POINT screen = at;
  ClientToScreen(info.hwndList, &screen);
  SetCursorPos(screen.x, screen.y);
  const LPARAM pos = MAKELPARAM(at.x, at.y);
  SendMessageW(info.hwndList, WM_MOUSEMOVE, 0, pos);
  SendMessageW(info.hwndList, WM_LBUTTONDOWN, MK_LBUTTON, pos);
  SendMessageW(info.hwndList, WM_LBUTTONUP, 0, pos);
  PumpMessages(100);
}

TEST_F(MainWindowBoxes, PickingFromTheOpenListFiresChangeOnce) {
  std::vector<std::string> order;
  first.Box().OnDropDown = [&](TsCustomColorBox&) { order.push_back("dropdown"); };
  first.Box().OnCloseUp = [&](TsCustomColorBox&) { order.push_back("closeup"); };
  SendMessageW(first.Handle(), CB_SHOWDROPDOWN, TRUE, 0);
  PumpMessages(50);
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetComboBoxInfo(first.Handle(), &info));
  ASSERT_TRUE(IsWindowVisible(info.hwndList));
  // 14 rows of 16 pixels.
  RECT client;
  GetClientRect(info.hwndList, &client);
  EXPECT_EQ(client.bottom - client.top, 14 * 16);

  ClickListEntry(first, 2);  // clGreen
  EXPECT_FALSE(SendMessageW(first.Handle(), CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(first.Box().Selected(), 0x008000);
  EXPECT_EQ(events, std::vector<std::string>{"colorselect1"});
  ASSERT_GE(order.size(), 2u);
  EXPECT_EQ(order.front(), "dropdown");
  EXPECT_EQ(order.back(), "closeup");
}

TEST_F(MainWindowBoxes, CustomEntryPickedFromTheListAsksForAColour) {
  first.Box().SetStyle(first.Box().Style() | cbCustomColor);
  ASSERT_EQ(SendMessageW(first.Handle(), CB_GETCOUNT, 0, 0), 51);
  std::vector<uint32_t> asked;
  uint32_t answer = 0x123456;
  bool ok = true;
  first.Box().ColorChooser = [&](uint32_t& rgb) {
    asked.push_back(rgb);
    rgb = answer;
    return ok;
  };
  SendMessageW(first.Handle(), CB_SHOWDROPDOWN, TRUE, 0);
  PumpMessages(50);
  ClickListEntry(first, 0);
  EXPECT_EQ(asked, std::vector<uint32_t>{0});
  EXPECT_EQ(first.Box().Selected(), 0x123456);
  EXPECT_EQ(events, std::vector<std::string>{"colorselect1"});

  // Cancelled: the entry is current, but no change is reported.
  first.Box().SetSelected(0xFF0000);
  events.clear();
  ok = false;
  SendMessageW(first.Handle(), CB_SHOWDROPDOWN, TRUE, 0);
  PumpMessages(50);
  ClickListEntry(first, 0);
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked.back(), 0x123456u);
  EXPECT_TRUE(events.empty());

  // Enter on the custom entry asks again.
  SendMessageW(first.Handle(), WM_CHAR, VK_RETURN, 0);
  EXPECT_EQ(asked.size(), 3u);
}

TEST_F(MainWindowBoxes, ItemHeightRecreatesTheWindowKeepingEntriesAndIndex) {
  HWND before = first.Handle();
  first.Box().SetItemHeight(20);
  EXPECT_NE(first.Handle(), before);
  EXPECT_FALSE(IsWindow(before));
  EXPECT_EQ(SendMessageW(first.Handle(), CB_GETCOUNT, 0, 0), 50);
  EXPECT_EQ(CurSel(first), 12);
  EXPECT_EQ(SendMessageW(first.Handle(), CB_GETITEMHEIGHT, 0, 0), 20);
  EXPECT_EQ(RectIn(first.LabelHandle(), panel.Handle()).right, 108);
  EXPECT_TRUE(events.empty());
}

// Created as any control is, from a form's arguments: the box adds its own
// styles, takes the name and makes the text its caption label.
TEST(ColorBoxControl, CreatedThroughTheBaseClassIsAWholeColourBox) {
  Host host;
  host.Create({.Width = 300, .Height = 100, .Style = WS_POPUP});
  TColorBoxControl box;
  TControl& base = box;
  base.Create({.Parent = host.Handle(), .Left = 112, .Top = 9, .Width = 89, .Height = 22,
               .Text = L"Gradient 1st Color:", .Name = "colorselect1"});
  EXPECT_TRUE(GetWindowLongPtrW(box.Handle(), GWL_STYLE) & CBS_OWNERDRAWFIXED);
  EXPECT_EQ(SendMessageW(box.Handle(), CB_GETCOUNT, 0, 0), 50);
  EXPECT_EQ(box.Box().Name(), "colorselect1");
  ASSERT_NE(box.LabelHandle(), nullptr);
  EXPECT_EQ(RectIn(box.LabelHandle(), host.Handle()).right, 108);
  std::vector<int> changes;
  EXPECT_TRUE(base.BindEvent("change", [&] { changes.push_back(1); }));
  EXPECT_FALSE(base.BindEvent("click", [] {}));
  SendMessageW(box.Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(changes.size(), 1u);
}

TEST_F(MainWindowBoxes, ScreenshotWithTheListOpen) {
  SetCursorPos(1500, 1100);  // away from the list, so that the current entry is highlighted
  SendMessageW(second.Handle(), CB_SHOWDROPDOWN, TRUE, 0);
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessages(300);

  RECT frame;
  GetWindowRect(form.Handle(), &frame);
  const TBitmap shot = CaptureScreen({frame.left, frame.top, frame.left + 887, frame.top + 320});
  ASSERT_FALSE(shot.Empty());
  // 0x00BBGGRR, like a TColor.
  auto at = [&](int x, int y) {
    const uint8_t* p = shot.PixelRow(y) + x * 3;
    return static_cast<uint32_t>(p[2] | (p[1] << 8) | (p[0] << 16));
  };
  testing::SaveScreenshot(shot, "colorbox_demo.bmp");

  // Both fields show their colour's square in a black frame (blue and sky
  // blue are bright). The field's height is the platform's, so only the
  // frame's corner is checked.
  for (const auto& [b, colour] : {std::pair{&first, 0xFF0000u}, std::pair{&second, 0xF0CAA6u}}) {
    const RECT box = RectIn(b->Handle(), form.Handle());
    int bx = -1, by = -1;
    for (int y = box.top; y < box.bottom && bx < 0; ++y)
      for (int x = box.left; x < box.right; ++x)
        if (at(x, y) == colour) {
          bx = x;
          by = y;
          break;
        }
    ASSERT_GE(bx, 0) << "no square of " << std::hex << colour << " in the field";
    EXPECT_EQ(at(bx - 1, by - 1), 0u);
  }

  // The open list's rows are 16 pixels high with a 14 x 14 square 1 pixel
  // inside; the current entry, clSkyBlue, is highlighted.
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetComboBoxInfo(second.Handle(), &info));
  ASSERT_TRUE(IsWindowVisible(info.hwndList));
  auto rowOrigin = [&](int index) {
    RECT item;
    SendMessageW(info.hwndList, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(item.bottom - item.top, 16);
    POINT origin{item.left, item.top};
    ClientToScreen(info.hwndList, &origin);
    return POINT{origin.x - frame.left, origin.y - frame.top};
  };
  ASSERT_EQ(SendMessageW(info.hwndList, LB_GETTOPINDEX, 0, 0), 17);
  const uint32_t highlight = ResolveColor(clHighlight) & 0xFFFFFF;
  const uint32_t window = ResolveColor(clWindow) & 0xFFFFFF;
  POINT o = rowOrigin(17);
  EXPECT_EQ(at(o.x, o.y), highlight);
  EXPECT_EQ(at(o.x + 1, o.y + 1), 0u);
  EXPECT_EQ(at(o.x + 2, o.y + 2), 0xF0CAA6u);
  EXPECT_EQ(at(o.x + 13, o.y + 13), 0xF0CAA6u);
  EXPECT_EQ(at(o.x + 14, o.y + 14), 0u);
  EXPECT_EQ(at(o.x + 15, o.y + 15), highlight);
  EXPECT_EQ(at(o.x + 17, o.y + 8), highlight);  // the gap before the name at 20
  // clMedGray (no channel above 192), not selected: its frame merges with the fill.
  o = rowOrigin(19);
  EXPECT_EQ(at(o.x, o.y), window);
  EXPECT_EQ(at(o.x + 1, o.y + 1), 0xA4A0A0u);
  EXPECT_EQ(at(o.x + 14, o.y + 14), 0xA4A0A0u);
  EXPECT_EQ(at(o.x + 15, o.y + 15), window);
  SendMessageW(second.Handle(), CB_SHOWDROPDOWN, FALSE, 0);
}

}  // namespace
}  // namespace qv::win
