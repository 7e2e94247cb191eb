// A top-level window built from a table of components.
//
// A form class derives from TForm, holds its components as fields named as
// in its table, and in its constructor:
//   - Publish("Name", [this] { Name(); }) for each published operation, in
//     the declared order (event rows name these);
//   - Field("name", field) for each component of the table;
//   - sets the properties a table row does not hold (a dialog's filter, a
//     radio group's items, a glyph painter).
// CreateForm(description, rows) then creates the window with the frame its
// FormSpec gives, sized for its DPI and centred on its monitor, and every
// component at its 96-dpi place scaled to that DPI, in table order, with its
// name, text, hint (shown as a tooltip) and tab order; binds each of a
// row's events to the operation it names, and runs the operation named by FormSpec::OnCreate.
// The controls add their own styles and know their own events, so the form
// needs to know none of their classes.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/control.h"
#include "toolkit/handles.h"

namespace qv::win {

enum class TAlign { alNone, alTop, alBottom, alClient };

// An event of a component and the published operation it runs.
struct EventBinding {
  const char* Event = "";    // "click", "change", "mousemove", "mouseleave"
  const char* Handler = "";  // a published operation of the form
};

struct ComponentRow {
  const char* Name = "";
  const char* Parent = "";  // "" for the form itself
  int Left = 0, Top = 0, Width = 0, Height = 0;  // at 96 pixels per inch
  const wchar_t* Text = L"";
  const wchar_t* Hint = L"";
  int TabOrder = -1;        // -1: not reached by Tab
  EventBinding Events[3] = {};  // the unused ones stay empty
  TAlign Align = TAlign::alNone;
};

// Frames: a main window (fixed size, minimise box, its own taskbar button)
// and a dialog (fixed size, close box only, owned by the window it serves).
inline constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
inline constexpr DWORD kMainWindowExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
inline constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
inline constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

struct FormSpec {
  std::wstring Caption;
  int ClientWidth = 0, ClientHeight = 0;  // at 96 pixels per inch
  std::wstring FontName = L"Tahoma";
  int FontHeight = 11;                    // character height at 96 pixels per inch
  DWORD Style = kMainWindowStyle;
  DWORD ExStyle = kMainWindowExStyle;
  bool MainForm = false;                  // closing it ends the message loop
  const char* OnCreate = "";              // published operation run once everything exists
  bool Visible = true;
};

class TForm : public TControl {
 public:
  void CreateForm(const FormSpec& spec, std::span<const ComponentRow> rows);

  // The published operation of that name; throws when there is none.
  const std::function<void()>& Operation(const std::string& name) const;
  std::vector<std::string> PublishedNames() const;
  TControl* FindField(const std::string& name) const;

  int Dpi() const { return dpi_; }
  HFONT FontHandle() const { return font_.Get(); }
  HWND Tooltips() const { return tooltips_; }
  // Positions every component for the current DPI (after a DPI change).
  void Relayout();

 protected:
  void Publish(const char* name, std::function<void()> operation);
  void Field(const char* name, TControl& field);

  const wchar_t* ClassName() const override { return L"QvForm"; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  std::vector<RECT> ComputeLayout() const;
  void MakeFont();
  // The frame for the client area of the table at the current DPI.
  SIZE FrameSize() const;
  void FitClientArea();
  void CentreOnMonitor();
  void AddTooltip(HWND tool, const wchar_t* hint);
  void ApplyTabOrder();

  std::vector<std::pair<std::string, std::function<void()>>> operations_;
  std::vector<std::pair<std::string, TControl*>> fields_;  // not owned: members of the form
  std::vector<ComponentRow> rows_;
  FormSpec spec_;
  int dpi_ = 96;
  Font font_;                 // owned; every component uses it
  HWND tooltips_ = nullptr;   // owned by the window system: destroyed with the form
  HWND last_focus_ = nullptr; // not owned: a child that had the focus
};

// The top-left corner of a window of that size centred on a monitor's work
// area; a window larger than the work area keeps its corner on it, so that
// its title bar and left edge stay in reach.
POINT CentredOnWorkArea(SIZE window, const RECT& workArea);

// Runs the message loop until the main form closes; returns the exit code.
int RunMessageLoop();

}  // namespace qv::win
