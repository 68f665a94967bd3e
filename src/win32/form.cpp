#include "win32/form.h"

#include <commctrl.h>

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "analysis/run_error.h"
#include "win32/platform.h"

namespace pelmora::win32 {

namespace {

constexpr wchar_t kFormClass[] = L"PelmoraForm";

std::vector<Form*>& LoadedForms() {
  static std::vector<Form*> forms;
  return forms;
}

void RegisterFormClass(WNDPROC proc) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{sizeof(wc)};
  wc.lpfnWndProc = proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFormClass;
  if (!::RegisterClassExW(&wc)) throw RunError(err::kOutOfMemory);
  registered = true;
}

HFONT CreateControlFont(int dpi, const wchar_t* face, int tenthsPt, bool cellHeight = false) {
  LOGFONTW lf{};
  if (face) {
    // A positive height is the cell, a negative one the em: the same font where the face has no
    // internal leading, but a substitute face with leading keeps the line pitch the layout needs.
    lf.lfHeight = ::MulDiv(tenthsPt, dpi, 720) * (cellHeight ? 1 : -1);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  } else {
    lf = DialogFont(dpi);
  }
  return ::CreateFontIndirectW(&lf);
}

// The monitor `hwnd` is on, or the primary one.
MONITORINFO MonitorOf(HWND hwnd) {
  MONITORINFO mi{sizeof(mi)};
  HMONITOR monitor = ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY);
  if (!::GetMonitorInfoW(monitor, &mi)) {
    ::SetRect(&mi.rcMonitor, 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &mi.rcWork, 0);
  }
  return mi;
}

// A posted message that only wakes a blocked GetMessage: the loops check for themselves whether
// their window is gone. A quit message would instead end the next message box at once, so an
// error reported after the last window closed would vanish before it could be read.
void WakeMessageLoops() { ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0); }

// Windows 10 1607 and later; earlier systems have one DPI for every window, the system's.
int WindowDpi(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  const int dpi = getDpi ? static_cast<int>(getDpi(hwnd)) : 0;
  return dpi > 0 ? dpi : SystemDpi();
}

// The frame around a client area at a given DPI: caption and borders scale with the monitor.
void AdjustForDpi(RECT& rc, DWORD style, bool menu, DWORD exStyle, int dpi) {
  using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = reinterpret_cast<AdjustFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  if (!adjust || !adjust(&rc, style, menu, exStyle, static_cast<UINT>(dpi))) {
    ::AdjustWindowRectEx(&rc, style, menu, exStyle);
  }
}

}  // namespace

int TwipsToPixels(int twips, int dpi) { return ::MulDiv(twips, dpi, 1440); }

LOGFONTW DialogFont(int dpi) {
  // MS Shell Dlg at 9 pt, as the platform's Japanese dialogs use it: the font mapper gives the
  // locale's own dialog face (MS UI Gothic on Japanese Windows). The message font of the system
  // metrics is taller there (Yu Gothic UI) and would not fit the 270-twip text boxes.
  LOGFONTW lf{};
  lf.lfHeight = -::MulDiv(9, dpi, 72);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, L"MS Shell Dlg", LF_FACESIZE);
  return lf;
}

POINT CentredOrigin(const RECT& on, SIZE size, const RECT& bounds) {
  LONG x = on.left + (on.right - on.left - size.cx) / 2;
  LONG y = on.top + (on.bottom - on.top - size.cy) / 2;
  // The title bar stays reachable: the top-left corner wins where the window is larger.
  x = std::max(bounds.left, std::min(x, bounds.right - size.cx));
  y = std::max(bounds.top, std::min(y, bounds.bottom - size.cy));
  return {x, y};
}

void Trap(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const RunError& e) {
    ShowError(e.number());
  } catch (const std::bad_alloc&) {
    ShowError(err::kOutOfMemory);
  } catch (...) {
    ShowError(err::kInvalidProcedureCall);
  }
}

Form::~Form() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

