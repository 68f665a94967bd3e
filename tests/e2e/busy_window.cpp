#include "busy_window.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "harness.h"

namespace e2e {

namespace {

template <typename F>
HWND PollWindow(int timeoutMs, F probe) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (HWND h = probe()) return h;
    if (std::chrono::steady_clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
}

}  // namespace

std::wstring StoredText(HWND hwnd) {
  wchar_t buf[1024] = {};
  const int n = ::InternalGetWindowText(hwnd, buf, 1024);
  return std::wstring(buf, n > 0 ? n : 0);
}

HWND WaitWindowStored(DWORD pid, std::wstring_view caption, int timeoutMs) {
  return PollWindow(timeoutMs, [&]() -> HWND {
    for (HWND h : TopWindows(pid)) {
      if (StoredText(h) == caption) return h;
    }
    return nullptr;
  });
}

HWND WaitAnyWindow(std::wstring_view prefix, int timeoutMs) {
  return PollWindow(timeoutMs, [&]() -> HWND {
    struct Ctx {
      std::wstring_view prefix;
      HWND found;
    } ctx{prefix, nullptr};
    ::EnumWindows(
        [](HWND h, LPARAM lp) CALLBACK -> BOOL {
          auto* c = reinterpret_cast<Ctx*>(lp);
          if (::IsWindowVisible(h) && StoredText(h).starts_with(c->prefix)) {
            c->found = h;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
  });
}

int Capture::DarkPixels(const RECT& rect) const {
  int dark = 0;
  for (int y = std::max(0L, rect.top); y < std::min<long>(height, rect.bottom); ++y) {
    for (int x = std::max(0L, rect.left); x < std::min<long>(width, rect.right); ++x) {
      const COLORREF c = At(x, y);
      if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 0x60) ++dark;
    }
  }
  return dark;
}

Capture CaptureNow(HWND hwnd, const std::string& name) {
  RECT win{}, client{};
  ::GetWindowRect(hwnd, &win);
  ::GetClientRect(hwnd, &client);
  POINT origin{0, 0};
  ::ClientToScreen(hwnd, &origin);
  const int w = win.right - win.left, h = win.bottom - win.top;

  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};  // top-down
  void* bits = nullptr;
  HBITMAP bmp = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  ::BitBlt(mem, 0, 0, w, h, screen, win.left, win.top, SRCCOPY);
  ::GdiFlush();

  // Opaque, or viewers take the screen's zero alpha bytes for a transparent image.
  auto* px = static_cast<DWORD*>(bits);
  for (int i = 0; i < w * h; ++i) px[i] |= 0xFF000000u;

  Capture cap;
  cap.width = client.right;
  cap.height = client.bottom;
  const int dx = origin.x - win.left, dy = origin.y - win.top;
  for (int y = 0; y < cap.height; ++y) {
    for (int x = 0; x < cap.width; ++x) {
      const DWORD p = (x + dx < w && y + dy < h) ? px[(y + dy) * w + (x + dx)] : 0;
      cap.pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    }
  }

  const std::string dir = PELMORA_SCREENSHOTS;
  ::CreateDirectoryW(WinPath(dir).c_str(), nullptr);
  cap.path = dir + "/" + name + ".bmp";
  std::ofstream out(WinPath(cap.path).c_str(), std::ios::binary);
  const DWORD imageBytes = static_cast<DWORD>(w) * h * 4;
  BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + imageBytes), 0,
                      0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  out.write(reinterpret_cast<const char*>(&fh), sizeof(fh));
  out.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof(BITMAPINFOHEADER));
  out.write(static_cast<const char*>(bits), imageBytes);

  ::SelectObject(mem, old);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return cap;
}

void InputClick(HWND control) {
  RECT rc{};
  ::GetWindowRect(control, &rc);
  ::SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, in, sizeof(INPUT));
}

}  // namespace e2e
