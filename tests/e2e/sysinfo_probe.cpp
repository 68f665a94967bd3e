// Stands in for the system-information tool: a window whose caption tells how the program was
// asked to show and which file it was started as.
#include <windows.h>

#include <string>

namespace {

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int show) {
  STARTUPINFOW si{sizeof(si)};
  ::GetStartupInfoW(&si);
  wchar_t exe[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::wstring path = exe;
  std::wstring caption = L"pelmora-sysinfo-probe ";
  caption += (si.dwFlags & STARTF_USESHOWWINDOW) ? std::to_wstring(si.wShowWindow) : L"-";
  caption += L" " + path.substr(path.find_last_of(L"\\/") + 1);

  WNDCLASSW wc{};
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = inst;
  wc.lpszClassName = L"PelmoraSysInfoProbe";
  ::RegisterClassW(&wc);
  HWND hwnd = ::CreateWindowW(wc.lpszClassName, caption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              300, 120, nullptr, nullptr, inst, nullptr);
  ::ShowWindow(hwnd, show);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
