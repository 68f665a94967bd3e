#include <windows.h>

#include <commctrl.h>

#include "launch/main_host_win32.h"
#include "win32/form.h"
#include "win32/platform.h"
#include "win32/raii.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  pelmora::win32::RestrictDllSearch();
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  // Drag and drop and the shell's folder browser both need OLE on this thread.
  pelmora::win32::OleScope ole;

  pelmora::launch::Win32MainHost host;
  pelmora::launch::Main(host);
  pelmora::win32::RunMessageLoop();
  return 0;
}
