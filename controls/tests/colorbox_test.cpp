#include "controls/colorbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "controls/colornames.h"
#include "imaging/exceptions.h"

namespace qv {
namespace {

// An in-memory stand-in for the platform's drop-down list.
class FakeComboWindow final : public TsComboWindow {
 public:
  explicit FakeComboWindow(TsCustomColorBox& box) : box_(box) {}

  struct Entry {
    std::string text;
    TColor data;
  };
  std::vector<Entry> entries;
  int index = -1;
  bool dropped = false;
  int redrawOff = 0;  // nesting of suspended redrawing
  int invalidations = 0;
  int recreations = 0;
  int itemHeight = 16;
  bool enabled = true;
  int insertsLeft = -1;  // refuse once this reaches 0 (-1: never)
  int failingDataIndex = -1;

  int Count() const override { return static_cast<int>(entries.size()); }
  bool Insert(int i, const std::string& text, TColor data) override {
    if (insertsLeft == 0) return false;
    if (insertsLeft > 0) --insertsLeft;
    if (i < 0) i = Count();
    entries.insert(entries.begin() + i, Entry{text, data});
    return true;
  }
  void Delete(int i) override {
    entries.erase(entries.begin() + i);
    if (index == i) index = -1;
    else if (index > i) --index;
  }
  void Clear() override {
    entries.clear();
    index = -1;
  }
  std::string Text(int i) const override { return entries.at(i).text; }
  bool Data(int i, TColor& data) const override {
    if (i < 0 || i >= Count() || i == failingDataIndex) return false;
    data = entries[i].data;
    return true;
  }
  void SetData(int i, TColor data) override { entries.at(i).data = data; }
  int ItemIndex() const override { return index; }
  void SetItemIndex(int i) override { index = (i >= 0 && i < Count()) ? i : -1; }
  int FindPrefix(const std::string& prefix) const override {
    auto lower = [](std::string s) {
      for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return s;
    };
    for (int i = 0; i < Count(); ++i)
      if (lower(entries[i].text).rfind(lower(prefix), 0) == 0) return i;
    return -1;
  }
  bool DroppedDown() const override { return dropped; }
  void SetDroppedDown(bool open) override { dropped = open; }
  void SetRedraw(bool on) override { redrawOff += on ? -1 : 1; }
  void SetItemHeight(int h) override { itemHeight = h; }
  void Invalidate() override { ++invalidations; }
  void ApplyEnabled(bool on) override { enabled = on; }
  void Recreate() override {
    box_.DetachWindow();
    entries.clear();
    index = -1;
    ++recreations;
    box_.AttachWindow(this);
  }

 private:
  TsCustomColorBox& box_;
};

// A box with its native window and a record of the events it fired.
struct BoxFixture : ::testing::Test {
  TsColorBox box;
  FakeComboWindow window{box};
  std::vector<std::string> events;
  uint32_t now = 10000;

