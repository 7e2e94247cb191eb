// The base of every window the program creates.
//
// How a control plugs in:
//  1. Derive from TControl. For a window class of your own, override
//     ClassName() with a unique name (the class is registered on first use,
//     with our window procedure). To build on a system control ("BUTTON",
//     "COMBOBOX", ...), override SystemClass() to return its name instead:
//     the window is subclassed right after creation.
//  2. Describe the control to whoever creates it: PrepareCreate adds the
//     class's styles (and whatever else the window needs) to the creation
//     arguments before the window exists; BindEvent connects a handler to
//     the control's event of a given name. A form needs nothing else to
//     build and wire the control from its table.
//  3. Handle messages in HandleMessage; return DefaultProc(...) for anything
//     not handled. Paint in PaintContent(HDC), which WM_PAINT, WM_PRINTCLIENT
//     (a transparent child asking for what lies under it) and screenshots
//     all call.
//  4. Notifications the parent receives about the control (WM_DRAWITEM,
//     WM_MEASUREITEM, WM_COMMAND from the control, WM_NOTIFY, WM_CTLCOLOR*)
//     are reflected to it: override OnReflected and set args.Handled and
//     args.Result. Any TControl parent reflects; a parent that is not a
//     TControl can call ReflectToChild itself. WM_MEASUREITEM arrives while
//     an owner-drawn system control is still inside CreateWindowEx; it
//     reaches the control all the same.
//  5. Create it with Create(CreateArgs) from a form, or directly in a test.
//     Events are std::function members called only when set.
//
// Lifetime: the object owns its window. Destroying the object destroys the
// window; a window destroyed first (by its parent) detaches itself at
// WM_NCDESTROY, so no message reaches a dead object.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/win.h"

namespace qv::win {

struct CreateArgs {
  HWND Parent = nullptr;
  int Left = 0;  // device pixels (forms scale their 96-dpi tables before this)
  int Top = 0;
  int Width = 0;
  int Height = 0;
  std::wstring Text;
  DWORD Style = 0;  // WS_CHILD | WS_VISIBLE are added for child windows
  DWORD ExStyle = 0;
  int Id = 0;
  HFONT Font = nullptr;  // not owned; sent with WM_SETFONT when set
  std::string Name;      // the component's name in its form, for controls that keep it
};

// A message as a handler sees it: set Handled and Result to answer it.
struct MessageArgs {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
  bool Handled = false;
};

class TControl {
 public:
  TControl() = default;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;
  virtual ~TControl();

  // Creates the window; throws EOSError when the system refuses.
  void Create(const CreateArgs& args);
  void Destroy();

  HWND Handle() const { return hwnd_; }
  int Id() const { return id_; }

  // The control object behind a window created by TControl, or nullptr.
  static TControl* FromHandle(HWND window);

  // Draws the control's content onto any DC (window, bitmap, printer).
  virtual void PaintContent(HDC dc) { (void)dc; }

  // Connects the handler to the control's event of that name ("click",
  // "change", "mousemove", "mouseleave"); false when it has no such event.
  virtual bool BindEvent(std::string_view event, std::function<void()> handler);
  // The windows over which the control's hint shows as a tooltip.
  virtual std::vector<HWND> HintWindows() const { return {hwnd_}; }
  // Where the control lays out docked children, within its client area.
  virtual RECT ChildArea(RECT client) const { return client; }

  // The control's hint: a tooltip where the form shows them.
  std::wstring Hint;

 protected:
  virtual const wchar_t* ClassName() const { return L"QvControl"; }
  virtual const wchar_t* SystemClass() const { return nullptr; }
  // Adds the class's styles and needs to the arguments before the window exists.
  virtual void PrepareCreate(CreateArgs& args) { (void)args; }
  virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  virtual void OnReflected(MessageArgs& args) { (void)args; }
  // Called once the window exists (after subclassing), before Create returns.
  virtual void OnCreated() {}

  LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK StaticWndProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  LRESULT Route(UINT msg, WPARAM wParam, LPARAM lParam);
  void Detach();
  friend bool ReflectToChild(HWND, UINT, WPARAM, LPARAM, LRESULT*);

  HWND hwnd_ = nullptr;  // owned: destroyed with the object
  HFONT font_ = nullptr;  // not owned: the form's font, kept for WM_GETFONT
  int id_ = 0;
  bool subclassed_ = false;
};

// Sends a parent's notification about a child to the child's object.
// Returns true with *result set when the child handled it.
bool ReflectToChild(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

}  // namespace qv::win
