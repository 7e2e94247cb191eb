#include "app/win32/main_form.h"

#include "app/glyphs.h"
#include "app/win32/about_box.h"
#include "app/win32/toolbar_registry.h"
#include "imaging/color.h"
#include "toolkit/text.h"

namespace qv {

TForm1* Form1 = nullptr;
TAboutBox* AboutBox = nullptr;

namespace {

using win::ComponentRow;
using win::TAlign;

// The window description: one row per component, in creation order, with
// places and sizes at 96 pixels per inch.
const ComponentRow kForm1Components[] = {
    {.Name = "spnl1", .Left = 0, .Top = 0, .Width = 887, .Height = 65, .TabOrder = 0,
     .Align = TAlign::alTop},
    {.Name = "colorselect1", .Parent = "spnl1", .Left = 112, .Top = 9, .Width = 89, .Height = 22,
     .Text = L"Gradient 1st Color:", .TabOrder = 0, .Events = {{"change", "colorselect1Change"}}},
    {.Name = "colorselect2", .Parent = "spnl1", .Left = 112, .Top = 37, .Width = 89, .Height = 22,
     .Text = L"Gradient 2nd Color:", .TabOrder = 1, .Events = {{"change", "colorselect2Change"}}},
    {.Name = "sbtbtn2", .Parent = "spnl1", .Left = 429, .Top = 9, .Width = 82, .Height = 50,
     .Text = L"Apply", .Hint = L"Apply Background to System", .TabOrder = 2,
     .Events = {{"click", "sbtbtn2Click"}}},
    {.Name = "chk1", .Parent = "spnl1", .Left = 363, .Top = 27, .Width = 60, .Height = 20,
     .Text = L"Reverse", .Hint = L"Reverse Colors Order", .TabOrder = 3,
     .Events = {{"click", "chk1Click"}}},
    {.Name = "srdgrp1", .Parent = "spnl1", .Left = 217, .Top = 9, .Width = 140, .Height = 50,
     .Text = L"Gradient Type", .Hint = L"Select Gradient Direction", .TabOrder = 4,
     .Events = {{"click", "srdgrp1Click"}}},
    {.Name = "sbtbtn3", .Parent = "spnl1", .Left = 603, .Top = 9, .Width = 80, .Height = 50,
     .Text = L"Default", .Hint = L"Restore Toolbar Background to Default", .TabOrder = 5,
     .Events = {{"click", "sbtbtn3Click"}}},
    {.Name = "sbtbtn1", .Parent = "spnl1", .Left = 517, .Top = 9, .Width = 80, .Height = 50,
     .Text = L"Load", .Hint = L"Load Saved Background", .TabOrder = 6,
     .Events = {{"click", "sbtbtn1Click"}}},
    {.Name = "sbtbtn4", .Parent = "spnl1", .Left = 708, .Top = 9, .Width = 80, .Height = 50,
     .Text = L"About", .Hint = L"About Quorvane", .TabOrder = 7,
     .Events = {{"click", "sbtbtn4Click"}}},
    {.Name = "sbtbtn5", .Parent = "spnl1", .Left = 794, .Top = 9, .Width = 80, .Height = 50,
     .Text = L"Exit", .Hint = L"Exit", .TabOrder = 8, .Events = {{"click", "sbtbtn5Click"}}},
    {.Name = "spnl2", .Left = 0, .Top = 65, .Width = 887, .Height = 149, .TabOrder = 1,
     .Align = TAlign::alClient},
    {.Name = "image2", .Parent = "spnl2", .Left = 1, .Top = 1, .Width = 885, .Height = 147,
     .Align = TAlign::alClient},
    {.Name = "stsbr1", .Left = 0, .Top = 214, .Width = 887, .Height = 19,
     .Align = TAlign::alBottom},
};

}  // namespace

TForm1::TForm1() {
  Publish("SetBGColors", [this] { SetBGColors(); });
  Publish("FormCreate", [this] { FormCreate(); });
  Publish("sbtbtn2Click", [this] { sbtbtn2Click(); });
  Publish("sbtbtn3Click", [this] { sbtbtn3Click(); });
  Publish("ApplyToCanvas", [this] { ApplyToCanvas(); });
  Publish("colorselect1Change", [this] { colorselect1Change(); });
  Publish("colorselect2Change", [this] { colorselect2Change(); });
  Publish("srdgrp1Click", [this] { srdgrp1Click(); });
  Publish("chk1Click", [this] { chk1Click(); });
  Publish("sbtbtn1Click", [this] { sbtbtn1Click(); });
  Publish("sbtbtn5Click", [this] { sbtbtn5Click(); });
  Publish("sbtbtn4Click", [this] { sbtbtn4Click(); });

  Field("spnl1", spnl1);
  Field("spnl2", spnl2);
  Field("stsbr1", stsbr1);
  Field("colorselect1", colorselect1);
  Field("colorselect2", colorselect2);
  Field("sbtbtn2", sbtbtn2);
  Field("chk1", chk1);
  Field("srdgrp1", srdgrp1);
  Field("image2", image2);
  Field("sbtbtn3", sbtbtn3);
  Field("sbtbtn1", sbtbtn1);
  Field("sbtbtn4", sbtbtn4);
  Field("sbtbtn5", sbtbtn5);

  colorselect1.Box().SetSkinSection("COMBOBOX");
  colorselect2.Box().SetSkinSection("COMBOBOX");
  srdgrp1.Items = {L"Vertical", L"Horizonal"};
  srdgrp1.Columns = 2;
  srdgrp1.SetItemIndex(0);  // "Vertical", as the description stores it

  sbtbtn2.GlyphPainter = [](int size) { return PaintGlyph(TGlyphKind::gkApply, size); };
  sbtbtn3.GlyphPainter = [](int size) { return PaintGlyph(TGlyphKind::gkDefault, size); };
  sbtbtn1.GlyphPainter = [](int size) { return PaintGlyph(TGlyphKind::gkLoad, size); };
  sbtbtn4.GlyphPainter = [](int size) { return PaintGlyph(TGlyphKind::gkAbout, size); };
  sbtbtn5.GlyphPainter = [](int size) { return PaintGlyph(TGlyphKind::gkExit, size); };

  dlg1.Title = L"Save Background";
  dlg1.Filter = L"Bitmap Files (*.bmp)|*.bmp";
  dlg1.DefaultExt = L"bmp";
  dlg1.Options = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  dlg2.Title = L"Load Background";
  dlg2.Filter = L"Bitmap Files (*.bmp)|*.bmp";
  dlg2.DefaultExt = L"bmp";
  dlg2.Options = OFN_HIDEREADONLY | OFN_ENABLESIZING;

  ToolbarWriter = WriteToolbarBitmapValue;
}

TForm1::~TForm1() {
  // The window goes first, while every component object is still whole:
  // the last messages of its children must not reach destroyed members.
  Destroy();
}

void TForm1::Build() {
  CreateForm({.Caption = L"Quorvane", .ClientWidth = 887, .ClientHeight = 233,
              .FontName = L"Tahoma", .FontHeight = 11, .MainForm = true,
              .OnCreate = "FormCreate", .Visible = false},
             kForm1Components);
}

void TForm1::Show() {
  ShowWindow(Handle(), SW_SHOW);
  UpdateWindow(Handle());
}

PreviewSettings TForm1::CurrentSettings() const {
  PreviewSettings s;
  s.FirstColor = colorselect1.Box().Selected();
  s.SecondColor = colorselect2.Box().Selected();
  s.KindIndex = srdgrp1.ItemIndex();
  s.Reverse = chk1.Checked();
  return s;
}

// --- Rendering ---------------------------------------------------------------

void TForm1::SetBGColors() { qv::SetBGColors(klvgrdnt1, CurrentSettings()); }

void TForm1::ApplyToCanvas() {
  ++render_count_;
  // The preview's real size in pixels: at another DPI than 96 the picture
  // is rendered at the size the control actually has.
  TBitmap picture = RenderPreview(klvgrdnt1, CurrentSettings(), PreviewWidth(), PreviewHeight());
  image2.Model().AssignBitmap(std::move(picture));
  showing_loaded_ = false;
}

LRESULT TForm1::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = win::TForm::HandleMessage(msg, wParam, lParam);
  // Moved to a monitor of another DPI, the preview has a new size: a
  // rendering is made again to fill it (the status stays); a loaded file
  // keeps its own size.
  if (msg == WM_DPICHANGED && !showing_loaded_ && image2.Handle()) ApplyToCanvas();
  return result;
}