void Form::Load(HWND owner) {
  if (hwnd_) return;
  RegisterFormClass(&Form::WndProc);
  const FormSpec spec = Spec();
  controls_ = Controls();
  dpi_ = SystemDpi();

  HMENU menu = CreateMenuBar();
  RECT rc{0, 0, TwipsToPixels(spec.clientWidth, dpi_), TwipsToPixels(spec.clientHeight, dpi_)};
  AdjustForDpi(rc, spec.style, menu != nullptr, spec.exStyle, dpi_);
  const int width = rc.right - rc.left, height = rc.bottom - rc.top;

  int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
  if (spec.position != StartPosition::PlatformDefault) {
    // On the monitor the owner (else the active window) is on; "the screen" is that monitor.
    HWND reference = owner ? owner : ::GetActiveWindow();
    const MONITORINFO monitor = MonitorOf(reference);
    RECT on = monitor.rcMonitor, bounds = monitor.rcMonitor;
    if (spec.position == StartPosition::CentreOwner && reference) {
      ::GetWindowRect(reference, &on);
      bounds = monitor.rcWork;
    }
    const POINT origin = CentredOrigin(on, {width, height}, bounds);
    x = origin.x;
    y = origin.y;
  }

  HWND hwnd = ::CreateWindowExW(spec.exStyle, kFormClass, spec.caption, spec.style, x, y, width, height, owner,
                                menu, ::GetModuleHandleW(nullptr), this);
  if (!hwnd) {
    // A window that was created and then refused destroyed its menu with it.
    if (menu && ::IsMenu(menu)) ::DestroyMenu(menu);
    if (createFailure_) std::rethrow_exception(std::exchange(createFailure_, nullptr));
    throw RunError(err::kOutOfMemory);
  }
  // Laid out at the system DPI; a window that opened on a monitor of another is laid out again.
  if (const int dpi = WindowDpi(hwnd); dpi != dpi_) {
    RECT at{};
    ::GetWindowRect(hwnd, &at);
    Relayout(dpi, at.left, at.top);
  }
  OnLoad();
}

void Form::Unload() {
  if (!hwnd_) return;
  // Enabled first, so that the system hands activation back to them and not to another program.
  EnableDisabledByModal();
  ::DestroyWindow(hwnd_);
}

void Form::EnableDisabledByModal() {
  for (HWND h : std::exchange(disabledByModal_, {})) {
    if (::IsWindow(h)) ::EnableWindow(h, TRUE);
  }
}

void Form::Show() {
  Load();
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ::SetForegroundWindow(hwnd_);
}

void Form::ShowModal(HWND owner) {
  // Disabling the owner takes the focus away from it: remember where it was.
  HWND returnFocus = ::GetFocus();
  Load(owner);
  for (Form* f : LoadedForms()) {
    if (f != this && ::IsWindowEnabled(f->hwnd_)) {
      ::EnableWindow(f->hwnd_, FALSE);
      disabledByModal_.push_back(f->hwnd_);
    }
  }
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ::SetForegroundWindow(hwnd_);
  MSG msg;
  bool quit = false;
  while (hwnd_) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      quit = got == 0;
      break;
    }
    if (PreTranslate(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  Unload();
  EnableDisabledByModal();
  if (returnFocus && ::IsWindow(returnFocus) && ::IsWindowEnabled(returnFocus)) {
    ::SetForegroundWindow(::GetAncestor(returnFocus, GA_ROOT));
    ::SetFocus(returnFocus);
  }
  if (quit) ::PostQuitMessage(static_cast<int>(msg.wParam));
}

void Form::SetText(int id, const std::wstring& text) const {
  if (!hwnd_) return;
  ::SetWindowTextW(Control(id), text.c_str());
}

void Form::SetCaption(const std::wstring& text) const { ::SetWindowTextW(hwnd_, text.c_str()); }

void Form::Refresh() const {
  ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

int Form::LoadedCount() { return static_cast<int>(LoadedForms().size()); }

bool Form::PreTranslate(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
  for (Form* f : LoadedForms()) {
    if (f->hwnd_ == root) return f->HandleDialogKey(msg);
  }
  return false;
}

bool Form::HandleDialogKey(const MSG& msg) {
  // Tab is the window's, whatever control has the focus: a multi-line box asks for every key,
  // and the dialog manager would leave Tab to it on a window that is no dialog.
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
    HWND focus = ::GetFocus();
    MoveFocus(::GetNextDlgTabItem(hwnd_, focus && ::IsChild(hwnd_, focus) ? focus : nullptr,
                                  ::GetKeyState(VK_SHIFT) < 0));
    return true;
  }
  if ((msg.message == WM_CHAR || msg.message == WM_KEYUP) && msg.wParam == VK_TAB) return true;
  if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
    if (msg.wParam == VK_ESCAPE) {
      if (!cancelId_) return false;
      PressButton(cancelId_);
      return true;
    }
    // Enter presses the focused button, else the default one.
    HWND focus = ::GetFocus();
    wchar_t cls[16] = {};
    if (focus && ::GetParent(focus) == hwnd_ && ::GetClassNameW(focus, cls, 16) && !lstrcmpiW(cls, L"Button") &&
        (::GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK) <= BS_DEFPUSHBUTTON) {
      PressButton(::GetDlgCtrlID(focus));
      return true;
    }
    if (!defaultId_) return false;
    PressButton(defaultId_);
    return true;
  }
  if ((msg.message == WM_CHAR || msg.message == WM_KEYUP) && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
    return true;
  }
  return ::IsDialogMessageW(hwnd_, const_cast<MSG*>(&msg)) != FALSE;
}

