#pragma once
// Looking at a window whose thread is busy and handles no messages (the progress window during a
// scan), and clicking as a user would. Nothing here sends a message to the observed window.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace e2e {

// The text the system keeps for the window, read without asking the window's thread.
std::wstring StoredText(HWND hwnd);
// The visible top-level window of `pid` with exactly this caption, found without messages.
HWND WaitWindowStored(DWORD pid, std::wstring_view caption, int timeoutMs = 20000);
// Any process's visible top-level window whose caption starts with `prefix`.
HWND WaitAnyWindow(std::wstring_view prefix, int timeoutMs = 20000);

// The window as it is on screen now, saved as <screenshots>/<name>.bmp; pixels of the client
// area, row by row from the top.
struct Capture {
  std::string path;
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;
  COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // Pixels inside `rect` (client coordinates) darker than mid-grey: text and lines.
  int DarkPixels(const RECT& rect) const;
};
Capture CaptureNow(HWND hwnd, const std::string& name);

// A left click at the control's centre through the system's input queue, not a posted message:
// a disabled window must ignore it.
void InputClick(HWND control);

}  // namespace e2e
