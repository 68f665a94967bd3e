#include "delivery/open_beneath.h"

#include <windows.h>

#include <string>
#include <vector>

#include "win32/platform.h"

namespace pelmora::delivery {

namespace fs = std::filesystem;

namespace {

using Kind = Reached::Kind;

HANDLE H(const OpenFile& f) { return reinterpret_cast<HANDLE>(f.get()); }
std::intptr_t Raw(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }

// Without FILE_SHARE_DELETE: while the handle is held, no one can rename, delete or replace the
// name, so a folder judged on the way stays the one that the next name is opened in.
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

// A name that stands for another place: a junction, symbolic link, mount point. Wine reports its
// Unix symbolic links to folders with the attribute and no tag at all; Windows always gives one.
bool LeadsElsewhere(const FILE_ATTRIBUTE_TAG_INFO& tag) {
  return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         (tag.ReparseTag == 0 || IsReparseTagNameSurrogate(tag.ReparseTag));
}

// The reparse point itself, never what it names: a junction to \\host\share is not followed, so
// the host is not contacted.
OpenFile OpenItself(const std::wstring& path, DWORD access) {
  return OpenFile(Raw(::CreateFileW(Win32Path(path).c_str(), access, kShare, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
}

Reached Failure(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE: return {Kind::kMissing};
    // A reparse point the system cannot open itself, as Wine says of some links.
    case ERROR_CANT_ACCESS_FILE:
    case ERROR_NOT_A_REPARSE_POINT: return {Kind::kLink};
    default: return {Kind::kFailed, {}, {}, static_cast<int>(error)};
  }
}

// The handle's path with every link resolved, \\?\C:\... or \\?\UNC\server\share\...; empty when
// the system cannot say.
std::wstring FinalPath(HANDLE h) {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = ::GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n);
  }
  return {};
}

wchar_t Fold(wchar_t c) { return c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c; }

// `path` is `root` or lies below it, as the file system compares names.
bool Below(const std::wstring& path, const std::wstring& root) {
  if (root.empty() || path.size() < root.size()) return false;
  for (std::size_t i = 0; i < root.size(); ++i) {
    if (Fold(path[i]) != Fold(root[i])) return false;
  }
  return path.size() == root.size() || root.back() == L'\\' || path[root.size()] == L'\\';
}

bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  return ::GetFileInformationByHandle(a, &x) && ::GetFileInformationByHandle(b, &y) &&
         x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

// The final handle: a regular file or a folder as asked, with the final path below `root`
// (when `root` is given).
Reached Judge(OpenFile file, OpenFor what, const std::wstring* root, const fs::path& named) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(H(file), &info)) return {Kind::kFailed, {}, {}, static_cast<int>(::GetLastError())};
  const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (what == OpenFor::kListing ? !folder : (folder || ::GetFileType(H(file)) != FILE_TYPE_DISK)) return {Kind::kNotAFile};
  std::wstring final = FinalPath(H(file));
  // A file whose place cannot be told is not taken as inside.
  if (root && !Below(final, *root)) return {Kind::kLink};
  return {Kind::kOpened, std::move(file), final.empty() ? named : fs::path(std::move(final))};
}

}  // namespace

void OpenFile::Close() {
  if (valid()) ::CloseHandle(H(*this));
  handle_ = -1;
}

std::wstring Win32Path(const fs::path& path) { return win32::LongPath(path.native()); }

void OpenRoot(DeliveryRoot& root) {
  root.handle = OpenFile(Raw(::CreateFileW(Win32Path(root.lexical).c_str(), FILE_READ_ATTRIBUTES, kShare, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
  const std::wstring final = root.handle.valid() ? FinalPath(H(root.handle)) : std::wstring();
  root.resolved = final.empty() ? root.lexical : fs::path(final);
  if (final.empty()) root.handle = OpenFile();  // a folder whose place cannot be told holds nothing
}

Reached OpenBeneath(const DeliveryRoot& root, const fs::path& relative, OpenFor what) {
  if (!root.handle.valid()) return {Kind::kMissing};
  std::vector<std::wstring> names;
  for (const fs::path& part : relative) {
    if (!part.empty() && part.native() != L"\\" && part.native() != L"/") names.push_back(part.native());
  }
  std::wstring path = root.lexical.native();
  std::vector<OpenFile> held;  // the folders on the way, pinned
  OpenFile last;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += names[i];
    OpenFile f = OpenItself(path, FILE_READ_ATTRIBUTES);
    if (!f.valid()) return Failure(::GetLastError());
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(H(f), FileAttributeTagInfo, &tag, sizeof tag)) {
      return {Kind::kFailed, {}, {}, static_cast<int>(::GetLastError())};
    }
    if (LeadsElsewhere(tag)) return {Kind::kLink};
    if (i + 1 < names.size()) {
      if (!(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return {Kind::kMissing};
      held.push_back(std::move(f));
    } else {
      last = std::move(f);
    }
  }
  const std::wstring rootPath = root.resolved.native();
  if (names.empty()) {
    last = OpenItself(root.lexical.native(), FILE_READ_ATTRIBUTES);
    if (!last.valid()) return Failure(::GetLastError());
  }
  if (what != OpenFor::kReading) return Judge(std::move(last), what, &rootPath, path);
  // Read through the system's own handling of the file (a cloud placeholder, a deduplicated file
  // is read as its data), while the judged handle keeps the name in place; the same file or none.
  OpenFile reading(Raw(::CreateFileW(Win32Path(path).c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!reading.valid()) return Failure(::GetLastError());
  if (!SameFile(H(last), H(reading))) return {Kind::kLink};
  return Judge(std::move(reading), what, &rootPath, path);
}

Reached OpenAnywhere(const fs::path& path, OpenFor what) {
  const DWORD access = what == OpenFor::kReading ? GENERIC_READ : FILE_READ_ATTRIBUTES;
  OpenFile f(Raw(::CreateFileW(Win32Path(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
  if (!f.valid()) return Failure(::GetLastError());
  return Judge(std::move(f), what, nullptr, path);
}

}  // namespace pelmora::delivery
