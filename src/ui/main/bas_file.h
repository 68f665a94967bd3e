#pragma once
// The shell calls of the collection: the folder browser and the file copy. Neither traps
// anything; the caller's trap reports their failures.
#include <windows.h>

#include <string>

namespace pelmora::ui {

// The chosen folder's file-system path, or "" when the user cancels or the choice has none.
std::wstring BrowseFolder(const std::wstring& strTitle, HWND lngHwnd);

// What the shell's copy answered: its result code, and whether the user stopped any of it (the
// code can be 0 then).
struct CopyResult {
  int code = 0;
  bool aborted = false;
};

// One shell copy of the double-NUL list `strFrom` into the folder `strTo`, with the shell's own
// progress, confirmations and error reports. All zero when either is empty and the shell is not
// called.
CopyResult CopyFiles(HWND lngHwnd, const std::wstring& strFrom, const std::wstring& strTo);

}  // namespace pelmora::ui