  void SetUp() override {
    box.TickCount = [this] { return now; };
    box.OnChange = [this](TsCustomColorBox&) { events.push_back("change"); };
    box.OnClick = [this](TsCustomColorBox&) { events.push_back("click"); };
    box.AttachWindow(&window);
  }
  // The user picks entry i in the open list.
  void PickFromList(int i) {
    box.DroppedDownByUser();
    window.index = i;
    box.ClosedUpByUser();
    box.UserChangedSelection();
  }
  // A character typed ms milliseconds after the previous one.
  bool Type(char c, uint32_t ms = 100) {
    now += ms;
    box.KeyDown();
    return box.KeyPress(c);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : window.entries) names.push_back(e.text);
    return names;
  }
};

TEST(ColorTable, HoldsTheFiftyTwoNamedColours) {
  const auto& t = ColorTable();
  ASSERT_EQ(t.size(), 52u);
  EXPECT_EQ(t[0].Identifier, "clBlack");
  EXPECT_EQ(t[17].Identifier, "clSkyBlue");
  EXPECT_EQ(t[17].Value, 0xF0CAA6);
  EXPECT_EQ(t[29].Value, clDefault);
  EXPECT_EQ(t[45].Value, clNone);
  EXPECT_EQ(t[46].Identifier, "clScrollBar");
  EXPECT_EQ(t[46].Value, static_cast<TColor>(0xFF000000));
  EXPECT_EQ(t[24].Value, static_cast<TColor>(0xFF00000F));
  EXPECT_EQ(t[51].Value, static_cast<TColor>(0xFF000008));
}

TEST(ColorTable, PrettyNames) {
  const struct { const char* id; const char* shown; } cases[] = {
      {"clMoneyGreen", "Money Green"}, {"clBtnFace", "Btn Face"},
      {"cl3DDkShadow", "3 D Dk Shadow"}, {"clBlack", "Black"},
      {"clGradientInactiveCaption", "Gradient Inactive Caption"},
      {"Custom", "Custom"},  // no "cl" to drop, and no blank before the first capital
      {"cLime", "c Lime"},   // "cl" must match exactly
      {"cl", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PrettyColorName(c.id), c.shown) << c.id;
}

TEST_F(BoxFixture, DefaultStyleOffersFiftyEntriesWithoutNoneAndDefault) {
  ASSERT_EQ(box.Count(), 50);
  std::vector<std::string> expected;
  for (int row = 0; row < 52; ++row)
    if (row != 29 && row != 45) expected.emplace_back(ColorTable()[row].Identifier);
  EXPECT_EQ(Names(), expected);
  EXPECT_EQ(box.EntryColor(12), 0xFF0000);
  EXPECT_EQ(box.EntryText(12), "clBlue");
  EXPECT_EQ(box.EntryColor(17), 0xF0CAA6);
  EXPECT_EQ(box.EntryText(17), "clSkyBlue");
  EXPECT_FALSE(box.ListPending());
  EXPECT_EQ(window.redrawOff, 0);
}

TEST(ColorBox, SelectedBeforeTheWindowExistsIsAppliedWhenItIsCreated) {
  TsColorBox first, second;
  EXPECT_TRUE(first.ListPending());
  EXPECT_EQ(first.Selected(), 0);  // black until written
  int changes = 0;
  for (TsColorBox* b : {&first, &second}) b->OnChange = [&](TsCustomColorBox&) { ++changes; };
  first.SetSelected(0xFF0000);
  second.SetSelected(0xF0CAA6);
  EXPECT_EQ(first.Selected(), 0xFF0000);
  EXPECT_EQ(first.Count(), 0);

  FakeComboWindow w1(first), w2(second);
  first.AttachWindow(&w1);
  second.AttachWindow(&w2);
  EXPECT_EQ(first.ItemIndex(), 12);
  EXPECT_EQ(second.ItemIndex(), 17);
  EXPECT_EQ(first.Selected(), 0xFF0000);
  EXPECT_EQ(second.Selected(), 0xF0CAA6);
  EXPECT_EQ(changes, 0);
}

TEST_F(BoxFixture, SelectedFromCodeFiresNothing) {
  box.OnSelect = [this](TsCustomColorBox&) { events.push_back("select"); };
  for (TColor c : {0xFF0000, 0xF0CAA6, 0x000000, 0x123456}) box.SetSelected(c);
  box.SetStyle(box.Style() | cbPrettyNames);
  EXPECT_TRUE(events.empty());
}

TEST_F(BoxFixture, ColourWithoutEntryLeavesNoneCurrentAndReadsAsScrollBar) {
  box.SetSelected(0xF0CAA6);
  box.SetSelected(0x123456);
  EXPECT_EQ(box.ItemIndex(), -1);
  EXPECT_EQ(box.Selected(), static_cast<TColor>(0xFF000000));
  EXPECT_EQ(box.RememberedColor(), 0x123456);
  // ... which is also what the clScrollBar entry holds.
  box.SetSelected(static_cast<TColor>(0xFF000000));
  EXPECT_EQ(box.EntryText(box.ItemIndex()), "clScrollBar");
  EXPECT_EQ(box.Selected(), static_cast<TColor>(0xFF000000));
}

TEST_F(BoxFixture, SystemColourEntriesHoldTheirSystemValue) {
  box.SetSelected(static_cast<TColor>(0xFF00000F));
  EXPECT_EQ(box.EntryText(box.ItemIndex()), "clBtnFace");
  EXPECT_EQ(box.Selected(), static_cast<TColor>(0xFF00000F));
}

TEST_F(BoxFixture, StylesKeepTheirGroupsCountingPositionsAfterTheDeletions) {
  const struct {
    TsColorBoxStyle style;
    int count;
    const char* first;
    const char* last;
    bool enabled;
  } cases[] = {
      {cbStandardColors, 16, "clBlack", "clWhite", true},
      {cbExtendedColors, 4, "clMoneyGreen", "clMedGray", true},
      {cbSystemColors, 30, "clActiveBorder", "clWindowText", true},
      {cbSystemColors | cbIncludeNone | cbIncludeDefault, 32, "clActiveBorder", "clWindowText", true},
      {kDefaultColorBoxStyle | cbIncludeNone | cbIncludeDefault, 52, "clBlack", "clWindowText", true},
      // clNone and clDefault sit among the system colours and go with them.
      {cbStandardColors | cbIncludeNone | cbIncludeDefault, 16, "clBlack", "clWhite", true},
      {cbIncludeNone | cbIncludeDefault, 0, nullptr, nullptr, false},
      {cbPrettyNames, 0, nullptr, nullptr, false},
      {cbCustomColor, 1, "Custom...", "Custom...", true},
      {cbExtendedColors | cbPrettyNames, 4, "Money Green", "Med Gray", true},
  };
  for (const auto& c : cases) {
    box.SetStyle(c.style);
    SCOPED_TRACE(static_cast<int>(c.style));
    ASSERT_EQ(box.Count(), c.count);
    EXPECT_EQ(box.Enabled(), c.enabled);
    EXPECT_EQ(window.enabled, c.enabled);
    if (c.count) {
      EXPECT_EQ(box.EntryText(0), c.first);
      EXPECT_EQ(box.EntryText(c.count - 1), c.last);
    }
  }
  box.SetStyle(cbExtendedColors | cbSystemColors | cbIncludeDefault);
  ASSERT_EQ(box.Count(), 35);
  EXPECT_EQ(box.EntryText(13), "clDefault");
  EXPECT_TRUE(events.empty());
}

TEST_F(BoxFixture, RebuildKeepsTheSelectedColour) {
  box.SetSelected(0xF0CAA6);
  box.SetStyle(cbExtendedColors | cbSystemColors);
  EXPECT_EQ(box.ItemIndex(), 1);
  EXPECT_EQ(box.Selected(), 0xF0CAA6);
  box.SetStyle(cbStandardColors);  // no sky blue any more
  EXPECT_EQ(box.ItemIndex(), -1);
  box.SetStyle(kDefaultColorBoxStyle);  // remembered, so it comes back
  EXPECT_EQ(box.ItemIndex(), 17);
}

TEST_F(BoxFixture, CustomEntryTakesColoursNoOtherEntryHolds) {
  box.SetStyle(kDefaultColorBoxStyle | cbCustomColor);
  ASSERT_EQ(box.Count(), 51);
  EXPECT_EQ(box.EntryText(0), "Custom...");
  EXPECT_EQ(box.EntryColor(0), 0);

  // Black belongs to clBlack, not to the custom entry that holds 0 too.
  box.SetSelected(0);
  EXPECT_EQ(box.ItemIndex(), 1);

  box.SetSelected(0x123456);
  EXPECT_EQ(box.ItemIndex(), 0);
  EXPECT_EQ(box.EntryColor(0), 0x123456);
  EXPECT_EQ(box.Selected(), 0x123456);

  box.SetSelected(0xFF0000);  // a named colour stays with its entry
  EXPECT_EQ(box.ItemIndex(), 13);
  EXPECT_EQ(box.EntryColor(0), 0x123456);

  // The custom colour survives a rebuild.
  box.SetSelected(0x123456);
  box.SetStyle(box.Style() | cbPrettyNames);
  EXPECT_EQ(box.EntryColor(0), 0x123456);
  EXPECT_EQ(box.ItemIndex(), 0);

  // Black again: entry 1 is "Black", the custom entry keeps its colour.
  box.SetSelected(0);
  EXPECT_EQ(box.ItemIndex(), 1);
  EXPECT_EQ(box.EntryColor(0), 0x123456);
}

TEST_F(BoxFixture, CustomEntryNeverTakesTheNoEntryValue) {
  box.SetStyle(cbStandardColors | cbCustomColor);
  box.SetSelected(static_cast<TColor>(0xFF000000));
  EXPECT_EQ(box.ItemIndex(), -1);
  EXPECT_EQ(box.EntryColor(0), 0);
}

TEST_F(BoxFixture, BlackWithCustomEntryOnlyGoesToTheCustomEntry) {
  box.SetStyle(cbExtendedColors | cbCustomColor);
  box.SetSelected(0x777777);
  box.SetSelected(0);  // nothing holds black: the custom entry takes it
  EXPECT_EQ(box.ItemIndex(), 0);
  EXPECT_EQ(box.EntryColor(0), 0);
}

TEST_F(BoxFixture, OwnerAddsColoursOnlyWithCustomColors) {
  int calls = 0;
  box.OnGetColors = [&](TsCustomColorBox& sender, TsComboList& items) {
    EXPECT_EQ(&sender, &box);
    ++calls;
    items.Insert(-1, "Brand Orange", 0x0080FF);
  };
  box.SetSelected(0x0080FF);
  box.SetStyle(cbStandardColors);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(box.Count(), 16);
  EXPECT_EQ(box.ItemIndex(), -1);
  // The owner's entries come before the remembered colour is applied.
  box.SetStyle(cbStandardColors | cbCustomColors);
  EXPECT_EQ(calls, 1);
  ASSERT_EQ(box.Count(), 17);
  EXPECT_EQ(box.EntryText(16), "Brand Orange");
  EXPECT_EQ(box.ItemIndex(), 16);
}

TEST_F(BoxFixture, UserSelectionFiresClickThenChange) {
  PickFromList(3);
  EXPECT_EQ(events, (std::vector<std::string>{"click", "change"}));
  EXPECT_EQ(box.Selected(), 0x008080);

  events.clear();
  box.OnSelect = [this](TsCustomColorBox&) { events.push_back("select"); };
  window.index = 4;  // arrow key
  box.UserChangedSelection();
  EXPECT_EQ(events, (std::vector<std::string>{"click", "select"}));
}

TEST_F(BoxFixture, NothingFiresWhileTheFormLoads) {
  box.SetLoading(true);
  window.index = 4;
  box.UserChangedSelection();
  box.KeyPress('\b');
  EXPECT_TRUE(events.empty());
}

TEST_F(BoxFixture, DropDownAndCloseUpEvents) {
  box.OnDropDown = [this](TsCustomColorBox&) { events.push_back("dropdown"); };
  box.OnCloseUp = [this](TsCustomColorBox& b) {
    events.push_back(b.PickedFromList() ? "closeup-picked" : "closeup");
  };
  int before = window.invalidations;
  PickFromList(2);
  EXPECT_EQ(events, (std::vector<std::string>{"dropdown", "closeup", "click", "change"}));
  EXPECT_GT(window.invalidations, before);
  EXPECT_FALSE(box.PickedFromList());
  box.ClosedUpByUser();
  EXPECT_TRUE(box.PickedFromList());
  box.KeyDown();
  EXPECT_FALSE(box.PickedFromList());
}

TEST_F(BoxFixture, PickingTheCustomEntryRunsTheChooser) {
  box.SetStyle(kDefaultColorBoxStyle | cbCustomColor);
  box.SetSelected(0x00FF00);
  box.SetSelected(0x123456);
  box.SetSelected(0x00FF00);
  std::vector<uint32_t> presets;
  bool answer = false;
  box.ColorChooser = [&](uint32_t& rgb) {
    presets.push_back(rgb);
    if (answer) rgb = 0x00ABCDEF;
    return answer;
  };

  PickFromList(0);  // cancelled: not reported as a change
  EXPECT_EQ(presets, std::vector<uint32_t>{0x123456});
  EXPECT_EQ(events, std::vector<std::string>{"click"});
  EXPECT_EQ(box.EntryColor(0), 0x123456);

  events.clear();
  answer = true;
  PickFromList(0);
  EXPECT_EQ(events, (std::vector<std::string>{"click", "change"}));
  EXPECT_EQ(box.Selected(), 0xABCDEF);

  // Enter on the custom entry asks again and is consumed; a new colour is
  // a change, a cancelled dialog is not.
  events.clear();
  EXPECT_TRUE(Type('\r'));
  EXPECT_EQ(presets.size(), 3u);
  EXPECT_EQ(events, std::vector<std::string>{"change"});
  answer = false;
  EXPECT_TRUE(Type('\r'));
  EXPECT_EQ(presets.size(), 4u);
  EXPECT_EQ(events, std::vector<std::string>{"change"});

  // Arrowing onto it without the open list does not ask.
  window.index = 5;
  box.UserChangedSelection();
  window.index = 0;
  box.KeyDown();
  box.UserChangedSelection();
  EXPECT_EQ(presets.size(), 4u);
}

TEST_F(BoxFixture, CustomEntryPresetIsTheResolvedColour) {
  box.SetStyle(cbCustomColor);
  box.SetSelected(static_cast<TColor>(0xFF000005));  // clWindow: kept in the custom entry
  uint32_t preset = 1;
  box.ColorChooser = [&](uint32_t& rgb) {
    preset = rgb;
    return false;
  };
  EXPECT_FALSE(box.ChooseCustomColor());
  EXPECT_EQ(preset, ClassicSysColor(5));
}

TEST_F(BoxFixture, TypeAheadFindsEntriesByPrefix) {
  box.SetSelected(0xF0CAA6);
  EXPECT_TRUE(Type('c'));
  EXPECT_EQ(box.EntryText(box.ItemIndex()), "clBlack");
  EXPECT_TRUE(Type('L'));  // ignoring case
  EXPECT_TRUE(Type('b'));
  EXPECT_TRUE(Type('l'));
  EXPECT_EQ(box.ItemIndex(), 0);
  EXPECT_TRUE(Type('u'));
  EXPECT_EQ(box.EntryText(box.ItemIndex()), "clBlue");
  EXPECT_EQ(box.SearchText(), "cLblu");
  // Only the two moves are reported.
  EXPECT_EQ(events, (std::vector<std::string>{"click", "change", "click", "change"}));
}

TEST_F(BoxFixture, TypeAheadStartsAfreshAfterAPause) {
  EXPECT_TRUE(Type('c'));
  EXPECT_TRUE(Type('l', 499));
  EXPECT_EQ(box.SearchText(), "cl");
  // 500 ms: a new search for "b" finds nothing, so the platform gets the key.
  EXPECT_FALSE(Type('b', 500));
  EXPECT_EQ(box.SearchText(), "");
  EXPECT_EQ(box.ItemIndex(), 0);
}

TEST_F(BoxFixture, TypeAheadPauseUsesTheUnsignedTickDifference) {
  now = 0xFFFFFF00u;
  EXPECT_TRUE(Type('c'));
  now = 0x00000010u;  // the tick count wrapped 0x110 = 272 ms later
  EXPECT_TRUE(box.KeyPress('l'));
  EXPECT_EQ(box.SearchText(), "cl");
}

TEST_F(BoxFixture, BackspaceFiresChangeAndKeepsTheEntry) {
  box.SetSelected(0xFF0000);
  Type('c');
  Type('l');
  events.clear();
  EXPECT_TRUE(Type('\b'));
  EXPECT_EQ(box.SearchText(), "c");
  EXPECT_EQ(box.ItemIndex(), 0);
  EXPECT_EQ(events, std::vector<std::string>{"change"});
  events.clear();
  EXPECT_TRUE(Type('\b'));
  EXPECT_TRUE(Type('\b'));  // nothing left to drop, still reported
  EXPECT_EQ(events, (std::vector<std::string>{"change", "change"}));
}

TEST_F(BoxFixture, EscapeTabAndAutoDropDown) {
  box.SetAutoDropDown(true);
  EXPECT_FALSE(Type('\x1b'));
  EXPECT_FALSE(window.dropped);
  EXPECT_TRUE(Type('c'));
  EXPECT_TRUE(window.dropped);
  EXPECT_FALSE(Type('\t'));
  EXPECT_FALSE(window.dropped);
}

TEST_F(BoxFixture, WithoutAutoCompleteKeysGoToThePlatform) {
  box.SetAutoComplete(false);
  EXPECT_FALSE(Type('c'));
  EXPECT_FALSE(Type('\b'));
  EXPECT_TRUE(events.empty());
}

TEST_F(BoxFixture, ListErrors) {
  EXPECT_EQ(box.EntryColor(-1), clNone);
  window.failingDataIndex = 3;
  try {
    box.EntryColor(3);
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds");
  }
  EXPECT_THROW(box.EntryColor(50), EStringListError);
  window.failingDataIndex = -1;

  window.insertsLeft = 10;
  try {
    box.SetStyle(cbStandardColors);
    FAIL();
  } catch (const EOutOfResources& e) {
    EXPECT_STREQ(e.what(), "Unable to insert a line");
  }
  EXPECT_FALSE(box.ListPending());
  EXPECT_EQ(window.redrawOff, 0);  // redrawing resumed
}

TEST_F(BoxFixture, ItemHeightRecreatesTheWindowKeepingEntriesAndIndex) {
  box.SetSelected(0xF0CAA6);
  box.SetItemHeight(0);
  box.SetItemHeight(-4);
  EXPECT_EQ(box.ItemHeight(), 16);
  EXPECT_EQ(window.recreations, 0);

  box.SetStyle(box.Style() | cbCustomColor);
  box.SetSelected(0x123456);  // a custom colour: not something a rebuild would find
  box.SetItemHeight(20);
  EXPECT_EQ(window.itemHeight, 20);
  EXPECT_EQ(window.recreations, 1);
  EXPECT_EQ(box.Count(), 51);
  EXPECT_EQ(box.ItemIndex(), 0);
  EXPECT_EQ(box.Selected(), 0x123456);
}

TEST_F(BoxFixture, OpenListHeight) {
  EXPECT_EQ(box.DropDownHeight(), 14 * 16);
  EXPECT_EQ(box.DroppedHeight(), 14 * 16 + 22 + 2);
  box.SetDropDownCount(60);
  EXPECT_EQ(box.DropDownHeight(), 50 * 16);
  box.SetStyle(cbExtendedColors);
  EXPECT_EQ(box.DropDownHeight(), 4 * 16);
  box.SetStyle(cbIncludeNone);  // empty list: still one row high
  EXPECT_EQ(box.DropDownHeight(), 16);
}

TEST(ColorBox, MarginIsClampedToHalfTheHeight) {
  TsColorBox box;
  box.SetMargin(20);
  EXPECT_EQ(box.Margin(), 11);
  box.SetMargin(3);
  EXPECT_EQ(box.Margin(), 3);
}

TEST(ColorBox, ConstructorDefaults) {
  TsColorBox box;
  EXPECT_EQ(box.Style(), 0x07);
  EXPECT_EQ(box.Bounds().Width, 145);
  EXPECT_EQ(box.Bounds().Height, 22);
  EXPECT_EQ(box.ItemHeight(), 16);
  EXPECT_EQ(box.DropDownCount(), 14);
  EXPECT_EQ(box.Color(), clWindow);
  EXPECT_TRUE(box.ShowColorName());
  EXPECT_TRUE(box.AutoComplete());
  EXPECT_FALSE(box.AutoDropDown());
  EXPECT_TRUE(box.TabStop());
  EXPECT_EQ(box.SkinSection(), "COMBOBOX");
  EXPECT_FALSE(box.BoundLabel().Active());
}

// --- drawing ------------------------------------------------------------

TEST(SwatchBorder, BrightColoursGetBlackDarkOnesWhiteWhenSelected) {
  const struct { uint32_t c; unsigned state; uint32_t border; } cases[] = {
      {0xFF0000, 0, 0},              // blue byte 255
      {0x0000C1, odSelected, 0},     // red 193
      {0x00C100, 0, 0},              // green 193
      {0xC0C0C0, 0, 0xC0C0C0},       // 192 is not above 192: merges
      {0xC0C0C0, odSelected, 0xFFFFFF},
      {0x800000, 0, 0x800000},
      {0x800000, odSelected | odFocused, 0xFFFFFF},
  };
  for (const auto& c : cases) EXPECT_EQ(SwatchBorderColor(c.c, c.state), c.border) << std::hex << c.c;
}

TEST_F(BoxFixture, EntryLayoutWithTheMainWindowsFont) {
  const TColorBoxMetrics m{13, 17};
  TColorEntryPaint p = box.DrawItem(12, TRect{0, 32, 89, 48}, 0, m);
  EXPECT_EQ(p.Background, clWindow);
  EXPECT_EQ(p.TextColor, clWindowText);
  EXPECT_EQ(p.Swatch, (TRect{1, 33, 15, 47}));  // 14 x 14, 1 pixel inside
  EXPECT_EQ(p.SwatchColor, 0xFF0000);
  EXPECT_EQ(p.SwatchBorder, 0u);
  EXPECT_EQ(p.Text, "clBlue");
  EXPECT_EQ(p.TextOrigin, (TPoint{20, 33}));
  EXPECT_EQ(p.TextClip, (TRect{20, 32, 89, 48}));
  EXPECT_FALSE(p.Focus);

  p = box.DrawItem(4, TRect{0, 0, 89, 16}, odSelected | odFocused, m);  // clNavy
  EXPECT_EQ(p.Background, clHighlight);
  EXPECT_EQ(p.TextColor, clHighlightText);
  EXPECT_EQ(p.SwatchBorder, 0xFFFFFFu);
  EXPECT_TRUE(p.Focus);

  // A taller font starts above the row: (16 - 19) div 2 truncates to -1.
  p = box.DrawItem(4, TRect{0, 0, 89, 16}, 0, TColorBoxMetrics{19, 17});
  EXPECT_EQ(p.TextOrigin.Y, -1);
}

TEST_F(BoxFixture, FieldWithoutEntryOrWithColourBarOnly) {
  const TColorBoxMetrics m{13, 17};
  TColorEntryPaint p = box.DrawItem(-1, TRect{3, 3, 70, 19}, odSelected | odComboBoxEdit, m);
  EXPECT_FALSE(p.HasEntry);
  EXPECT_FALSE(p.HasText);
  EXPECT_EQ(p.Background, clWindow);  // no highlight without an entry

  box.SetShowColorName(false);
  p = box.DrawItem(12, TRect{3, 3, 70, 19}, odComboBoxEdit, m);
  EXPECT_EQ(p.Swatch, (TRect{4, 4, 70 - 18 - 1, 18}));
  EXPECT_FALSE(p.HasText);
  p = box.DrawItem(12, TRect{0, 0, 89, 16}, 0, m);  // the open list still shows names
  EXPECT_EQ(p.Swatch, (TRect{1, 1, 15, 15}));
  EXPECT_TRUE(p.HasText);
}

TEST_F(BoxFixture, DefaultAndNoneEntriesPaintTheirStandInColours) {
  box.SetStyle(kDefaultColorBoxStyle | cbIncludeNone | cbIncludeDefault);
  box.SetDefaultColorColor(0x0000FF);
  box.SetNoneColorColor(static_cast<TColor>(0xFF00000F));
  const TColorBoxMetrics m{13, 17};
  TColorEntryPaint d = box.DrawItem(29, TRect{0, 0, 89, 16}, 0, m);
  TColorEntryPaint n = box.DrawItem(45, TRect{0, 0, 89, 16}, 0, m);
  EXPECT_EQ(d.Text, "clDefault");
  EXPECT_EQ(d.SwatchColor, 0x0000FF);
  EXPECT_EQ(n.Text, "clNone");
  EXPECT_EQ(n.SwatchColor, static_cast<TColor>(0xFF00000F));
  EXPECT_EQ(n.SwatchBorder, 0u);  // button face 212, 208, 200 is bright
}

TEST_F(BoxFixture, PaintedEntryPixels) {
  TBitmap s;
  s.SetSize(89, 32);
  s.SetPixelBits(24);
  const TColorBoxMetrics m{11, 17};
  PaintColorEntryTo(s, box.DrawItem(12, TRect{0, 0, 89, 16}, 0, m), box.Font());  // blue
  PaintColorEntryTo(s, box.DrawItem(4, TRect{0, 16, 89, 32}, 0, m), box.Font());  // navy
  const uint32_t window = ClassicSysColor(5);
  EXPECT_EQ(s.GetPixelRgb(0, 0), window);
  EXPECT_EQ(s.GetPixelRgb(15, 15), window);
  EXPECT_EQ(s.GetPixelRgb(1, 1), 0u);  // black frame around blue
  EXPECT_EQ(s.GetPixelRgb(14, 14), 0u);
  EXPECT_EQ(s.GetPixelRgb(2, 2), 0xFF0000u);
  EXPECT_EQ(s.GetPixelRgb(13, 13), 0xFF0000u);
  EXPECT_EQ(s.GetPixelRgb(1, 17), 0x800000u);  // navy's frame merges with its fill
  EXPECT_EQ(s.GetPixelRgb(7, 24), 0x800000u);
  // Text starts at x = 20: nothing of it left of that.
  for (int y = 0; y < 32; ++y)
    for (int x = 15; x < 20; ++x) ASSERT_EQ(s.GetPixelRgb(x, y), window) << x << "," << y;
  bool ink = false;
  for (int x = 20; x < 89; ++x) ink |= s.GetPixelRgb(x, 8) == ClassicSysColor(8);
  EXPECT_TRUE(ink);
}

// An entry lower than its text: the name is set from above the entry's top
// ((8 - 13) div 2 = -2) but its background and ink stay inside the entry.
TEST_F(BoxFixture, PaintedEntryLowerThanItsTextStaysInsideIt) {
  TFont font = box.Font();
  font.Height = 13;
  TBitmap s;
  s.SetSize(89, 24);
  s.SetPixelBits(24);
  FillRect(s, TRect{0, 0, 89, 24}, 0x123456);
  const TColorEntryPaint p = box.DrawItem(12, TRect{0, 8, 89, 16}, odSelected, TColorBoxMetrics{13, 17});
  ASSERT_EQ(p.TextOrigin, (TPoint{12, 6}));
  PaintColorEntryTo(s, p, font);
  for (int x = 0; x < 89; ++x) {
    for (int y : {0, 6, 7, 16, 23}) ASSERT_EQ(s.GetPixelRgb(x, y), 0x123456u) << x << "," << y;
    EXPECT_NE(s.GetPixelRgb(x, 8), 0x123456u) << x;
  }
  const uint32_t highlight = ClassicSysColor(13);
  EXPECT_EQ(s.GetPixelRgb(12, 8), highlight);  // the name's background from the entry's top
  bool ink = false;
  for (int x = 12; x < 89; ++x) ink |= s.GetPixelRgb(x, 12) == ClassicSysColor(14);
  EXPECT_TRUE(ink);
}

}  // namespace
}  // namespace qv