void TForm1::FormCreate() {
  colorselect1.Box().SetSelected(clBlue);
  colorselect2.Box().SetSelected(clSkyBlue);
  ApplyToCanvas();
  SetStatusText("Quorvane is ready");
}

void TForm1::colorselect1Change() { ApplyToCanvas(); }
void TForm1::colorselect2Change() { ApplyToCanvas(); }
void TForm1::srdgrp1Click() { ApplyToCanvas(); }
void TForm1::chk1Click() { ApplyToCanvas(); }

// --- Commands ----------------------------------------------------------------

void TForm1::sbtbtn2Click() { ApplyBackground(*this); }
void TForm1::sbtbtn3Click() { DefaultBackground(*this); }
void TForm1::sbtbtn1Click() { LoadBackground(*this); }

void TForm1::sbtbtn4Click() {
  if (AboutBox) AboutBox->ShowModal(Handle());
}

void TForm1::sbtbtn5Click() {
  // Posted: the window must not be destroyed inside its own button's click.
  PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

// --- What the background commands need of the window ------------------------

std::optional<std::string> TForm1::ExecuteSaveDialog() {
  if (!dlg1.Execute(Handle())) return std::nullopt;
  return win::Narrow(dlg1.FileName);
}

std::optional<std::string> TForm1::ExecuteOpenDialog() {
  if (!dlg2.Execute(Handle())) return std::nullopt;
  return win::Narrow(dlg2.FileName);
}

void TForm1::WriteToolbarBitmap(const std::string& path) { ToolbarWriter(path); }

const TBitmap& TForm1::PreviewPicture() const {
  static const TBitmap kEmpty;
  const TBitmap* shown = image2.Model().PictureBitmap();
  return shown ? *shown : kEmpty;
}

void TForm1::SetPreviewPicture(TBitmap picture) {
  image2.Model().AssignBitmap(std::move(picture));
  showing_loaded_ = true;
}

int TForm1::PreviewWidth() const {
  RECT r{};
  GetClientRect(image2.Handle(), &r);
  return r.right;
}

int TForm1::PreviewHeight() const {
  RECT r{};
  GetClientRect(image2.Handle(), &r);
  return r.bottom;
}

void TForm1::SetStatusText(const std::string& text) { stsbr1.SetText(win::Widen(text)); }

std::string TForm1::StatusText() const { return win::Narrow(stsbr1.Text()); }

}  // namespace qv
