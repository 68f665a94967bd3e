#pragma once
// The platform services the program's windows and start-up share.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "base/program_version.h"

namespace pelmora::win32 {

int SystemDpi();

// A system metric in pixels at `dpi` (Windows 10 1607 and later ask the system; earlier ones
// scale the system DPI's value, which is the only one Windows 7 has).
int MetricForDpi(int metric, int dpi);

// The program's icon (resource 1) at the size of `metric` (SM_CXICON, SM_CXSMICON) at `dpi`,
// made from the nearest larger image where the icon has none of that size. The caller owns it;
// null when the module has no such icon.
HICON LoadProgramIcon(int metric, int dpi);

// Libraries loaded by name from now on come from the system folder alone, never from the
// program's folder or the current one, where a stranger's DLL may lie. First thing in main.
void RestrictDllSearch();

// Title and version from the program's own version resource.
const base::ProgramVersion& Version();

// A message box without a title of its own: it carries the application title.
int MessageBoxApp(const std::wstring& text, UINT style);

// One box for a run-time error number, in the program's format (exclamation, OK).
void ShowError(std::int32_t number);

// The program-wide mouse pointer: 11 hourglass, 0 default.
void SetMousePointer(int pointer);
bool IsWaitCursorOn();

// Directory search for exactly this path with normal attributes: the stored name of a file that
// is neither hidden, system nor a folder, or nothing.
std::optional<std::wstring> FindNormalFile(const std::wstring& path);

// The path as the Win32 file calls should be given it: made full, and in the extended-length form
// (\\?\) from the length where the plain form would fail on a system without long paths enabled.
std::wstring LongPath(const std::wstring& path);

// Full path of the running program.
std::wstring ModulePath();

// Starts a command line as a new process with a normal window that takes the focus, and lets it
// come to the front; not waited for. Throws the run-time error when it cannot be started.
void StartProcess(std::wstring commandLine);
// Replaces the way processes are started (nullptr restores the platform's) and returns the
// previous one; for test builds that need a start to fail.
using ProcessStarter = void (*)(std::wstring& commandLine);
ProcessStarter SetProcessStarter(ProcessStarter starter);

// The run-time error number for a Win32 error code.
std::int32_t RunErrorFromWin32(DWORD code);
[[noreturn]] void ThrowLastError();

}  // namespace pelmora::win32
