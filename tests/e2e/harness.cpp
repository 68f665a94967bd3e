#include "harness.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
auto Poll(int timeoutMs, F probe) -> decltype(probe()) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto result = probe();
    if (result || Clock::now() >= deadline) return result;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
}

std::wstring ClassOf(HWND h) {
  wchar_t buf[64] = {};
  ::GetClassNameW(h, buf, 64);
  return buf;
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring WinPath(std::string_view unixPath) {
  std::wstring w = L"Z:" + Widen(unixPath);
  for (auto& c : w) if (c == L'/') c = L'\\';
  return w;
}

std::wstring CorpusFile(std::string_view name) { return WinPath(std::string(PELMORA_CORPUS) + "/" + std::string(name)); }
std::wstring DocumentFile(std::string_view name) {
  return WinPath(std::string(PELMORA_DOCUMENTS) + "/" + std::string(name));
}

std::wstring PelmoraExe() {
  wchar_t buf[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring path(buf, n);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"pelmora.exe";
}

std::wstring NewTempDir() {
  wchar_t base[MAX_PATH];
  ::GetTempPathW(MAX_PATH, base);
  static int counter = 0;
  for (;;) {
    std::wstring dir = std::wstring(base) + L"pelmora-e2e-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                       std::to_wstring(++counter);
    if (::CreateDirectoryW(dir.c_str(), nullptr)) return dir;
  }
}

void WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(h);
}

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

App::App(const std::wstring& args, const std::wstring& exe) {
  std::wstring cmd = L"\"" + exe + L"\"";
  if (!args.empty()) cmd += L" " + args;
  STARTUPINFOW si{sizeof(si)};
  PROCESS_INFORMATION pi{};
  if (::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ::CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
  }
}

App::~App() {
  if (!process_) return;
  // Ended, not closed: a closed program under Wine takes two seconds to leave, and every test
  // that cares how the program ends waits for that itself.
  if (Running()) {
    ::TerminateProcess(process_, 1);
    ::WaitForSingleObject(process_, 5000);
  }
  ::CloseHandle(process_);
}

bool App::WaitExit(int timeoutMs) {
  return process_ && ::WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
}

bool App::Running() const { return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

std::vector<HWND> TopWindows(DWORD pid) {
  struct Ctx { DWORD pid; std::vector<HWND> found; } ctx{pid, {}};
  ::EnumWindows(
      [](HWND h, LPARAM lp) CALLBACK -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(lp);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(h, &owner);
        if (owner == c->pid && ::IsWindowVisible(h)) c->found.push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

HWND FindTopWindow(DWORD pid, std::wstring_view caption) {
  for (HWND h : TopWindows(pid)) {
    if (Text(h) == caption) return h;
  }
  return nullptr;
}

HWND WaitWindow(DWORD pid, std::wstring_view caption, int timeoutMs) {
  return Poll(timeoutMs, [&] { return FindTopWindow(pid, caption); });
}

bool WaitGone(HWND hwnd, int timeoutMs) {
  return Poll(timeoutMs, [&] { return !::IsWindow(hwnd) || !::IsWindowVisible(hwnd); });
}

std::wstring Text(HWND hwnd) {
  DWORD_PTR len = 0;
  if (!::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return {};
  std::wstring text(len + 1, L'\0');
  DWORD_PTR got = 0;
  ::SendMessageTimeoutW(hwnd, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &got);
  text.resize(got);
  return text;
}

std::vector<ControlInfo> Children(HWND top) {
  std::vector<ControlInfo> out;
  for (HWND h = ::GetWindow(top, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
    ControlInfo c;
    c.hwnd = h;
    c.id = ::GetDlgCtrlID(h);
    c.cls = ClassOf(h);
    c.text = Text(h);
    ::GetWindowRect(h, &c.rect);
    ::MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&c.rect), 2);
    c.style = static_cast<DWORD>(::GetWindowLongW(h, GWL_STYLE));
    c.visible = ::IsWindowVisible(h);
    c.enabled = ::IsWindowEnabled(h);
    out.push_back(c);
  }
  return out;
}

ControlInfo Child(HWND top, int id) {
  for (const auto& c : Children(top)) {
    if (c.id == id) return c;
  }
  return {};
}

SIZE ClientSize(HWND top) {
  RECT rc{};
  ::GetClientRect(top, &rc);
  return {rc.right, rc.bottom};
}

int ScreenDpi() {
  HDC dc = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
  ::ReleaseDC(nullptr, dc);
  return dpi;
}

int Twips(int twips) { return ::MulDiv(twips, ScreenDpi(), 1440); }

void Click(HWND button) { ::PostMessageW(button, BM_CLICK, 0, 0); }

HWND FocusOf(HWND top) {
  GUITHREADINFO gti{sizeof(gti)};
  return ::GetGUIThreadInfo(::GetWindowThreadProcessId(top, nullptr), &gti) ? gti.hwndFocus : nullptr;
}

bool ClickUntilFocused(HWND top, HWND control, int timeoutMs) {
  return Poll(timeoutMs, [&] {
    if (FocusOf(top) == control) return true;
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    WaitIdle(top);
    return FocusOf(top) == control;
  });
}

void TypeKey(HWND top, WORD vk, bool shift, bool ctrl) {
  if (::GetForegroundWindow() != top) {
    ::SetForegroundWindow(top);
    Poll(5000, [&] { return ::GetForegroundWindow() == top; });
  }
  std::vector<INPUT> in;
  auto key = [&](WORD k, bool up) {
    INPUT i{INPUT_KEYBOARD};
    i.ki.wVk = k;
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    in.push_back(i);
  };
  if (ctrl) key(VK_CONTROL, false);
  if (shift) key(VK_SHIFT, false);
  key(vk, false);
  key(vk, true);
  if (shift) key(VK_SHIFT, true);
  if (ctrl) key(VK_CONTROL, true);
  ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
  WaitIdle(top);
}

std::vector<int> TabWalk(HWND top, int times, bool back, bool ctrl) {
  std::vector<int> ids;
  for (int i = 0; i < times; ++i) {
    HWND before = FocusOf(top);
    TypeKey(top, VK_TAB, back, ctrl);
    // The input queue may hand the key over a moment after the round trip that WaitIdle makes.
    Poll(2000, [&] { return FocusOf(top) != before; });
    ids.push_back(::GetDlgCtrlID(FocusOf(top)));
  }
  return ids;
}

void Key(HWND top, WORD vk) {
  GUITHREADINFO gti{sizeof(gti)};
  HWND target = top;
  if (::GetGUIThreadInfo(::GetWindowThreadProcessId(top, nullptr), &gti) && gti.hwndFocus) target = gti.hwndFocus;
  ::PostMessageW(target, WM_KEYDOWN, vk, 1);
  ::PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
}

void MenuCommand(HWND top, int id) { ::PostMessageW(top, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

MessageBoxInfo WaitMessageBox(DWORD pid, int timeoutMs) {
  MessageBoxInfo info;
  info.hwnd = Poll(timeoutMs, [&]() -> HWND {
    for (HWND h : TopWindows(pid)) {
      if (ClassOf(h) == L"#32770" && ::GetDlgItem(h, 0xFFFF)) return h;
    }
    return nullptr;
  });
  if (!info.hwnd) return info;
  info.caption = Text(info.hwnd);
  info.text = Text(::GetDlgItem(info.hwnd, 0xFFFF));
  for (const auto& c : Children(info.hwnd)) {
    if (c.cls == L"Button" && c.visible) info.buttons.push_back(c.text);
    if (c.cls == L"Static" && (c.style & SS_TYPEMASK) == SS_ICON && c.visible) info.hasIcon = true;
  }
  return info;
}

void CloseMessageBox(const MessageBoxInfo& box) {
  for (const auto& c : Children(box.hwnd)) {
    if (c.cls == L"Button" && c.visible) {
      Click(c.hwnd);
      return;
    }
  }
}

void WaitIdle(HWND hwnd) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (HANDLE p = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid)) {
    ::WaitForInputIdle(p, 5000);
    ::CloseHandle(p);
  }
  // A round trip through the window's queue: everything posted before it has been handled.
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
}

std::string Screenshot(HWND hwnd, const std::string& name) {
  WaitIdle(hwnd);
  ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  WaitIdle(hwnd);
  RECT rc{};
  ::GetWindowRect(hwnd, &rc);
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB};
  void* bits = nullptr;
  HBITMAP bmp = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  ::BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
  ::GdiFlush();
  const int stride = (w * 3 + 3) & ~3;
  const std::string dir = PELMORA_SCREENSHOTS;
  ::CreateDirectoryW(WinPath(dir).c_str(), nullptr);
  const std::string path = dir + "/" + name + ".bmp";
  std::ofstream out(WinPath(path).c_str(), std::ios::binary);
  BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + stride * h), 0, 0,
                      sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  out.write(reinterpret_cast<const char*>(&fh), sizeof(fh));
  out.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof(BITMAPINFOHEADER));
  out.write(static_cast<const char*>(bits), static_cast<std::streamsize>(stride) * h);
  ::SelectObject(mem, old);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return path;
}

COLORREF ClientPixel(HWND hwnd, int x, int y) {
  POINT pt{x, y};
  ::ClientToScreen(hwnd, &pt);
  HDC screen = ::GetDC(nullptr);
  const COLORREF c = ::GetPixel(screen, pt.x, pt.y);
  ::ReleaseDC(nullptr, screen);
  return c;
}

}  // namespace e2e

