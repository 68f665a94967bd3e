#pragma once
// The shell calls of the collection: the folder browser and the file copy. Neither traps
// anything; the caller's trap reports their failures.
#include <windows.h>

#include <string>

namespace pelmora::ui {

// The chosen folder's file-system path, or "" when the user cancels or the choice has none.
std::wstring BrowseFolder(const std::wstring& strTitle, HWND lngHwnd);

// One shell copy of the double-NUL list `strFrom` into the folder `strTo`, with the shell's own
// progress, confirmations and error reports. Returns its result code; 0 when either is empty and
// the shell is not called.
int CopyFiles(HWND lngHwnd, const std::wstring& strFrom, const std::wstring& strTo);

}  // namespace pelmora::ui
