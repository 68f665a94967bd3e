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
  // Windows gives the size needed when the buffer is short; Wine fails with ERROR_MORE_DATA.
  for (std::size_t size = MAX_PATH; size <= 0x10000; size *= 2) {
    std::wstring path(size, L'\0');
    const DWORD n = ::GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(size), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 && ::GetLastError() != ERROR_MORE_DATA) return {};
    if (n != 0 && n < size) {
      path.resize(n);
      return path;
    }
  }
  return {};
}

// The same place told otherwise: the volume's serial number and the path on it, links resolved.
// Wine 8 gives no final path past MAX_PATH, but this one.
std::wstring VolumePath(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(h, &info)) return {};
  std::vector<char> buffer(sizeof(FILE_NAME_INFO) + 0x10000 * sizeof(wchar_t));
  auto* name = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
  if (!::GetFileInformationByHandleEx(h, FileNameInfo, name, static_cast<DWORD>(buffer.size()))) return {};
  return std::to_wstring(info.dwVolumeSerialNumber) + L":" +
         std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t));
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

// Whether the handle lies below the root, both told the same way; `final` gets its final path.
bool Inside(HANDLE h, const DeliveryRoot& root, std::wstring& final) {
  final = FinalPath(h);
  if (!final.empty() && !root.finalPath.empty()) return Below(final, root.finalPath);
  const std::wstring place = VolumePath(h);
  return !place.empty() && !root.volumePath.empty() && Below(place, root.volumePath);
}

// The final handle: a regular file or a folder as asked, lying below `root` when one is given. A
// file whose place cannot be told is not taken as inside.
Reached Judge(OpenFile file, OpenFor what, const DeliveryRoot* root, const fs::path& named) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(H(file), &info)) return {Kind::kFailed, {}, {}, static_cast<int>(::GetLastError())};
  const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (what == OpenFor::kListing ? !folder : (folder || ::GetFileType(H(file)) != FILE_TYPE_DISK)) return {Kind::kNotAFile};
  std::wstring final;
  if (root ? !Inside(H(file), *root, final) : (final = FinalPath(H(file)), false)) return {Kind::kLink};
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
  if (!root.handle.valid()) return;
  root.finalPath = FinalPath(H(root.handle));
  root.volumePath = VolumePath(H(root.handle));
  root.resolved = root.finalPath.empty() ? root.lexical : fs::path(root.finalPath);
  if (root.finalPath.empty() && root.volumePath.empty()) root.handle = OpenFile();  // its place cannot be told
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
  if (names.empty()) {
    last = OpenItself(root.lexical.native(), FILE_READ_ATTRIBUTES);
    if (!last.valid()) return Failure(::GetLastError());
  }
  if (what != OpenFor::kReading) return Judge(std::move(last), what, &root, path);
  // Read through the system's own handling of the file (a cloud placeholder, a deduplicated file
  // is read as its data), while the judged handle keeps the name in place; the same file or none.
  OpenFile reading(Raw(::CreateFileW(Win32Path(path).c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!reading.valid()) return Failure(::GetLastError());
  if (!SameFile(H(last), H(reading))) return {Kind::kLink};
  return Judge(std::move(reading), what, &root, path);
}

Reached OpenAnywhere(const fs::path& path, OpenFor what) {
  const DWORD access = what == OpenFor::kReading ? GENERIC_READ : FILE_READ_ATTRIBUTES;
  OpenFile f(Raw(::CreateFileW(Win32Path(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
  if (!f.valid()) return Failure(::GetLastError());
  return Judge(std::move(f), what, nullptr, path);
}

}  // namespace pelmora::delivery