namespace e2e {

std::vector<HWND> TopWindowsWithCaption(std::wstring_view caption) {
  struct Ctx { std::wstring_view caption; std::vector<HWND> found; } ctx{caption, {}};
  ::EnumWindows(
      [](HWND h, LPARAM lp) CALLBACK -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(lp);
        if (::IsWindowVisible(h) && Text(h) == c->caption) c->found.push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

DWORD WindowPid(HWND hwnd) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

bool CloseProcess(DWORD pid, int timeoutMs) {
  HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
  if (!process) return true;  // already gone
  for (HWND h : TopWindows(pid)) ::PostMessageW(h, WM_CLOSE, 0, 0);
  const bool ended = ::WaitForSingleObject(process, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
  if (!ended) ::TerminateProcess(process, 1);
  ::CloseHandle(process);
  return ended;
}

std::vector<HWND> Dialogs(DWORD pid) {
  std::vector<HWND> out;
  for (HWND h : TopWindows(pid)) {
    if (ClassOf(h) == L"#32770") out.push_back(h);
  }
  return out;
}

HWND WaitFolderBrowser(DWORD pid, std::wstring_view title, int timeoutMs) {
  return Poll(timeoutMs, [&]() -> HWND {
    for (HWND dlg : Dialogs(pid)) {
      for (const auto& c : Children(dlg)) {
        if (c.cls == L"Static" && c.text == title) return dlg;
      }
    }
    return nullptr;
  });
}

bool SelectBrowserFolder(HWND browser, const std::wstring& folder) {
  // The message carries a pointer, so the path must live in the browser's own process.
  HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, WindowPid(browser));
  if (!process) return false;
  const SIZE_T bytes = (folder.size() + 1) * sizeof(wchar_t);
  void* remote = ::VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  bool ok = remote && ::WriteProcessMemory(process, remote, folder.c_str(), bytes, nullptr);
  if (ok) {
    DWORD_PTR ignored = 0;
    ok = ::SendMessageTimeoutW(browser, WM_USER + 103 /* BFFM_SETSELECTIONW */, TRUE,
                               reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
  }
  if (remote) ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  ::CloseHandle(process);
  return ok;
}

std::wstring BrowserSelection(HWND browser) {
  HWND tree = ::FindWindowExW(browser, nullptr, L"SysTreeView32", nullptr);
  if (!tree) return {};
  DWORD_PTR item = 0;
  if (!::SendMessageTimeoutW(tree, 0x1100 + 10 /* TVM_GETNEXTITEM */, 9 /* TVGN_CARET */, 0, SMTO_ABORTIFHUNG, 5000,
                             &item) ||
      !item) {
    return {};
  }
  // TVITEMW and its text buffer, in the browser's process.
  struct RemoteItem {
    UINT mask;
    void* hItem;
    UINT state, stateMask;
    wchar_t* pszText;
    int cchTextMax;
    int iImage, iSelectedImage, cChildren;
    LPARAM lParam;
    wchar_t text[MAX_PATH];
  };
  HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, WindowPid(browser));
  if (!process) return {};
  auto* remote = static_cast<RemoteItem*>(
      ::VirtualAllocEx(process, nullptr, sizeof(RemoteItem), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  std::wstring text;
  RemoteItem local{};
  local.mask = 1;  // TVIF_TEXT
  local.hItem = reinterpret_cast<void*>(item);
  local.pszText = remote ? remote->text : nullptr;
  local.cchTextMax = MAX_PATH;
  DWORD_PTR ok = 0;
  if (remote && ::WriteProcessMemory(process, remote, &local, sizeof(local), nullptr) &&
      ::SendMessageTimeoutW(tree, 0x1100 + 62 /* TVM_GETITEMW */, 0, reinterpret_cast<LPARAM>(remote),
                            SMTO_ABORTIFHUNG, 5000, &ok) &&
      ok && ::ReadProcessMemory(process, remote, &local, sizeof(local), nullptr)) {
    local.text[MAX_PATH - 1] = L'\0';
    text = local.text;
  }
  if (remote) ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  ::CloseHandle(process);
  return text;
}

bool SelectBrowserItem(HWND browser, std::wstring_view text) {
  HWND tree = ::FindWindowExW(browser, nullptr, L"SysTreeView32", nullptr);
  if (!tree) return false;
  // Item handles are plain values, so these messages need nothing in the browser's process.
  auto next = [&](WPARAM how, DWORD_PTR item) {
    DWORD_PTR out = 0;
    ::SendMessageTimeoutW(tree, 0x1100 + 10 /* TVM_GETNEXTITEM */, how, static_cast<LPARAM>(item), SMTO_ABORTIFHUNG,
                          5000, &out);
    return out;
  };
  const DWORD_PTR root = next(0 /* TVGN_ROOT */, 0);
  for (DWORD_PTR item = next(4 /* TVGN_CHILD */, root); item; item = next(1 /* TVGN_NEXT */, item)) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(tree, 0x1100 + 11 /* TVM_SELECTITEM */, 9 /* TVGN_CARET */, static_cast<LPARAM>(item),
                          SMTO_ABORTIFHUNG, 5000, &ignored);
    if (BrowserSelection(browser) == text) return true;
  }
  return false;
}

}  // namespace e2e
