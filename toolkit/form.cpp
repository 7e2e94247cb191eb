#include "toolkit/form.h"

#include <algorithm>
#include <map>

#include "imaging/exceptions.h"
#include "toolkit/dpi.h"
#include "toolkit/errors.h"
#include "toolkit/panel.h"

namespace qv::win {

namespace {

RECT WindowRectFor(int clientWidth, int clientHeight, int dpi, DWORD style, DWORD exStyle) {
  RECT r{0, 0, clientWidth, clientHeight};
  using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = reinterpret_cast<AdjustFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  if (!adjust || !adjust(&r, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
  }
  return r;
}

}  // namespace

void TForm::Publish(const char* name, std::function<void()> operation) {
  operations_.emplace_back(name, std::move(operation));
}

void TForm::Field(const char* name, TControl& field) { fields_.emplace_back(name, &field); }

const std::function<void()>& TForm::Operation(const std::string& name) const {
  for (const auto& [n, op] : operations_) {
    if (n == name) return op;
  }
  throw Exception("The form publishes no operation \"" + name + "\"");
}

std::vector<std::string> TForm::PublishedNames() const {
  std::vector<std::string> names;
  for (const auto& entry : operations_) names.push_back(entry.first);
  return names;
}

TControl* TForm::FindField(const std::string& name) const {
  for (const auto& [n, f] : fields_) {
    if (n == name) return f;
  }
  return nullptr;
}

void TForm::MakeFont() {
  font_.Reset(CreateFontW(-Scale(spec_.FontHeight, dpi_), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, spec_.FontName.c_str()));
}

SIZE TForm::FrameSize() const {
  const RECT r = WindowRectFor(Scale(spec_.ClientWidth, dpi_), Scale(spec_.ClientHeight, dpi_), dpi_,
                               spec_.Style, spec_.ExStyle);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void TForm::CreateForm(const FormSpec& spec, std::span<const ComponentRow> rows) {
  spec_ = spec;
  rows_.assign(rows.begin(), rows.end());
  dpi_ = DpiOf(nullptr);
  MakeFont();

  SIZE size = FrameSize();
  Create({.Left = (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2,
          .Top = (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2, .Width = size.cx,
          .Height = size.cy, .Text = spec.Caption, .Style = spec.Style, .ExStyle = spec.ExStyle,
          .Font = font_.Get()});
  // The monitor the window landed on may have another DPI than the system.
  if (int actual = DpiOf(Handle()); actual != dpi_) {
    dpi_ = actual;
    MakeFont();
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    size = FrameSize();
    SetWindowPos(Handle(), nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  FitClientArea();
  CentreOnMonitor();

  tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                              GetModuleHandleW(nullptr), nullptr);

  const std::vector<RECT> places = ComputeLayout();
  for (size_t i = 0; i < rows_.size(); ++i) {
    const ComponentRow& row = rows_[i];
    TControl* field = FindField(row.Name);
    if (!field) throw Exception(std::string("The form has no field \"") + row.Name + "\"");
    HWND parent = Handle();
    if (*row.Parent) {
      TControl* p = FindField(row.Parent);
      if (!p || !p->Handle()) throw Exception(std::string("Unknown parent \"") + row.Parent + "\"");
      parent = p->Handle();
    }
    const RECT& r = places[i];
    field->Hint = row.Hint;
    field->Create({.Parent = parent, .Left = r.left, .Top = r.top, .Width = r.right - r.left,
                   .Height = r.bottom - r.top, .Text = row.Text,
                   .Style = row.TabOrder >= 0 ? static_cast<DWORD>(WS_TABSTOP) : 0,
                   .Id = static_cast<int>(1000 + i), .Font = font_.Get(), .Name = row.Name});
    if (*row.Hint) {
      for (HWND tool : field->HintWindows()) AddTooltip(tool, row.Hint);
    }
    for (const EventBinding& e : row.Events) {
      if (!*e.Event) continue;
      if (!field->BindEvent(e.Event, Operation(e.Handler)))
        throw Exception(std::string("Cannot bind event \"") + e.Event + "\" of \"" + row.Name + "\"");
    }
  }
  ApplyTabOrder();
  if (*spec.OnCreate) Operation(spec.OnCreate)();
  if (spec.Visible) {
    ShowWindow(Handle(), SW_SHOW);
    UpdateWindow(Handle());
  }
}

void TForm::AddTooltip(HWND tool, const wchar_t* hint) {
  if (!tooltips_ || !tool) return;
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = Handle();
  ti.uId = reinterpret_cast<UINT_PTR>(tool);
  ti.lpszText = const_cast<wchar_t*>(hint);
  SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void TForm::ApplyTabOrder() {
  // Within each parent, stops are chained in tab order; Tab follows the
  // windows' Z order.
  std::map<std::string, std::vector<std::pair<int, HWND>>> byParent;
  for (const auto& row : rows_) {
    if (row.TabOrder < 0) continue;
    if (TControl* f = FindField(row.Name)) byParent[row.Parent].emplace_back(row.TabOrder, f->Handle());
  }
  for (auto& [parent, list] : byParent) {
    std::stable_sort(list.begin(), list.end());
    HWND after = HWND_TOP;
    for (const auto& entry : list) {
      SetWindowPos(entry.second, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      after = entry.second;
    }
  }
}

std::vector<RECT> TForm::ComputeLayout() const {
  // Within each parent, docked rows take their strip of what is left (top
  // and bottom in table order), the client row takes the rest, and the
  // others sit at their scaled place. Panels keep their one-pixel bevel free.
  std::vector<RECT> out(rows_.size());
  std::function<void(const std::string&, RECT)> place = [&](const std::string& parent, RECT area) {
    for (size_t i = 0; i < rows_.size(); ++i) {
      const ComponentRow& row = rows_[i];
      if (parent != row.Parent) continue;
      if (row.Align == TAlign::alTop) {
        out[i] = {area.left, area.top, area.right, area.top + Scale(row.Height, dpi_)};
        area.top = out[i].bottom;
      } else if (row.Align == TAlign::alBottom) {
        out[i] = {area.left, area.bottom - Scale(row.Height, dpi_), area.right, area.bottom};
        area.bottom = out[i].top;
      }
    }
    for (size_t i = 0; i < rows_.size(); ++i) {
      const ComponentRow& row = rows_[i];
      if (parent != row.Parent) continue;
      if (row.Align == TAlign::alClient) {
        out[i] = area;
      } else if (row.Align == TAlign::alNone) {
        const int l = Scale(row.Left, dpi_), t = Scale(row.Top, dpi_);
        out[i] = {l, t, l + Scale(row.Width, dpi_), t + Scale(row.Height, dpi_)};
      }
    }
    for (size_t i = 0; i < rows_.size(); ++i) {
      const ComponentRow& row = rows_[i];
      if (parent != row.Parent) continue;
      RECT inner{0, 0, out[i].right - out[i].left, out[i].bottom - out[i].top};
      if (const TControl* field = FindField(row.Name)) inner = field->ChildArea(inner);
      place(row.Name, inner);
    }
  };
  place("", RECT{0, 0, Scale(spec_.ClientWidth, dpi_), Scale(spec_.ClientHeight, dpi_)});
  return out;
}

void TForm::FitClientArea() {
  // The frame the system really draws may differ from what the adjustment
  // computed (caption metrics of another DPI than the one asked for): the
  // client area is made exact by measuring it.
  RECT client, frame;
  GetClientRect(Handle(), &client);
  GetWindowRect(Handle(), &frame);
  const int dw = Scale(spec_.ClientWidth, dpi_) - client.right;
  const int dh = Scale(spec_.ClientHeight, dpi_) - client.bottom;
  if (dw == 0 && dh == 0) return;
  SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left + dw, frame.bottom - frame.top + dh,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

POINT CentredOnWorkArea(SIZE window, const RECT& workArea) {
  const LONG x = workArea.left + (workArea.right - workArea.left - window.cx) / 2;
  const LONG y = workArea.top + (workArea.bottom - workArea.top - window.cy) / 2;
  return POINT{std::max(x, workArea.left), std::max(y, workArea.top)};
}

void TForm::CentreOnMonitor() {
  RECT frame;
  GetWindowRect(Handle(), &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoW(MonitorFromWindow(Handle(), MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const POINT at = CentredOnWorkArea({frame.right - frame.left, frame.bottom - frame.top},
                                     monitor.rcWork);
  SetWindowPos(Handle(), nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::Relayout() {
  const std::vector<RECT> places = ComputeLayout();
  for (size_t i = 0; i < rows_.size(); ++i) {
    TControl* f = FindField(rows_[i].Name);
    if (!f || !f->Handle()) continue;
    const RECT& r = places[i];
    SendMessageW(f->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    SetWindowPos(f->Handle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(Handle(), nullptr, TRUE);
}

LRESULT TForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(Handle(), &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      LRESULT result = 0;
      if (ReflectToChild(Handle(), msg, wParam, lParam, &result)) return result;
      AnswerButtonFaceColor(msg, wParam, &result);
      return result;
    }
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wParam);
      Font old = std::move(font_);
      MakeFont();
      // The system suggests where the window goes; its size follows from
      // the table, so the client area is exactly the scaled one.
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      const SIZE size = FrameSize();
      SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, size.cx, size.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      FitClientArea();
      Relayout();
      return 0;  // the old font is freed only now that nothing uses it
    }
    case WM_ACTIVATE:
      // Keyboard focus comes back to the control that had it, as in a dialog.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(Handle(), focus)) last_focus_ = focus;
      }
      break;
    case WM_SETFOCUS: {
      HWND target = last_focus_ && IsWindow(last_focus_) && IsChild(Handle(), last_focus_)
                        ? last_focus_
                        : GetNextDlgTabItem(Handle(), nullptr, FALSE);
      if (target) SetFocus(target);
      return 0;
    }
    case WM_DESTROY:
      if (spec_.MainForm) PostQuitMessage(0);
      break;
  }
  return TControl::HandleMessage(msg, wParam, lParam);
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && IsDialogMessageW(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace qv::win
