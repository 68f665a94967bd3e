#include "delivery/folder_walk_win32.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>

#include "win32/platform.h"
#include "win32/raii.h"

namespace pelmora::delivery {


namespace fs = std::filesystem;

namespace {

constexpr DWORD kHiddenOrSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool IsDots(const wchar_t* name) { return name[0] == L'.' && (!name[1] || (name[1] == L'.' && !name[2])); }

// A junction, symbolic link or mount point names another place; a cloud file or a deduplicated
// one is a document stored otherwise, and stays in. Wine lists its Unix links to folders with the
// attribute and no tag; Windows always gives one.
bool LeadsElsewhere(const WIN32_FIND_DATAW& d) {
  return (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         (d.dwReserved0 == 0 || IsReparseTagNameSurrogate(d.dwReserved0));
}

win32::UniqueFind FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& data) {
  return win32::UniqueFind(::FindFirstFileExW(win32::LongPath(pattern).c_str(), FindExInfoBasic, &data,
                                              FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
}

}  // namespace

std::int32_t ListFolderWin32(const fs::path& dir, const std::function<void(fs::path, bool, bool)>& entry) {
  std::wstring pattern = dir.native();
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/' && pattern.back() != L':') {
    pattern += L'\\';
  }
  pattern += L'*';
  WIN32_FIND_DATAW d;
  win32::UniqueFind find = FindFirst(pattern, d);
  if (!find) {
    const DWORD code = ::GetLastError();
    // An empty drive root has not even "." to list.
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES ? 0 : win32::RunErrorFromWin32(code);
  }
  do {
    if (IsDots(d.cFileName) || (d.dwFileAttributes & kHiddenOrSystem) || LeadsElsewhere(d)) continue;
    const bool folder = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry(dir / d.cFileName, folder, !folder && !(d.dwFileAttributes & FILE_ATTRIBUTE_DEVICE));
  } while (::FindNextFileW(find.get(), &d));
  const DWORD code = ::GetLastError();
  return code == ERROR_NO_MORE_FILES ? 0 : win32::RunErrorFromWin32(code);
}

PathKind PathKindWin32(const fs::path& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::LongPath(path.native()).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kFile;
}

std::vector<fs::path> ExpandWildcards(const std::vector<fs::path>& args) {
  std::vector<fs::path> out;
  for (const fs::path& arg : args) {
    const std::wstring& text = arg.native();
    const std::size_t nameAt = text.find_last_of(L"\\/:") + 1;  // npos + 1 == 0
    const std::wstring name = text.substr(nameAt);
    if (text.empty() || text[0] == L'-' || name.find_first_of(L"*?") == std::wstring::npos ||
        text.substr(0, nameAt).find_first_of(L"*?") != std::wstring::npos) {
      out.push_back(arg);
      continue;
    }
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW d;
    if (win32::UniqueFind find = FindFirst(text, d)) {
      do {
        // The search also matches 8.3 short names: *.eps would find "logo.epsf" by LOGO~1.EPS.
        if (IsDots(d.cFileName) || (d.dwFileAttributes & kHiddenOrSystem) || !::PathMatchSpecW(d.cFileName, name.c_str()))
          continue;
        names.emplace_back(d.cFileName);
      } while (::FindNextFileW(find.get(), &d));
    }
    if (names.empty()) {
      out.push_back(arg);
      continue;
    }
    std::sort(names.begin(), names.end());
    for (const std::wstring& n : names) out.emplace_back(text.substr(0, nameAt) + n);
  }
  return out;
}

}  // namespace pelmora::delivery
