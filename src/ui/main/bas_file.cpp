#include "ui/main/bas_file.h"

#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "win32/raii.h"

namespace pelmora::ui {

namespace {
// The query writes at most this much (the extended-length limit), so no folder the browser can
// return is too long for the buffer.
constexpr DWORD kPathChars = 32768;

// BIF_RETURNONLYFSDIRS alone still lets OK confirm a server under the network: OK is enabled only
// while the selection has a file-system path, so a confirmed choice is always a folder.
int CALLBACK OnBrowse(HWND browser, UINT msg, LPARAM lp, LPARAM) {
  if (msg == BFFM_SELCHANGED) {
    std::vector<wchar_t> path(kPathChars, L'\0');
    const bool folder = lp && ::SHGetPathFromIDListEx(reinterpret_cast<PCIDLIST_ABSOLUTE>(lp), path.data(), kPathChars,
                                                      GPFIDL_DEFAULT);
    ::SendMessageW(browser, BFFM_ENABLEOK, 0, folder ? TRUE : FALSE);
  }
  return 0;
}
}  // namespace

std::wstring BrowseFolder(const std::wstring& strTitle, HWND lngHwnd) {
  std::vector<wchar_t> displayName(MAX_PATH, L'\0');  // the browser assumes MAX_PATH; unused
  BROWSEINFOW bi{};
  bi.hwndOwner = lngHwnd;
  bi.pszDisplayName = displayName.data();
  bi.lpszTitle = strTitle.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS;
  bi.lpfn = &OnBrowse;
  const win32::UniquePidl pidl(::SHBrowseForFolderW(&bi));
  if (!pidl) return {};

  std::vector<wchar_t> path(kPathChars, L'\0');
  if (!::SHGetPathFromIDListEx(pidl.get(), path.data(), kPathChars, GPFIDL_DEFAULT)) return {};
  return std::wstring(path.data());
}

CopyResult CopyFiles(HWND lngHwnd, const std::wstring& strFrom, const std::wstring& strTo) {
  if (strFrom.empty() || strTo.empty()) return {};
  // The destination is a one-name list too: its own NUL and the one c_str() adds.
  const std::wstring to = strTo + L'\0';
  SHFILEOPSTRUCTW op{};
  op.hwnd = lngHwnd;
  op.wFunc = FO_COPY;
  op.pFrom = strFrom.c_str();
  op.pTo = to.c_str();
  op.fFlags = FOF_NOCONFIRMMKDIR;
  const int code = ::SHFileOperationW(&op);
  return {code, op.fAnyOperationsAborted != FALSE};
}

}  // namespace pelmora::ui
