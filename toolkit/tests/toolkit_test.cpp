// The toolkit base under Wine: window binding and reflection, the error
// reporting rules, DPI scaling and GDI text on surfaces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/color.h"
#include "imaging/drawing.h"
#include "imaging/exceptions.h"
#include "toolkit/control.h"
#include "toolkit/dpi.h"
#include "toolkit/errors.h"
#include "toolkit/gdi_text.h"
#include "toolkit/handles.h"

namespace qv::win {
namespace {

class ErrorCapture {
 public:
  ErrorCapture() {
    SetErrorReporter([this](const std::string& m) { messages.push_back(m); });
  }
  ~ErrorCapture() { SetErrorReporter(nullptr); }
  std::vector<std::string> messages;
};

TEST(ErrorBoxText, AppendsAFullStopOnlyAfterBytesThatSortAfterIt) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"Bitmap image is not valid", "Bitmap image is not valid."},
      {"Stream read error", "Stream read error."},
      {"Failed to set data for 'BackBitmapShell'", "Failed to set data for 'BackBitmapShell'"},
      {"Already ends.", "Already ends."},
      {"", ""},
      {"Code 5", "Code 5."},           // '5' (0x35) sorts after '.'
      {"dash-", "dash-"},              // '-' (0x2D) sorts before '.'
      {"System Error.  Code: 5.\r\n", "System Error.  Code: 5.\r\n"},
      {"caf\xC3\xA9", "caf\xC3\xA9."},  // a byte above 0x7F compares as unsigned
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorBoxText(c.in), c.out) << c.in;
}

TEST(Dispatch, ReportsEscapingErrorsAndKeepsAbortSilent) {
  ErrorCapture capture;
  Dispatch([] { throw EReadError("Stream read error"); });
  Dispatch([] { throw EAbort("Operation aborted"); });
  Dispatch([] { throw std::runtime_error("plain"); });
  Dispatch([] {});
  EXPECT_EQ(capture.messages, (std::vector<std::string>{"Stream read error", "plain"}));
}

// A container and an owner-drawn system button: the container must reflect
// the button's drawing and command notifications to the button's object.
class Probe : public TControl {
 public:
  std::vector<UINT> reflected;
  bool throwOnCommand = false;
  int paints = 0;

 protected:
  const wchar_t* SystemClass() const override { return L"BUTTON"; }
  void OnReflected(MessageArgs& args) override {
    reflected.push_back(args.Msg);
    if (args.Msg == WM_COMMAND && throwOnCommand) throw EConvertError("from a handler");
    if (args.Msg == WM_DRAWITEM) {
      ++paints;
      args.Result = TRUE;
      args.Handled = true;
    }
  }
};

class Host : public TControl {
 public:
  bool destroyedSeen = false;

 protected:
  const wchar_t* ClassName() const override { return L"QvTestHost"; }
  LRESULT HandleMessage(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_DESTROY) destroyedSeen = true;
    return TControl::HandleMessage(msg, w, l);
  }
};

TEST(TControl, BindsReflectsAndDetaches) {
  ErrorCapture capture;
  Host host;
  host.Create({.Left = 0, .Top = 0, .Width = 200, .Height = 100, .Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE});
  ASSERT_NE(host.Handle(), nullptr);
  EXPECT_EQ(TControl::FromHandle(host.Handle()), &host);

  Probe probe;
  probe.Create({.Parent = host.Handle(), .Left = 5, .Top = 5, .Width = 60, .Height = 20,
                .Text = L"Go", .Style = BS_OWNERDRAW, .Id = 42});
  EXPECT_EQ(TControl::FromHandle(probe.Handle()), &probe);
  EXPECT_EQ(GetParent(probe.Handle()), host.Handle());

  SendMessageW(probe.Handle(), BM_CLICK, 0, 0);  // the button notifies its parent
  ASSERT_FALSE(probe.reflected.empty());
  EXPECT_EQ(probe.reflected.back(), static_cast<UINT>(WM_COMMAND));

  UpdateWindow(host.Handle());
  RedrawWindow(probe.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_GE(probe.paints, 1);

  // An exception in a reflected handler is reported, and the window lives on.
  probe.throwOnCommand = true;
  SendMessageW(probe.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(capture.messages, (std::vector<std::string>{"from a handler"}));
  EXPECT_TRUE(IsWindow(probe.Handle()));

  // The parent destroys the child window first: the child object detaches.
  HWND child = probe.Handle();
  host.Destroy();
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(probe.Handle(), nullptr);
  EXPECT_TRUE(host.destroyedSeen);
}

TEST(Dpi, ScalesRoundingToNearest) {
  EXPECT_EQ(Scale(887, 96), 887);
  EXPECT_EQ(Scale(887, 144), 1331);  // 1330.5 rounds away from zero in MulDiv
  EXPECT_EQ(Scale(65, 144), 98);     // 97.5
  EXPECT_EQ(Scale(19, 120), 24);     // 23.75
}

TEST(GdiText, DrawsIntoTheSurfaceWithinTheRectangleOnly) {
  InstallPlatformServices();
  TBitmap surface;
  surface.SetSize(60, 20);
  surface.SetPixelFormat(TPixelFormat::pf24bit);
  TextStyle style;
  style.Font.Height = 14;
  style.Color = clBlack;
  TRect rect{10, 2, 40, 18};
  CurrentTextRenderer().DrawText(surface, "WW", rect, style);
  int dark = 0, outside = 0;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 60; ++x) {
      if (surface.GetPixelRgb(x, y) != 0xFFFFFF) {
        bool in = x >= 10 && x < 40 && y >= 2 && y < 18;
        (in ? dark : outside)++;
      }
    }
  }
  EXPECT_GT(dark, 10);
  EXPECT_EQ(outside, 0);

  TRect measure{0, 0, 0, 0};
  style.Flags = tfCalcRect | tfSingleLine;
  CurrentTextRenderer().DrawText(surface, "WW", measure, style);
  EXPECT_GT(measure.Right, 10);
  EXPECT_EQ(measure.Bottom, CurrentTextRenderer().TextHeight(style.Font));
  SetTextRenderer(nullptr);
}

TEST(GdiText, SystemColoursComeFromTheSystem) {
  InstallPlatformServices();
  EXPECT_EQ(ResolveColor(clBtnFace), static_cast<uint32_t>(GetSysColor(COLOR_BTNFACE)));
  SetSysColorLookup(nullptr);
}

}  // namespace
}  // namespace qv::win
