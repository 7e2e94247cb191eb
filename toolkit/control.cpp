#include "toolkit/control.h"

#include <set>

#include "imaging/exceptions.h"
#include "toolkit/errors.h"

namespace qv::win {

namespace {

constexpr wchar_t kObjectProperty[] = L"Quorvane.Control";
constexpr UINT_PTR kSubclassId = 0x5156;  // "QV"

// The control inside Create: owner-drawn system controls send
// WM_MEASUREITEM before CreateWindowEx returns, so before they can be found
// by handle.
thread_local TControl* t_creating = nullptr;
thread_local int t_creatingId = 0;

void RegisterOnce(const wchar_t* name, WNDPROC proc) {
  static std::set<std::wstring> registered;
  if (registered.count(name)) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  wc.lpszClassName = name;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw EOSError("Cannot register window class");
  }
  registered.insert(name);
}

HWND ChildOf(UINT msg, LPARAM lParam, HWND parent) {
  switch (msg) {
    case WM_DRAWITEM:
      return reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
      return mis->CtlType == ODT_MENU ? nullptr : GetDlgItem(parent, static_cast<int>(mis->CtlID));
    }
    case WM_COMMAND:
      return reinterpret_cast<HWND>(lParam);  // null for menus and accelerators
    case WM_NOTIFY:
      return reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<HWND>(lParam);
    default:
      return nullptr;
  }
}

}  // namespace

bool ReflectToChild(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  HWND child = ChildOf(msg, lParam, parent);
  TControl* target = child ? TControl::FromHandle(child) : nullptr;
  if (!target && msg == WM_MEASUREITEM && t_creating &&
      static_cast<int>(reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam)->CtlID) == t_creatingId) {
    target = t_creating;
  }
  if (!target) return false;
  MessageArgs args{msg, wParam, lParam};
  Dispatch([&] { target->OnReflected(args); });
  if (args.Handled) *result = args.Result;
  return args.Handled;
}

TControl::~TControl() { Destroy(); }

void TControl::Destroy() {
  if (hwnd_) DestroyWindow(hwnd_);  // WM_NCDESTROY detaches
  hwnd_ = nullptr;
}

TControl* TControl::FromHandle(HWND window) {
  return static_cast<TControl*>(GetPropW(window, kObjectProperty));
}

bool TControl::BindEvent(std::string_view, std::function<void()>) { return false; }

void TControl::Create(const CreateArgs& given) {
  if (hwnd_) throw EInvalidGraphicOperation("Control already created");
  CreateArgs args = given;
  PrepareCreate(args);
  DWORD style = args.Style;
  if (args.Parent && !(style & WS_POPUP)) style |= WS_CHILD | WS_VISIBLE;
  const wchar_t* system = SystemClass();
  const wchar_t* cls = system ? system : ClassName();
  if (!system) RegisterOnce(cls, StaticWndProc);
  id_ = args.Id;

  TControl* outerCreating = t_creating;
  int outerId = t_creatingId;
  t_creating = this;
  t_creatingId = args.Id;
  HMENU idOrMenu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.Id)) : nullptr;
  HWND hwnd = CreateWindowExW(args.ExStyle, cls, args.Text.c_str(), style, args.Left, args.Top,
                              args.Width, args.Height, args.Parent, idOrMenu,
                              GetModuleHandleW(nullptr), this);
  t_creating = outerCreating;
  t_creatingId = outerId;
  if (!hwnd) {
    hwnd_ = nullptr;  // WM_NCCREATE may have bound a window that no longer exists
    throw EOSError("Cannot create window");
  }

  if (system) {
    hwnd_ = hwnd;
    SetPropW(hwnd, kObjectProperty, this);
    SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    subclassed_ = true;
  }
  if (args.Font) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(args.Font), FALSE);
  OnCreated();
}

LRESULT TControl::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (subclassed_) return DefSubclassProc(hwnd_, msg, wParam, lParam);
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT TControl::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT reflected = 0;
  if (ReflectToChild(hwnd_, msg, wParam, lParam, &reflected)) return reflected;
  if (!subclassed_ && msg == WM_SETFONT) {
    // Windows of our own classes keep their font here; DefWindowProc forgets it.
    font_ = reinterpret_cast<HFONT>(wParam);
    if (LOWORD(lParam)) InvalidateRect(hwnd_, nullptr, TRUE);
    return 0;
  }
  if (!subclassed_ && msg == WM_GETFONT) return reinterpret_cast<LRESULT>(font_);
  if (msg == WM_PAINT && !subclassed_) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    PaintContent(dc);
    EndPaint(hwnd_, &ps);
    return 0;
  }
  if (msg == WM_PRINTCLIENT && !subclassed_) {
    // What a transparent child asks for to paint over.
    PaintContent(reinterpret_cast<HDC>(wParam));
    return 0;
  }
  return DefaultProc(msg, wParam, lParam);
}

void TControl::Detach() {
  RemovePropW(hwnd_, kObjectProperty);
  if (subclassed_) RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
  subclassed_ = false;
  hwnd_ = nullptr;
}

LRESULT TControl::Route(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  bool answered = false;
  Dispatch([&] {
    result = HandleMessage(msg, wParam, lParam);
    answered = true;
  });
  if (!answered) result = DefaultProc(msg, wParam, lParam);
  return result;
}

LRESULT CALLBACK TControl::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<TControl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetPropW(hwnd, kObjectProperty, self);
  }
  TControl* self = FromHandle(hwnd);
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    LRESULT result = self->Route(msg, wParam, lParam);
    self->Detach();
    return result;
  }
  return self->Route(msg, wParam, lParam);
}

LRESULT CALLBACK TControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<TControl*>(data);
  if (msg == WM_NCDESTROY) {
    self->Detach();
    return DefSubclassProc(hwnd, msg, wParam, lParam);
  }
  return self->Route(msg, wParam, lParam);
}

}  // namespace qv::win
