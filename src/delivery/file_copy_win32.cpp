#include <windows.h>

#include <cstdio>
#include <random>

#include "analysis/run_error.h"
#include "delivery/file_copy.h"
#include "delivery/part_file.h"
#include "base/text_utf8.h"
#include "base/error_text.h"

namespace pelmora::delivery {

using namespace base;

namespace fs = std::filesystem;

namespace {

class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE h) {
    Close();
    h_ = h;
  }
  DWORD Close() {
    if (!valid()) return 0;
    const BOOL ok = ::CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok ? 0 : ::GetLastError();
  }

 private:
  HANDLE h_;
};

CopyResult Failed(DWORD code) { return {CopyResult::Outcome::kFailed, CopyFailure(static_cast<int>(code))}; }

DWORD CopyBytes(HANDLE in, HANDLE out) {
  static char buffer[256 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(in, buffer, sizeof buffer, &got, nullptr)) return ::GetLastError();
    if (got == 0) return 0;
    for (DWORD at = 0; at < got;) {
      DWORD put = 0;
      if (!::WriteFile(out, buffer + at, got - at, &put, nullptr)) return ::GetLastError();
      if (put == 0) return ERROR_WRITE_FAULT;
      at += put;
    }
  }
}

}  // namespace

std::string CopyFailure(int code) {
  switch (static_cast<DWORD>(code)) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ToUtf8(base::ErrorDescription(err::kDiskFull));
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return ToUtf8(base::ErrorDescription(err::kPermissionDenied));
    case ERROR_FILE_TOO_LARGE: return "ファイルが大きすぎます";
    default: return SystemErrorText(code);
  }
}

// The wide text: the narrow one comes in the ANSI code page, and ends in a line break.
std::string SystemErrorText(int code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n > 0 && text != nullptr ? std::wstring(text, n) : L"エラー " + std::to_wstring(code);
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ' || message.back() == L'.' || message.back() == L'。')) {
    message.pop_back();
  }
  return ToUtf8(message);
}

CopyResult CopyNewFile(const OpenFile& from, const fs::path& to) {
  const HANDLE in = reinterpret_cast<HANDLE>(from.get());
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileType(in) != FILE_TYPE_DISK || !::GetFileInformationByHandle(in, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {CopyResult::Outcome::kFailed, "通常のファイルではありません"};
  }
  const unsigned long long size = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;

  const fs::path folder = to.parent_path().empty() ? fs::path(L".") : to.parent_path();
  // A folder's path for this call ends in a backslash (a share's root must).
  std::wstring freeAt = Win32Path(folder);
  if (!freeAt.empty() && freeAt.back() != L'\\') freeAt += L'\\';
  ULARGE_INTEGER free{};
  if (::GetDiskFreeSpaceExW(freeAt.c_str(), &free, nullptr, nullptr) && size > free.QuadPart) {
    return {CopyResult::Outcome::kFailed, CopyFailure(ERROR_DISK_FULL) + " (" + std::to_string(size) + " バイト必要、空き " +
                                              std::to_string(free.QuadPart) + " バイト)"};
  }

  // Created with no security descriptor of its own: the folder's inherited permissions apply.
  // Shared for deletion only, so that an interruption can remove it while it is being written.
  static std::mt19937_64 random{std::random_device{}()};
  std::wstring temp;
  Handle out;
  for (int attempt = 0; !out.valid(); ++attempt) {
    wchar_t name[40];
    std::swprintf(name, 40, L".pelmora-%016llx.part", static_cast<unsigned long long>(random()));
    temp = Win32Path(folder / name);
    out.Reset(::CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = ::GetLastError();
    if (!out.valid() && ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 16)) return Failed(error);
  }
  const PartFile part(temp);

  DWORD error = Rewind(from) ? CopyBytes(in, out.get()) : ::GetLastError();
  if (const DWORD closed = out.Close(); error == 0) error = closed;
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name exists by now.
  if (error == 0 && !::MoveFileExW(temp.c_str(), Win32Path(to).c_str(), 0)) error = ::GetLastError();
  if (error != 0) ::DeleteFileW(temp.c_str());
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return {CopyResult::Outcome::kExists, {}};
  if (error != 0) return Failed(error);
  return {CopyResult::Outcome::kCopied, {}};
}

long long ReadSome(const OpenFile& file, char* buffer, std::size_t size) {
  DWORD got = 0;
  const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  if (!::ReadFile(reinterpret_cast<HANDLE>(file.get()), buffer, want, &got, nullptr)) return -1;
  return got;
}

bool Rewind(const OpenFile& file) {
  return ::SetFilePointerEx(reinterpret_cast<HANDLE>(file.get()), LARGE_INTEGER{}, nullptr, FILE_BEGIN) != 0;
}

long long ReadAt(const OpenFile& file, std::uint64_t offset, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    // The offset in the OVERLAPPED structure reads a synchronous handle at that place.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((offset + done) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD got = 0;
    const DWORD want = size - done > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size - done);
    if (!::ReadFile(reinterpret_cast<HANDLE>(file.get()), buffer + done, want, &got, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return static_cast<long long>(done);
}

std::optional<std::uint64_t> FileSize(const OpenFile& file) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(reinterpret_cast<HANDLE>(file.get()), &size) || size.QuadPart < 0) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool NameTaken(const fs::path& path) {
  if (::GetFileAttributesW(Win32Path(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = ::GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool SameFile(const OpenFile& file, const fs::path& path) {
  const Handle other(::CreateFileW(Win32Path(path).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION a, b;
  return other.valid() && ::GetFileInformationByHandle(reinterpret_cast<HANDLE>(file.get()), &a) &&
         ::GetFileInformationByHandle(other.get(), &b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool IsFolder(const fs::path& path) {
  const DWORD attributes = ::GetFileAttributesW(Win32Path(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PrepareFolder(const fs::path& folder) {
  if (folder.empty() || IsFolder(folder)) return !folder.empty();
  const fs::path parent = folder.parent_path();
  if (parent != folder && !parent.empty() && !PrepareFolder(parent)) return false;
  return ::CreateDirectoryW(Win32Path(folder).c_str(), nullptr) || IsFolder(folder);
}

}  // namespace pelmora::delivery
