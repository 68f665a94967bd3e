// The document reader of POSIX systems. errno values become the run-time error numbers that a
// Windows user of the program would see for the same failure.
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

#include "analysis/document_file.h"
#include "analysis/run_error.h"

namespace pelmora::analysis {

namespace {

std::int32_t OpenErrorNumber(int error) {
  switch (error) {
    case ENOENT: return err::kFileNotFound;
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG: return err::kPathNotFound;
    // Denied access reads as "permission denied" rather than the vaguer path/file access
    // error: it is the one case the user can act on.
    case EACCES:
    case EPERM: return err::kPermissionDenied;
    case EMFILE:
    case ENFILE: return err::kTooManyFiles;
    case ENOMEM: return err::kOutOfMemory;
    case EIO: return err::kDeviceIoError;
    case ENXIO:
    case ENODEV: return err::kDeviceUnavailable;
    default: return err::kPathFileAccessError;  // EISDIR and whatever else keeps the file shut
  }
}

std::int32_t ReadErrorNumber(int error) {
  switch (error) {
    case EISDIR: return err::kPathFileAccessError;
    case ENOMEM: return err::kOutOfMemory;
    case EACCES:
    case EPERM: return err::kPermissionDenied;
    default: return err::kDeviceIoError;
  }
}

class PosixReader final : public DocumentReader {
 public:
  explicit PosixReader(int fd) : fd_(fd) {}
  ~PosixReader() override { ::close(fd_); }
  PosixReader(const PosixReader&) = delete;
  PosixReader& operator=(const PosixReader&) = delete;

  std::size_t Read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) throw RunError(ReadErrorNumber(errno));
    }
  }

  bool Seek(std::uint64_t offset) override {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
  }

  std::optional<std::uint64_t> Size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<DocumentReader> OpenPlatformDocument(const DocumentPath& path) {
  if (path.empty()) throw RunError(err::kFileNotFound);
  int fd;
  do {
    // O_NONBLOCK keeps a FIFO from hanging the open; regular files ignore it.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int error = errno;
    // A missing folder on the way is "path not found", as the same path gives on Windows.
    struct stat parent;
    if (error == ENOENT && path.has_parent_path() &&
        (::stat(path.parent_path().c_str(), &parent) != 0 || !S_ISDIR(parent.st_mode))) {
      throw RunError(err::kPathNotFound);
    }
    throw RunError(OpenErrorNumber(error));
  }
  try {
    return std::make_unique<PosixReader>(fd);
  } catch (...) {
    ::close(fd);
    throw RunError(err::kOutOfMemory);
  }
}

}  // namespace pelmora::analysis
