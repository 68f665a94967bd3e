// pelmora-check.exe: the 送る entry 「Pelmora 入稿チェック」. Explorer passes the selected files and
// folders; the check runs without a console window and its report opens in the browser.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <ctime>

#include "check/check_plan.h"
#include "check/frm_check.h"
#include "win32/form.h"
#include "win32/platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&icc);
  // ShellExecute may hand the page to a browser through COM.
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::vector<std::filesystem::path> selected;
  for (int i = 1; argv && i < argc; ++i) selected.emplace_back(argv[i]);
  if (argv) ::LocalFree(argv);
  if (selected.empty()) {
    pelmora::win32::MessageBoxApp(
        L"調べる文書やフォルダーをエクスプローラーで選び、右クリックの［送る］→［Pelmora 入稿チェック］で送ってください。",
        MB_ICONEXCLAMATION);
    return 2;
  }

  wchar_t temp[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  const std::filesystem::path report = pelmora::check::ReportPath(std::wstring(temp, n), local);
  std::error_code ec;
  std::filesystem::create_directories(report.parent_path(), ec);

  pelmora::check::FrmCheck form(std::move(selected), report);
  form.Load();
  form.Show();
  pelmora::win32::RunMessageLoop();
  return 0;
}
