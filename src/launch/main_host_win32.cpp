#include "launch/main_host_win32.h"

#include "analysis/run_error.h"
#include "ui/aux/aux_windows.h"
#include "ui/main/frm_select.h"
#include "win32/platform.h"

namespace pelmora::launch {

std::wstring ArgumentText(const wchar_t* commandLine) {
  // The program's own path comes first, quoted or bare; the rest, as typed, is the argument text.
  const wchar_t* p = commandLine;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  // One separator belongs to the program path, not to the argument.
  if (*p == L' ' || *p == L'\t') ++p;
  return p;
}

std::wstring Win32MainHost::CommandLineArgs() { return ArgumentText(::GetCommandLineW()); }

bool Win32MainHost::FileExists(const std::wstring& path) { return win32::FindNormalFile(path).has_value(); }

void Win32MainHost::Message(const std::wstring& text, int style) { win32::MessageBoxApp(text, style); }

void Win32MainHost::SetMousePointer(int pointer) { win32::SetMousePointer(pointer); }

void Win32MainHost::ShowWait(const std::wstring& path) { ui::ShowWaitWindow(path); }

void Win32MainHost::UnloadWait() { ui::UnloadWaitWindow(); }

void Win32MainHost::BetweenReads() { ui::KeepWaitWindowAnswering(); }

void Win32MainHost::ShowResult(const AnalysisResult& result) {
  try {
    ui::frmSelect().ShowEdit(result);
  } catch (...) {
    // A window loaded but never shown must not keep the process alive unseen.
    if (!::IsWindowVisible(ui::frmSelect().hwnd())) ui::frmSelect().Unload();
    throw;
  }
}

void Win32MainHost::ShowError(std::int32_t number) { win32::ShowError(number); }

}  // namespace pelmora::launch
