// The command line's --dpi gives the size the window's preview really has
// at that DPI (the size apply --picture requires).
#include <gtest/gtest.h>

#include "app/cli/command_arguments.h"
#include "app/win32/main_form.h"
#include "toolkit/dpi.h"

namespace qv {
namespace {

TPictureSize PreviewArea(const TForm1& form) {
  RECT area{};
  GetClientRect(form.image2.Handle(), &area);
  return {area.right, area.bottom};
}

TEST(CommandLinePreviewSize, IsThePreviewOfTheWindowAtItsDpiAndAfterADpiChange) {
  TForm1 form;
  form.ToolbarWriter = [](const std::string&) {};
  form.Build();
  const int dpi = win::DpiOf(form.Handle());
  EXPECT_EQ(PreviewSizeAtDpi(dpi), PreviewArea(form));

  const int other = dpi == 96 ? 144 : 96;
  RECT frame;
  GetWindowRect(form.Handle(), &frame);
  SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(other, other),
               reinterpret_cast<LPARAM>(&frame));
  EXPECT_EQ(PreviewSizeAtDpi(other), PreviewArea(form));
}

}  // namespace
}  // namespace qv
