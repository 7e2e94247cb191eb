// The main window: two colours, a gradient kind and Reverse render the
// preview; Apply, Default and Load connect it with the toolbar background;
// About and Exit. Built from the component table in main_form.cpp.
#pragma once

#include <functional>
#include <string>

#include "app/background_store.h"
#include "app/preview_rendering.h"
#include "controls/win32/colorbox_control.h"
#include "effects/win32/effect_image_control.h"
#include "imaging/gradient.h"
#include "toolkit/buttons.h"
#include "toolkit/file_dialog.h"
#include "toolkit/form.h"
#include "toolkit/panel.h"
#include "toolkit/statusbar.h"

namespace qv {

class TAboutBox;

class TForm1 : public win::TForm, private TBackgroundHost {
 public:
  TForm1();
  ~TForm1() override;

  // Creates the window and its components and runs FormCreate; the window
  // stays hidden until Show.
  void Build();
  void Show();

  // Components, in declared order. All belong to the window.
  win::TPanel spnl1;
  win::TPanel spnl2;
  win::TStatusBar stsbr1;
  TKelvoGradient klvgrdnt1;
  win::TColorBoxControl colorselect1;
  win::TColorBoxControl colorselect2;
  win::TBitBtn sbtbtn2;
  win::TCheckBox chk1;
  win::TRadioGroup srdgrp1;
  win::TEffectImageControl image2;
  win::TSaveDialog dlg1;
  win::TBitBtn sbtbtn3;
  win::TBitBtn sbtbtn1;
  win::TOpenDialog dlg2;
  win::TBitBtn sbtbtn4;
  win::TBitBtn sbtbtn5;

  // Published operations, in declared order; the table binds events to
  // them by name.
  void SetBGColors();
  void FormCreate();
  void sbtbtn2Click();
  void sbtbtn3Click();
  void ApplyToCanvas();
  void colorselect1Change();
  void colorselect2Change();
  void srdgrp1Click();
  void chk1Click();
  void sbtbtn1Click();
  void sbtbtn5Click();
  void sbtbtn4Click();

  std::string StatusText() const;
  // How many times the preview was rendered (for checks that a change
  // renders exactly once).
  int RenderCount() const { return render_count_; }
  // Where Apply and Default record the path; the registry unless replaced.
  std::function<void(const std::string& path)> ToolbarWriter;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  PreviewSettings CurrentSettings() const;
  // TBackgroundHost
  std::optional<std::string> ExecuteSaveDialog() override;
  std::optional<std::string> ExecuteOpenDialog() override;
  void WriteToolbarBitmap(const std::string& path) override;
  const TBitmap& PreviewPicture() const override;
  void SetPreviewPicture(TBitmap picture) override;
  int PreviewWidth() const override;
  int PreviewHeight() const override;
  void SetStatusText(const std::string& text) override;

  int render_count_ = 0;
  bool showing_loaded_ = false;  // the preview shows a loaded file, not a rendering
};

// The program-wide windows, alive from start-up to the end.
extern TForm1* Form1;
extern TAboutBox* AboutBox;

}  // namespace qv