void Form::MoveFocus(HWND to) {
  if (!to) return;
  ::SetFocus(to);
  // As in a dialog: a text box entered by the keyboard has all of its text selected.
  if (::SendMessageW(to, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) ::SendMessageW(to, EM_SETSEL, 0, -1);
}

void Form::PressButton(int id) {
  HWND button = Control(id);
  if (!button || !::IsWindowEnabled(button) || !::IsWindowVisible(button)) return;
  ::SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void Form::Relayout(int dpi, int x, int y) {
  dpi_ = dpi;
  const FormSpec spec = Spec();
  RECT rc{0, 0, TwipsToPixels(spec.clientWidth, dpi_), TwipsToPixels(spec.clientHeight, dpi_)};
  AdjustForDpi(rc, spec.style, ::GetMenu(hwnd_) != nullptr, spec.exStyle, dpi_);
  ::SetWindowPos(hwnd_, nullptr, x, y, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);

  // The controls from the same table at the new DPI, with fonts made for it; an old font is
  // deleted only once no control holds it any more.
  UniqueFont font(CreateControlFont(dpi_, nullptr, 0));
  for (const ControlSpec& c : controls_) {
    HWND h = c.kind == ControlKind::Line ? nullptr : Control(c.id);
    if (!h) continue;
    ::SetWindowPos(h, nullptr, TwipsToPixels(c.left, dpi_), TwipsToPixels(c.top, dpi_), TwipsToPixels(c.width, dpi_),
                   TwipsToPixels(c.height, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
    if (!c.fontFace) {
      ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
      continue;
    }
    HFONT own = CreateControlFont(dpi_, c.fontFace, c.fontTenthsPt, (c.flags & kFontCellHeight) != 0);
    ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(own), TRUE);
    if (HANDLE old = ::RemovePropW(h, L"PelmoraFont")) ::DeleteObject(old);
    ::SetPropW(h, L"PelmoraFont", own);
  }
  font_ = std::move(font);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void Form::CreateControls() {
  font_.reset(CreateControlFont(dpi_, nullptr, 0));
  for (const ControlSpec& c : controls_) {
    if (c.kind == ControlKind::Line) continue;
    const wchar_t* cls = L"STATIC";
    // Clipped by their siblings so a label that reaches under a text box never paints over it.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, ex = 0;
    switch (c.kind) {
      case ControlKind::Label:
        style |= SS_LEFT | ((c.flags & kEllipsisPath) ? (SS_PATHELLIPSIS | SS_NOPREFIX) : 0);
        break;
      case ControlKind::TextBox:
        cls = L"EDIT";
        ex = (c.flags & kNoBorder) ? 0 : WS_EX_CLIENTEDGE;
        style |= ES_LEFT | ((c.flags & kNoTabStop) ? 0 : WS_TABSTOP);
        style |= (c.flags & kMultiLine) ? (ES_MULTILINE | ES_AUTOVSCROLL) : ES_AUTOHSCROLL;
        if (c.flags & kVScroll) style |= WS_VSCROLL;
        if (c.flags & kReadOnly) style |= ES_READONLY;
        break;
      case ControlKind::Button:
        cls = L"BUTTON";
        style |= WS_TABSTOP | ((c.flags & kDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
      case ControlKind::Frame:
        cls = L"BUTTON";
        style |= BS_GROUPBOX;
        break;
      case ControlKind::Picture:
        style |= SS_ICON | SS_CENTERIMAGE;
        break;
      case ControlKind::Line:
        break;
      case ControlKind::Progress:
        cls = PROGRESS_CLASSW;
        break;
    }
    HWND h = ::CreateWindowExW(ex, cls, c.text, style, TwipsToPixels(c.left, dpi_), TwipsToPixels(c.top, dpi_),
                               TwipsToPixels(c.width, dpi_), TwipsToPixels(c.height, dpi_), hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), ::GetModuleHandleW(nullptr),
                               nullptr);
    if (!h) throw RunError(err::kOutOfMemory);
    HFONT f = font_.get();
    if (c.fontFace) {
      // Owned by the window: released with the other control fonts at WM_NCDESTROY.
      f = CreateControlFont(dpi_, c.fontFace, c.fontTenthsPt, (c.flags & kFontCellHeight) != 0);
      ::SetPropW(h, L"PelmoraFont", f);
    }
    ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
    if (c.flags & kDefault) defaultId_ = c.id;
    if (c.flags & kCancel) cancelId_ = c.id;
  }
  // Frames go under every other control, once all exist: above the controls laid inside them
  // they would clip them away.
  for (const ControlSpec& c : controls_) {
    if (c.kind == ControlKind::Frame) {
      ::SetWindowPos(Control(c.id), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
}

LRESULT CALLBACK Form::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Form* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    LoadedForms().push_back(self);
  } else {
    self = reinterpret_cast<Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = 0;
  try {
    result = self->HandleMessage(msg, wp, lp);
  } catch (...) {
    if (msg == WM_CREATE) {
      // A window missing some of its controls must not appear: creation fails, and Load throws
      // the failure to its caller.
      self->createFailure_ = std::current_exception();
      result = -1;
    } else {
      // A window procedure is no place for an exception; report it like any other failure.
      Trap([] { throw; });
    }
  }
  if (msg == WM_NCDESTROY) {
    auto& forms = LoadedForms();
    forms.erase(std::remove(forms.begin(), forms.end(), self), forms.end());
    self->hwnd_ = nullptr;
    self->font_.reset();
    self->defaultId_ = self->cancelId_ = 0;
    self->lastFocus_ = nullptr;
    WakeMessageLoops();
  }
  return result;
}

LRESULT Form::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (OnMessage(msg, wp, lp, result)) return result;
  switch (msg) {
    case WM_CREATE:
      CreateControls();
      OnCreated();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED || HIWORD(wp) == 0) {
        const int id = LOWORD(wp);
        Trap([&] { OnCommand(id); });
      }
      return 0;
    case WM_CTLCOLORSTATIC: {
      // Read-only text boxes and labels sit on the button-face colour.
      HDC dc = reinterpret_cast<HDC>(wp);
      COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
      const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lp));
      for (const ControlSpec& c : controls_) {
        if (c.id == id && c.kind == ControlKind::Label && c.color != CLR_INVALID) text = c.color;
      }
      ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
      ::SetTextColor(dc, text);
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_NEXTDLGCTL: {
      // A control's own request to move on (a multi-line box asks for it on Tab).
      HWND focus = ::GetFocus();
      MoveFocus(LOWORD(lp) ? reinterpret_cast<HWND>(wp)
                           : ::GetNextDlgTabItem(hwnd_, focus && ::IsChild(hwnd_, focus) ? focus : nullptr, wp != 0));
      return 0;
    }
    case WM_CLOSE:
      // The close box unloads like the window's own close button.
      Unload();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd_, &ps);
      for (const ControlSpec& c : controls_) {
        if (c.kind != ControlKind::Line) continue;
        HPEN pen = ::CreatePen(PS_SOLID, 1, c.color == CLR_INVALID ? RGB(0x80, 0x80, 0x80) : c.color);
        HGDIOBJ old = ::SelectObject(dc, pen);
        ::MoveToEx(dc, TwipsToPixels(c.left, dpi_), TwipsToPixels(c.top, dpi_), nullptr);
        ::LineTo(dc, TwipsToPixels(c.left + c.width, dpi_), TwipsToPixels(c.top + c.height, dpi_));
        ::SelectObject(dc, old);
        ::DeleteObject(pen);
      }
      ::EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_ACTIVATE:
      if (const int first = InitialFocus()) {
        if (LOWORD(wp) == WA_INACTIVE) {
          HWND focus = ::GetFocus();
          if (focus && ::IsChild(hwnd_, focus)) lastFocus_ = focus;
        } else {
          ::SetFocus(lastFocus_ && ::IsChild(hwnd_, lastFocus_) ? lastFocus_ : Control(first));
        }
        return 0;
      }
      break;
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI (per-monitor v2): the suggested place, our own size.
      const RECT* suggested = reinterpret_cast<const RECT*>(lp);
      Relayout(HIWORD(wp), suggested->left, suggested->top);
      return 0;
    }
    case WM_SETCURSOR:
      if (IsWaitCursorOn()) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_DESTROY:
      OnDestroy();
      for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (HANDLE f = ::RemovePropW(child, L"PelmoraFont")) ::DeleteObject(f);
      }
      break;
  }
  return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

void RunMessageLoop() {
  MSG msg;
  while (Form::LoadedCount() > 0 && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (Form::PreTranslate(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace pelmora::win32
