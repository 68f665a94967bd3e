#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>

#include "analysis/run_error.h"
#include "delivery/file_copy.h"
#include "delivery/part_file.h"
#include "base/text_utf8.h"
#include "base/error_text.h"

namespace pelmora::delivery {

using namespace base;

namespace fs = std::filesystem;

namespace {

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  // A file system may report a failed write only when the file is closed.
  int Close() {
    if (fd_ < 0) return 0;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0 || errno == EINTR ? 0 : errno;
  }

 private:
  int fd_;
};

CopyResult Failed(int code) { return {CopyResult::Outcome::kFailed, CopyFailure(code)}; }

int CopyBytes(int in, int out) {
  static char buffer[256 * 1024];
  for (;;) {
    ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return 0;
    for (ssize_t at = 0; at < got;) {
      const ssize_t put = ::write(out, buffer + at, static_cast<std::size_t>(got - at));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) return errno;
      at += put;
    }
  }
}

// Gives `temp` the name `to` only if nothing has it: a hard link fails when the name exists; where
// the file system has no hard links, a rename that refuses to replace.
int NameWithoutReplacing(const fs::path& temp, const fs::path& to) {
  if (::link(temp.c_str(), to.c_str()) == 0) return 0;
  const int error = errno;
  if (error != EPERM && error != EOPNOTSUPP && error != EMLINK && error != ENOSYS) return error;
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  return errno;
#else
  return error;
#endif
}

}  // namespace

std::string CopyFailure(int code) {
  switch (code) {
    case ENOSPC:
    case EDQUOT: return ToUtf8(base::ErrorDescription(err::kDiskFull));
    case EACCES:
    case EPERM:
    case EROFS: return ToUtf8(base::ErrorDescription(err::kPermissionDenied));
    case EFBIG: return "ファイルが大きすぎます";
    default: return SystemErrorText(code);
  }
}

std::string SystemErrorText(int code) { return ValidUtf8(std::generic_category().message(code)); }

CopyResult CopyNewFile(const OpenFile& from, const fs::path& to) {
  const int in = static_cast<int>(from.get());
  struct stat st;
  if (::fstat(in, &st) != 0) return Failed(errno);
  if (!S_ISREG(st.st_mode)) return {CopyResult::Outcome::kFailed, "通常のファイルではありません"};

  const fs::path folder = to.parent_path().empty() ? fs::path(".") : to.parent_path();
  struct statvfs vfs;
  if (::statvfs(folder.c_str(), &vfs) == 0) {
    const auto free = static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize;
    if (static_cast<unsigned long long>(st.st_size) > free) {
      return {CopyResult::Outcome::kFailed, CopyFailure(ENOSPC) + " (" + std::to_string(st.st_size) + " バイト必要、空き " +
                                                std::to_string(free) + " バイト)"};
    }
  }

  // A name no image has: it starts with "." and is never a placed file's name.
  static std::mt19937_64 random{std::random_device{}()};
  fs::path temp;
  Fd out;
  for (int attempt = 0; out.get() < 0; ++attempt) {
    char name[40];
    std::snprintf(name, sizeof name, ".pelmora-%016llx.part", static_cast<unsigned long long>(random()));
    temp = folder / name;
    out.Reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (out.get() < 0 && (errno != EEXIST || attempt == 16)) return Failed(errno);
  }
  const PartFile part(temp);

  int error = Rewind(from) ? CopyBytes(in, out.get()) : errno;
  if (const int closed = out.Close(); error == 0) error = closed;
  if (error == 0) error = NameWithoutReplacing(temp, to);
  ::unlink(temp.c_str());
  if (error == EEXIST) return {CopyResult::Outcome::kExists, {}};
  if (error != 0) return Failed(error);
  return {CopyResult::Outcome::kCopied, {}};
}

long long ReadSome(const OpenFile& file, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(file.get()), buffer, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}

bool Rewind(const OpenFile& file) { return ::lseek(static_cast<int>(file.get()), 0, SEEK_SET) == 0; }

long long ReadAt(const OpenFile& file, std::uint64_t offset, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(static_cast<int>(file.get()), buffer + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<long long>(done);
}

std::optional<std::uint64_t> FileSize(const OpenFile& file) {
  struct stat st;
  if (::fstat(static_cast<int>(file.get()), &st) != 0 || st.st_size < 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool NameTaken(const fs::path& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

bool SameFile(const OpenFile& file, const fs::path& path) {
  struct stat a, b;
  return ::fstat(static_cast<int>(file.get()), &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

bool PrepareFolder(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  return fs::is_directory(folder, ec);
}

bool IsFolder(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

}  // namespace pelmora::delivery
