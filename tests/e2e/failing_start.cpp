// Linked into the test build pelmora_failstart.exe only: every process start after the first
// fails as if the program file had gone, so a drop of several documents fails after its first
// start has already closed the window. The product itself starts every process it is asked to.
#include <windows.h>

#include "analysis/run_error.h"
#include "win32/platform.h"

namespace {

pelmora::win32::ProcessStarter g_platform = nullptr;

void FirstOnly(std::wstring& commandLine) {
  static int starts = 0;
  if (++starts > 1) throw pelmora::RunError(pelmora::win32::RunErrorFromWin32(ERROR_FILE_NOT_FOUND));
  g_platform(commandLine);
}

const bool installed = (g_platform = pelmora::win32::SetProcessStarter(&FirstOnly), true);

}  // namespace
